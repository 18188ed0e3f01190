#include "platform/comm/PtyPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

namespace plat {

CPtyPeer::CPtyPeer(std::string portName) : m_portName(std::move(portName))
{
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    termios t{};
    if (tcgetattr(m_master, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(m_master, TCSANOW, &t);
    }
    m_path = name;
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) m_wake[0] = m_wake[1] = -1;
    setenv(m_portName.c_str(), m_path.c_str(), 1);
    m_thread = std::thread([this] { Run(); });
}

CPtyPeer::~CPtyPeer()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        Wake();
        m_thread.join();
    }
    if (!m_path.empty()) unsetenv(m_portName.c_str());
    for (int fd : {m_master, m_slave, m_wake[0], m_wake[1]})
        if (fd >= 0) close(fd);
}

void CPtyPeer::SetAnswerer(Answerer answerer)
{
    std::lock_guard lock(m_mutex);
    m_answerer = std::move(answerer);
}

void CPtyPeer::Send(const std::string& bytes)
{
    std::lock_guard lock(m_mutex);
    WriteMaster(bytes);
}

void CPtyPeer::HangUp()
{
    {
        std::lock_guard lock(m_mutex);
        m_due.push_back({m_clock.Now(), SAnswer{"", 0, true}});
    }
    Wake();
}

std::string CPtyPeer::Received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

bool CPtyPeer::WaitReceived(size_t n, TimeMs timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    return m_cvReceived.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_received.size() >= n; });
}

void CPtyPeer::WriteMaster(const std::string& bytes)
{
    size_t done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n < 0 && errno != EINTR)
            break;
    }
}

void CPtyPeer::Schedule(TimeMs at, SAnswer answer)
{
    if (answer.lineRate <= 0) {
        if (!answer.bytes.empty() || answer.hangUp) m_due.push_back({at, std::move(answer)});
        return;
    }
    // Paced: a few bytes at a time, each piece when the line would have
    // carried the bytes before it; the hang-up goes with the last piece.
    constexpr size_t kPiece = 8;
    for (size_t i = 0; i < answer.bytes.size(); i += kPiece) {
        const bool last = i + kPiece >= answer.bytes.size();
        const TimeMs offset = static_cast<TimeMs>(i) * 10 * 1000 / answer.lineRate;
        m_due.push_back({at + offset, SAnswer{answer.bytes.substr(i, kPiece), 0, last && answer.hangUp}});
    }
    if (answer.bytes.empty() && answer.hangUp) m_due.push_back({at, SAnswer{"", 0, true}});
}

void CPtyPeer::Wake()
{
    if (m_wake[1] >= 0) {
        const char c = 0;
        [[maybe_unused]] ssize_t n = write(m_wake[1], &c, 1);
    }
}

void CPtyPeer::Run()
{
    for (;;) {
        int timeout = -1;
        int master;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop) return;
            master = m_master;
            // Answers are kept in the order they were given, each after its own delay.
            if (!m_due.empty()) timeout = static_cast<int>(std::clamp<TimeMs>(m_due.front().at - m_clock.Now(), 0, INT_MAX));
        }
        pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {master, POLLIN, 0}};
        if (poll(fds, 2, timeout) < 0 && errno != EINTR) return;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (read(m_wake[0], drain, sizeof drain) > 0) {
            }
        }

        std::string chunk;
        if (fds[1].revents & POLLIN) {
            char buf[4096];
            const ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) chunk.assign(buf, static_cast<size_t>(n));
        }

        std::unique_lock lock(m_mutex);
        if (!chunk.empty()) {
            m_received += chunk;
            m_cvReceived.notify_all();
            for (char c : chunk) {
                m_line += c;
                if (c != '\r') continue;
                const std::string line = std::exchange(m_line, std::string());
                if (!m_answerer) continue;
                const Answerer answerer = m_answerer;
                lock.unlock();
                SAnswer answer = answerer(line);
                const TimeMs at = m_clock.Now() + answer.delayMs;
                lock.lock();
                Schedule(at, std::move(answer));
            }
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            // No port side open any more (cannot happen while the peer holds
            // its own descriptor); stop listening rather than spin.
            close(m_master);
            m_master = -1;
        }
        while (!m_due.empty() && m_due.front().at <= m_clock.Now()) {
            SDue due = std::move(m_due.front());
            m_due.pop_front();
            WriteMaster(due.answer.bytes);
            if (due.answer.hangUp && m_master >= 0) {
                close(m_master);
                m_master = -1;
            }
        }
    }
}

}  // namespace plat
