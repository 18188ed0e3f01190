// Simulated modems on pseudo-terminals. Each port gets a pseudo-terminal; its
// device (/dev/pts/N) stands in for the serial port, so a program given
// COM3=/dev/pts/N talks to the simulated modem as to a real one. One thread
// serves every port with poll and sleeps while nothing happens.
//
// The simulator keeps its own descriptor of each device open, so the terminal
// never hangs up when the program closes its side. It watches the device with
// inotify to see the program open and close it: bytes the modem sends while no
// one has the port open are lost, as on a real line. The terminal's exclusive
// mode (TIOCEXCL), which a pseudo-terminal would keep after the program closes
// it, is cleared once the program has written and on every close.
//
//     modemsim::CModemSim sim;
//     std::string error;
//     if (!sim.Start({{"COM3", "korvane336"}, {"COM5", "other,nodialtone"}}, &error)) ...
//     sim.ExportEnvironment();          // COM3=/dev/pts/N, COM5=/dev/pts/M
//     ... the program talks to COM3 ...
//     sim.TakeReceived("COM3");         // "ATI3\r"
//
// All members may be called from any thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/modem-sim/ModemConfig.h"

namespace modemsim {

// Owns one file descriptor; closes it on destruction.
class CFd {
public:
    CFd() = default;
    explicit CFd(int fd) : m_fd(fd) {}
    ~CFd() { Reset(); }
    CFd(CFd&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    CFd& operator=(CFd&& other) noexcept;
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    void Reset(int fd = -1);

private:
    int m_fd = -1;
};

class CModemSim {
public:
    struct SPortSpec {
        std::string name;     // "COM3"
        std::string profile;  // "korvane336,dialdelay=50"
    };
    // Called on the simulator's thread with one line per event (open, close,
    // bytes in, bytes out), non-printable bytes escaped.
    using LogFn = std::function<void(const std::string& line)>;

    CModemSim();
    ~CModemSim();  // stops serving and closes every terminal
    CModemSim(const CModemSim&) = delete;
    CModemSim& operator=(const CModemSim&) = delete;

    // Installs the log; before Start.
    void SetLog(LogFn log);

    // Creates the terminals and starts serving. False with a one-line reason
    // for a bad port name or profile, a port named twice, or a system failure;
    // nothing is left running then. Starts once per object.
    bool Start(const std::vector<SPortSpec>& ports, std::string* error = nullptr);
    // Stops serving and closes every terminal; the devices disappear.
    void Stop();

    std::vector<std::string> PortNames() const;
    // The device of port ("/dev/pts/7"), or "" for an unknown port.
    std::string DevicePath(std::string_view port) const;
    // "COM3=/dev/pts/7" for every port, in the order given to Start.
    std::vector<std::string> EnvAssignments() const;
    // Sets the environment variable of every port to its device (setenv, so
    // call it before other threads read the environment).
    void ExportEnvironment() const;

    // Opens of the port's device by anyone but the simulator, so far.
    int Opens(std::string_view port) const;
    // Whether anyone but the simulator holds the device open now.
    bool IsOpen(std::string_view port) const;
    // Waits until Opens(port) reaches count; false after timeoutMs.
    bool WaitOpens(std::string_view port, int count, int timeoutMs) const;
    // Waits until nobody but the simulator holds the device open. The count
    // follows the opens and closes as the simulator learns of them, so after
    // a quick open and close, wait for the open (WaitOpens) before this.
    bool WaitClosed(std::string_view port, int timeoutMs) const;

    // Every byte the modem received on port since the last call (the last
    // MiB of them at most); then forgets them.
    std::string TakeReceived(std::string_view port);
    // Waits until at least bytes received bytes are waiting to be taken.
    bool WaitReceived(std::string_view port, size_t bytes, int timeoutMs) const;

    // Whether the port's modem is in its loopback test (after AT&T3, before "+++").
    bool InLoopback(std::string_view port) const;

    // The port's device disappears: the terminal's master side is closed, so
    // a program holding the device gets errors and hang-up, and opening the
    // path fails. False for an unknown port or one gone already.
    bool Vanish(std::string_view port);

private:
    struct SPort;

    SPort* Find(std::string_view port) const;  // with m_mutex held
    void Serve();
    void Wake() const;
    // Steps of the serving loop, with m_mutex held.
    void HandleInotify(std::vector<std::string>& log);
    void HandleMaster(SPort& port, short revents, std::vector<std::string>& log);
    void Flush(SPort& port, std::vector<std::string>& log);
    void DoVanish(SPort& port, std::vector<std::string>& log);
    static void ReleaseExclusive(SPort& port);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;  // any port's counters, bytes or state changed
    std::vector<std::unique_ptr<SPort>> m_ports;
    CFd m_wake;          // eventfd that ends the thread's poll
    CFd m_inotify;       // open and close of every port's device
    bool m_stop = false;
    bool m_started = false;
    LogFn m_log;
    std::thread m_thread;
};

}  // namespace modemsim
