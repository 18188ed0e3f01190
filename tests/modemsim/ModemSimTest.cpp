// The simulator on real pseudo-terminals, driven the way the program drives a
// port: one open, write, wait, read, close per command.
#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "SimPort.h"
#include "tools/modem-sim/ModemSim.h"

namespace {

using namespace std::string_literals;
using modemsim::CModemSim;
using simtest::CSimPort;
using simtest::Transact;

std::string Ati3Reply(const std::string& lines) { return "ATI3\r\r\n" + lines + "\r\n\r\nOK\r\n"; }

TEST(ModemSim, EachPortAnswersAti3WithItsProfile)
{
    const struct {
        const char* profile;
        std::string reply;
    } cases[] = {
        {"korvane336", Ati3Reply("Korvane Portable 33.6 Data+Fax Modem\r\nFirmware V3.10-0422  (c) 1998")},
        {"korvane56", Ati3Reply("Korvane Travel Card 56K V.90 (Revision 5.07.2)")},
        {"korvane288", Ati3Reply("Korvane Desk 28.8 Modem (Revision 1.9)\r\nB2.04-0311  (c) 1997")},
        {"korvane56norev", Ati3Reply("Korvane Travel Card 56K V.90")},
        {"korvanesplit", Ati3Reply("Korvane Office\r\n33.6 Data Modem\r\nFirmware V2.00-0101  (c) 1999")},
        {"other", Ati3Reply("Zentrox 56K Voice Modem (Revision 2.1)")},
    };
    std::vector<CModemSim::SPortSpec> portSettings;
    for (size_t i = 0; i < std::size(cases); ++i) portSettings.push_back({"COM" + std::to_string(i + 1), cases[i].profile});
    CModemSim sim;
    std::string error;
    ASSERT_TRUE(sim.Start(portSettings, &error)) << error;
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(Transact(sim.DevicePath(portSettings[i].name), "ATI3\r", 10), cases[i].reply) << cases[i].profile;
        EXPECT_EQ(sim.TakeReceived(portSettings[i].name), "ATI3\r");
        EXPECT_EQ(sim.TakeReceived(portSettings[i].name), "");
    }
}

struct STx {
    std::string command;
    int waitMs;
    std::string reply;
    int totalMs = 500;  // read limit; only a step that expects silence waits it out
};

TEST(ModemSim, SessionsAnswerAsTheProgramExpects)
{
    const struct {
        const char* setting;
        std::vector<STx> steps;
    } cases[] = {
        {"korvane336",
         {{"ATE0\r", 5, "ATE0\r\r\nOK\r\n"}, {"AT\r", 5, "\r\nOK\r\n"}, {"ATE1\r", 5, "\r\nOK\r\n"},
          {"ATM0\r", 5, "ATM0\r\r\nOK\r\n"}}},
        {"korvane336,dialdelay=60", {{"ATDT;\r", 200, "ATDT;\r\r\nOK\r\n"}, {"ATI2\r", 5, "ATI2\r\r\nOK\r\n"}}},
        {"korvane336,nodialtone,romfail,dialdelay=10",
         {{"ATDT;\r", 100, "ATDT;\r\r\nNO DIALTONE\r\n"}, {"ATI2\r", 5, "ATI2\r\r\nERROR\r\n"}}},
        {"korvane56,drop=B,guard=50",
         {{"AT&T3\r", 5, "AT&T3\r\r\nCONNECT 57600\r\n"}, {"A", 1, "A"}, {"B", 1, "", 100}, {"C", 1, "C"},
          {"+++", 250, "+++\r\nOK\r\n"}, {"AT&T0\r", 5, "AT&T0\r\r\nOK\r\n"}}},
        {"korvane56,noloopback", {{"AT&T3\r", 5, "AT&T3\r\r\nERROR\r\n"}}},
        {"korvane336", {{"ATX9\r", 5, "ATX9\r\r\nERROR\r\n"}, {"hello\r", 5, "hello\r"}, {"\x80\xff\0AT\r"s, 5, "\x80\xff\0AT\r\r\nOK\r\n"s}}},
        {"silent", {{"ATI3\r", 5, "", 100}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        CModemSim sim;
        std::string error;
        ASSERT_TRUE(sim.Start({{"COM3", c.setting}}, &error)) << error;
        for (const STx& tx : c.steps) {
            EXPECT_EQ(Transact(sim.DevicePath("COM3"), tx.command, tx.waitMs, 1025, tx.totalMs), tx.reply) << tx.command;
            EXPECT_TRUE(sim.WaitReceived("COM3", tx.command.size(), 2000));
            EXPECT_EQ(sim.TakeReceived("COM3"), tx.command);
        }
    }
}

TEST(ModemSim, LongReplyFillsTheReadAndTheRestIsGoneWithTheClose)
{
    CModemSim sim;
    ASSERT_TRUE(sim.Start({{"COM3", "long"}}));
    const std::string path = sim.DevicePath("COM3");

    const std::string whole = Transact(path, "ATI3\r", 20, 100000);
    EXPECT_GT(whole.size(), 1025u);
    EXPECT_EQ(whole.rfind("ATI3\r\r\nKorvane ", 0), 0u);
    EXPECT_EQ(whole.substr(whole.size() - 8), "\r\n\r\nOK\r\n");

    const std::string first = Transact(path, "ATI3\r", 20, 1025);
    EXPECT_EQ(first, whole.substr(0, 1025));
    ASSERT_TRUE(sim.WaitOpens("COM3", 2, 5000));
    ASSERT_TRUE(sim.WaitClosed("COM3", 5000));
    // What the last read left is not delivered to the next opener.
    EXPECT_EQ(Transact(path, "AT\r", 10), "AT\r\r\nOK\r\n");
}

TEST(ModemSim, NulByteComesThroughWithTextAfterIt)
{
    CModemSim sim;
    ASSERT_TRUE(sim.Start({{"COM3", "nul"}}));
    const std::string reply = Transact(sim.DevicePath("COM3"), "ATI3\r", 10);
    const size_t nul = reply.find('\0');
    ASSERT_NE(nul, std::string::npos);
    EXPECT_NE(reply.find("(c)", nul), std::string::npos);
    EXPECT_EQ(std::string(reply.c_str()).find("(c)"), std::string::npos);
    EXPECT_EQ(std::string(reply.c_str()), "ATI3\r\r\nKorvane 33.6 Modem");
}

TEST(ModemSim, AnswerDueWhileThePortIsClosedIsLost)
{
    CModemSim sim;
    ASSERT_TRUE(sim.Start({{"COM3", "korvane336,replydelay=40"}}));
    const std::string path = sim.DevicePath("COM3");
    {
        CSimPort port(path);
        ASSERT_TRUE(port.Write("ATI3\r"));
        ASSERT_TRUE(sim.WaitReceived("COM3", 5, 2000));
    }
    plat::CRealClock().SleepMs(150);  // the ATI3 answer falls due with nobody there
    EXPECT_EQ(Transact(path, "AT\r", 100), "AT\r\r\nOK\r\n");
}

TEST(ModemSim, OpensByOthersAreCountedAndAwaited)
{
    CModemSim sim;
    ASSERT_TRUE(sim.Start({{"COM3", "korvane336"}, {"COM4", "other"}}));
    const std::string path = sim.DevicePath("COM3");
    EXPECT_EQ(sim.Opens("COM3"), 0);  // the simulator's own descriptor does not count
    EXPECT_FALSE(sim.IsOpen("COM3"));
    EXPECT_FALSE(sim.WaitOpens("COM3", 1, 20));

    std::thread opener([&] {
        plat::CRealClock().SleepMs(30);
        CSimPort port(path);
        plat::CRealClock().SleepMs(30);
    });
    EXPECT_TRUE(sim.WaitOpens("COM3", 1, 5000));
    EXPECT_TRUE(sim.WaitClosed("COM3", 5000));
    opener.join();
    EXPECT_EQ(sim.Opens("COM3"), 1);
    EXPECT_EQ(sim.Opens("COM4"), 0);

    {
        CSimPort port(path);
        ASSERT_TRUE(port.Ok());
        EXPECT_TRUE(sim.WaitOpens("COM3", 2, 5000));
        EXPECT_TRUE(sim.IsOpen("COM3"));
        EXPECT_FALSE(sim.WaitClosed("COM3", 20));
    }
    EXPECT_TRUE(sim.WaitClosed("COM3", 5000));
    EXPECT_FALSE(sim.WaitOpens("NOPE", 0, 0));
}

int ExclusiveMode(int fd)
{
    int exclusive = -1;
    ::ioctl(fd, TIOCGEXCL, &exclusive);
    return exclusive;
}

// The exclusive mode the program sets must not outlive its descriptor, as it
// would on a pseudo-terminal: it would refuse the program's next transaction.
TEST(ModemSim, ExclusiveModeIsGoneOnceTheProgramWroteOrClosed)
{
    CModemSim sim;
    ASSERT_TRUE(sim.Start({{"COM3", "korvane336"}, {"COM4", "silent"}}));
    for (const char* name : {"COM3", "COM4"}) {
        CSimPort port(sim.DevicePath(name));
        ASSERT_TRUE(port.Ok());
        ASSERT_EQ(ExclusiveMode(port.Fd()), 1);
        ASSERT_TRUE(port.Write("AT\r"));
        ASSERT_TRUE(sim.WaitReceived(name, 3, 5000));
        EXPECT_EQ(ExclusiveMode(port.Fd()), 0) << name;
    }

    const std::string path = sim.DevicePath("COM3");
    const int opensBefore = sim.Opens("COM3");
    { CSimPort port(path); }  // sets the mode, writes nothing
    ASSERT_TRUE(sim.WaitOpens("COM3", opensBefore + 1, 5000));
    ASSERT_TRUE(sim.WaitClosed("COM3", 5000));
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);  // root may open anyway
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ExclusiveMode(fd), 0);
    ::close(fd);
}

TEST(ModemSim, LoopbackStateIsVisible)
{
    CModemSim sim;
    ASSERT_TRUE(sim.Start({{"COM3", "korvane56,guard=30"}}));
    const std::string path = sim.DevicePath("COM3");
    EXPECT_FALSE(sim.InLoopback("COM3"));
    // The mode changes as the answer goes out.
    ASSERT_EQ(Transact(path, "AT&T3\r", 5), "AT&T3\r\r\nCONNECT 57600\r\n");
    EXPECT_TRUE(sim.InLoopback("COM3"));
    ASSERT_EQ(Transact(path, "+++", 150), "+++\r\nOK\r\n");
    EXPECT_FALSE(sim.InLoopback("COM3"));
}

TEST(ModemSim, VanishedPortFailsItsHolderAndCannotBeOpened)
{
    CModemSim sim;
    ASSERT_TRUE(sim.Start({{"COM3", "korvane336"}, {"COM4", "korvane56"}}));
    const std::string path = sim.DevicePath("COM3");
    CSimPort port(path);
    ASSERT_TRUE(port.Ok());
    ASSERT_TRUE(sim.WaitOpens("COM3", 1, 5000));

    EXPECT_TRUE(sim.Vanish("COM3"));
    EXPECT_FALSE(port.Write("ATI3\r"));
    EXPECT_EQ(errno, EIO);
    pollfd pfd{port.Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 0), 1);
    EXPECT_TRUE(pfd.revents & POLLHUP);
    EXPECT_FALSE(sim.IsOpen("COM3"));
    EXPECT_FALSE(sim.Vanish("COM3"));

    // The other port is still served.
    EXPECT_EQ(Transact(sim.DevicePath("COM4"), "AT\r", 5), "AT\r\r\nOK\r\n");
}

TEST(ModemSim, EnvironmentNamesEveryDevice)
{
    CModemSim sim;
    ASSERT_TRUE(sim.Start({{"COM3", "korvane336"}, {"COM5", "other"}}));
    const std::vector<std::string> expected = {"COM3=" + sim.DevicePath("COM3"), "COM5=" + sim.DevicePath("COM5")};
    EXPECT_EQ(sim.EnvAssignments(), expected);
    EXPECT_EQ(sim.DevicePath("COM3").rfind("/dev/pts/", 0), 0u);
    EXPECT_NE(sim.DevicePath("COM3"), sim.DevicePath("COM5"));
    EXPECT_EQ(sim.DevicePath("COM4"), "");
    EXPECT_EQ(sim.PortNames(), (std::vector<std::string>{"COM3", "COM5"}));

    sim.ExportEnvironment();
    const char* com5 = std::getenv("COM5");
    ASSERT_NE(com5, nullptr);
    EXPECT_EQ(com5, sim.DevicePath("COM5"));
    ::unsetenv("COM3");
    ::unsetenv("COM5");
}

TEST(ModemSim, StartRefusesBadPortListsAndLeavesNothingBehind)
{
    const std::vector<std::vector<CModemSim::SPortSpec>> bad = {
        {},
        {{"COM3", "korvane336"}, {"COM3", "other"}},
        {{"COM3", "korvane336"}, {"COM4", "nope"}},
        {{"COM 3", "korvane336"}},
        {{"COM3", "korvane336,guard=x"}},
    };
    for (const auto& ports : bad) {
        CModemSim sim;
        std::string error;
        EXPECT_FALSE(sim.Start(ports, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(sim.PortNames().empty());
    }

    CModemSim sim;
    ASSERT_TRUE(sim.Start({{"COM3", "korvane336"}}));
    std::string error;
    EXPECT_FALSE(sim.Start({{"COM4", "korvane336"}}, &error));
    EXPECT_FALSE(error.empty());
}

TEST(ModemSim, StopRemovesTheDevices)
{
    CModemSim sim;
    ASSERT_TRUE(sim.Start({{"COM3", "korvane336"}}));
    CSimPort holder(sim.DevicePath("COM3"));
    ASSERT_TRUE(holder.Ok());
    sim.Stop();
    // The terminal is gone: its holder is hung up. (Whether the path exists
    // says nothing: another process may get the same terminal number at once.)
    EXPECT_FALSE(holder.Write("AT\r"));
    EXPECT_EQ(errno, EIO);
    sim.Stop();  // twice is harmless
}

}  // namespace
