// The program's side of a simulated port, for the tests: opens the device as
// the program does (exclusive, locked, raw 57600 8N1), writes one command,
// waits, and reads as the program's transaction reads: up to a byte limit,
// ending 20 ms after the last byte or at a total limit.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "platform/base/Clock.h"

namespace simtest {

class CSimPort {
public:
    explicit CSimPort(const std::string& path)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0) return;
        ::ioctl(m_fd, TIOCEXCL);
        ::flock(m_fd, LOCK_EX | LOCK_NB);
        termios tio{};
        ::tcgetattr(m_fd, &tio);
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B57600);
        ::cfsetospeed(&tio, B57600);
        ::tcsetattr(m_fd, TCSANOW, &tio);
    }
    ~CSimPort()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    CSimPort(const CSimPort&) = delete;
    CSimPort& operator=(const CSimPort&) = delete;

    bool Ok() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }

    bool Write(const std::string& bytes) { return ::write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()); }

    std::string Read(size_t limit = 1025, int totalMs = 1000)
    {
        std::string got;
        plat::CRealClock clock;
        const plat::TimeMs end = clock.Now() + totalMs;
        while (got.size() < limit) {
            const plat::TimeMs left = end - clock.Now();
            if (left <= 0) break;
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(got.empty() ? left : std::min<plat::TimeMs>(20, left))) <= 0) break;
            char buf[4096];
            const ssize_t n = ::read(m_fd, buf, std::min(sizeof buf, limit - got.size()));
            if (n <= 0) break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }

private:
    int m_fd = -1;
};

// One whole transaction: open, write, wait, read, close.
inline std::string Transact(const std::string& path, const std::string& command, int waitMs, size_t limit = 1025,
                            int totalMs = 1000)
{
    CSimPort port(path);
    if (!port.Ok()) return "(open failed)";
    if (!port.Write(command)) return "(write failed)";
    plat::CRealClock().SleepMs(waitMs);
    return port.Read(limit, totalMs);
}

}  // namespace simtest
