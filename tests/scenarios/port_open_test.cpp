// A serial port that will not open: missing, busy or not permitted, and the
// message that says which (ReaderLink::lastError, kv350ctl, the window's
// status tip), with on Linux what to do about it.
#include "link/portopenfailure.h"
#include "paths.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kv350;
using namespace kv350::scenarios;

TEST(PortOpen, TheErrorAndAccessTellTheThreeApart)
{
    struct Row {
        QSerialPort::SerialPortError error;
        int accessErrno;
        PortOpenFailure expected;
    } rows[] = {
        {QSerialPort::DeviceNotFoundError, ENOENT, PortOpenFailure::Missing},
        {QSerialPort::PermissionError, 0, PortOpenFailure::Busy},  // this user may: someone holds it
        {QSerialPort::PermissionError, EACCES, PortOpenFailure::PermissionDenied},
        {QSerialPort::PermissionError, EPERM, PortOpenFailure::PermissionDenied},
        {QSerialPort::PermissionError, ENOENT, PortOpenFailure::Missing},  // gone between the two looks
        {QSerialPort::OpenError, 0, PortOpenFailure::Other},
    };
    for (const Row &r : rows)
        EXPECT_EQ(classifyPortOpenFailure(r.error, r.accessErrno), r.expected) << r.error << " " << r.accessErrno;

    const QString denied = portOpenFailureText("/dev/ttyUSB0", PortOpenFailure::PermissionDenied, {}, "uucp");
    EXPECT_TRUE(denied.contains("permission denied")) << denied.toStdString();
#ifdef Q_OS_LINUX
    EXPECT_TRUE(denied.contains("sudo usermod -aG uucp $USER")) << denied.toStdString();
    // No group to join: the device must change, not the user.
    const QString noGroup = portOpenFailureText("/dev/ttyUSB0", PortOpenFailure::PermissionDenied, {}, {});
    EXPECT_TRUE(noGroup.contains("no group gives access to it")) << noGroup.toStdString();
    EXPECT_TRUE(noGroup.contains("udev rule")) << noGroup.toStdString();
    EXPECT_FALSE(noGroup.contains("usermod")) << noGroup.toStdString();
#endif
    EXPECT_EQ(portOpenFailureText("/dev/ttyS9", PortOpenFailure::Other, "Unknown error", {}),
              "/dev/ttyS9: Unknown error");
}

TEST(PortOpen, OnlyAGroupThatOpensThePortIsNamed)
{
    const struct {
        const char *group;
        unsigned gid;
        unsigned mode;
        const char *named;
    } rows[] = {
        {"dialout", 20, 0660, "dialout"},  // a USB adapter on Debian and Ubuntu
        {"uucp", 14, 0660, "uucp"},        // Arch
        {"plugdev", 46, 0664, "plugdev"},
        {"kv350", 1001, 0660, "kv350"},  // a group of a udev rule of the site's own
        {"root", 0, 0600, ""},           // root:root 600: joining root is no advice
        {"root", 0, 0660, ""},
        {"tty", 5, 0620, ""},       // a pty: the group may write, not read
        {"dialout", 20, 0600, ""},  // the group has no access
        {"dialout", 20, 0640, ""},
    };
    for (const auto &r : rows)
        EXPECT_EQ(joinableGroup(r.group, r.gid, r.mode), r.named) << r.group << " " << std::oct << r.mode;
}

TEST(PortOpen, AMissingPortSaysSoEverywhere)
{
    PtyPath path;
    path.link().useSerialPort("/dev/kv350-no-such-port");
    EXPECT_FALSE(path.link().ConnectReader());
    EXPECT_EQ(path.link().lastError(), "/dev/kv350-no-such-port: no such serial port (is the reader plugged in?)");
    EXPECT_EQ(path.status().status, "Disconnected");
}

TEST(PortOpen, APortHeldByAnotherProgramIsBusy)
{
    PtyPath path;
    ASSERT_TRUE(path.started());
    QSerialDevice holder;  // another program, with the port open exclusively
    ASSERT_TRUE(holder.open(path.server().devicePath())) << holder.errorText().toStdString();
    EXPECT_FALSE(path.link().ConnectReader());
    EXPECT_TRUE(path.link().lastError().contains("the port is busy: another program has it open"))
        << path.link().lastError().toStdString();
    EXPECT_FALSE(path.link().lastError().contains("permission")) << "not mistaken for a permission to ask for";

    // kv350ctl says the same.
    QProcess ctl;
    ctl.start(QStringLiteral(KV350_CTL_PATH), {"--port", path.server().devicePath(), "identify"});
    ASSERT_TRUE(ctl.waitForFinished(10000));
    EXPECT_EQ(ctl.exitCode(), 1);
    EXPECT_TRUE(ctl.readAllStandardError().contains("busy"));

    holder.close();
    EXPECT_TRUE(path.link().ConnectReader()) << "free again: it opens" << path.link().lastError().toStdString();
}

namespace {

// kv350ctl identify on path, as a user who may not open it: run as "nobody"
// when these tests run as root (root may open anything), as ourselves otherwise.
QString identifyAsUnprivilegedUser(const QString &path, int *exitCode)
{
    int out[2];
    if (pipe(out) != 0)
        return {};
    const passwd *nobody = getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nobody ? nobody->pw_gid : 65534;
    const QByteArray ctl = KV350_CTL_PATH;
    const QByteArray port = path.toLocal8Bit();
    const pid_t child = fork();
    if (child == 0) {
        // Only async-signal-safe calls from here to exec.
        dup2(out[1], STDERR_FILENO);
        close(out[0]);
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0))
            _exit(90);
        execl(ctl.constData(), ctl.constData(), "--port", port.constData(), "identify", static_cast<char *>(nullptr));
        _exit(91);
    }
    close(out[1]);
    QByteArray text;
    char buffer[512];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, int(n));
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return QString::fromLocal8Bit(text);
}

}  // namespace

TEST(PortOpen, APortThisUserMayNotOpenIsPermissionDenied)
{
    // A pty of our own with no access for anyone else: as a serial port
    // owned by root:root with mode 600 looks to a user who is not root.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const QString slave = QString::fromLocal8Bit(ptsname(master));
    const QByteArray node = slave.toLocal8Bit();
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(node.constData(), 0, 0), 0);
    }
    ASSERT_EQ(chmod(node.constData(), root ? 0600 : 0000), 0);

    int exitCode = 0;
    QString err = identifyAsUnprivilegedUser(slave, &exitCode);
    ASSERT_NE(exitCode, 90) << "could not become an unprivileged user";
    EXPECT_EQ(exitCode, 1) << err.toStdString();
    EXPECT_TRUE(err.contains(slave + ": permission denied")) << err.toStdString();
#ifdef Q_OS_LINUX
    EXPECT_FALSE(err.contains("usermod")) << "no group to join: " << err.toStdString();
    EXPECT_TRUE(err.contains("udev rule")) << err.toStdString();
#endif
    EXPECT_FALSE(err.contains("busy")) << err.toStdString();

    // The same port given to a group of users, mode 660: that group is named.
    const group *dialout = getgrnam("dialout");
    if (root && dialout) {
        ASSERT_EQ(chown(node.constData(), 0, dialout->gr_gid), 0);
        ASSERT_EQ(chmod(node.constData(), 0660), 0);
        err = identifyAsUnprivilegedUser(slave, &exitCode);
        EXPECT_EQ(exitCode, 1) << err.toStdString();
#ifdef Q_OS_LINUX
        EXPECT_TRUE(err.contains("add the user to the 'dialout' group (sudo usermod -aG dialout $USER)"))
            << err.toStdString();
#endif
    }
    close(master);
}
