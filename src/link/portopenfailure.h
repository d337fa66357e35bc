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

// The group a user could join to open a device node: the node's group, when
// it is not root's (gid 0) and may read and write the node (dialout, uucp,
// plugdev as a rule). Empty when joining a group would not help.
QString joinableGroup(const QString &groupName, unsigned gid, unsigned mode);

// The message; group is what joinableGroup() found, empty for none.
QString portOpenFailureText(const QString &path, PortOpenFailure failure, const QString &detail, const QString &group);

// Both, for a port that just failed to open at path.
QString describePortOpenFailure(const QString &path, QSerialPort::SerialPortError error, const QString &detail);

}  // namespace kv350
