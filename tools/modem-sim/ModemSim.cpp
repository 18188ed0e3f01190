#include "tools/modem-sim/ModemSim.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/base/Clock.h"
#include "tools/modem-sim/Modem.h"

namespace modemsim {

CFd& CFd::operator=(CFd&& other) noexcept
{
    if (this != &other) {
        Reset(other.m_fd);
        other.m_fd = -1;
    }
    return *this;
}

void CFd::Reset(int fd)
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
}

struct CModemSim::SPort {
    SPort(std::string portName, SModemConfig config) : name(std::move(portName)), modem(std::move(config)) {}

    std::string name;
    std::string path;    // the terminal's device, /dev/pts/N
    CModem modem;
    CFd master;          // the modem's side
    CFd hold;            // the simulator's own descriptor of the device
    int watch = -1;      // inotify watch of the device
    bool live = false;   // served: false once vanished, stopped or broken
    bool vanishRequested = false;

    std::string out;     // sent by the modem, not yet written to the terminal
    std::string received;
    int opens = 0;       // opens by others
    int openNow = 0;     // descriptors others hold now
};

namespace {

// Bounds that keep a flood from the program (or a program that never reads)
// from growing the simulator without end.
constexpr size_t kReadPerWake = 64 * 1024;      // read from one master before polling again
constexpr size_t kOutMax = 256 * 1024;          // unsent bytes; beyond, the newest are lost (overrun)
constexpr size_t kReceivedMax = 1024 * 1024;    // recorded bytes; beyond, the oldest are forgotten

// The simulator runs in real time whatever clock the code under test uses:
// it stands for hardware, which does not wait on the program's clock.
plat::CRealClock g_clock;

std::string Printable(std::string_view bytes)
{
    std::string s;
    for (unsigned char c : bytes) {
        if (c == '\r') s += "\\r";
        else if (c == '\n') s += "\\n";
        else if (c == '\\') s += "\\\\";
        else if (c >= 0x20 && c < 0x7f) s += static_cast<char>(c);
        else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            s += hex;
        }
    }
    return s;
}

std::string SysError(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

// A fresh terminal pair for port: master non-blocking, the device raw at
// 57600 8N1 so that no line discipline changes or echoes bytes before the
// program configures it.
bool OpenTerminal(CModemSim::SPortSpec const& setting, CFd& master, CFd& hold, std::string& path, std::string& error)
{
    master.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master.Valid()) {
        error = SysError("posix_openpt");
        return false;
    }
    char name[128];
    if (::fcntl(master.Get(), F_SETFD, FD_CLOEXEC) != 0 || ::grantpt(master.Get()) != 0 ||
        ::unlockpt(master.Get()) != 0 || ::ptsname_r(master.Get(), name, sizeof name) != 0 ||
        ::fcntl(master.Get(), F_SETFL, ::fcntl(master.Get(), F_GETFL) | O_NONBLOCK) != 0) {
        error = SysError(("terminal for " + setting.name).c_str());
        return false;
    }
    path = name;
    hold.Reset(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!hold.Valid()) {
        error = SysError(("open " + path).c_str());
        return false;
    }
    termios tio{};
    if (::tcgetattr(hold.Get(), &tio) != 0) {
        error = SysError(("tcgetattr " + path).c_str());
        return false;
    }
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B57600);
    ::cfsetospeed(&tio, B57600);
    tio.c_cflag |= CLOCAL | CREAD;
    if (::tcsetattr(hold.Get(), TCSANOW, &tio) != 0) {
        error = SysError(("tcsetattr " + path).c_str());
        return false;
    }
    return true;
}

}  // namespace

CModemSim::CModemSim() = default;

CModemSim::~CModemSim() { Stop(); }

void CModemSim::SetLog(LogFn log)
{
    std::lock_guard lock(m_mutex);
    if (!m_started) m_log = std::move(log);
}

bool CModemSim::Start(const std::vector<SPortSpec>& ports, std::string* error)
{
    std::string reason;
    auto fail = [&](std::string text) {
        m_ports.clear();
        m_inotify.Reset();
        m_wake.Reset();
        if (error) *error = std::move(text);
        return false;
    };

    std::lock_guard lock(m_mutex);
    if (m_started) {
        if (error) *error = "the simulator was started before";
        return false;
    }
    if (ports.empty()) return fail("no ports given");

    for (const SPortSpec& setting : ports) {
        if (!IsValidPortName(setting.name)) return fail("bad port name '" + setting.name + "'");
        for (const auto& p : m_ports) {
            if (p->name == setting.name) return fail("port " + setting.name + " given twice");
        }
        SModemConfig config;
        if (!ParseModemConfig(setting.profile, config, reason)) return fail(setting.name + ": " + reason);
        m_ports.push_back(std::make_unique<SPort>(setting.name, std::move(config)));
    }

    m_wake.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_wake.Valid()) return fail(SysError("eventfd"));
    m_inotify.Reset(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    if (!m_inotify.Valid()) return fail(SysError("inotify_init1"));

    for (size_t i = 0; i < ports.size(); ++i) {
        SPort& port = *m_ports[i];
        if (!OpenTerminal(ports[i], port.master, port.hold, port.path, reason)) return fail(reason);
        // Watching starts after the simulator's own open, so that open is not counted.
        port.watch = ::inotify_add_watch(m_inotify.Get(), port.path.c_str(), IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
        if (port.watch < 0) return fail(SysError(("inotify_add_watch " + port.path).c_str()));
        port.live = true;
    }

    try {
        m_thread = std::thread(&CModemSim::Serve, this);
    } catch (const std::system_error& e) {
        return fail(std::string("thread: ") + e.what());
    }
    m_started = true;
    return true;
}

void CModemSim::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_started || m_stop) return;
        m_stop = true;
    }
    Wake();
    m_thread.join();
    std::vector<std::string> log;
    std::lock_guard lock(m_mutex);
    for (auto& port : m_ports) {
        if (port->live) DoVanish(*port, log);
    }
    m_inotify.Reset();
    m_wake.Reset();
    m_changed.notify_all();
}

CModemSim::SPort* CModemSim::Find(std::string_view name) const
{
    for (const auto& port : m_ports) {
        if (port->name == name) return port.get();
    }
    return nullptr;
}

std::vector<std::string> CModemSim::PortNames() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> names;
    for (const auto& port : m_ports) names.push_back(port->name);
    return names;
}

std::string CModemSim::DevicePath(std::string_view name) const
{
    std::lock_guard lock(m_mutex);
    const SPort* port = Find(name);
    return port ? port->path : std::string();
}

std::vector<std::string> CModemSim::EnvAssignments() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> lines;
    for (const auto& port : m_ports) lines.push_back(port->name + "=" + port->path);
    return lines;
}

void CModemSim::ExportEnvironment() const
{
    std::lock_guard lock(m_mutex);
    for (const auto& port : m_ports) ::setenv(port->name.c_str(), port->path.c_str(), 1);
}

int CModemSim::Opens(std::string_view name) const
{
    std::lock_guard lock(m_mutex);
    const SPort* port = Find(name);
    return port ? port->opens : 0;
}

bool CModemSim::IsOpen(std::string_view name) const
{
    std::lock_guard lock(m_mutex);
    const SPort* port = Find(name);
    return port && port->openNow > 0;
}

bool CModemSim::WaitOpens(std::string_view name, int count, int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    const SPort* port = Find(name);
    if (!port) return false;
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return port->opens >= count; });
}

bool CModemSim::WaitClosed(std::string_view name, int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    const SPort* port = Find(name);
    if (!port) return false;
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return port->openNow == 0; });
}

std::string CModemSim::TakeReceived(std::string_view name)
{
    std::lock_guard lock(m_mutex);
    SPort* port = Find(name);
    if (!port) return {};
    return std::exchange(port->received, std::string());
}

bool CModemSim::WaitReceived(std::string_view name, size_t bytes, int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    const SPort* port = Find(name);
    if (!port) return false;
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return port->received.size() >= bytes; });
}

bool CModemSim::InLoopback(std::string_view name) const
{
    std::lock_guard lock(m_mutex);
    const SPort* port = Find(name);
    return port && port->modem.InLoopback();
}

bool CModemSim::Vanish(std::string_view name)
{
    std::unique_lock lock(m_mutex);
    SPort* port = Find(name);
    if (!port || !port->live || m_stop) return false;
    port->vanishRequested = true;
    Wake();
    // The serving thread owns the descriptors it polls; it closes them.
    return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return !port->live; });
}

void CModemSim::Wake() const
{
    const std::uint64_t one = 1;
    if (m_wake.Valid()) {
        [[maybe_unused]] const auto n = ::write(m_wake.Get(), &one, sizeof one);
    }
}

void CModemSim::Serve()
{
    std::vector<pollfd> fds;
    std::vector<SPort*> owners;  // the port of fds[i], null for the eventfd and inotify
    for (;;) {
        fds.clear();
        owners.clear();
        int timeout = -1;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop) return;
            fds.push_back({m_wake.Get(), POLLIN, 0});
            owners.push_back(nullptr);
            fds.push_back({m_inotify.Get(), POLLIN, 0});
            owners.push_back(nullptr);
            const plat::TimeMs now = g_clock.Now();
            for (auto& port : m_ports) {
                if (!port->live) continue;
                const short events = static_cast<short>(POLLIN | (port->out.empty() ? 0 : POLLOUT));
                fds.push_back({port->master.Get(), events, 0});
                owners.push_back(port.get());
                const plat::TimeMs due = port->modem.Deadline();
                if (due != CModem::kNoDeadline) {
                    const plat::TimeMs wait = std::clamp<plat::TimeMs>(due - now, 0, std::numeric_limits<int>::max());
                    if (timeout < 0 || wait < timeout) timeout = static_cast<int>(wait);
                }
            }
        }

        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
            // Nothing sensible is left to do; the descriptors are the simulator's own.
            std::perror("modem-sim: poll");
            return;
        }

        std::vector<std::string> log;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop) return;
            std::uint64_t count = 0;
            [[maybe_unused]] auto n = ::read(m_wake.Get(), &count, sizeof count);

            for (auto& port : m_ports) {
                if (port->live && port->vanishRequested) DoVanish(*port, log);
            }
            // Opens and closes first: bytes a program wrote after opening are
            // then read with the port counted as open.
            HandleInotify(log);
            for (size_t i = 0; i < fds.size(); ++i) {
                if (owners[i] && owners[i]->live && fds[i].revents) HandleMaster(*owners[i], fds[i].revents, log);
            }
            const plat::TimeMs now = g_clock.Now();
            for (auto& port : m_ports) {
                if (!port->live) continue;
                port->modem.Expire(now, port->out);
                Flush(*port, log);
            }
            m_changed.notify_all();
        }
        if (m_log) {
            for (const std::string& line : log) m_log(line);
        }
    }
}

void CModemSim::HandleInotify(std::vector<std::string>& log)
{
    alignas(inotify_event) char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_inotify.Get(), buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            return;  // EAGAIN: all read
        }
        for (ssize_t off = 0; off < n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buf + off);
            off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
            SPort* port = nullptr;
            for (auto& p : m_ports) {
                if (p->live && p->watch == ev->wd) port = p.get();
            }
            if (!port) continue;  // a watch removed on vanish
            if (ev->mask & IN_OPEN) {
                ++port->opens;
                ++port->openNow;
                log.push_back(port->name + ": opened");
            }
            if (ev->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                port->openNow = std::max(0, port->openNow - 1);
                log.push_back(port->name + ": closed");
                ReleaseExclusive(*port);
                if (port->openNow == 0) {
                    // Bytes the program did not read are gone with the close.
                    ::tcflush(port->hold.Get(), TCIFLUSH);
                    if (!port->out.empty() && m_log) log.push_back(port->name + " -> lost, port closed: " + Printable(port->out));
                    port->out.clear();
                }
            }
        }
    }
}

// A serial port forgets its exclusive mode (TIOCEXCL) on its last close. The
// terminal outlives the program's descriptor and would keep it, refusing the
// next open to anyone but root; clearing it on the close event alone loses the
// race against a program that opens again at once. So it is cleared as soon as
// the program has written (it sets the mode right after opening, before it
// writes) and again on every close. While the program holds the port, its
// flock still keeps others out.
void CModemSim::ReleaseExclusive(SPort& port)
{
    ::ioctl(port.hold.Get(), TIOCNXCL);
}

void CModemSim::HandleMaster(SPort& port, short revents, std::vector<std::string>& log)
{
    if (!(revents & (POLLIN | POLLHUP | POLLERR))) return;
    char buf[4096];
    for (size_t total = 0; total < kReadPerWake;) {
        const ssize_t n = ::read(port.master.Get(), buf, sizeof buf);
        if (n > 0) {
            total += static_cast<size_t>(n);
            // The program sets the exclusive mode before it writes; see ReleaseExclusive.
            ReleaseExclusive(port);
            const std::string_view bytes(buf, static_cast<size_t>(n));
            port.received.append(bytes);
            if (port.received.size() > kReceivedMax) port.received.erase(0, port.received.size() - kReceivedMax);
            if (m_log) log.push_back(port.name + " <- " + Printable(bytes));
            port.modem.Receive(bytes, g_clock.Now(), port.out);
            if (port.out.size() > kOutMax) port.out.resize(kOutMax);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        // The simulator's own descriptor keeps the device open, so this does
        // not happen; if it does, the port stops being served rather than
        // have poll report it again and again.
        log.push_back(port.name + ": terminal failed, no longer served");
        port.live = false;
        return;
    }
}

void CModemSim::Flush(SPort& port, std::vector<std::string>& log)
{
    if (port.out.empty()) return;
    if (port.openNow == 0) {
        if (m_log) log.push_back(port.name + " -> lost, port closed: " + Printable(port.out));
        port.out.clear();
        return;
    }
    size_t done = 0;
    while (done < port.out.size()) {
        const ssize_t n = ::write(port.master.Get(), port.out.data() + done, port.out.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            break;  // the rest when the terminal takes more (POLLOUT)
        } else {
            log.push_back(port.name + ": terminal failed, no longer served");
            port.live = false;
            break;
        }
    }
    if (done > 0 && m_log) log.push_back(port.name + " -> " + Printable(std::string_view(port.out).substr(0, done)));
    port.out.erase(0, done);
}

void CModemSim::DoVanish(SPort& port, std::vector<std::string>& log)
{
    if (port.watch >= 0 && m_inotify.Valid()) ::inotify_rm_watch(m_inotify.Get(), port.watch);
    port.watch = -1;
    port.hold.Reset();
    port.master.Reset();  // the device node goes with the master side
    port.live = false;
    port.vanishRequested = false;
    port.openNow = 0;
    port.out.clear();
    log.push_back(port.name + ": vanished");
}

}  // namespace modemsim
