// The port calls on POSIX termios. A HANDLE is the address of an open-port
// record kept in a table, so a stale or foreign handle is refused (FALSE)
// rather than used.
#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/base/Clock.h"
#include "platform/comm/Comm.h"

namespace plat {

namespace {

struct SBaud {
    DWORD rate;
    speed_t speed;
};

constexpr SBaud kBauds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

std::optional<speed_t> SpeedOf(DWORD rate)
{
    for (const SBaud& b : kBauds)
        if (b.rate == rate) return b.speed;
    return std::nullopt;
}

DWORD RateOf(speed_t speed)
{
    for (const SBaud& b : kBauds)
        if (b.speed == speed) return b.rate;
    return 0;
}

// The termios bits that the open (raw mode) and SetCommState manage; the
// read-back after tcsetattr compares these, and every other bit stays as the
// port had it.
constexpr tcflag_t kRawIflagOff = IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON | IXANY | IXOFF;
constexpr tcflag_t kRawLflagOff = ECHO | ECHONL | ICANON | ISIG | IEXTEN | XCASE;
constexpr tcflag_t kIflagMask = kRawIflagOff | INPCK;
constexpr tcflag_t kOflagMask = OPOST;
constexpr tcflag_t kCflagMask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CREAD;
constexpr tcflag_t kLflagMask = kRawLflagOff;
constexpr int kManagedChars[] = {VMIN, VTIME, VSTART, VSTOP};

bool SameManagedSettings(const termios& a, const termios& b)
{
    if ((a.c_iflag & kIflagMask) != (b.c_iflag & kIflagMask) || (a.c_oflag & kOflagMask) != (b.c_oflag & kOflagMask) ||
        (a.c_cflag & kCflagMask) != (b.c_cflag & kCflagMask) || (a.c_lflag & kLflagMask) != (b.c_lflag & kLflagMask))
        return false;
    for (int i : kManagedChars)
        if (a.c_cc[i] != b.c_cc[i]) return false;
    return cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

bool SetSettings(int fd, const termios& t)
{
    int rc;
    do rc = tcsetattr(fd, TCSANOW, &t);
    while (rc != 0 && errno == EINTR);
    return rc == 0;
}

// Moves the line from the settings before to want. tcsetattr reports success
// when it applied only some of the settings, so read them back: anything
// short of all of them is a failure, and the line goes back to before.
bool ApplySettings(int fd, const termios& before, const termios& want)
{
    termios got{};
    if (SetSettings(fd, want) && tcgetattr(fd, &got) == 0 && SameManagedSettings(want, got)) return true;
    SetSettings(fd, before);
    return false;
}

// Raw line: bytes pass unchanged both ways. The receiver is switched on;
// character size, parity, stop bits, CRTSCTS, HUPCL and CLOCAL stay as they
// were (the line settings are SetCommState's business). Reads never block in
// the line discipline (VMIN 0, VTIME 0): ReadFile waits in poll.
void MakeRaw(termios& t)
{
    t.c_iflag &= ~kRawIflagOff;
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~kRawLflagOff;
    t.c_cflag |= CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

// "COM1".."COM8" (any letter case) -> /dev/ttyS0../dev/ttyS7, or the device
// named by the environment variable "COMn".
std::optional<std::string> DevicePath(LPCSTR name)
{
    if (!name || std::strlen(name) != 4 || strncasecmp(name, "COM", 3) != 0 || name[3] < '1' || name[3] > '8')
        return std::nullopt;
    const char key[] = {'C', 'O', 'M', name[3], '\0'};
    if (const char* mapped = std::getenv(key); mapped && *mapped) return std::string(mapped);
    return "/dev/ttyS" + std::to_string(name[3] - '1');
}

// Gives up exclusivity and closes. Pending output is discarded first: what
// WriteFile could not send within its timeout is dropped, and close can't
// stall on a line held by flow control.
void ReleasePort(int fd)
{
    tcflush(fd, TCIOFLUSH);
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    close(fd);
}

// Whether fd is the terminal the program itself runs on (its standard
// streams, or /dev/tty or /dev/console): such a port is refused, since raw
// mode and 57600 bit/s would break the screen.
bool IsOwnTerminal(int fd)
{
    struct stat port{};
    if (fstat(fd, &port) != 0) return true;
    if (major(port.st_rdev) == 5 && (minor(port.st_rdev) == 0 || minor(port.st_rdev) == 1)) return true;
    for (int own : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        struct stat st{};
        if (isatty(own) && fstat(own, &st) == 0 && st.st_rdev == port.st_rdev) return true;
    }
    return false;
}

TimeMs Now() { return Clock().Now(); }

int PollTimeout(TimeMs left) { return static_cast<int>(std::clamp<TimeMs>(left, 0, INT_MAX)); }

enum class EWait { Ready, TimedOut, Again, Failed };

// Blocks until fd is ready for events or timeoutMs passes (-1: no limit). A
// hang-up or error on the device is a failure.
EWait WaitFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    int n = poll(&p, 1, timeoutMs);
    if (n < 0) return errno == EINTR ? EWait::Again : EWait::Failed;
    if (n == 0) return EWait::TimedOut;
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return EWait::Failed;
    return (p.revents & events) ? EWait::Ready : EWait::Again;
}

// Switches a descriptor to non-blocking for a scope, so a write never waits
// in the kernel beyond what poll allowed.
class CNonBlocking {
public:
    explicit CNonBlocking(int fd) : m_fd(fd), m_flags(fcntl(fd, F_GETFL))
    {
        if (m_flags >= 0) fcntl(fd, F_SETFL, m_flags | O_NONBLOCK);
    }
    ~CNonBlocking()
    {
        if (m_flags >= 0) fcntl(m_fd, F_SETFL, m_flags);
    }
    CNonBlocking(const CNonBlocking&) = delete;
    CNonBlocking& operator=(const CNonBlocking&) = delete;

private:
    int m_fd;
    int m_flags;
};

struct SPort {
    int fd;
    COMMTIMEOUTS timeouts{};
};

class CPosixCommApi final : public ICommApi {
public:
    ~CPosixCommApi() override
    {
        for (auto& [h, port] : m_ports) ReleasePort(port->fd);
    }

    HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                       DWORD disposition, DWORD flags, HANDLE templateFile) override
    {
        // Ports open only exclusively, synchronously and as existing devices.
        const DWORD rw = access & (GENERIC_READ | GENERIC_WRITE);
        if (rw == 0 || shareMode != 0 || security || disposition != OPEN_EXISTING || (flags & FILE_FLAG_OVERLAPPED) ||
            templateFile)
            return INVALID_HANDLE_VALUE;
        const std::optional<std::string> path = DevicePath(name);
        if (!path) return INVALID_HANDLE_VALUE;

        const int mode = rw == (GENERIC_READ | GENERIC_WRITE) ? O_RDWR : rw == GENERIC_READ ? O_RDONLY : O_WRONLY;
        int fd;
        // O_NONBLOCK: the open must not wait for carrier detect.
        do fd = open(path->c_str(), mode | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) return INVALID_HANDLE_VALUE;

        // TIOCEXCL turns away later opens, but not those of root; the lock
        // turns away everyone who opens ports through here. Take the lock
        // first, so a refused open never touches the holder's exclusivity.
        int rc;
        do rc = flock(fd, LOCK_EX | LOCK_NB);
        while (rc != 0 && errno == EINTR);
        if (!isatty(fd) || IsOwnTerminal(fd) || rc != 0) {
            close(fd);
            return INVALID_HANDLE_VALUE;
        }

        termios before{};
        bool ok = ioctl(fd, TIOCEXCL) == 0 && tcgetattr(fd, &before) == 0;
        if (ok) {
            termios raw = before;
            MakeRaw(raw);
            ok = ApplySettings(fd, before, raw);
        }
        if (ok) {
            // A freshly opened port starts with empty queues.
            tcflush(fd, TCIOFLUSH);
            const int fl = fcntl(fd, F_GETFL);
            ok = fl >= 0 && fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) == 0;
        }
        if (!ok) {
            ReleasePort(fd);
            return INVALID_HANDLE_VALUE;
        }

        auto port = std::make_unique<SPort>();
        port->fd = fd;
        HANDLE h = port.get();
        std::lock_guard lock(m_mutex);
        m_ports.emplace(h, std::move(port));
        return h;
    }

    BOOL GetCommProperties(HANDLE h, COMMPROP* prop) override
    {
        if (!Find(h) || !prop) return FALSE;
        // No provider-specific data follows the record.
        *prop = COMMPROP{};
        prop->wPacketLength = sizeof(COMMPROP);
        prop->wPacketVersion = 2;
        prop->dwServiceMask = SP_SERIALCOMM;
        prop->dwMaxBaud = BAUD_USER;
        prop->dwProvSubType = PST_RS232;
        prop->dwCurrentTxQueue = 4096;
        prop->dwCurrentRxQueue = 4096;
        return TRUE;
    }

    BOOL GetCommState(HANDLE h, DCB* dcb) override
    {
        SPort* port = Find(h);
        termios t{};
        if (!port || !dcb || tcgetattr(port->fd, &t) != 0) return FALSE;
        DCB d;
        d.BaudRate = RateOf(cfgetospeed(&t));
        d.fParity = (t.c_iflag & INPCK) ? 1 : 0;
        const bool rtscts = (t.c_cflag & CRTSCTS) != 0;
        d.fOutxCtsFlow = rtscts ? 1 : 0;
        d.fRtsControl = rtscts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
        d.fOutX = (t.c_iflag & IXON) ? 1 : 0;
        d.fInX = (t.c_iflag & IXOFF) ? 1 : 0;
        switch (t.c_cflag & CSIZE) {
        case CS5: d.ByteSize = 5; break;
        case CS6: d.ByteSize = 6; break;
        case CS7: d.ByteSize = 7; break;
        default: d.ByteSize = 8; break;
        }
        if (!(t.c_cflag & PARENB))
            d.Parity = NOPARITY;
        else if (t.c_cflag & CMSPAR)
            d.Parity = (t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
        else
            d.Parity = (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
        d.StopBits = (t.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
        d.XonChar = static_cast<char>(t.c_cc[VSTART]);
        d.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
        *dcb = d;
        return TRUE;
    }

    // Applies every field of the DCB; a value the line can't honour fails
    // the call and changes nothing.
    BOOL SetCommState(HANDLE h, DCB* dcb) override
    {
        SPort* port = Find(h);
        termios before{};
        if (!port || !dcb || tcgetattr(port->fd, &before) != 0) return FALSE;
        const DCB& d = *dcb;
        const std::optional<speed_t> speed = SpeedOf(d.BaudRate);
        const bool rtscts = d.fRtsControl == RTS_CONTROL_HANDSHAKE;
        if (!speed || d.fBinary != 1 || d.ByteSize < 5 || d.ByteSize > 8 || d.Parity > SPACEPARITY ||
            (d.StopBits != ONESTOPBIT && d.StopBits != TWOSTOPBITS) ||
            (d.fRtsControl != RTS_CONTROL_ENABLE && !rtscts) || (d.fOutxCtsFlow != 0) != rtscts)
            return FALSE;

        termios t = before;
        cfsetispeed(&t, *speed);
        cfsetospeed(&t, *speed);
        static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
        t.c_cflag = (t.c_cflag & ~CSIZE) | kSizes[d.ByteSize - 5];
        t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
        switch (d.Parity) {
        case ODDPARITY: t.c_cflag |= PARENB | PARODD; break;
        case EVENPARITY: t.c_cflag |= PARENB; break;
        case MARKPARITY: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case SPACEPARITY: t.c_cflag |= PARENB | CMSPAR; break;
        default: break;
        }
        SetBit(t.c_cflag, CSTOPB, d.StopBits == TWOSTOPBITS);
        SetBit(t.c_cflag, CRTSCTS, rtscts);
        SetBit(t.c_iflag, INPCK, d.fParity != 0);
        SetBit(t.c_iflag, IXON, d.fOutX != 0);
        SetBit(t.c_iflag, IXOFF, d.fInX != 0);
        t.c_cc[VSTART] = static_cast<cc_t>(d.XonChar);
        t.c_cc[VSTOP] = static_cast<cc_t>(d.XoffChar);
        return ApplySettings(port->fd, before, t) ? TRUE : FALSE;
    }

    BOOL GetCommTimeouts(HANDLE h, COMMTIMEOUTS* timeouts) override
    {
        SPort* port = Find(h);
        if (!port || !timeouts) return FALSE;
        *timeouts = port->timeouts;
        return TRUE;
    }

    BOOL SetCommTimeouts(HANDLE h, COMMTIMEOUTS* timeouts) override
    {
        SPort* port = Find(h);
        if (!port || !timeouts) return FALSE;
        port->timeouts = *timeouts;
        return TRUE;
    }

    BOOL WriteFile(HANDLE h, const void* data, DWORD count, DWORD* written, LPOVERLAPPED overlapped) override
    {
        if (written) *written = 0;
        SPort* port = Find(h);
        if (!port || overlapped || (!data && count)) return FALSE;
        const COMMTIMEOUTS& to = port->timeouts;
        const bool limited = to.WriteTotalTimeoutMultiplier || to.WriteTotalTimeoutConstant;
        const TimeMs deadline = Now() + TimeMs{to.WriteTotalTimeoutMultiplier} * count + to.WriteTotalTimeoutConstant;
        const auto* bytes = static_cast<const char*>(data);

        DWORD sent = 0;
        {
            CNonBlocking nonBlocking(port->fd);
            while (sent < count) {
                const TimeMs left = deadline - Now();
                if (limited && left <= 0) break;
                const EWait w = WaitFor(port->fd, POLLOUT, limited ? PollTimeout(left) : -1);
                if (w == EWait::Failed) return FALSE;
                if (w == EWait::TimedOut) break;
                if (w == EWait::Again) continue;
                const ssize_t n = write(port->fd, bytes + sent, count - sent);
                if (n > 0)
                    sent += static_cast<DWORD>(n);
                else if (n < 0 && errno != EINTR && errno != EAGAIN)
                    return FALSE;
            }
        }

        // The write is complete when the bytes have left the port.
        DWORD queued = 0;
        if (!limited) {
            while (tcdrain(port->fd) != 0 && errno == EINTR) {
            }
        } else {
            termios t{};
            const DWORD rate = tcgetattr(port->fd, &t) == 0 ? RateOf(cfgetospeed(&t)) : 0;
            for (;;) {
                int q = 0;
                if (ioctl(port->fd, TIOCOUTQ, &q) != 0 || q <= 0) break;
                queued = static_cast<DWORD>(q);
                const TimeMs left = deadline - Now();
                if (left <= 0) break;
                // Sleep about as long as the queued bytes take on the line
                // (10 bits a byte), then look again.
                const TimeMs drain = rate ? TimeMs{q} * 10 * 1000 / rate : 1;
                Clock().SleepMs(std::clamp<TimeMs>(drain, 1, left));
                queued = 0;
            }
        }
        if (written) *written = sent - std::min(sent, queued);
        return TRUE;
    }

    BOOL ReadFile(HANDLE h, void* buffer, DWORD count, DWORD* read, LPOVERLAPPED overlapped) override
    {
        if (read) *read = 0;
        SPort* port = Find(h);
        if (!port || overlapped || (!buffer && count)) return FALSE;
        const COMMTIMEOUTS& to = port->timeouts;
        const bool atOnce = to.ReadIntervalTimeout == MAXDWORD && to.ReadTotalTimeoutMultiplier == 0 &&
                            to.ReadTotalTimeoutConstant == 0;
        const bool totalLimit = to.ReadTotalTimeoutMultiplier || to.ReadTotalTimeoutConstant;
        const TimeMs totalDeadline = Now() + TimeMs{to.ReadTotalTimeoutMultiplier} * count + to.ReadTotalTimeoutConstant;
        const TimeMs interval = atOnce ? 0 : to.ReadIntervalTimeout;
        auto* bytes = static_cast<char*>(buffer);

        DWORD got = 0;
        TimeMs lastByte = 0;
        BOOL ok = TRUE;
        while (got < count) {
            int timeoutMs = -1;
            if (atOnce) {
                timeoutMs = 0;
            } else {
                std::optional<TimeMs> deadline;
                if (totalLimit) deadline = totalDeadline;
                if (got > 0 && interval) deadline = std::min(deadline.value_or(lastByte + interval), lastByte + interval);
                if (deadline) {
                    const TimeMs left = *deadline - Now();
                    if (left <= 0) break;
                    timeoutMs = PollTimeout(left);
                }
            }
            const EWait w = WaitFor(port->fd, POLLIN, timeoutMs);
            if (w == EWait::Failed) {
                ok = FALSE;
                break;
            }
            if (w == EWait::TimedOut) break;
            if (w == EWait::Again) continue;
            const ssize_t n = ::read(port->fd, bytes + got, count - got);
            if (n > 0) {
                got += static_cast<DWORD>(n);
                lastByte = Now();
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                // Readable yet nothing to read: the device has gone.
                ok = FALSE;
                break;
            }
        }
        if (read) *read = got;
        return ok;
    }

    BOOL CloseHandle(HANDLE h) override
    {
        std::unique_ptr<SPort> port;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_ports.find(h);
            if (it == m_ports.end()) return FALSE;
            port = std::move(it->second);
            m_ports.erase(it);
        }
        // close() releases the descriptor even when it reports an error, so
        // the handle is closed either way.
        ReleasePort(port->fd);
        return TRUE;
    }

    void Sleep(DWORD ms) override { Clock().SleepMs(ms); }

private:
    static void SetBit(tcflag_t& flags, tcflag_t bit, bool on) { flags = on ? (flags | bit) : (flags & ~bit); }

    SPort* Find(HANDLE h)
    {
        std::lock_guard lock(m_mutex);
        auto it = m_ports.find(h);
        return it == m_ports.end() ? nullptr : it->second.get();
    }

    std::mutex m_mutex;
    std::map<HANDLE, std::unique_ptr<SPort>> m_ports;
};

}  // namespace

ICommApi& PosixCommApi()
{
    static CPosixCommApi api;
    return api;
}

}  // namespace plat
