#pragma once
// The client side of a pseudo-terminal with plain POSIX calls, as a program
// that knows nothing of the server would use it.

#include <QByteArray>
#include <QString>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

class PtyClient {
public:
    explicit PtyClient(const QString &path)
    {
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        if (m_fd >= 0) {
            termios tio{};
            tcgetattr(m_fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~PtyClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    PtyClient(const PtyClient &) = delete;
    PtyClient &operator=(const PtyClient &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    bool send(const QByteArray &bytes)
    {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    struct Piece {
        QByteArray bytes;
        std::chrono::steady_clock::time_point at;
    };
    // Reads until `want` bytes came or timeoutMs passed, each read as it came.
    std::vector<Piece> receive(int want, int timeoutMs)
    {
        std::vector<Piece> pieces;
        int got = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got < want) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                    std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, int(left.count())) <= 0)
                break;
            char buffer[512];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            pieces.push_back({QByteArray(buffer, int(n)), std::chrono::steady_clock::now()});
            got += int(n);
        }
        return pieces;
    }
    QByteArray receiveAll(int want, int timeoutMs)
    {
        QByteArray all;
        for (const Piece &p : receive(want, timeoutMs))
            all.append(p.bytes);
        return all;
    }

private:
    int m_fd = -1;
};
