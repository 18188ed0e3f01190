// The utility end to end against simulated modems, in real time: the search
// with its animation, the main dialog, the query of a Korvane line, and a
// whole test run with Reset.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "platform/base/Clock.h"
#include "tests/e2e/SimulatedModems.h"

namespace {

using e2e::ReadTextFile;

using e2e::CPlovexWithModems;
using e2e::CTerminalSession;

class SimulatedModemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!CTerminalSession::Available()) GTEST_SKIP() << "tmux is not installed";
        for (const std::string& program : {e2e::PlovexPath(), e2e::ModemSimPath()})
            if (access(program.c_str(), X_OK) != 0) GTEST_SKIP() << program << " is not built";
    }
};

std::vector<std::string> Lines(const std::string& screen)
{
    std::vector<std::string> lines;
    std::istringstream in(screen);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Drops blanks and any of the given marks at the end of s, in any order.
std::string TrimEnd(std::string s, const std::vector<std::string>& marks = {})
{
    for (bool more = true; more;) {
        more = false;
        while (!s.empty() && s.back() == ' ') s.pop_back(), more = true;
        for (const std::string& m : marks)
            if (EndsWith(s, m)) s.erase(s.size() - m.size()), more = true;
    }
    return s;
}

std::string TrimStart(const std::string& s)
{
    const size_t at = s.find_first_not_of(' ');
    return at == std::string::npos ? std::string() : s.substr(at);
}

// The lines the port list shows, top to bottom (its rows stand between the
// dialog's border and the list's own, which carries the scroll marks).
std::vector<std::string> ListRows(const std::string& screen)
{
    const std::string inside = "│ │";
    std::vector<std::string> rows;
    for (const std::string& line : Lines(screen))
        if (line.compare(0, inside.size(), inside) == 0)
            rows.push_back(TrimEnd(line.substr(inside.size()), {"│", "▲", "▼", "█", "░"}));
    return rows;
}

// The text beside a label ("Model:") on its row.
std::string Field(const std::string& screen, const std::string& label)
{
    for (const std::string& line : Lines(screen)) {
        const size_t at = line.find(label);
        if (at != std::string::npos) return TrimStart(TrimEnd(line.substr(at + label.size()), {"│"}));
    }
    return "(no " + label + ")";
}

// The status line: the dialog's last row inside its frame.
std::string StatusLine(const std::string& screen)
{
    const auto lines = Lines(screen);
    for (size_t i = 1; i < lines.size(); ++i)
        if (lines[i].rfind("└", 0) == 0) {
            std::string row = lines[i - 1];
            if (row.rfind("│", 0) == 0) row.erase(0, std::string("│").size());
            return TrimStart(TrimEnd(row, {"│"}));
        }
    return "(no dialog)";
}

struct SButton {
    bool found = false, dimmed = false, mnemonic = false;
};

// How a button's text is drawn: dimmed when it is disabled, its first letter
// underlined when it carries a mnemonic.
SButton Button(const CTerminalSession& s, const std::string& text)
{
    const auto cells = e2e::FindCells(e2e::ParseAttributedScreen(s.ScreenWithAttributes()), text);
    SButton b;
    if (cells.empty()) return b;
    b.found = true;
    b.dimmed = true;
    for (const e2e::SCell& c : cells) b.dimmed = b.dimmed && (c.dim || c.text == " ");
    b.mnemonic = cells.front().underline;
    return b;
}

// The program draws while a handler runs, so a screen can show one control
// changed and the next not yet: every check of several controls waits until
// they all agree.
bool Eventually(CTerminalSession& s, const std::function<bool(const std::string& screen)>& condition,
                int timeoutMs = 3000)
{
    return s.WaitUntil(condition, timeoutMs);
}

bool TestModemIs(const CTerminalSession& s, bool enabled, bool mnemonic)
{
    const SButton b = Button(s, "Test Modem");
    return b.found && b.dimmed == !enabled && b.mnemonic == mnemonic;
}

const std::vector<std::string> kFirstPorts = {"COM1", "COM2", "COM3 - Korvane Modem", "COM4"};
const std::string kModel = "Korvane Portable 33.6";
const std::string kRevision = "V3.10-0422";

// The search dialog's clip plays while the scan waits on a silent port; the
// main dialog then lists the ports with the Korvane one marked; Cancel ends
// the program with status 0 and gives the terminal back.
TEST_F(SimulatedModemTest, SearchAnimatesThenPortListThenCancel)
{
    // Under sh, which records the program's status and the terminal's
    // settings once it has ended.
    const std::string record = "/tmp/plovex-e2e-cancel-" + std::to_string(getpid());
    CPlovexWithModems p({"COM3=korvane336", "COM4=silent"},
                        {"sh", "-c", "trap '' INT; \"$0\"; echo $? > \"$1.status\"; stty -a > \"$1\"", e2e::PlovexPath(),
                         record});
    ASSERT_TRUE(p.Started()) << p.Error();
    CTerminalSession& s = p.Term();
    ASSERT_TRUE(s.WaitForText("Searching For Korvane Modems", 5000)) << s.Screen();
    EXPECT_NE(s.Screen().find("**** Please Wait ****"), std::string::npos) << s.Screen();

    // COM3 answers within about 2 s of the start; COM4 then keeps the scan
    // waiting for about 12 s. Pictures taken from 3 s on, while the dialog
    // still shows, must differ: the clip moves while the scan blocks.
    const plat::TimeMs shown = plat::Clock().Now();
    std::set<std::string> frames;
    for (;;) {
        const std::string screen = s.ScreenWithAttributes();
        if (screen.find("Searching For Korvane Modems") == std::string::npos) break;
        const plat::TimeMs at = plat::Clock().Now() - shown;
        ASSERT_LT(at, 30000) << "the search does not end";
        if (at >= 3000) frames.insert(screen);
        plat::Clock().SleepMs(200);
    }
    EXPECT_GE(frames.size(), 3u) << "distinct pictures while the scan waited on COM4";

    ASSERT_TRUE(s.WaitForText("COM3 - Korvane Modem", 5000)) << s.Screen();
    EXPECT_TRUE(Eventually(s, [&](const std::string& sc) {
        return ListRows(sc) == kFirstPorts && TestModemIs(s, false, true);
    })) << s.ScreenWithAttributes();
    EXPECT_EQ(s.Title(), "Korvane Modem Test");

    // The rest of the list: End selects COM8 (no Korvane there, so nothing is
    // sent) and scrolls.
    s.SendKeys({"Down", "End"});
    EXPECT_TRUE(s.WaitUntil(
        [](const std::string& sc) { return ListRows(sc) == std::vector<std::string>{"COM5", "COM6", "COM7", "COM8"}; },
        3000))
        << s.Screen();

    s.SendKeys({"Tab", "Space"});  // from the list to Cancel, and press it (Enter is Test Modem's)
    ASSERT_TRUE(s.WaitForExit(5000)) << s.Screen();
    EXPECT_EQ(ReadTextFile(record + ".status"), "0\n");
    const std::string stty = ReadTextFile(record);
    EXPECT_NE(stty.find(" icanon"), std::string::npos) << stty;
    EXPECT_EQ(stty.find("-icanon"), std::string::npos) << stty;
    EXPECT_EQ(stty.find("-echo "), std::string::npos) << stty;
    EXPECT_EQ(s.Screen().find("Korvane"), std::string::npos) << s.Screen();
    std::remove(record.c_str());
    std::remove((record + ".status").c_str());
}

// Selecting the Korvane line queries it and enables Test Modem; a line of
// another maker clears the fields without a word to its modem; Test Modem
// starts a run, which Ctrl+C ends at once.
TEST_F(SimulatedModemTest, QueryShowsModelAndRevisionAndEnablesTest)
{
    CPlovexWithModems p({"COM3=korvane336", "COM4=other"});
    ASSERT_TRUE(p.Started()) << p.Error();
    CTerminalSession& s = p.Term();
    ASSERT_TRUE(s.WaitForText("COM3 - Korvane Modem", 15000)) << s.Screen();
    EXPECT_TRUE(Eventually(s, [&](const std::string& sc) {
        return ListRows(sc) == kFirstPorts && TestModemIs(s, false, true);
    })) << s.ScreenWithAttributes();

    // Model, revision, an empty status line and Test Modem enabled.
    const auto identified = [&](const std::string& sc) {
        return Field(sc, "Model:") == kModel && Field(sc, "Firmware Revision:") == kRevision &&
               StatusLine(sc).empty() && TestModemIs(s, true, true);
    };
    s.SendKeys({"Down", "Down", "Down"});  // COM1, COM2, COM3
    ASSERT_TRUE(s.WaitForText("Please wait - Querying Modem", 3000)) << s.Screen();
    EXPECT_TRUE(TestModemIs(s, false, true)) << "Test Modem is enabled during the query";
    ASSERT_TRUE(Eventually(s, identified, 6000)) << s.ScreenWithAttributes();

    // COM4's modem is of another maker: its line is not marked, and
    // selecting it clears the fields and sends nothing (its one ATI3 is the
    // search's).
    s.SendKeys({"Down"});
    ASSERT_TRUE(Eventually(s, [&](const std::string& sc) {
        return Field(sc, "Model:").empty() && Field(sc, "Firmware Revision:").empty() && TestModemIs(s, false, true);
    })) << s.ScreenWithAttributes();
    const std::string com4 = p.Sim().Received("COM4");
    if (!com4.empty()) {
        EXPECT_EQ(com4, "ATI3\\r");
    }

    s.SendKeys({"Up"});
    ASSERT_TRUE(Eventually(s, identified, 6000)) << s.ScreenWithAttributes();
    s.SendKeys({"Enter"});
    ASSERT_TRUE(Eventually(s, [&](const std::string& sc) {
        const SButton testing = Button(s, "Testing  ");  // the button, not the status line
        return StatusLine(sc) == "Testing For Dialtone" && sc.find("Please Wait - Testing COM3") != std::string::npos &&
               sc.find("Results:") != std::string::npos && testing.found && testing.dimmed;
    })) << s.ScreenWithAttributes();

    // The run blocks the dialog for a minute; Ctrl+C still ends it at once.
    s.SendKeys({"C-c"});
    ASSERT_TRUE(s.WaitForExit(3000)) << s.Screen();
    EXPECT_EQ(s.Screen().find("Korvane"), std::string::npos) << s.Screen();
}

// A whole run on a modem that does not echo "B" in its loopback: every step
// in the status line, the results, the commands in order, then Reset.
TEST_F(SimulatedModemTest, FullTestRunThenReset)
{
    CPlovexWithModems p({"COM3=korvane336,drop=B,dialdelay=200"});
    ASSERT_TRUE(p.Started()) << p.Error();
    CTerminalSession& s = p.Term();
    ASSERT_TRUE(s.WaitForText("COM3 - Korvane Modem", 15000)) << s.Screen();
    s.SendKeys({"Down", "Down", "Down"});
    ASSERT_TRUE(Eventually(s, [&](const std::string& sc) { return Field(sc, "Model:") == kModel && TestModemIs(s, true, true); },
                           6000))
        << s.ScreenWithAttributes();
    s.SendKeys({"Enter"});

    // Each status stays for seconds: 18 s of dialling plus 19.5 s, then
    // pauses of 5, 2, 3 and 3 s.
    const std::pair<const char*, int> steps[] = {{"Testing For Dialtone", 3000},  {"Dialtone Test Passed", 60000},
                                                 {"Testing ROM", 15000},          {"ROM Test Passed", 10000},
                                                 {"Testing Modem Loopback", 10000}};
    for (const auto& [status, timeoutMs] : steps)
        ASSERT_TRUE(s.WaitUntil([&](const std::string& sc) { return StatusLine(sc) == status; }, timeoutMs))
            << status << "\n"
            << s.Screen();
    // The received characters grow in the status line; after the first two
    // ("A", "T") they are the whole sequence but the dropped B. (The missing
    // echo costs the transaction's whole read time, about 10.5 s, on top of
    // the 8 s of the loopback's own waits.)
    const std::string received = "ACDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    ASSERT_TRUE(s.WaitUntil([&](const std::string& sc) { return StatusLine(sc) == received; }, 40000)) << s.Screen();

    // The end: Reset enabled, then the status line emptied.
    ASSERT_TRUE(Eventually(s, [&](const std::string& sc) {
        const SButton reset = Button(s, "Reset");
        return reset.found && !reset.dimmed && StatusLine(sc).empty();
    }, 15000)) << s.ScreenWithAttributes();
    std::string screen = s.Screen();
    // The list shows its first four lines: the sent line holds every
    // character sent after the leading "AT", whatever came back for it.
    EXPECT_EQ(ListRows(screen), (std::vector<std::string>{"Dialtone Detected", "ROM Test Passed",
                                                           "Loopback - Sent To Modem:",
                                                           "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"}))
        << screen;
    EXPECT_NE(screen.find("Results:"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("Please Wait - Testing"), std::string::npos) << screen;
    EXPECT_EQ(Field(screen, "Model:"), kModel) << screen;
    // Shift+End scrolls to the received line without selecting, so Reset
    // stays enabled.
    s.SendKeys({"S-End"});
    ASSERT_TRUE(s.WaitUntil([&](const std::string& sc) { return !ListRows(sc).empty() && ListRows(sc).back() == received; }, 3000))
        << s.Screen();
    EXPECT_FALSE(Button(s, "Reset").dimmed) << s.ScreenWithAttributes();

    // Reset searches again and brings the port list back.
    s.SendKeys({"Enter"});
    ASSERT_TRUE(s.WaitForText("Searching For Korvane Modems", 5000)) << s.Screen();
    ASSERT_TRUE(s.WaitForText("COM3 - Korvane Modem", 15000)) << s.Screen();
    EXPECT_TRUE(Eventually(s, [&](const std::string& sc) {
        return ListRows(sc) == kFirstPorts && sc.find("Ports:") != std::string::npos && TestModemIs(s, false, false);
    })) << s.ScreenWithAttributes();

    // What the modem was sent, in order: the search's and the query's ATI3,
    // the run, the loopback characters, the escape and the rescan's ATI3.
    const std::string sent = p.Sim().Received("COM3");
    if (sent.empty()) {
        std::printf("note: modem-sim logs no received bytes; the order of commands is not checked\n");
    } else {
        EXPECT_EQ(sent,
                  "ATI3\\rATI3\\rATE1\\rATM0\\rATDT;\\rATI2\\rAT&T3\\r"
                  "ATABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+++AT&T0\\rATI3\\r");
    }

    s.SendKeys({"Escape"});
    auto status = s.WaitForExit(5000);
    ASSERT_TRUE(status) << s.Screen();
    EXPECT_EQ(status->code, 0);
    EXPECT_EQ(status->signal, 0);
}

}  // namespace
