// The scripted port stand-in that the dialog and port tests are built on.
#include <gtest/gtest.h>

#include "platform/base/Clock.h"
#include "platform/comm/FakeCommApi.h"

namespace {

using plat::CommCall;

class FakePort : public ::testing::Test {
protected:
    HANDLE Open(const char* name)
    {
        return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
    }

    std::string Exchange(HANDLE h, const std::string& line)
    {
        COMMTIMEOUTS to{20, 10, 300, 10, 100};
        SetCommTimeouts(h, &to);
        DWORD n = 0;
        WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &n, nullptr);
        char buf[1025] = {};
        ReadFile(h, buf, sizeof buf, &n, nullptr);
        return std::string(buf, n);
    }

    plat::CVirtualClock clock;
    plat::CScopedClock scoped{clock};
    plat::CFakeCommApi fake;
};

TEST_F(FakePort, AnswersByExactLineThenResponderElseSilenceAndTakesPortTime)
{
    fake.SetReply("COM3", "ATI3\r", "Korvane\r\nOK\r\n");
    fake.SetResponder([](const std::string& port, const std::string& line) { return port + ":" + line; });
    HANDLE h = Open("COM3");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);

    EXPECT_EQ(Exchange(h, "ATI3\r"), "Korvane\r\nOK\r\n");
    EXPECT_EQ(clock.Now(), 20);  // the interval timeout after the last byte
    EXPECT_EQ(Exchange(h, "ATE1\r"), "COM3:ATE1\r");
    fake.SetResponder(nullptr);
    EXPECT_EQ(Exchange(h, "ATE1\r"), "");
    EXPECT_EQ(clock.Now(), 40 + 10550);  // the whole total timeout
    Sleep(700);
    EXPECT_EQ(clock.Now(), 40 + 10550 + 700);

    const auto writes = fake.Writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0], std::make_pair(std::string("COM3"), std::string("ATI3\r")));
    EXPECT_TRUE(CloseHandle(h));
}

TEST_F(FakePort, PortsExistOpenOnceAndCanBeMissingOrBusy)
{
    fake.SetMissing("COM1");
    fake.SetBusy("COM2");
    EXPECT_EQ(Open("COM1"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open("COM2"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open("COM9"), INVALID_HANDLE_VALUE);
    HANDLE h = Open("COM8");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(fake.IsOpen("COM8"));
    EXPECT_EQ(Open("COM8"), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_FALSE(fake.IsOpen("COM8"));
    EXPECT_EQ(fake.Opens(), (std::vector<std::string>{"COM1", "COM2", "COM9", "COM8", "COM8"}));
}

TEST_F(FakePort, FailsTheNextTheNthOrEveryCallOfAKind)
{
    HANDLE h = Open("COM3");
    DCB dcb;
    fake.FailNext(CommCall::GetCommState);
    fake.FailNth(CommCall::GetCommState, 3);
    EXPECT_FALSE(GetCommState(h, &dcb));
    EXPECT_TRUE(GetCommState(h, &dcb));
    EXPECT_FALSE(GetCommState(h, &dcb));
    EXPECT_TRUE(GetCommState(h, &dcb));

    fake.FailAlways(CommCall::CloseHandle);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_TRUE(fake.IsOpen("COM3"));
    fake.ClearFailures();
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(fake.Count(CommCall::CloseHandle), 3);
    EXPECT_FALSE(fake.Calls(CommCall::CloseHandle)[0].ok);
}

TEST_F(FakePort, PropertiesFillTheClaimedBlockAndReportTheFullLength)
{
    fake.SetPacketLength("COM3", 100);
    HANDLE h = Open("COM3");
    alignas(COMMPROP) unsigned char block[128] = {};
    auto* prop = reinterpret_cast<COMMPROP*>(block);
    prop->wPacketLength = 80;
    ASSERT_TRUE(GetCommProperties(h, prop));
    EXPECT_EQ(prop->wPacketLength, 100);
    EXPECT_EQ(block[79], 0xA5);
    EXPECT_EQ(block[80], 0);  // beyond the claimed block: untouched
    EXPECT_EQ(fake.Calls(CommCall::GetCommProperties)[0].value, 80u);
    CloseHandle(h);
}

}  // namespace
