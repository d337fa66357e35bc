#include "portopenfailure.h"

#include <cerrno>
#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kv350 {

PortOpenFailure classifyPortOpenFailure(QSerialPort::SerialPortError error, int accessErrno)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return PortOpenFailure::Missing;
    case QSerialPort::PermissionError:
#ifdef Q_OS_UNIX
        if (accessErrno == EACCES || accessErrno == EPERM || accessErrno == EROFS)
            return PortOpenFailure::PermissionDenied;
        if (accessErrno == ENOENT)
            return PortOpenFailure::Missing;
#else
        Q_UNUSED(accessErrno);
#endif
        // Readable and writable for this user: someone else holds it (a lock
        // file, or an exclusive open).
        return PortOpenFailure::Busy;
    default:
        return PortOpenFailure::Other;
    }
}

QString portOpenFailureText(const QString &path, PortOpenFailure failure, const QString &detail, const QString &group)
{
    switch (failure) {
    case PortOpenFailure::Missing:
        return QStringLiteral("%1: no such serial port (is the reader plugged in?)").arg(path);
    case PortOpenFailure::Busy:
        return QStringLiteral("%1: the port is busy: another program has it open; close that program and try again")
            .arg(path);
    case PortOpenFailure::PermissionDenied:
#ifdef Q_OS_LINUX
        if (group.isEmpty())
            return QStringLiteral("%1: permission denied: this user may not open the port, and no group gives access "
                                  "to it; the device's permissions must change (a udev rule that gives it a group "
                                  "such as 'dialout' and mode 0660)")
                .arg(path);
        return QStringLiteral("%1: permission denied: this user may not open the port; add the user to the "
                              "'%2' group (sudo usermod -aG %2 $USER) and log in again")
            .arg(path, group);
#else
        Q_UNUSED(group);
        return QStringLiteral("%1: permission denied: this user may not open the port").arg(path);
#endif
    case PortOpenFailure::Other:
        break;
    }
    return QStringLiteral("%1: %2").arg(path, detail);
}

QString joinableGroup(const QString &groupName, unsigned gid, unsigned mode)
{
#ifdef Q_OS_UNIX
    // Joining root's group is no advice, and a group without read and write
    // access (a pty's 'tty', mode 620) would not open the port either.
    const unsigned readWrite = S_IRGRP | S_IWGRP;
    if (gid == 0 || (mode & readWrite) != readWrite)
        return {};
    return groupName;
#else
    Q_UNUSED(groupName);
    Q_UNUSED(gid);
    Q_UNUSED(mode);
    return {};
#endif
}

QString describePortOpenFailure(const QString &path, QSerialPort::SerialPortError error, const QString &detail)
{
    int accessErrno = 0;
    QString group;
#ifdef Q_OS_UNIX
    const QByteArray local = path.toLocal8Bit();
    if (::access(local.constData(), R_OK | W_OK) != 0)
        accessErrno = errno;
    struct stat st {};
    if (::stat(local.constData(), &st) == 0) {
        if (const struct group *g = ::getgrgid(st.st_gid))
            group = joinableGroup(QString::fromLocal8Bit(g->gr_name), st.st_gid, st.st_mode);
    }
#endif
    return portOpenFailureText(path, classifyPortOpenFailure(error, accessErrno), detail, group);
}

}  // namespace kv350
