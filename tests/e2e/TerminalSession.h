// A program running in a terminal of a given size, for end-to-end tests: it
// runs under tmux on a server of its own, so tests can type keys, click,
// read the screen as text, resize the terminal, send signals and collect
// the exit status.
//
//   e2e::CTerminalSession s({PLOVEX_BINARY_DIR "/app/plovex"}, {.env = {{"COM3", pty}}});
//   ASSERT_TRUE(s.Started()) << s.Error();
//   ASSERT_TRUE(s.WaitForText("Korvane Modem Test", 5000)) << s.Screen();
//   s.SendKeys({"Down", "Enter"});
//   s.SendKeys({"Escape"});
//   auto status = s.WaitForExit(5000);   // status->code, status->signal
//
// Key names are tmux's: "Enter", "Escape", "Tab", "BTab", "Up", "Down",
// "Home", "End", "PPage", "NPage", "Space", "F1", "M-Space" (Alt+Space),
// "M-F4", "M-t", "C-c", or plain characters. Waiting blocks in poll() on the
// tmux control client, so it wakes as soon as the program draws.
//
// tmux may drop what a program writes in the moment before it ends: wait for
// a text while the program still runs, or send its last words to a file.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

struct SessionOptions {
    int width = 80;
    int height = 24;
    std::vector<std::pair<std::string, std::string>> env;  // set for the program
    std::string term = "screen";                           // TERM inside the terminal
    std::string workDir;                                   // empty: the current one
};

struct ExitStatus {
    int code = 0;    // the exit status, when the program exited
    int signal = 0;  // the signal that ended it, else 0
};

class CTerminalSession {
public:
    // Whether tmux can be run here (tests skip when it cannot).
    static bool Available();

    // Starts argv (argv[0] a path or a name on PATH) in a new terminal.
    explicit CTerminalSession(std::vector<std::string> argv, SessionOptions options = {});
    ~CTerminalSession();
    CTerminalSession(const CTerminalSession&) = delete;
    CTerminalSession& operator=(const CTerminalSession&) = delete;

    bool Started() const { return m_started; }
    const std::string& Error() const { return m_error; }

    // The screen as text: one line per row, trailing blanks and blank rows
    // at the bottom left out.
    std::string Screen() const;
    // The screen with its colours and attributes as escape sequences.
    std::string ScreenWithAttributes() const;
    // Blocks until the screen contains text, or timeoutMs passes.
    bool WaitForText(const std::string& text, int timeoutMs);
    // Blocks until condition(Screen()) holds, or timeoutMs passes.
    bool WaitUntil(const std::function<bool(const std::string& screen)>& condition, int timeoutMs);

    void SendKeys(const std::vector<std::string>& keys);
    // Bytes as typed, unchanged (escape sequences included).
    void SendText(const std::string& bytes);
    // A left click (press and release) at a cell, column and row from 0, as
    // an xterm (X10) mouse report.
    void Click(int column, int row);
    void Resize(int width, int height);

    // The terminal's title, as the program set it.
    std::string Title() const;
    // The program's process id; 0 when it has ended.
    int Pid() const;
    bool Running() const;
    void Signal(int sig);
    // Blocks until the program has ended; nullopt on timeout.
    std::optional<ExitStatus> WaitForExit(int timeoutMs);

    // Runs a tmux command on this session's server; its standard output.
    std::string Tmux(std::vector<std::string> args) const;

private:
    void WaitForOutput(int timeoutMs);

    bool m_started = false;
    std::string m_error;
    std::string m_dir;      // holds the server's socket and configuration
    std::string m_socket;
    int m_controlPid = -1;  // the control client, whose output wakes us
    int m_controlIn = -1, m_controlOut = -1;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadTextFile(const std::string& path);

}  // namespace e2e
