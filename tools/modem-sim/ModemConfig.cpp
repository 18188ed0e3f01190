#include "tools/modem-sim/ModemConfig.h"

#include <charconv>
#include <cstdio>

namespace modemsim {

namespace {

using namespace std::string_view_literals;

// A profile: its name, a line for the usage text, and the text it answers to
// ATI3 (lines separated by '\n'); a null text makes a modem that never answers.
// New profiles are one more row here.
struct SProfile {
    std::string_view name;
    std::string_view summary;
    std::string (*identification)();
};

// About 2000 bytes of identification, so that a reader limited to 1025 bytes
// gets only its first part.
std::string LongIdentification()
{
    std::string text = "Korvane Chatterbox 33.6 Data+Fax Modem (Revision 4.20)";
    for (int line = 1; text.size() < 2000; ++line) {
        char buf[80];
        std::snprintf(buf, sizeof buf, "\nS-register page %02d: 000 001 002 003 004 005 006 007 008 009", line);
        text += buf;
    }
    return text;
}

const SProfile kProfiles[] = {
    {"korvane336", "Korvane 33.6 modem, firmware line with (c)",
     [] { return std::string("Korvane Portable 33.6 Data+Fax Modem\nFirmware V3.10-0422  (c) 1998"); }},
    {"korvane56", "Korvane 56K modem that names its revision",
     [] { return std::string("Korvane Travel Card 56K V.90 (Revision 5.07.2)"); }},
    {"korvane288", "Korvane 28.8 modem with both revision and (c)",
     [] { return std::string("Korvane Desk 28.8 Modem (Revision 1.9)\nB2.04-0311  (c) 1997"); }},
    {"korvane56norev", "Korvane 56K modem without a revision",
     [] { return std::string("Korvane Travel Card 56K V.90"); }},
    {"korvanesplit", "Korvane modem with maker and speed class on different lines",
     [] { return std::string("Korvane Office\n33.6 Data Modem\nFirmware V2.00-0101  (c) 1999"); }},
    {"other", "a modem of another maker",
     [] { return std::string("Zentrox 56K Voice Modem (Revision 2.1)"); }},
    {"silent", "never answers anything", nullptr},
    {"long", "Korvane modem whose ATI3 text is about 2000 bytes long", &LongIdentification},
    {"nul", "Korvane modem whose ATI3 text holds a NUL byte, with (c) after it",
     [] { return std::string("Korvane 33.6 Modem\0hidden V9.99-9999  (c) 2001"sv); }},
};

// Milliseconds of an option: 0 to ten minutes.
bool ParseMs(std::string_view text, int& value)
{
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < 0 || v > 600000) return false;
    value = v;
    return true;
}

bool ApplyOption(std::string_view option, SModemConfig& config, std::string& error)
{
    const auto eq = option.find('=');
    const std::string_view key = option.substr(0, eq);
    const bool hasValue = eq != std::string_view::npos;
    const std::string_view value = hasValue ? option.substr(eq + 1) : std::string_view();

    bool* flag = nullptr;
    if (key == "romfail") flag = &config.romFail;
    else if (key == "nodialtone") flag = &config.noDialtone;
    else if (key == "noloopback") flag = &config.noLoopback;
    if (flag || key == "noecho") {
        if (hasValue) {
            error = "option '" + std::string(key) + "' takes no value";
            return false;
        }
        if (flag) *flag = true;
        else config.echo = false;
        return true;
    }

    int* ms = nullptr;
    if (key == "dialdelay") ms = &config.dialDelayMs;
    else if (key == "guard") ms = &config.guardMs;
    else if (key == "replydelay") ms = &config.replyDelayMs;
    if (ms) {
        if (!hasValue || !ParseMs(value, *ms)) {
            error = "option '" + std::string(key) + "' needs milliseconds from 0 to 600000, as in " +
                    std::string(key) + "=500";
            return false;
        }
        return true;
    }

    if (key == "drop") {
        if (!hasValue) {
            error = "option 'drop' needs the characters to drop, as in drop=B";
            return false;
        }
        config.drop = std::string(value);
        return true;
    }

    error = "unknown option '" + std::string(key) + "'";
    return false;
}

}  // namespace

std::vector<SProfileInfo> ProfileList()
{
    std::vector<SProfileInfo> list;
    for (const SProfile& p : kProfiles) list.push_back({p.name, p.summary});
    return list;
}

bool ParseModemConfig(std::string_view setting, SModemConfig& config, std::string& error)
{
    const auto comma = setting.find(',');
    const std::string_view name = setting.substr(0, comma);
    const SProfile* profile = nullptr;
    for (const SProfile& p : kProfiles) {
        if (p.name == name) profile = &p;
    }
    if (!profile) {
        error = name.empty() ? "no profile given" : "unknown profile '" + std::string(name) + "'";
        return false;
    }

    SModemConfig result;
    result.profile = std::string(profile->name);
    if (profile->identification) result.identification = profile->identification();
    else result.silent = true;

    std::string_view rest = comma == std::string_view::npos ? std::string_view() : setting.substr(comma + 1);
    if (comma != std::string_view::npos) {
        while (true) {
            const auto next = rest.find(',');
            const std::string_view option = rest.substr(0, next);
            if (option.empty()) {
                error = "empty option in '" + std::string(setting) + "'";
                return false;
            }
            if (!ApplyOption(option, result, error)) return false;
            if (next == std::string_view::npos) break;
            rest = rest.substr(next + 1);
        }
    }
    config = std::move(result);
    return true;
}

bool IsValidPortName(std::string_view name)
{
    if (name.empty()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !(digit && i > 0)) return false;
    }
    return true;
}

bool ParsePortArgument(std::string_view arg, std::string& name, SModemConfig& config, std::string& error)
{
    const auto eq = arg.find('=');
    if (eq == std::string_view::npos) {
        error = "'" + std::string(arg) + "' is not PORT=PROFILE[,OPTION...]";
        return false;
    }
    const std::string_view port = arg.substr(0, eq);
    if (!IsValidPortName(port)) {
        error = "bad port name '" + std::string(port) + "' (letters, digits and _, as in COM3)";
        return false;
    }
    std::string reason;
    if (!ParseModemConfig(arg.substr(eq + 1), config, reason)) {
        error = std::string(port) + ": " + reason;
        return false;
    }
    name = std::string(port);
    return true;
}

std::string OptionsUsage()
{
    return "  romfail       ATI2 (ROM check) answers ERROR\n"
           "  nodialtone    ATD answers NO DIALTONE\n"
           "  noloopback    AT&T3 answers ERROR\n"
           "  noecho        echo off at power-on (ATE1 turns it on)\n"
           "  dialdelay=MS  ATD answers after MS milliseconds (default 2000)\n"
           "  guard=MS      \"+++\" leaves loopback after MS ms of silence (default 1000)\n"
           "  replydelay=MS every other answer comes MS ms after its command (default 0)\n"
           "  drop=CHARS    loopback does not echo these characters\n";
}

}  // namespace modemsim
