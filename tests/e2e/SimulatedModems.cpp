#include "tests/e2e/SimulatedModems.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/base/Clock.h"

extern char** environ;

namespace e2e {

namespace {

// Waits up to timeoutMs for a child to end; true once it is reaped.
bool Reap(int pid, int timeoutMs)
{
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        const int ready = poll(&p, 1, timeoutMs);
        close(pidfd);
        if (ready <= 0) return false;
    }
    // Without a pidfd (an old kernel) this blocks until the child ends.
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return errno == ECHILD;
    }
    return true;
}

}  // namespace

std::string PlovexPath() { return PLOVEX_BINARY_DIR "/app/plovex"; }
std::string ModemSimPath() { return PLOVEX_BINARY_DIR "/tools/modem-sim/modem-sim"; }

CModemSimProcess::CModemSimProcess(std::vector<std::string> ports, int timeoutMs)
{
    char logPath[] = "/tmp/plovex-e2e-sim-XXXXXX";
    const int logFd = mkostemp(logPath, O_CLOEXEC);
    if (logFd < 0) {
        m_error = "cannot create the simulator's log file";
        return;
    }
    m_logPath = logPath;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(logFd);
        m_error = "cannot create a pipe";
        return;
    }
    std::vector<std::string> argv = {ModemSimPath(), "-v"};
    argv.insert(argv.end(), ports.begin(), ports.end());
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, logFd, STDERR_FILENO);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(logFd);
    if (rc != 0) {
        close(out[0]);
        m_error = ModemSimPath() + ": " + std::strerror(rc);
        return;
    }
    m_pid = pid;
    m_out = out[0];

    // One "COMn=/dev/pts/N" line per port, then the simulator serves.
    std::string text;
    const plat::TimeMs deadline = plat::Clock().Now() + timeoutMs;
    while (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) < ports.size()) {
        const plat::TimeMs left = deadline - plat::Clock().Now();
        pollfd p{m_out, POLLIN, 0};
        const int ready = left > 0 ? poll(&p, 1, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            m_error = "modem-sim printed no port lines in time: " + text + Log();
            return;
        }
        char buf[1024];
        const ssize_t n = read(m_out, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_error = "modem-sim ended: " + text + Log();
            return;
        }
        text.append(buf, static_cast<size_t>(n));
    }
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) m_devices[line.substr(0, eq)] = line.substr(eq + 1);
    }
    if (m_devices.size() != ports.size()) {
        m_error = "modem-sim printed unexpected lines: " + text;
        return;
    }
    m_started = true;
}

CModemSimProcess::~CModemSimProcess()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        if (!Reap(m_pid, 5000)) {
            kill(m_pid, SIGKILL);
            Reap(m_pid, -1);
        }
    }
    if (m_out >= 0) close(m_out);
    if (!m_logPath.empty()) unlink(m_logPath.c_str());
}

std::string CModemSimProcess::Device(const std::string& port) const
{
    auto it = m_devices.find(port);
    return it == m_devices.end() ? std::string() : it->second;
}

std::string CModemSimProcess::Log() const
{
    std::ifstream f(m_logPath);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string CModemSimProcess::Received(const std::string& port) const
{
    std::istringstream log(Log());
    const std::string mark = port + " <- ";
    std::string line, bytes;
    while (std::getline(log, line))
        if (line.compare(0, mark.size(), mark) == 0) bytes += line.substr(mark.size());
    return bytes;
}

SessionOptions PortOptions(const CModemSimProcess& sim, int width, int height)
{
    SessionOptions o;
    o.width = width;
    o.height = height;
    for (int n = 1; n <= 8; ++n) {
        const std::string port = "COM" + std::to_string(n);
        const std::string device = sim.Device(port);
        o.env.push_back({port, device.empty() ? "/nonexistent/" + port : device});
    }
    return o;
}

CPlovexWithModems::CPlovexWithModems(std::vector<std::string> ports, std::vector<std::string> argv, int width,
                                     int height)
    : m_sim(std::move(ports))
{
    if (m_sim.Started()) m_session = std::make_unique<CTerminalSession>(std::move(argv), PortOptions(m_sim, width, height));
}

std::string CPlovexWithModems::Error() const
{
    if (!m_sim.Started()) return m_sim.Error();
    return m_session ? m_session->Error() : std::string();
}

std::vector<std::vector<SCell>> ParseAttributedScreen(const std::string& capture)
{
    std::vector<std::vector<SCell>> rows(1);
    SCell pen;  // the attributes in force
    for (size_t i = 0; i < capture.size();) {
        const unsigned char c = static_cast<unsigned char>(capture[i]);
        if (c == '\n') {
            rows.emplace_back();
            ++i;
        } else if (c == 0x1b && i + 1 < capture.size() && capture[i + 1] == '[') {
            size_t end = i + 2;
            while (end < capture.size() && !(capture[end] >= 0x40 && capture[end] <= 0x7e)) ++end;
            if (end < capture.size() && capture[end] == 'm') {
                std::string params = capture.substr(i + 2, end - i - 2);
                if (params.empty()) params = "0";
                std::istringstream in(params);
                std::string p;
                while (std::getline(in, p, ';')) {
                    const int v = p.empty() ? 0 : std::atoi(p.c_str());
                    switch (v) {
                    case 0: pen = SCell{}; break;
                    case 1: pen.bold = true; break;
                    case 2: pen.dim = true; break;
                    case 4: pen.underline = true; break;
                    case 7: pen.reverse = true; break;
                    case 22: pen.bold = pen.dim = false; break;
                    case 24: pen.underline = false; break;
                    case 27: pen.reverse = false; break;
                    default: break;  // colours
                    }
                }
            }
            i = end + 1;
        } else if (c == 0x1b) {
            i += 2;  // another escape: dropped
        } else {
            const size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xe ? 3 : (c >> 3) == 0x1e ? 4 : 1;
            SCell cell = pen;
            cell.text = capture.substr(i, len);
            rows.back().push_back(cell);
            i += len;
        }
    }
    return rows;
}

std::vector<SCell> FindCells(const std::vector<std::vector<SCell>>& screen, const std::string& text)
{
    for (const auto& row : screen) {
        std::string line;
        std::vector<size_t> cellAt;  // the cell of each byte of line
        for (size_t k = 0; k < row.size(); ++k) {
            line += row[k].text;
            cellAt.resize(line.size(), k);
        }
        const size_t at = line.find(text);
        if (at == std::string::npos) continue;
        const size_t first = cellAt[at], last = cellAt[at + text.size() - 1];
        return {row.begin() + static_cast<std::ptrdiff_t>(first), row.begin() + static_cast<std::ptrdiff_t>(last) + 1};
    }
    return {};
}

}  // namespace e2e
