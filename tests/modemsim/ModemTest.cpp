// The Hayes interpreter on its own, on made-up time: each step hands the modem
// bytes at a time in milliseconds, lets due answers fall due at that time, and
// compares everything the modem sent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/modem-sim/Modem.h"

namespace {

using namespace std::string_literals;
using modemsim::CModem;

struct SStep {
    plat::TimeMs at;
    std::string in;   // received at `at` (empty: time passes only)
    std::string out;  // everything sent by the end of `at`
};

struct SCase {
    const char* what;
    const char* setting;
    std::vector<SStep> steps;
    bool loopbackAfter;
};

const std::string kConnect = "AT&T3\r\r\nCONNECT 57600\r\n";

const SCase kCases[] = {
    {"several commands on one line, any letter case", "korvane336",
     {{0, "ATE1M0\r", "ATE1M0\r\r\nOK\r\n"}, {1, "at\r", "at\r\r\nOK\r\n"}, {2, "aTi2l1\r", "aTi2l1\r\r\nOK\r\n"}},
     false},
    {"ATI3 framed line by line before OK", "korvane288",
     {{0, "ATI3\r", "ATI3\r\r\nKorvane Desk 28.8 Modem (Revision 1.9)\r\nB2.04-0311  (c) 1997\r\n\r\nOK\r\n"}},
     false},
    {"echo off and back on by ATZ", "korvane336",
     {{0, "ATE0\r", "ATE0\r\r\nOK\r\n"}, {1, "AT\r", "\r\nOK\r\n"}, {2, "ATZ\r", "\r\nOK\r\n"}, {3, "AT\r", "AT\r\r\nOK\r\n"}},
     false},
    {"noecho starts silent, ATE1 echoes", "korvane336,noecho",
     {{0, "AT\r", "\r\nOK\r\n"}, {1, "ATE1\r", "\r\nOK\r\n"}, {2, "AT\r", "AT\r\r\nOK\r\n"}},
     false},
    {"unknown commands and parameters", "korvane336",
     {{0, "ATX9\r", "ATX9\r\r\nERROR\r\n"}, {1, "ATE2\r", "ATE2\r\r\nERROR\r\n"}, {2, "ATI7\r", "ATI7\r\r\nERROR\r\n"},
      {3, "AT&Q\r", "AT&Q\r\r\nERROR\r\n"}, {4, "AT&T1\r", "AT&T1\r\r\nERROR\r\n"}},
     false},
    {"lines without AT get no answer; what precedes AT is skipped", "korvane336",
     {{0, "hello\r", "hello\r"}, {1, "A\r", "A\r"}, {2, "\r\n", "\r\n"}, {3, "+++AT&T0\r", "+++AT&T0\r\r\nOK\r\n"}},
     false},
    {"NUL and high-bit bytes", "korvane336",
     {{0, "\x80\xff\0AT\r"s, "\x80\xff\0AT\r\r\nOK\r\n"s}, {1, "AT\0\r"s, "AT\0\r\r\nERROR\r\n"s},
      {2, "AT\xc9\r", "AT\xc9\r\r\nERROR\r\n"}},
     false},
    {"backspace edits the line", "korvane336", {{0, "ATX\bI2\r", "ATX\bI2\r\r\nOK\r\n"}}, false},
    {"an overlong line answers ERROR", "korvane336",
     {{0, "AT" + std::string(400, 'M') + "\r", "AT" + std::string(400, 'M') + "\r\r\nERROR\r\n"}, {1, "AT\r", "AT\r\r\nOK\r\n"}},
     false},
    {"ROM check fails with romfail", "korvane336,romfail", {{0, "ATI2\r", "ATI2\r\r\nERROR\r\n"}}, false},
    {"dial answers OK after the dial delay", "korvane336,dialdelay=500",
     {{0, "ATDT;\r", "ATDT;\r"}, {499, "", ""}, {500, "", "\r\nOK\r\n"}, {501, "AT\r", "AT\r\r\nOK\r\n"}},
     false},
    {"dial without a dialtone", "korvane336,nodialtone,dialdelay=300",
     {{0, "ATDT;\r", "ATDT;\r"}, {300, "", "\r\nNO DIALTONE\r\n"}},
     false},
    {"dial without ';' finds no carrier", "korvane336,dialdelay=300",
     {{0, "ATDT5551234\r", "ATDT5551234\r"}, {300, "", "\r\nNO CARRIER\r\n"}},
     false},
    {"a character aborts the dial", "korvane336,dialdelay=300",
     {{0, "ATDT;\r", "ATDT;\r"}, {100, "X", "\r\nNO CARRIER\r\n"}, {5000, "", ""}},
     false},
    {"reply delay: late answer, input meanwhile lost", "korvane336,replydelay=100",
     {{0, "ATI2\r", "ATI2\r"}, {50, "AT\r", ""}, {99, "", ""}, {100, "", "\r\nOK\r\n"}},
     false},
    {"loopback echoes all but the dropped characters", "korvane56,drop=B",
     {{0, "AT&T3\r", kConnect}, {10, "A", "A"}, {20, "B", ""}, {30, "C9\r", "C9\r"}},
     true},
    {"+++ then the guard time of silence leaves loopback", "korvane56,guard=1000",
     {{0, "AT&T3\r", kConnect}, {30, "Z", "Z"}, {60, "+++", "+++"}, {1059, "", ""}, {1060, "", "\r\nOK\r\n"},
      {1100, "AT&T0\r", "AT&T0\r\r\nOK\r\n"}},
     false},
    {"+++ sent one by one", "korvane56,guard=100",
     {{0, "AT&T3\r", kConnect}, {10, "+", "+"}, {20, "+", "+"}, {30, "+", "+"}, {130, "", "\r\nOK\r\n"}},
     false},
    {"a fourth + cancels the escape", "korvane56,guard=100",
     {{0, "AT&T3\r", kConnect}, {10, "++++", "++++"}, {5000, "", ""}},
     true},
    {"a character within the guard time cancels the escape", "korvane56,guard=100",
     {{0, "AT&T3\r", kConnect}, {10, "+++", "+++"}, {50, "A", "A"}, {5000, "", ""}},
     true},
    {"+ signs further apart than the guard time are data", "korvane56,guard=100",
     {{0, "AT&T3\r", kConnect}, {10, "+", "+"}, {200, "+", "+"}, {400, "+", "+"}, {5000, "", ""}},
     true},
    {"commands are data in loopback", "korvane56",
     {{0, "AT&T3\r", kConnect}, {10, "AT&T0\r", "AT&T0\r"}},
     true},
    {"the rest of the line after &T3 is not run", "korvane56", {{0, "AT&T3E0\r", "AT&T3E0\r\r\nCONNECT 57600\r\n"}}, true},
    {"noloopback refuses AT&T3", "korvane56,noloopback",
     {{0, "AT&T3\r", "AT&T3\r\r\nERROR\r\n"}, {10, "A", "A"}},
     false},
    {"a silent modem sends nothing", "silent",
     {{0, "ATI3\r", ""}, {10, "AT&T3\r", ""}, {20, "+++", ""}, {5000, "", ""}},
     false},
};

TEST(Modem, AnswersAsAHayesModem)
{
    for (const SCase& c : kCases) {
        SCOPED_TRACE(c.what);
        modemsim::SModemConfig config;
        std::string error;
        ASSERT_TRUE(modemsim::ParseModemConfig(c.setting, config, error)) << error;
        CModem modem(config);
        for (const SStep& step : c.steps) {
            std::string out;
            modem.Receive(step.in, step.at, out);
            modem.Expire(step.at, out);
            EXPECT_EQ(out, step.out) << "at " << step.at;
        }
        EXPECT_EQ(modem.InLoopback(), c.loopbackAfter);
    }
}

TEST(Modem, DeadlineNamesWhenTheNextAnswerIsDue)
{
    modemsim::SModemConfig config;
    std::string error;
    ASSERT_TRUE(modemsim::ParseModemConfig("korvane336,dialdelay=250,guard=40", config, error));
    CModem modem(config);
    std::string out;
    EXPECT_EQ(modem.Deadline(), CModem::kNoDeadline);
    modem.Receive("ATDT;\r", 1000, out);
    EXPECT_EQ(modem.Deadline(), 1250);
    modem.Expire(1250, out);
    EXPECT_EQ(modem.Deadline(), CModem::kNoDeadline);
    modem.Receive("AT&T3\r+++", 2000, out);
    EXPECT_EQ(modem.Deadline(), 2040);
    modem.Receive("+", 2010, out);
    EXPECT_EQ(modem.Deadline(), CModem::kNoDeadline);
}

}  // namespace
