#include "tools/modem-sim/Modem.h"

#include <utility>

namespace modemsim {

namespace {

constexpr size_t kLineMax = 255;  // a command line longer than this answers ERROR

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Framed(std::string_view text) { return "\r\n" + std::string(text) + "\r\n"; }

// The information text: each '\n'-separated line framed by CR LF, as a
// verbose modem sends it before the result.
std::string InfoText(std::string_view text)
{
    std::string out = "\r\n";
    for (char c : text) {
        if (c == '\n') out += "\r\n";
        else out += c;
    }
    out += "\r\n";
    return out;
}

// Reads the optional decimal parameter of a command at pos; def when none.
int Parameter(std::string_view line, size_t& pos, int def)
{
    if (pos >= line.size() || line[pos] < '0' || line[pos] > '9') return def;
    int value = 0;
    while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') {
        if (value < 1000) value = value * 10 + (line[pos] - '0');
        ++pos;
    }
    return value;
}

}  // namespace

CModem::CModem(SModemConfig config) : m_config(std::move(config)), m_echo(m_config.echo) {}

void CModem::Receive(std::string_view bytes, plat::TimeMs now, std::string& out)
{
    if (m_config.silent) return;
    for (char c : bytes) {
        if (m_mode == EMode::Loopback) {
            ReceiveLoopback(c, now, out);
        } else if (m_pending == EPending::Dial) {
            // Any character aborts the call.
            m_pending = EPending::None;
            out += Framed("NO CARRIER");
        } else if (m_pending == EPending::Reply) {
            // Busy with the last command: the character is lost.
        } else {
            ReceiveCommand(c, now, out);
        }
    }
}

void CModem::Expire(plat::TimeMs now, std::string& out)
{
    if (m_pending == EPending::None || now < m_due) return;
    const EPending what = m_pending;
    m_pending = EPending::None;
    switch (what) {
    case EPending::Reply:
    case EPending::Dial:
        out += m_pendingText;
        if (m_pendingLoopback) EnterLoopback();
        break;
    case EPending::Escape:
        m_mode = EMode::Command;
        m_plusCount = 0;
        out += Framed("OK");
        break;
    case EPending::None:
        break;
    }
    m_pendingText.clear();
    m_pendingLoopback = false;
}

void CModem::ReceiveCommand(char c, plat::TimeMs now, std::string& out)
{
    if (m_echo) out += c;

    if (c == '\r') {
        const std::string line = std::move(m_line);
        const bool overflow = m_lineOverflow;
        m_line.clear();
        m_lineOverflow = false;
        if (line.size() < 2) return;  // no "AT": no answer
        if (overflow) Answer(Framed("ERROR"), false, now, out);
        else ExecuteLine(line, now, out);
        return;
    }
    if (c == '\n') return;
    if (c == '\b') {
        if (!m_line.empty()) m_line.pop_back();
        return;
    }

    // Wait for the attention sequence: "A", then "T".
    if (m_line.empty()) {
        if (Upper(c) == 'A') m_line += c;
        return;
    }
    if (m_line.size() == 1) {
        if (Upper(c) == 'T') m_line += c;
        else if (Upper(c) != 'A') m_line.clear();
        else m_line = std::string(1, c);
        return;
    }
    if (m_line.size() < kLineMax) m_line += c;
    else m_lineOverflow = true;
}

void CModem::ExecuteLine(std::string_view line, plat::TimeMs now, std::string& out)
{
    std::string info;  // information texts of the commands so far
    bool error = false;
    size_t pos = 2;    // after "AT"
    while (pos < line.size() && !error) {
        const char cmd = Upper(line[pos++]);
        switch (cmd) {
        case ' ':
            break;
        case 'E': {
            const int n = Parameter(line, pos, 0);
            if (n > 1) error = true;
            else m_echo = n == 1;
            break;
        }
        case 'M':
        case 'L':
            if (Parameter(line, pos, 0) > 3) error = true;
            break;
        case 'Z':
            Parameter(line, pos, 0);
            m_echo = m_config.echo;
            break;
        case 'I': {
            const int n = Parameter(line, pos, 0);
            if (n == 3) info += InfoText(m_config.identification);
            else if (n != 2 || m_config.romFail) error = true;
            break;
        }
        case 'D': {
            // The rest of the line is the number; the answer comes when the
            // dial is over.
            const std::string_view number = line.substr(pos);
            std::string result;
            if (m_config.noDialtone) result = "NO DIALTONE";
            else if (number.find(';') != std::string_view::npos) result = "OK";
            else result = "NO CARRIER";
            out += info;
            m_pending = EPending::Dial;
            m_due = now + m_config.dialDelayMs;
            m_pendingText = Framed(result);
            m_pendingLoopback = false;
            return;
        }
        case '&': {
            const char sub = pos < line.size() ? Upper(line[pos++]) : '\0';
            const int n = Parameter(line, pos, 0);
            if (sub == 'F' && n == 0) {
                m_echo = m_config.echo;
            } else if (sub == 'T' && n == 0) {
                // Ends a test; none runs in command mode.
            } else if (sub == 'T' && n == 3 && !m_config.noLoopback) {
                // The rest of the line is not looked at: the modem is in the test now.
                Answer(info + Framed("CONNECT 57600"), true, now, out);
                return;
            } else {
                error = true;
            }
            break;
        }
        default:
            error = true;
            break;
        }
    }
    Answer(info + Framed(error ? "ERROR" : "OK"), false, now, out);
}

void CModem::Answer(std::string text, bool enterLoopback, plat::TimeMs now, std::string& out)
{
    if (m_config.replyDelayMs <= 0) {
        out += text;
        if (enterLoopback) EnterLoopback();
        return;
    }
    m_pending = EPending::Reply;
    m_due = now + m_config.replyDelayMs;
    m_pendingText = std::move(text);
    m_pendingLoopback = enterLoopback;
}

void CModem::EnterLoopback()
{
    m_mode = EMode::Loopback;
    m_plusCount = 0;
}

void CModem::ReceiveLoopback(char c, plat::TimeMs now, std::string& out)
{
    if (m_config.drop.find(c) == std::string::npos) out += c;

    // The escape: exactly three "+" (each within the guard time of the one
    // before), then the guard time of silence. Any further character cancels it.
    if (c == '+') {
        if (m_plusCount > 0 && now - m_lastPlus > m_config.guardMs) m_plusCount = 0;
        ++m_plusCount;
        m_lastPlus = now;
    } else {
        m_plusCount = 0;
    }
    if (m_plusCount == 3) {
        m_pending = EPending::Escape;
        m_due = now + m_config.guardMs;
    } else if (m_pending == EPending::Escape) {
        m_pending = EPending::None;
    }
}

}  // namespace modemsim
