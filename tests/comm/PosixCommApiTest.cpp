// The POSIX port calls against pseudo-terminals standing in for COM ports.
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/base/Clock.h"
#include "platform/comm/Comm.h"
#include "platform/comm/PtyPeer.h"

namespace {

using namespace std::string_literals;

HANDLE OpenPort(const char* name)
{
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
}

// Closes a handle at the end of a test.
struct SPort {
    HANDLE h;
    explicit SPort(HANDLE handle) : h(handle) {}
    ~SPort()
    {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    SPort(const SPort&) = delete;
    SPort& operator=(const SPort&) = delete;
};

class PosixPort : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(peer.Ok()); }

    termios PortSettings() const
    {
        termios t{};
        tcgetattr(peer.PortFd(), &t);
        return t;
    }

    static std::string Read(HANDLE h, DWORD count, BOOL* ok = nullptr)
    {
        std::string buf(count, '\0');
        DWORD got = 0;
        const BOOL rc = ReadFile(h, buf.data(), count, &got, nullptr);
        if (ok) *ok = rc;
        buf.resize(got);
        return buf;
    }

    static BOOL Write(HANDLE h, const std::string& bytes)
    {
        DWORD written = 0;
        return WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

    static void SetTimeouts(HANDLE h, DWORD interval, DWORD multiplier, DWORD constant)
    {
        COMMTIMEOUTS to{interval, multiplier, constant, 10, 100};
        ASSERT_TRUE(SetCommTimeouts(h, &to));
    }

    plat::CPtyPeer peer{"COM5"};
};

TEST_F(PosixPort, OnlyCom1ToCom8OpenAndOnlyAsExclusiveSynchronousExistingDevices)
{
    struct {
        const char* name;
        DWORD access, share, disposition, flags;
    } const cases[] = {
        {"COM0", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0},
        {"COM9", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0},
        {"COM10", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0},
        {"COM", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0},
        {"LPT1", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0},
        {"", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0},
        {nullptr, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0},
        {"COM5", GENERIC_READ | GENERIC_WRITE, 1, OPEN_EXISTING, 0},
        {"COM5", GENERIC_READ | GENERIC_WRITE, 0, 2, 0},
        {"COM5", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, FILE_FLAG_OVERLAPPED},
        {"COM5", 0, 0, OPEN_EXISTING, 0},
    };
    for (const auto& c : cases) {
        SPort port(CreateFileA(c.name, c.access, c.share, nullptr, c.disposition, c.flags, nullptr));
        EXPECT_EQ(port.h, INVALID_HANDLE_VALUE) << (c.name ? c.name : "(null)") << " share " << c.share;
    }
    SPort lower(OpenPort("com5"));
    EXPECT_NE(lower.h, INVALID_HANDLE_VALUE);
}

TEST_F(PosixPort, DeviceThatIsNoTerminalOrTheProgramsOwnFailsToOpen)
{
    for (const char* path : {"/dev/null", "/nonexistent/tty", "/tmp", "/dev/tty"}) {
        setenv("COM6", path, 1);
        SPort port(OpenPort("COM6"));
        EXPECT_EQ(port.h, INVALID_HANDLE_VALUE) << path;
    }
    unsetenv("COM6");

    // The terminal on the program's standard input.
    const int savedStdin = dup(STDIN_FILENO);
    ASSERT_GE(savedStdin, 0);
    dup2(peer.PortFd(), STDIN_FILENO);
    SPort own(OpenPort("COM5"));
    dup2(savedStdin, STDIN_FILENO);
    close(savedStdin);
    EXPECT_EQ(own.h, INVALID_HANDLE_VALUE);
}

TEST_F(PosixPort, PortInUseFailsToOpenUntilClosed)
{
    HANDLE first = OpenPort("COM5");
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    SPort second(OpenPort("COM5"));
    EXPECT_EQ(second.h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(first));
    SPort third(OpenPort("COM5"));
    EXPECT_NE(third.h, INVALID_HANDLE_VALUE);
}

TEST_F(PosixPort, BytesPassUnchangedBothWaysAndModemControlStays)
{
    // Start from a cooked line: echo, line editing, signals, CR/LF mapping,
    // output processing, XON/XOFF, 7-bit stripping; hang-up on close on and
    // local mode off.
    termios t = PortSettings();
    t.c_iflag |= ICRNL | IXON | IXOFF | ISTRIP | INLCR;
    t.c_oflag |= OPOST | ONLCR | OCRNL;
    t.c_lflag |= ECHO | ICANON | ISIG | IEXTEN;
    t.c_cflag |= HUPCL;
    t.c_cflag &= ~CLOCAL;
    ASSERT_EQ(tcsetattr(peer.PortFd(), TCSANOW, &t), 0);

    SPort port(OpenPort("COM5"));
    ASSERT_NE(port.h, INVALID_HANDLE_VALUE);
    SetTimeouts(port.h, 20, 0, 2000);
    const std::string bytes = "A\r\n\0\x03\x7f\xff\x11\x13Z"s;

    EXPECT_TRUE(Write(port.h, bytes));
    EXPECT_TRUE(peer.WaitReceived(bytes.size(), 2000));
    peer.Send(bytes);
    EXPECT_EQ(Read(port.h, 64), bytes);
    EXPECT_EQ(peer.Received(), bytes);  // no echo of what came in

    const termios after = PortSettings();
    EXPECT_TRUE(after.c_cflag & HUPCL);
    EXPECT_FALSE(after.c_cflag & CLOCAL);
    EXPECT_TRUE(after.c_cflag & CREAD);
}

TEST_F(PosixPort, SetCommStateChangesOnlyTheLineSettingsItIsGiven)
{
    termios t = PortSettings();
    cfsetspeed(&t, B9600);
    t.c_cflag |= CSTOPB | CRTSCTS | HUPCL;
    t.c_cc[VSTART] = 'Q';
    ASSERT_EQ(tcsetattr(peer.PortFd(), TCSANOW, &t), 0);

    SPort port(OpenPort("COM5"));
    ASSERT_NE(port.h, INVALID_HANDLE_VALUE);
    DCB dcb;
    dcb.BaudRate = 1;
    ASSERT_TRUE(GetCommState(port.h, &dcb));
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.fOutxCtsFlow, 1);
    EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_HANDSHAKE);
    EXPECT_EQ(dcb.XonChar, 'Q');

    dcb.BaudRate = 57600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    ASSERT_TRUE(SetCommState(port.h, &dcb));

    const termios after = PortSettings();
    EXPECT_EQ(cfgetospeed(&after), B57600);
    EXPECT_EQ(cfgetispeed(&after), B57600);
    EXPECT_EQ(after.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(after.c_cflag & (PARENB | CSTOPB));
    EXPECT_TRUE(after.c_cflag & CRTSCTS);
    EXPECT_TRUE(after.c_cflag & HUPCL);
    EXPECT_EQ(after.c_cc[VSTART], 'Q');
    DCB back;
    ASSERT_TRUE(GetCommState(port.h, &back));
    EXPECT_EQ(back.BaudRate, 57600u);
    EXPECT_EQ(back.StopBits, ONESTOPBIT);
}

TEST_F(PosixPort, SetCommStateRefusesWhatTheLineCannotHonourAndChangesNothing)
{
    SPort port(OpenPort("COM5"));
    ASSERT_NE(port.h, INVALID_HANDLE_VALUE);
    DCB good;
    ASSERT_TRUE(GetCommState(port.h, &good));
    good.BaudRate = 57600;
    ASSERT_TRUE(SetCommState(port.h, &good));

    struct {
        const char* what;
        void (*change)(DCB&);
    } const cases[] = {
        {"unknown rate", [](DCB& d) { d.BaudRate = 12345; }},
        {"9 data bits", [](DCB& d) { d.ByteSize = 9; }},
        {"parity 7", [](DCB& d) { d.Parity = 7; }},
        {"1.5 stop bits", [](DCB& d) { d.StopBits = ONE5STOPBITS; }},
        {"not binary", [](DCB& d) { d.fBinary = 0; }},
        {"CTS without RTS handshake", [](DCB& d) { d.fOutxCtsFlow = 1; d.fRtsControl = RTS_CONTROL_ENABLE; }},
        // A pseudo-terminal keeps no parity: the kernel takes the call but
        // drops the setting, which the read-back catches.
        {"even parity on a pty", [](DCB& d) { d.Parity = EVENPARITY; d.BaudRate = 19200; }},
    };
    for (const auto& c : cases) {
        DCB dcb = good;
        c.change(dcb);
        EXPECT_FALSE(SetCommState(port.h, &dcb)) << c.what;
    }
    const termios after = PortSettings();
    EXPECT_EQ(cfgetospeed(&after), B57600);
    EXPECT_FALSE(after.c_cflag & PARENB);
}

TEST_F(PosixPort, ReadEndsAtCountOrAfterIntervalWithWhatArrived)
{
    SPort port(OpenPort("COM5"));
    ASSERT_NE(port.h, INVALID_HANDLE_VALUE);
    SetTimeouts(port.h, 20, 0, 5000);
    peer.Send("0123456789");
    const plat::TimeMs start = plat::Clock().Now();
    EXPECT_EQ(Read(port.h, 4), "0123");
    BOOL ok = FALSE;
    EXPECT_EQ(Read(port.h, 100, &ok), "456789");
    EXPECT_TRUE(ok);
    EXPECT_LT(plat::Clock().Now() - start, 2500);  // ended by the interval, not the 5 s total
}

TEST_F(PosixPort, IntervalTimeoutStartsOnlyWithTheFirstByte)
{
    peer.SetAnswerer([](const std::string&) { return plat::CPtyPeer::SAnswer{"late", 150}; });
    SPort port(OpenPort("COM5"));
    ASSERT_NE(port.h, INVALID_HANDLE_VALUE);
    SetTimeouts(port.h, 20, 0, 3000);
    ASSERT_TRUE(Write(port.h, "go\r"));
    EXPECT_EQ(Read(port.h, 100), "late");
}

TEST_F(PosixPort, SilentReadSucceedsEmptyAfterMultiplierTimesCountPlusConstant)
{
    SPort port(OpenPort("COM5"));
    ASSERT_NE(port.h, INVALID_HANDLE_VALUE);
    SetTimeouts(port.h, 20, 10, 50);
    const plat::TimeMs start = plat::Clock().Now();
    BOOL ok = FALSE;
    EXPECT_EQ(Read(port.h, 5, &ok), "");
    EXPECT_TRUE(ok);
    EXPECT_GE(plat::Clock().Now() - start, 100);
}

TEST_F(PosixPort, DeviceVanishingFailsTheReadAndLaterWrites)
{
    peer.SetAnswerer([](const std::string&) { return plat::CPtyPeer::SAnswer{"", 100, true}; });
    SPort port(OpenPort("COM5"));
    ASSERT_NE(port.h, INVALID_HANDLE_VALUE);
    SetTimeouts(port.h, 20, 10, 300);  // 10550 ms for 1025 bytes
    ASSERT_TRUE(Write(port.h, "AT\r"));
    const plat::TimeMs start = plat::Clock().Now();
    BOOL ok = TRUE;
    Read(port.h, 1025, &ok);
    EXPECT_FALSE(ok);
    EXPECT_LT(plat::Clock().Now() - start, 5000);
    EXPECT_FALSE(Write(port.h, "AT\r"));
}

TEST_F(PosixPort, CallsOnHandlesThatAreNotOpenFail)
{
    HANDLE h = OpenPort("COM5");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(h));
    for (HANDLE bad : {h, INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr)}) {
        DCB dcb;
        COMMTIMEOUTS to{};
        COMMPROP prop{};
        char buf[4];
        DWORD n = 0;
        EXPECT_FALSE(GetCommProperties(bad, &prop));
        EXPECT_FALSE(GetCommState(bad, &dcb));
        EXPECT_FALSE(SetCommState(bad, &dcb));
        EXPECT_FALSE(GetCommTimeouts(bad, &to));
        EXPECT_FALSE(SetCommTimeouts(bad, &to));
        EXPECT_FALSE(WriteFile(bad, "x", 1, &n, nullptr));
        EXPECT_FALSE(ReadFile(bad, buf, 4, &n, nullptr));
        EXPECT_FALSE(CloseHandle(bad));
    }
}

TEST_F(PosixPort, PropertiesAreOneRecordWithNothingAfterIt)
{
    SPort port(OpenPort("COM5"));
    ASSERT_NE(port.h, INVALID_HANDLE_VALUE);
    COMMPROP prop{};
    prop.wPacketLength = sizeof prop;
    ASSERT_TRUE(GetCommProperties(port.h, &prop));
    EXPECT_EQ(prop.wPacketLength, sizeof(COMMPROP));
    EXPECT_EQ(prop.dwProvSubType, PST_RS232);
}

}  // namespace
