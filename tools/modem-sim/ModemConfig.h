// What one simulated modem is: a profile (the text it answers to ATI3, or
// silence) and options that bend its answers. A port argument reads
// "COM3=korvane336,nodialtone,dialdelay=500".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace modemsim {

struct SModemConfig {
    std::string profile;          // the profile's name
    std::string identification;   // ATI3 text: lines separated by '\n', may hold NUL bytes
    bool silent = false;          // answers nothing, echoes nothing
    bool echo = true;             // echo state at power-on and after ATZ / AT&F (option noecho)
    bool romFail = false;         // ATI2 answers ERROR (option romfail)
    bool noDialtone = false;      // ATD answers NO DIALTONE (option nodialtone)
    bool noLoopback = false;      // AT&T3 answers ERROR (option noloopback)
    int dialDelayMs = 2000;       // ATD takes this long to answer (option dialdelay=MS)
    int guardMs = 1000;           // silence after "+++" before OK (option guard=MS)
    int replyDelayMs = 0;         // every other answer comes this late (option replydelay=MS)
    std::string drop;             // loopback leaves these characters out (option drop=CHARS)
};

// One row of the profile table.
struct SProfileInfo {
    std::string_view name;
    std::string_view summary;
};

// Every profile, in the order the usage text lists them.
std::vector<SProfileInfo> ProfileList();

// Parses "profile[,option...]" into config. False with a one-line reason in
// error for an unknown profile or option, or a bad value.
bool ParseModemConfig(std::string_view setting, SModemConfig& config, std::string& error);

// A port name fit for the environment: a letter or '_', then letters,
// digits or '_' (COM1 to COM8 in practice).
bool IsValidPortName(std::string_view name);

// Splits "NAME=SETTING" and checks both halves. False with a reason in error.
bool ParsePortArgument(std::string_view arg, std::string& name, SModemConfig& config, std::string& error);

// The option lines of the usage text.
std::string OptionsUsage();

}  // namespace modemsim
