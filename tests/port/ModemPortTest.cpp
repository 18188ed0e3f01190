// The port transaction against the scripted port stand-in, on virtual time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/base/Clock.h"
#include "platform/comm/FakeCommApi.h"
#include "port/ModemPort.h"

namespace {

using namespace std::string_literals;
using plat::CommCall;

const std::string kReply = "ATI3\r\r\nKorvane 33.6 Data/Fax Modem\r\n\r\nOK\r\n";

class Transaction : public ::testing::Test {
protected:
    Transaction() { fake.SetReply("COM3", "ATI3\r", kReply); }

    CString Run(int wait = 1100) { return port.Transact("COM3", "ATI3", wait, "\r"); }
    // Runs a transaction; true when it began by closing a port left open.
    bool RunClosesLeftOverFirst()
    {
        fake.ClearCalls();
        EXPECT_EQ(Run(), kReply.c_str());
        const auto seq = fake.Sequence();
        return seq.size() > 1 && seq[0] == CommCall::CloseHandle && seq[1] == CommCall::CreateFileA;
    }

    plat::CVirtualClock clock;
    plat::CScopedClock scoped{clock};
    plat::CFakeCommApi fake;
    CModemPort port;
};

TEST_F(Transaction, OpensConfiguresWritesWaitsReadsAndCloses)
{
    DCB seeded;
    seeded.BaudRate = 9600;
    seeded.ByteSize = 7;
    seeded.Parity = EVENPARITY;
    seeded.StopBits = TWOSTOPBITS;
    seeded.fParity = 1;
    seeded.fOutxCtsFlow = 1;
    seeded.fRtsControl = RTS_CONTROL_HANDSHAKE;
    seeded.fOutX = 1;
    seeded.XonChar = 'Q';
    fake.SetState("COM3", seeded);

    EXPECT_EQ(Run(1100), kReply.c_str());

    EXPECT_EQ(fake.Sequence(),
              (std::vector<CommCall>{CommCall::CreateFileA, CommCall::GetCommProperties, CommCall::GetCommProperties,
                                     CommCall::GetCommState, CommCall::SetCommState, CommCall::GetCommTimeouts,
                                     CommCall::SetCommTimeouts, CommCall::WriteFile, CommCall::Sleep,
                                     CommCall::ReadFile, CommCall::CloseHandle}));
    const auto& calls = fake.Calls();
    EXPECT_EQ(calls[0].port, "COM3");
    EXPECT_EQ(calls[0].open, (std::array<DWORD, 4>{GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING}));
    EXPECT_TRUE(calls[0].nullPointers);
    EXPECT_EQ(calls[1].value, 64u);
    EXPECT_EQ(calls[2].value, 64u);

    DCB expected = seeded;
    expected.BaudRate = 57600;
    expected.ByteSize = 8;
    expected.Parity = NOPARITY;
    expected.StopBits = ONESTOPBIT;
    EXPECT_TRUE(calls[4].dcb == expected);

    const COMMTIMEOUTS& to = calls[6].timeouts;
    EXPECT_EQ(to.ReadIntervalTimeout, 20u);
    EXPECT_EQ(to.ReadTotalTimeoutMultiplier, 10u);
    EXPECT_EQ(to.ReadTotalTimeoutConstant, 300u);
    EXPECT_EQ(to.WriteTotalTimeoutMultiplier, 10u);
    EXPECT_EQ(to.WriteTotalTimeoutConstant, 100u);

    EXPECT_EQ(calls[7].bytes, "ATI3\r");
    EXPECT_EQ(calls[8].value, 1100u);
    EXPECT_EQ(calls[9].value, 1025u);
    EXPECT_TRUE(calls[9].nullPointers);
    EXPECT_FALSE(fake.IsOpen("COM3"));
    EXPECT_EQ(clock.Now(), 1100 + 20);
}

struct SFailure {
    CommCall call;
    int nth;
    const char* text;
    bool waited;  // the failure comes after the wait
};

void PrintTo(const SFailure& f, std::ostream* os) { *os << f.text; }

class FailedStep : public Transaction, public ::testing::WithParamInterface<SFailure> {};

TEST_P(FailedStep, GivesItsTextAndLeavesThePortHeldUntilTheNextTransaction)
{
    const SFailure& f = GetParam();
    fake.FailNth(f.call, f.nth);
    EXPECT_EQ(Run(1100), f.text);
    EXPECT_EQ(clock.Now(), f.waited ? 1100 : 0);
    EXPECT_EQ(fake.Count(CommCall::CloseHandle), 0);
    EXPECT_TRUE(fake.IsOpen("COM3"));

    // The next transaction closes the left-over port first and opens it again.
    EXPECT_TRUE(RunClosesLeftOverFirst());
    EXPECT_FALSE(fake.IsOpen("COM3"));
}

TEST_P(FailedStep, LeftOverPortIsClosedByClosePortOrDestruction)
{
    const SFailure& f = GetParam();
    fake.FailNth(f.call, f.nth);
    ASSERT_EQ(Run(), f.text);
    EXPECT_TRUE(port.ClosePort());
    EXPECT_FALSE(fake.IsOpen("COM3"));
    EXPECT_TRUE(port.ClosePort());
    EXPECT_EQ(fake.Count(CommCall::CloseHandle), 1);

    {
        CModemPort other;
        fake.FailNth(f.call, fake.Count(f.call) + f.nth);
        ASSERT_EQ(other.Transact("COM3", "ATI3", 1, "\r"), f.text);
        EXPECT_TRUE(fake.IsOpen("COM3"));
    }
    EXPECT_FALSE(fake.IsOpen("COM3"));
}

INSTANTIATE_TEST_SUITE_P(Steps, FailedStep,
                         ::testing::Values(SFailure{CommCall::GetCommProperties, 2, "CommProp Error", false},
                                           SFailure{CommCall::GetCommState, 1, "ComState Error", false},
                                           SFailure{CommCall::SetCommState, 1, "CBR Error", false},
                                           SFailure{CommCall::GetCommTimeouts, 1, "Timeouts Error", false},
                                           SFailure{CommCall::SetCommTimeouts, 1, "SetComTimeouts", false},
                                           SFailure{CommCall::WriteFile, 1, "Error Writing To Port", false},
                                           SFailure{CommCall::ReadFile, 1, "Error Reading Port", true}),
                         [](const auto& step) { return std::string(plat::CommCallName(step.param.call)); });

TEST_F(Transaction, PortThatDoesNotOpenGivesInvalidPortErrorAtOnceWithNothingHeld)
{
    for (const char* name : {"COM9", "COM1", "COM2", "COM3"}) {
        fake.SetMissing("COM1");
        fake.SetBusy("COM2");
        fake.FailNext(CommCall::CreateFileA, name == "COM3"s ? 1 : 0);
        EXPECT_EQ(port.Transact(name, "ATI3", 1100, "\r"), "Invalid Port Error") << name;
    }
    EXPECT_EQ(clock.Now(), 0);
    EXPECT_EQ(fake.Count(CommCall::Sleep), 0);
    EXPECT_EQ(fake.Count(CommCall::CloseHandle), 0);
    EXPECT_FALSE(RunClosesLeftOverFirst());
}

TEST_F(Transaction, FailingFirstPropertiesQueryIsHarmless)
{
    fake.FailNth(CommCall::GetCommProperties, 1);
    fake.SetPacketLength("COM3", 300);
    EXPECT_EQ(Run(), kReply.c_str());
    EXPECT_EQ(fake.Calls(CommCall::GetCommProperties)[1].value, 64u);
}

TEST_F(Transaction, PropertiesBlockTakesTheReportedSizeButNeverLessThanTheRecord)
{
    for (WORD length : std::initializer_list<WORD>{64, 65, 200, 4096, 65535, 10, 0}) {
        fake.SetPacketLength("COM3", length);
        fake.ClearCalls();
        ASSERT_EQ(Run(), kReply.c_str()) << length;
        const auto queries = fake.Calls(CommCall::GetCommProperties);
        ASSERT_EQ(queries.size(), 2u);
        EXPECT_EQ(queries[0].value, 64u);
        EXPECT_EQ(queries[1].value, std::max<DWORD>(length, 64)) << length;
    }
}

TEST_F(Transaction, ReplyIsTheBytesUpToTheFirstNulAndAtMost1025)
{
    const std::string longReply = std::string(1025, 'x') + "tail";
    struct {
        std::string reply, expected;
    } const cases[] = {
        {"OK\r\n", "OK\r\n"},
        {"AB\0CD\r\n"s, "AB"},
        {"\0OK"s, ""},
        {"\x01\x7f\xff\x1b[A\r"s, "\x01\x7f\xff\x1b[A\r"},
        {longReply, longReply.substr(0, 1025)},
    };
    for (const auto& c : cases) {
        fake.SetReply("COM3", "ATI3\r", c.reply);
        EXPECT_EQ(Run().Str(), c.expected);
    }
}

TEST_F(Transaction, SilentDeviceGivesTheEmptyTextAfterWaitAndTheWholeReadTime)
{
    EXPECT_EQ(port.Transact("COM4", "ATI3", 1100, "\r"), "");
    EXPECT_EQ(clock.Now(), 1100 + 10550);
    EXPECT_FALSE(fake.IsOpen("COM4"));
}

TEST_F(Transaction, WritesTheCommandFollowedByTheTerminatorAndNothingElse)
{
    struct {
        CString command, terminator;
        std::string written;
    } const cases[] = {
        {"ATI3", "\r", "ATI3\r"},
        {"+++", "", "+++"},
        {"&", "", "&"},
        {CString("A\0B", 3), "", "A\0B"s},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        fake.ClearCalls();
        port.Transact("COM3", c.command, 1, c.terminator);
        ASSERT_EQ(fake.Writes().size(), 1u);
        EXPECT_EQ(fake.Writes()[0].second, c.written);
    }
}

TEST_F(Transaction, NegativeWaitIsNoWait)
{
    EXPECT_EQ(Run(-5), kReply.c_str());
    EXPECT_EQ(fake.Calls(CommCall::Sleep)[0].value, 0u);
}

TEST_F(Transaction, ClosePortWithNothingOpenReturnsTrueAndCallsNothing)
{
    EXPECT_TRUE(port.ClosePort());
    Run();
    fake.ClearCalls();
    EXPECT_TRUE(port.ClosePort());
    EXPECT_TRUE(fake.Calls().empty());
}

TEST_F(Transaction, FailedCloseLeavesThePortHeldAndClosePortSaysSo)
{
    fake.FailNth(CommCall::ReadFile, 1);
    ASSERT_EQ(Run(), "Error Reading Port");
    fake.FailNext(CommCall::CloseHandle);
    EXPECT_FALSE(port.ClosePort());
    EXPECT_TRUE(fake.IsOpen("COM3"));
    EXPECT_TRUE(port.ClosePort());
    EXPECT_FALSE(fake.IsOpen("COM3"));
}

TEST_F(Transaction, CloseAfterTheReadIsRetriedABoundedNumberOfTimes)
{
    fake.FailNext(CommCall::CloseHandle, CModemPort::kCloseTries - 1);
    EXPECT_EQ(Run(), kReply.c_str());
    EXPECT_EQ(fake.Count(CommCall::CloseHandle), CModemPort::kCloseTries);
    EXPECT_FALSE(fake.IsOpen("COM3"));

    // A close that never succeeds: the reply still comes back, the port stays
    // held, and the next transaction closes it first.
    fake.ClearCalls();
    fake.FailAlways(CommCall::CloseHandle);
    EXPECT_EQ(Run(), kReply.c_str());
    EXPECT_EQ(fake.Count(CommCall::CloseHandle), CModemPort::kCloseTries);
    EXPECT_TRUE(fake.IsOpen("COM3"));
    fake.ClearFailures();
    EXPECT_TRUE(RunClosesLeftOverFirst());
    EXPECT_FALSE(fake.IsOpen("COM3"));
}

TEST_F(Transaction, PortHeldByOneObjectIsInvalidForAnotherUntilReleased)
{
    fake.FailNth(CommCall::ReadFile, 1);
    auto holder = std::make_unique<CModemPort>();
    ASSERT_EQ(holder->Transact("COM3", "ATI3", 1, "\r"), "Error Reading Port");
    EXPECT_EQ(Run(), "Invalid Port Error");
    holder.reset();
    EXPECT_EQ(Run(), kReply.c_str());
}

// Properties blocks that can't be allocated.
int g_allocations = 0;
int g_failAllocation = 0;
void* FailingCalloc(std::size_t count, std::size_t size)
{
    return ++g_allocations == g_failAllocation ? nullptr : std::calloc(count, size);
}

class AllocationFailure : public Transaction, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        g_allocations = 0;
        g_failAllocation = GetParam();
        SetCommPropAllocator(FailingCalloc);
    }
    void TearDown() override { SetCommPropAllocator(nullptr); }
};

TEST_P(AllocationFailure, GivesCommPropErrorWithThePortClosed)
{
    EXPECT_EQ(Run(), "CommProp Error");
    EXPECT_FALSE(fake.IsOpen("COM3"));
    EXPECT_EQ(fake.Count(CommCall::CloseHandle), 1);
    EXPECT_TRUE(port.ClosePort());
    EXPECT_FALSE(RunClosesLeftOverFirst());
}

INSTANTIATE_TEST_SUITE_P(SizingOrHolding, AllocationFailure, ::testing::Values(1, 2));

}  // namespace
