#include "tests/e2e/TerminalSession.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
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

const char kSession[] = "e2e";

std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The environment of this process without TMUX, so that tmux never takes
// itself to be nested.
std::vector<char*> Environment()
{
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "TMUX=", 5) != 0 && std::strncmp(*e, "TMUX_PANE=", 10) != 0) env.push_back(*e);
    env.push_back(nullptr);
    return env;
}

struct Child {
    int pid = -1;
    int in = -1;   // its standard input, when piped
    int out = -1;  // its standard output
};

// Starts argv with its standard output (and, when asked, input) on pipes.
Child Spawn(const std::vector<std::string>& argv, bool pipeIn)
{
    int out[2], in[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0) return {};
    if (pipeIn && pipe2(in, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (pipeIn)
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    auto env = Environment();
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (pipeIn) close(in[0]);
    if (rc != 0) {
        close(out[0]);
        if (pipeIn) close(in[1]);
        return {};
    }
    return {pid, pipeIn ? in[1] : -1, out[0]};
}

// Runs argv to its end; its standard output, and whether it exited with 0.
std::pair<bool, std::string> Run(const std::vector<std::string>& argv)
{
    Child c = Spawn(argv, false);
    if (c.pid < 0) return {false, {}};
    std::string output;
    char buf[4096];
    ssize_t n;
    while ((n = read(c.out, buf, sizeof buf)) != 0) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        output.append(buf, static_cast<size_t>(n));
    }
    close(c.out);
    int status = 0;
    while (waitpid(c.pid, &status, 0) < 0 && errno == EINTR) {
    }
    return {WIFEXITED(status) && WEXITSTATUS(status) == 0, output};
}

std::string TrimScreen(std::string s)
{
    // Trailing blanks on each line, then blank lines at the bottom.
    std::stringstream in(s);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines.push_back(line);
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? "\n" : "") + lines[i];
    return out;
}

}  // namespace

bool CTerminalSession::Available() { return Run({"tmux", "-V"}).first; }

CTerminalSession::CTerminalSession(std::vector<std::string> argv, SessionOptions options)
{
    char dir[] = "/tmp/plovex-e2e-XXXXXX";
    if (!mkdtemp(dir)) {
        m_error = "cannot create a directory for the tmux server";
        return;
    }
    m_dir = dir;
    m_socket = m_dir + "/socket";
    const std::string conf = m_dir + "/tmux.conf";
    {
        std::ofstream f(conf);
        // The pane keeps its size and the whole terminal (no status line),
        // and stays after the program ends so that its status can be read.
        f << "set -g status off\n"
          << "set -g remain-on-exit on\n"
          << "set -g history-limit 10\n"
          << "set -g escape-time 0\n"
          << "set -g default-terminal " << Quote(options.term) << "\n";
    }
    std::string command = "exec env";
    for (const auto& [k, v] : options.env) command += " " + Quote(k + "=" + v);
    for (const auto& a : argv) command += " " + Quote(a);
    std::vector<std::string> args = {"tmux", "-S", m_socket, "-f", conf, "new-session", "-d", "-s", kSession,
                                     "-x", std::to_string(options.width), "-y", std::to_string(options.height)};
    if (!options.workDir.empty()) {
        args.push_back("-c");
        args.push_back(options.workDir);
    }
    args.push_back(command);
    // (window-size in the configuration file stops this tmux's server.)
    args.insert(args.end(), {";", "set", "-g", "window-size", "manual"});
    if (!Run(args).first) {
        m_error = "tmux could not start the session";
        return;
    }
    // A control client: tmux tells it of every output of the pane.
    Child control = Spawn({"tmux", "-S", m_socket, "-C", "attach-session", "-t", kSession}, true);
    if (control.pid < 0) {
        m_error = "tmux could not attach a control client";
        return;
    }
    m_controlPid = control.pid;
    m_controlIn = control.in;
    m_controlOut = control.out;
    fcntl(m_controlOut, F_SETFL, fcntl(m_controlOut, F_GETFL) | O_NONBLOCK);
    m_started = true;
}

CTerminalSession::~CTerminalSession()
{
    if (!m_socket.empty()) Run({"tmux", "-S", m_socket, "kill-server"});
    if (m_controlIn >= 0) close(m_controlIn);
    if (m_controlOut >= 0) close(m_controlOut);
    if (m_controlPid > 0) {
        kill(m_controlPid, SIGTERM);
        while (waitpid(m_controlPid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    if (!m_dir.empty()) {
        unlink((m_dir + "/tmux.conf").c_str());
        unlink(m_socket.c_str());
        rmdir(m_dir.c_str());
    }
}

std::string CTerminalSession::Tmux(std::vector<std::string> args) const
{
    args.insert(args.begin(), {"tmux", "-S", m_socket});
    return Run(args).second;
}

std::string CTerminalSession::Screen() const
{
    std::string screen = Tmux({"capture-pane", "-p", "-t", kSession});
    while (!screen.empty() && (screen.back() == '\n' || screen.back() == ' ')) screen.pop_back();
    size_t last = screen.rfind('\n');
    if (screen.compare(last == std::string::npos ? 0 : last + 1, 12, "Pane is dead") != 0) return TrimScreen(screen);
    // When the program has ended, tmux scrolls the screen up a line to write
    // "Pane is dead" at the bottom: take the line back from the history and
    // leave the notice out.
    screen = Tmux({"capture-pane", "-p", "-S", "-1", "-t", kSession});
    while (!screen.empty() && (screen.back() == '\n' || screen.back() == ' ')) screen.pop_back();
    last = screen.rfind('\n');
    screen.erase(last == std::string::npos ? 0 : last);
    return TrimScreen(screen);
}

std::string CTerminalSession::ScreenWithAttributes() const { return Tmux({"capture-pane", "-p", "-e", "-t", kSession}); }

void CTerminalSession::WaitForOutput(int timeoutMs)
{
    if (m_controlOut < 0) {
        plat::Clock().SleepMs(timeoutMs);
        return;
    }
    pollfd p{m_controlOut, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) > 0) {
        char buf[4096];
        while (read(m_controlOut, buf, sizeof buf) > 0) {
        }
        if (p.revents & (POLLHUP | POLLERR)) {
            close(m_controlOut);  // the control client has gone: wait on the clock from now on
            m_controlOut = -1;
        }
    }
}

bool CTerminalSession::WaitUntil(const std::function<bool(const std::string&)>& condition, int timeoutMs)
{
    const plat::TimeMs deadline = plat::Clock().Now() + timeoutMs;
    for (;;) {
        if (condition(Screen())) return true;
        const plat::TimeMs left = deadline - plat::Clock().Now();
        if (left <= 0) return false;
        // Output wakes us at once; the bound covers changes tmux makes
        // without output (the pane dying).
        WaitForOutput(static_cast<int>(std::min<plat::TimeMs>(left, 100)));
    }
}

bool CTerminalSession::WaitForText(const std::string& text, int timeoutMs)
{
    return WaitUntil([&](const std::string& screen) { return screen.find(text) != std::string::npos; }, timeoutMs);
}

void CTerminalSession::SendKeys(const std::vector<std::string>& keys)
{
    std::vector<std::string> args = {"send-keys", "-t", kSession};
    args.insert(args.end(), keys.begin(), keys.end());
    Tmux(args);
}

void CTerminalSession::SendText(const std::string& bytes) { Tmux({"send-keys", "-t", kSession, "-l", bytes}); }

void CTerminalSession::Click(int column, int row)
{
    auto at = [](int v) { return static_cast<char>(33 + std::clamp(v, 0, 222)); };
    SendText(std::string("\033[M ") + at(column) + at(row) + "\033[M#" + at(column) + at(row));
}

void CTerminalSession::Resize(int width, int height)
{
    Tmux({"resize-window", "-t", kSession, "-x", std::to_string(width), "-y", std::to_string(height)});
}

std::string CTerminalSession::Title() const
{
    std::string t = Tmux({"display-message", "-p", "-t", kSession, "#{pane_title}"});
    if (!t.empty() && t.back() == '\n') t.pop_back();
    return t;
}

int CTerminalSession::Pid() const
{
    std::istringstream in(Tmux({"display-message", "-p", "-t", kSession, "#{pane_dead} #{pane_pid}"}));
    int dead = 1, pid = 0;
    in >> dead >> pid;
    return dead ? 0 : pid;
}

bool CTerminalSession::Running() const { return Pid() != 0; }

void CTerminalSession::Signal(int sig)
{
    if (int pid = Pid()) kill(pid, sig);
}

std::optional<ExitStatus> CTerminalSession::WaitForExit(int timeoutMs)
{
    std::optional<ExitStatus> result;
    WaitUntil(
        [&](const std::string&) {
            // "dead:status:signal:pid"; the status is empty after a signal.
            std::istringstream in(Tmux({"display-message", "-p", "-t", kSession,
                                        "#{pane_dead}:#{pane_dead_status}:#{pane_dead_signal}:#{pane_pid}"}));
            std::string dead, code, sig, pid;
            std::getline(in, dead, ':');
            std::getline(in, code, ':');
            std::getline(in, sig, ':');
            std::getline(in, pid);
            if (dead != "1") return false;
            if (!code.empty() || !sig.empty()) {
                result = ExitStatus{std::atoi(code.c_str()), std::atoi(sig.c_str())};
                return true;
            }
            // The output has ended but tmux has not taken the status (at
            // times it never does): a process that has ended but is not yet
            // reaped shows it as the last field of its stat line.
            std::ifstream st("/proc/" + pid + "/stat");
            std::string stat;
            if (pid.empty() || !std::getline(st, stat)) return false;
            size_t paren = stat.rfind(')');
            if (paren == std::string::npos || stat.compare(paren, 4, ") Z ") != 0) return false;
            int status = std::atoi(stat.substr(stat.find_last_of(' ') + 1).c_str());
            result = WIFSIGNALED(status) ? ExitStatus{0, WTERMSIG(status)} : ExitStatus{WEXITSTATUS(status), 0};
            return true;
        },
        timeoutMs);
    return result;
}

std::string ReadTextFile(const std::string& path)
{
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

}  // namespace e2e
