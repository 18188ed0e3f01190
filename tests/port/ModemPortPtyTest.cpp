// The port transaction through the real port calls, against pseudo-terminals
// standing in for a modem on COM4.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/base/Clock.h"
#include "platform/comm/PtyPeer.h"
#include "port/ModemPort.h"

namespace {

using namespace std::string_literals;
using plat::CPtyPeer;

class PtyTransaction : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(peer.Ok()); }

    plat::TimeMs Elapsed() const { return plat::Clock().Now() - start; }

    CPtyPeer peer{"COM4"};
    CModemPort port;
    plat::TimeMs start = plat::Clock().Now();
};

TEST_F(PtyTransaction, ReplyComesBackUnchangedSoonAfterItsLastByte)
{
    // Bytes a line discipline would change or act on: CR, LF, ^C, DEL, 0xFF.
    const std::string reply = "ATI3\r\r\nKorvane \x03\x7f\xff\r\n\r\nOK\r\n";
    peer.SetAnswerer([&](const std::string& line) { return CPtyPeer::SAnswer{line == "ATI3\r" ? reply : "", 30}; });
    EXPECT_EQ(port.Transact("COM4", "ATI3", 100, "\r").Str(), reply);
    EXPECT_EQ(peer.Received(), "ATI3\r");
    EXPECT_LT(Elapsed(), 100 + 10550);  // ended by the 20 ms after the last byte
}

TEST_F(PtyTransaction, PortHeldElsewhereGivesInvalidPortErrorAtOnce)
{
    HANDLE other = CreateFileA("COM4", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(port.Transact("COM4", "ATI3", 5000, "\r"), "Invalid Port Error");
    EXPECT_LT(Elapsed(), 5000);
    CloseHandle(other);
}

TEST_F(PtyTransaction, DeviceThatIsNoSerialPortGivesInvalidPortError)
{
    setenv("COM7", "/dev/null", 1);
    EXPECT_EQ(port.Transact("COM7", "ATI3", 5000, "\r"), "Invalid Port Error");
    unsetenv("COM7");
    EXPECT_LT(Elapsed(), 5000);
}

TEST_F(PtyTransaction, DeviceVanishingDuringTheReadGivesErrorReadingPort)
{
    peer.SetAnswerer([](const std::string&) { return CPtyPeer::SAnswer{"", 150, true}; });
    EXPECT_EQ(port.Transact("COM4", "ATI3", 1, "\r"), "Error Reading Port");
    EXPECT_LT(Elapsed(), 10550);
}

// The one transaction on real time that runs its whole read.
TEST_F(PtyTransaction, SilentDeviceGivesTheEmptyTextAfterWaitAndTheWholeReadTime)
{
    EXPECT_EQ(port.Transact("COM4", "ATI3", 10, "\r"), "");
    EXPECT_GE(Elapsed(), 10 + 10550);
    EXPECT_EQ(peer.Received(), "ATI3\r");
    // The port is closed again: it opens.
    HANDLE again = CreateFileA("COM4", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

}  // namespace
