// The Hayes command interpreter of one simulated modem, without any I/O: it
// takes the bytes the modem receives with the time they arrive and appends
// what the modem sends back. Timed answers (dialling, the escape guard time,
// a reply delay) fall due at Deadline() and come out of Expire().
//
// Command mode: characters are echoed while echo is on; characters before the
// attention sequence "AT" (any letter case) are skipped, so a line without it
// gets no answer; the line runs to CR; LF is ignored and backspace edits.
// Results are verbose and framed "\r\n" RESULT "\r\n"; ATI3's text is framed
// the same way, line by line, before the result.
//
// Commands, several on one line allowed (ATE1M0): E0/E1 echo, M0-M3 and L0-L3
// speaker, I3 identification, I2 ROM check, Z and &F reset, D dial (the rest
// of the line is the number; with ';' it answers OK, without it NO CARRIER,
// both after the dial delay; a character received while dialling aborts it
// with NO CARRIER), &T0, and &T3, which answers CONNECT 57600 and enters
// loopback. Anything else gives ERROR.
//
// Loopback: every received character is sent back (but those of the drop
// option); "+++" followed by the guard time of silence answers OK and returns
// to command mode.
//
// While an answer waits for the reply delay, received characters are lost, as
// with a modem busy with its last command.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/Clock.h"
#include "tools/modem-sim/ModemConfig.h"

namespace modemsim {

class CModem {
public:
    static constexpr plat::TimeMs kNoDeadline = -1;

    explicit CModem(SModemConfig config);

    // The modem receives bytes at time now; what it sends at once is appended to out.
    void Receive(std::string_view bytes, plat::TimeMs now, std::string& out);
    // When the next timed answer is due, or kNoDeadline.
    plat::TimeMs Deadline() const { return m_pending == EPending::None ? kNoDeadline : m_due; }
    // Sends the timed answer if it is due at now.
    void Expire(plat::TimeMs now, std::string& out);

    bool EchoOn() const { return m_echo; }
    bool InLoopback() const { return m_mode == EMode::Loopback; }
    const SModemConfig& Config() const { return m_config; }

private:
    enum class EMode { Command, Loopback };
    enum class EPending { None, Reply, Dial, Escape };

    void ReceiveCommand(char c, plat::TimeMs now, std::string& out);
    void ReceiveLoopback(char c, plat::TimeMs now, std::string& out);
    void ExecuteLine(std::string_view line, plat::TimeMs now, std::string& out);
    // Sends text now, or after the reply delay; enters loopback with it when asked.
    void Answer(std::string text, bool enterLoopback, plat::TimeMs now, std::string& out);
    void EnterLoopback();

    SModemConfig m_config;
    EMode m_mode = EMode::Command;
    bool m_echo = true;

    std::string m_line;           // the command line so far, from "A" on
    bool m_lineOverflow = false;  // longer than a modem's command buffer

    int m_plusCount = 0;          // "+" received in a row in loopback
    plat::TimeMs m_lastPlus = 0;

    EPending m_pending = EPending::None;
    plat::TimeMs m_due = 0;
    std::string m_pendingText;    // reply, or dial result
    bool m_pendingLoopback = false;
};

}  // namespace modemsim
