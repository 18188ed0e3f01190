// The modem-sim program: usage, argument errors, the lines it prints, and a
// clean exit on each stop signal.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "SimPort.h"
#include "tools/modem-sim/ModemConfig.h"

extern char** environ;

namespace {

const std::string kProgram = std::string(PLOVEX_BINARY_DIR) + "/tools/modem-sim/modem-sim";

// modem-sim running with its stdout and stderr on pipes.
class CChild {
public:
    explicit CChild(const std::vector<std::string>& args)
    {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        if (::pipe2(err, O_CLOEXEC) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(kProgram.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (::posix_spawn(&m_pid, kProgram.c_str(), &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
    }
    ~CChild()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0) ::close(m_out);
        if (m_err >= 0) ::close(m_err);
    }
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;

    bool Ok() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // Reads stdout until it holds lines newlines or the end (at most 5 s).
    std::string ReadLines(int lines) { return ReadFrom(m_out, lines); }
    std::string ReadAllErr() { return ReadFrom(m_err, -1); }
    std::string ReadAllOut() { return ReadFrom(m_out, -1); }

    // The exit status, or -1 if it did not exit normally within 5 s.
    int Wait()
    {
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            plat::CRealClock().SleepMs(10);
        }
        return -1;
    }

private:
    static std::string ReadFrom(int fd, int lines)
    {
        std::string got;
        while (lines < 0 || std::count(got.begin(), got.end(), '\n') < lines) {
            pollfd pfd{fd, POLLIN, 0};
            if (::poll(&pfd, 1, 5000) <= 0) break;
            char buf[4096];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
};

TEST(ModemSimProgram, HelpListsEveryProfileAndExitsZero)
{
    CChild child({"--help"});
    ASSERT_TRUE(child.Ok());
    const std::string out = child.ReadAllOut();
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_NE(out.find("usage: modem-sim"), std::string::npos);
    for (const auto& p : modemsim::ProfileList()) EXPECT_NE(out.find(std::string(p.name)), std::string::npos) << p.name;
    EXPECT_NE(out.find("dialdelay=MS"), std::string::npos);
}

TEST(ModemSimProgram, BadArgumentsGiveOneLineAndExitTwo)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"COM3"},
        {"COM3=nope"},
        {"COM3=korvane336,bogus"},
        {"--frob", "COM3=korvane336"},
        {"COM3=korvane336", "COM3=other"},
    };
    for (const auto& args : cases) {
        CChild child(args);
        ASSERT_TRUE(child.Ok());
        const std::string err = child.ReadAllErr();
        EXPECT_EQ(child.Wait(), 2) << (args.empty() ? "(none)" : args[0]);
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(err.rfind("modem-sim: ", 0), 0u) << err;
        EXPECT_EQ(child.ReadAllOut(), "");
    }
}

TEST(ModemSimProgram, PrintsTheDevicesServesThemAndStopsCleanlyOnEachSignal)
{
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        CChild child({"COM3=korvane336", "COM5=other,nodialtone"});
        ASSERT_TRUE(child.Ok());
        const std::string out = child.ReadLines(2);
        const size_t nl = out.find('\n');
        ASSERT_NE(nl, std::string::npos) << out;
        const std::string com3 = out.substr(0, nl);
        ASSERT_EQ(com3.rfind("COM3=/dev/pts/", 0), 0u) << out;
        EXPECT_EQ(out.substr(nl + 1).rfind("COM5=/dev/pts/", 0), 0u) << out;
        const std::string path = com3.substr(5);

        EXPECT_EQ(simtest::Transact(path, "AT\r", 5), "AT\r\r\nOK\r\n");
        simtest::CSimPort holder(path);
        ASSERT_TRUE(holder.Ok());

        ASSERT_EQ(::kill(child.Pid(), sig), 0);
        EXPECT_EQ(child.Wait(), 0);
        // The terminal went with the program: its holder is hung up.
        EXPECT_FALSE(holder.Write("AT\r"));
    }
}

}  // namespace
