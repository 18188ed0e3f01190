// The utility in a real terminal: drawing, keys, mouse, resizing, the
// terminal's title, and the terminal given back on every way out.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>

#include "platform/comm/PtyPeer.h"
#include "tests/e2e/TerminalSession.h"

namespace {

using e2e::ReadTextFile;

using e2e::CTerminalSession;
using e2e::SessionOptions;

const std::string kPlovex = PLOVEX_BINARY_DIR "/app/plovex";

// Every port leads nowhere unless a test gives it a device.
SessionOptions NoPorts(int width = 80, int height = 24)
{
    SessionOptions o;
    o.width = width;
    o.height = height;
    for (int n = 1; n <= 8; ++n) o.env.push_back({"COM" + std::to_string(n), "/nonexistent/COM" + std::to_string(n)});
    return o;
}

class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!CTerminalSession::Available()) GTEST_SKIP() << "tmux is not installed";
        if (access(kPlovex.c_str(), X_OK) != 0) GTEST_SKIP() << kPlovex << " is not built";
    }
};

// The program runs under sh, which then records the terminal's settings, so
// a test can see whether the program gave the terminal back.
std::vector<std::string> ThenRecordTerminal(const std::string& file)
{
    return {"sh", "-c", "trap '' INT; \"$0\"; stty -a > \"$1\"", kPlovex, file};
}

int ChildOf(int pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    int child = 0;
    f >> child;
    return child;
}

bool Cooked(const std::string& stty)
{
    return stty.find(" icanon") != std::string::npos && stty.find("-icanon") == std::string::npos &&
           stty.find(" echo ") != std::string::npos && stty.find("-echo ") == std::string::npos;
}

TEST_F(TerminalTest, NoModemMessageBoxThenExitZero)
{
    CTerminalSession s({kPlovex}, NoPorts());
    ASSERT_TRUE(s.Started()) << s.Error();
    ASSERT_TRUE(s.WaitForText("No Korvane Modems Found - Exiting", 10000)) << s.Screen();
    EXPECT_EQ(s.Title(), "No Modem");
    s.SendKeys({"Enter"});
    auto status = s.WaitForExit(5000);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->code, 0);
    EXPECT_EQ(status->signal, 0);
    EXPECT_EQ(s.Screen().find("Korvane"), std::string::npos) << s.Screen();
}

TEST_F(TerminalTest, SignalsGiveTheTerminalBack)
{
    struct Case {
        const char* how;
        int signal;
    } cases[] = {{"C-c", SIGINT}, {"kill", SIGTERM}, {"kill", SIGHUP}};
    for (const Case& c : cases) {
        const std::string file = "/tmp/plovex-e2e-stty-" + std::to_string(getpid());
        std::remove(file.c_str());
        CTerminalSession s(ThenRecordTerminal(file), NoPorts());
        ASSERT_TRUE(s.Started()) << s.Error();
        ASSERT_TRUE(s.WaitForText("No Korvane Modems Found", 10000)) << s.Screen();
        int program = ChildOf(s.Pid());
        ASSERT_GT(program, 0);
        if (std::string(c.how) == "C-c")
            s.SendKeys({"C-c"});
        else
            kill(program, c.signal);
        ASSERT_TRUE(s.WaitForExit(5000)) << c.signal;
        const std::string stty = ReadTextFile(file);
        EXPECT_TRUE(Cooked(stty)) << c.signal << "\n" << stty;
        EXPECT_EQ(s.Screen().find("No Korvane"), std::string::npos) << c.signal << "\n" << s.Screen();
        std::remove(file.c_str());
    }
}

TEST_F(TerminalTest, TooSmallOrNoTerminal)
{
    // One line on standard error and a status that is not 0. (The message
    // goes to a file: tmux may drop what a program writes just before it
    // ends.)
    const std::string file = "/tmp/plovex-e2e-stderr-" + std::to_string(getpid());
    {
        CTerminalSession s({"sh", "-c", "exec \"$0\" 2>\"$1\"", kPlovex, file}, NoPorts(50, 15));
        ASSERT_TRUE(s.Started()) << s.Error();
        auto status = s.WaitForExit(5000);
        ASSERT_TRUE(status);
        EXPECT_EQ(status->code, 1);
        EXPECT_EQ(ReadTextFile(file), "plovex: the terminal is too small (50x15); it needs at least 59x19\n");
    }
    {
        const std::string command = "'" + kPlovex + "' </dev/null >/dev/null 2>'" + file + "'";
        int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        EXPECT_EQ(ReadTextFile(file), "plovex: standard output is not a terminal\n");
    }
    std::remove(file.c_str());
}

// A Korvane modem on COM3: the main dialog, the system menu by key and by
// mouse, the About box, resizing, and Alt+F4.
TEST_F(TerminalTest, MainDialogKeysMouseResize)
{
    plat::CPtyPeer modem("COM3");
    ASSERT_TRUE(modem.Ok());
    modem.SetAnswerer([](const std::string& line) {
        plat::CPtyPeer::SAnswer a;
        if (line.find("ATI3") != std::string::npos)
            a.bytes = "ATI3\r\r\nKorvane Portable 33.6\r\n(c) Korvane Revision V3.10-0422)\r\n\r\nOK\r\n";
        else
            a.bytes = line + "\r\nOK\r\n";
        return a;
    });
    SessionOptions options = NoPorts();
    options.env[2].second = modem.Path();
    CTerminalSession s({kPlovex}, options);
    ASSERT_TRUE(s.Started()) << s.Error();
    ASSERT_TRUE(s.WaitForText("COM3 - Korvane Modem", 15000)) << s.Screen();
    EXPECT_EQ(s.Title(), "Korvane Modem Test");
    const std::string main = s.Screen();
    EXPECT_EQ(main.substr(0, main.find('\n')), "┌[-]                Korvane Modem Test                 [x]┐");

    s.SendKeys({"M-Space"});
    ASSERT_TRUE(s.WaitForText("About Quillet...", 3000)) << s.Screen();
    s.SendKeys({"Escape"});
    ASSERT_TRUE(s.WaitUntil([](const std::string& sc) { return sc.find("About Quillet") == std::string::npos; }, 3000));

    s.Click(1, 0);  // the system-menu box
    ASSERT_TRUE(s.WaitForText("About Quillet...", 3000)) << s.Screen();
    s.Click(5, 5);  // its About entry
    ASSERT_TRUE(s.WaitForText("Korvane Quillet Version 2.0", 3000)) << s.Screen();
    EXPECT_EQ(s.Title(), "About Korvane Modem Test Utility");
    s.SendKeys({"Escape"});
    ASSERT_TRUE(s.WaitUntil([](const std::string& sc) { return sc.find("Quillet Version") == std::string::npos; }, 3000));
    ASSERT_TRUE(s.WaitUntil([&](const std::string&) { return s.Title() == "Korvane Modem Test"; }, 3000));

    s.Resize(50, 15);
    ASSERT_TRUE(s.WaitForText("Terminal too small: need 59x19", 3000)) << s.Screen();
    s.Resize(80, 24);
    ASSERT_TRUE(s.WaitForText("COM3 - Korvane Modem", 3000)) << s.Screen();

    // Enter with the focus on Cancel is Test Modem's (disabled): nothing.
    s.SendKeys({"Enter"});
    usleep(300000);
    EXPECT_TRUE(s.Running());
    ASSERT_TRUE(s.WaitForText("COM3 - Korvane Modem", 3000)) << s.Screen();

    s.SendKeys({"M-F4"});
    auto status = s.WaitForExit(5000);
    ASSERT_TRUE(status) << s.Screen();
    EXPECT_EQ(status->signal, 0);
    EXPECT_EQ(s.Screen().find("Korvane"), std::string::npos) << s.Screen();
}

}  // namespace
