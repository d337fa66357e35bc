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
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        m_error = systemError("posix_openpt");
        return false;
    }
    const char *name = nullptr;
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 || !(name = ptsname(m_master))) {
        m_error = systemError("pty");
        closeFds();
        return false;
    }
    m_path = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0) {
        m_error = systemError("open pty slave");
        closeFds();
        return false;
    }
    termios tio {};
    tcgetattr(m_slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(m_slave, TCSANOW, &tio);

    if (pipe(m_wake) != 0) {
        m_error = systemError("pipe");
        closeFds();
        return false;
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_thread = std::thread([this] { serve(); });
    return true;
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
    for (int *fd : {&m_master, &m_slave, &m_wake[0], &m_wake[1]}) {
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
        int timeout = -1;
        if (m_writing.isEmpty() && !m_outbox.empty())
            timeout = int(std::max<qint64>(0, m_outbox.front().dueMs - now));
        {
            // Wake for the next frame the reader streams of its own accord.
            std::lock_guard<std::mutex> lock(m_mutex);
            if (const std::optional<qint64> next = m_host.nextStreamedMs()) {
                const int untilNext = int(std::max<qint64>(0, *next - now));
                timeout = timeout < 0 ? untilNext : std::min(timeout, untilNext);
            }
        }

        pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {m_master, POLLIN, 0}};
        if (!m_writing.isEmpty())
            fds[1].events |= POLLOUT;
        const int n = ::poll(fds, 2, timeout);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents)
            return;
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
                    queue(m_host.receive(frame, arrived).chunks);
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
                if (m_outbox.empty() || m_outbox.front().dueMs > sendTime)
                    break;
                m_writing = m_outbox.front().bytes;
                m_outbox.pop_front();
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
