// A pseudo-terminal standing in for the device on a COM port, for tests and
// benchmarks that go through the real port calls. The port side (the
// terminal's slave device) is named by the environment variable of the port
// name (COM3=/dev/pts/N) for the peer's lifetime; a thread on the device side
// records what the port writes and answers each line that ends in CR.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/base/Clock.h"

namespace plat {

class CPtyPeer {
public:
    struct SAnswer {
        std::string bytes;   // sent back to the port
        TimeMs delayMs = 0;  // after the line arrived
        bool hangUp = false; // then the device vanishes (the terminal's master side closes)
        long lineRate = 0;   // bit/s: send at this pace (10 bits a byte) rather than at once
    };
    // Called on the peer's thread with each line received, CR included.
    using Answerer = std::function<SAnswer(const std::string& line)>;

    explicit CPtyPeer(std::string portName = "COM3");
    ~CPtyPeer();
    CPtyPeer(const CPtyPeer&) = delete;
    CPtyPeer& operator=(const CPtyPeer&) = delete;

    bool Ok() const { return m_master >= 0; }
    const std::string& Path() const { return m_path; }
    // The peer's own descriptor of the port side, held open for the peer's
    // lifetime; for looking at and seeding the port's settings.
    int PortFd() const { return m_slave; }

    void SetAnswerer(Answerer answerer);
    void Send(const std::string& bytes);  // the device sends now
    void HangUp();                        // the device vanishes now
    std::string Received() const;         // everything the port has written
    // Waits (in real time) until at least n bytes have come from the port.
    bool WaitReceived(size_t n, TimeMs timeoutMs) const;

private:
    struct SDue {
        TimeMs at;
        SAnswer answer;
    };

    void Run();
    void WriteMaster(const std::string& bytes);  // with m_mutex held
    void Schedule(TimeMs at, SAnswer answer);    // with m_mutex held
    void Wake();

    std::string m_portName;
    std::string m_path;
    int m_master = -1;
    int m_slave = -1;
    int m_wake[2] = {-1, -1};
    CRealClock m_clock;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cvReceived;
    Answerer m_answerer;
    std::string m_received;
    std::string m_line;
    std::deque<SDue> m_due;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace plat
