#include "ptyserver.h"

#include "link/clock.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace kv350::sim {
namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

}  // namespace

PtyServer::PtyServer(Identity identity) : m_reader(std::move(identity)), m_host(m_reader) {}

PtyServer::~PtyServer()
{
    stop();
}

bool PtyServer::start()
{
    if (isRunning())
        return true;
    if (!openPty())
        return false;
    if (pipe(m_wake) != 0) {
        m_error = systemError("pipe");
        closeFds();
        return false;
    }
    m_vanishAtMs = -1;
    m_thread = std::thread([this] { serve(); });
    return true;
}

bool PtyServer::openPty()
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        m_error = systemError("posix_openpt");
        return false;
    }
    const char *name = nullptr;
    if (grantpt(master) != 0 || unlockpt(master) != 0 || !(name = ptsname(master))) {
        m_error = systemError("pty");
        ::close(master);
        return false;
    }
    const QString path = QString::fromLocal8Bit(name);
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave < 0) {
        m_error = systemError("open pty slave");
        ::close(master);
        return false;
    }
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    if (!m_stablePath.isEmpty()) {
        const QByteArray link = m_stablePath.toLocal8Bit();
        ::unlink(link.constData());
        if (::symlink(name, link.constData()) != 0) {
            m_error = systemError("symlink");
            ::close(slave);
            ::close(master);
            return false;
        }
    }
    std::lock_guard<std::mutex> lock(m_pathMutex);
    m_master = master;
    m_slave = slave;
    m_path = path;
    return true;
}

void PtyServer::closePty()
{
    // The client's open handle hangs up, as when an adapter is pulled out.
    if (!m_stablePath.isEmpty())
        ::unlink(m_stablePath.toLocal8Bit().constData());
    std::lock_guard<std::mutex> lock(m_pathMutex);
    for (int *fd : {&m_master, &m_slave}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void PtyServer::hangUp(int goneMs)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reader.faults().setGone(systemClock().nowMs(), goneMs);
    }
    m_hangUpNow = true;
    const char byte = 'h';
    while (::write(m_wake[1], &byte, 1) < 0 && errno == EINTR) {
    }
}

void PtyServer::stop()
{
    if (m_thread.joinable()) {
        const char byte = 'x';
        while (::write(m_wake[1], &byte, 1) < 0 && errno == EINTR) {
        }
        m_thread.join();
    }
    closeFds();
    m_outbox.clear();
    m_writing.clear();
    m_assembler.reset();
}

void PtyServer::closeFds()
{
    closePty();
    for (int *fd : {&m_wake[0], &m_wake[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void PtyServer::queue(const std::vector<TimedChunk> &chunks)
{
    for (const TimedChunk &chunk : chunks) {
        const auto at = std::upper_bound(m_outbox.begin(), m_outbox.end(), chunk.dueMs,
                                         [](qint64 t, const TimedChunk &c) { return t < c.dueMs; });
        m_outbox.insert(at, chunk);
    }
}

void PtyServer::serve()
{
    Clock &clock = systemClock();
    for (;;) {
        const qint64 now = clock.nowMs();
        if (m_hangUpNow.exchange(false) && m_master >= 0)
            m_vanishAtMs = now;
        if (m_vanishAtMs >= 0 && now >= m_vanishAtMs && m_master >= 0) {
            closePty();
            m_outbox.clear();
            m_writing.clear();
            m_assembler.reset();
        }
        if (m_master < 0) {
            bool back = false;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                back = !m_reader.faults().isGone(now);
            }
            if (back) {
                m_vanishAtMs = -1;
                if (!openPty())
                    return;
            }
        }
        const bool present = m_master >= 0;

        int timeout = -1;
        if (present && m_writing.isEmpty() && !m_outbox.empty())
            timeout = int(std::max<qint64>(0, m_outbox.front().dueMs - now));
        auto wakeAt = [&](qint64 atMs) {
            const int until = int(std::max<qint64>(0, atMs - now));
            timeout = timeout < 0 ? until : std::min(timeout, until);
        };
        if (present && m_vanishAtMs >= 0)
            wakeAt(m_vanishAtMs);
        if (!present)
            wakeAt(now + 20);  // look again for the device's return (deviceBack() does not wake us)
        {
            // Wake for the next frame the reader streams of its own accord.
            std::lock_guard<std::mutex> lock(m_mutex);
            if (const std::optional<qint64> next = m_host.nextStreamedMs(); next && present)
                wakeAt(*next);
        }

        pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {m_master, POLLIN, 0}};
        if (!m_writing.isEmpty())
            fds[1].events |= POLLOUT;
        const int n = ::poll(fds, present ? 2 : 1, timeout);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents) {
            // 'h': hang up now (hangUp()); anything else: stop.
            char byte = 0;
            if (::read(m_wake[0], &byte, 1) == 1 && byte == 'h')
                continue;
            return;
        }
        if (!present)
            continue;
        if (fds[1].revents & (POLLERR | POLLNVAL))
            return;

        if (fds[1].revents & POLLIN) {
            char buffer[512];
            const ssize_t got = ::read(m_master, buffer, sizeof buffer);
            if (got > 0) {
                const qint64 arrived = clock.nowMs();
                std::lock_guard<std::mutex> lock(m_mutex);
                for (const QByteArray &frame : m_assembler.feed(QByteArray(buffer, int(got)), arrived)) {
                    queue(m_host.takeStreamed(arrived));  // streamed before the request came
                    const ReaderHost::Outcome outcome = m_host.receive(frame, arrived);
                    queue(outcome.chunks);
                    if (outcome.vanishAtMs >= 0)
                        m_vanishAtMs = outcome.vanishAtMs;
                }
            }
        }

        // Send what is due, in order; a full master keeps the rest for POLLOUT.
        const qint64 sendTime = clock.nowMs();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            queue(m_host.takeStreamed(sendTime));
        }
        for (;;) {
            if (m_writing.isEmpty()) {
                // Everything due goes out in one write, back to back as on a wire.
                while (!m_outbox.empty() && m_outbox.front().dueMs <= sendTime) {
                    m_writing.append(m_outbox.front().bytes);
                    m_outbox.pop_front();
                }
                if (m_writing.isEmpty())
                    break;
            }
            const ssize_t put = ::write(m_master, m_writing.constData(), size_t(m_writing.size()));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                if (errno == EAGAIN)
                    break;
                m_writing.clear();
                continue;
            }
            m_writing.remove(0, put);
        }
    }
}

}  // namespace kv350::sim
