// The utility against simulated modems, for end-to-end tests and the
// application benchmark: modem-sim runs as a child process (its command line
// and printed "COMn=/dev/pts/N" lines are all this relies on), and plovex
// runs in a terminal of its own with those ports; every other port is mapped
// to a path that does not exist, so no real serial device is ever touched.
//
//   e2e::CPlovexWithModems p({"COM3=korvane336", "COM4=silent"});
//   ASSERT_TRUE(p.Started()) << p.Error();
//   ASSERT_TRUE(p.Term().WaitForText("COM3 - Korvane Modem", 20000));
//   p.Sim().Received("COM3");   // "ATI3\r..." as the simulator logged it
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/TerminalSession.h"

namespace e2e {

// Paths of the built programs.
std::string PlovexPath();
std::string ModemSimPath();

// modem-sim serving the given ports ("COM3=korvane336", "COM5=korvane56,drop=B"),
// started with -v so that its log of opens, closes and bytes can be read.
// Killed (SIGTERM, then SIGKILL) and reaped on destruction.
class CModemSimProcess {
public:
    // Waits up to timeoutMs for one printed line per port.
    explicit CModemSimProcess(std::vector<std::string> ports, int timeoutMs = 5000);
    ~CModemSimProcess();
    CModemSimProcess(const CModemSimProcess&) = delete;
    CModemSimProcess& operator=(const CModemSimProcess&) = delete;

    bool Started() const { return m_started; }
    const std::string& Error() const { return m_error; }
    int Pid() const { return m_pid; }

    // The device that serves a port ("/dev/pts/N"), empty for a port not served.
    std::string Device(const std::string& port) const;
    const std::map<std::string, std::string>& Devices() const { return m_devices; }

    // The simulator's log so far (standard error with -v).
    std::string Log() const;
    // The bytes a port has received so far, in order and joined, written as
    // the log writes them (a carriage return as the two characters \r).
    // Empty when the log tells nothing of the bytes received.
    std::string Received(const std::string& port) const;

private:
    bool m_started = false;
    std::string m_error;
    int m_pid = -1;
    int m_out = -1;  // its standard output
    std::string m_logPath;
    std::map<std::string, std::string> m_devices;
};

// Options for plovex: COM1..COM8 each to its simulated device, or to
// /nonexistent/COMn when the simulator does not serve it.
SessionOptions PortOptions(const CModemSimProcess& sim, int width = 80, int height = 24);

// modem-sim with the given ports and plovex (or argv, which runs it) in an
// 80x24 terminal (or as options say, with the port variables added). The
// program ends before the simulator.
class CPlovexWithModems {
public:
    explicit CPlovexWithModems(std::vector<std::string> ports, std::vector<std::string> argv = {PlovexPath()},
                               int width = 80, int height = 24);

    bool Started() const { return m_session && m_session->Started(); }
    std::string Error() const;
    CModemSimProcess& Sim() { return m_sim; }
    CTerminalSession& Term() { return *m_session; }

private:
    CModemSimProcess m_sim;
    std::unique_ptr<CTerminalSession> m_session;  // declared last: destroyed first
};

// One character cell of a captured screen with the attributes it is drawn in.
struct SCell {
    std::string text;  // the character, UTF-8
    bool bold = false, dim = false, underline = false, reverse = false;
};

// Parses CTerminalSession::ScreenWithAttributes() into rows of cells (SGR
// sequences applied, other escape sequences dropped).
std::vector<std::vector<SCell>> ParseAttributedScreen(const std::string& capture);

// The cells of the first place where text stands on one row; empty when it
// stands nowhere.
std::vector<SCell> FindCells(const std::vector<std::vector<SCell>>& screen, const std::string& text);

}  // namespace e2e
