#pragma once
// Why a serial port did not open, in words that say which of the usual three
// it was (missing, busy, not permitted) and, on Linux, what to do about it.

#include <QSerialPort>
#include <QString>

namespace kv350 {

enum class PortOpenFailure { Missing, Busy, PermissionDenied, Other };

// QSerialPort reports a port held by another program and a port this user may
// not open with the same error; accessErrno (errno of access(path, R_OK | W_OK),
// 0 when it succeeded) tells the two apart.
PortOpenFailure classifyPortOpenFailure(QSerialPort::SerialPortError error, int accessErrno);

// The message; group is the group that owns the device node (dialout, uucp ...).
QString portOpenFailureText(const QString &path, PortOpenFailure failure, const QString &detail, const QString &group);

// Both, for a port that just failed to open at path.
QString describePortOpenFailure(const QString &path, QSerialPort::SerialPortError error, const QString &detail);

}  // namespace kv350
