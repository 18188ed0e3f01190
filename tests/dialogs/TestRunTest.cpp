// The Test Modem button: test runs, their endings and the rescan, headless
// in virtual time with scripted replies.
#include <numeric>

#include "tests/dialogs/DialogFixture.h"

namespace {

using Strings = std::vector<std::string>;
const std::string kAll = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

struct EndState {
    Strings lines;
    std::string status, testPort, model, revision, label, okText;
    bool okEnabled = false;
};

class TestRunTest : public ProgramTest {
protected:
    TestRunTest() { GoodModem("COM3", "Korvane Portable 33.6 Data+Fax Modem\r\nFirmware V3.10-0422  (c) 1998"); }

    // Selects the COM3 line, presses Test Modem and records the end state.
    void RunTest()
    {
        OnMain([] { Select(2); });
        OnMain([this] {
            ASSERT_TRUE(Enabled(IDOK));
            fake.ClearCalls();
            headless.Recorder().Clear();
            start = plat::Clock().Now();
            Press(IDOK);
        });
        OnMain([this] {
            end = CurrentState();
            runTime = plat::Clock().Now() - start;
            commands = WritesTo("COM3");
            for (const auto& call : fake.Calls(plat::CommCall::Sleep)) waits += call.value;
        });
    }
    static EndState CurrentState()
    {
        return {Lines(), Text(IDC_STATUS), Text(IDC_TEST_PORT), Text(IDC_MODEL), Text(IDC_REVISION), Text(IDC_LIST_LABEL), Text(IDOK), Enabled(IDOK)};
    }
    Strings StatusTexts()
    {
        Strings v;
        for (const auto& e : headless.Recorder().Events("text 1006 ")) v.push_back(e.substr(10));
        return v;
    }

    EndState end;
    plat::TimeMs start = 0, runTime = 0;
    Strings commands;
    DWORD waits = 0;
};

Strings Sequence(const std::string& middle = kAll)
{
    Strings v = {"ATE1\r", "ATM0\r", "ATDT;\r", "ATI2\r", "AT&T3\r", "A", "T"};
    for (char c : middle) v.emplace_back(1, c);
    v.insert(v.end(), {"+++", "AT&T0\r"});
    return v;
}

TEST_F(TestRunTest, GoodModemRunsEveryTestAndEndsWithReset)
{
    RunTest();
    RunProgram();
    EXPECT_EQ(end.lines, (Strings{"Dialtone Detected", "ROM Test Passed", "Loopback - Sent To Modem:", kAll,
                                  "Loopback - Received From Modem:", kAll}));
    EXPECT_EQ(end.status, "");
    EXPECT_EQ(end.testPort, "");
    EXPECT_EQ(end.model, "Korvane Portable 33.6");  // kept in this ending
    EXPECT_EQ(end.label, "Results:");
    EXPECT_EQ(end.okText, "Reset");
    EXPECT_TRUE(end.okEnabled);
    EXPECT_EQ(commands, Sequence());
    EXPECT_EQ(waits, 62938u);  // every wait and pause of a full run
    // The status line tells each step as it begins, then the echoes grow.
    Strings status = StatusTexts();
    Strings expected = {"Testing For Dialtone", "Dialtone Test Passed", "Testing ROM", "ROM Test Passed", "Testing Modem Loopback", "CONNECT 57600\r\n"};
    for (size_t n = 1; n <= kAll.size(); ++n) expected.push_back(kAll.substr(0, n));
    expected.push_back("");
    EXPECT_EQ(status, expected);
    EXPECT_EQ(headless.Recorder().Events("text 1003"), (Strings{"text 1003 Please Wait - Testing COM3", "text 1003 "}));
    // "Reset" is shown before "+++" goes out, and enabled only at the very end.
    auto events = headless.Recorder().Events();
    EXPECT_EQ(events.back(), "text 1006 ");
    EXPECT_EQ(events[events.size() - 2], "enable 1 1");
}

TEST_F(TestRunTest, LoopbackUnavailableEndsWithoutLeavingTheTest)
{
    Reply("COM3", "AT&T3\r", "AT&T3\r\r\nERROR\r\n");
    RunTest();
    RunProgram();
    EXPECT_EQ(end.lines, (Strings{"Dialtone Detected", "ROM Test Passed", "Loopback Test Unavailable"}));
    EXPECT_EQ(end.status, "Test Unavailable");
    EXPECT_EQ(end.model, "");
    EXPECT_EQ(end.revision, "");
    EXPECT_EQ(end.testPort, "");
    EXPECT_EQ(end.okText, "Reset");
    EXPECT_TRUE(end.okEnabled);
    EXPECT_EQ(commands, (Strings{"ATE1\r", "ATM0\r", "ATDT;\r", "ATI2\r", "AT&T3\r"}));
    EXPECT_EQ(waits, 51900u);
}

struct DialCase {
    const char* reply;
    const char* status;
    const char* line;
    bool listFirst;  // the list changes before the status line
};

void PrintTo(const DialCase& c, std::ostream* os) { *os << c.line; }

class DialtoneTest : public TestRunTest, public ::testing::WithParamInterface<DialCase> {};

TEST_P(DialtoneTest, ReplyDecidesTheOutcome)
{
    Reply("COM3", "ATDT;\r", GetParam().reply);
    RunTest();
    RunProgram();
    ASSERT_FALSE(end.lines.empty());
    EXPECT_EQ(end.lines[0], GetParam().line);
    auto events = headless.Recorder().Events();
    auto status = std::find(events.begin(), events.end(), std::string("text 1006 ") + GetParam().status);
    auto reset = std::find(events.begin(), events.end(), "list- 1000");
    ASSERT_NE(status, events.end());
    ASSERT_NE(reset, events.end());
    EXPECT_EQ(reset < status, GetParam().listFirst);
}

INSTANTIATE_TEST_SUITE_P(Replies, DialtoneTest,
                         ::testing::Values(DialCase{"ATDT;\r\r\nOK\r\n", "Dialtone Test Passed", "Dialtone Detected", true},
                                           DialCase{"ATDT;\r\r\nNO DIALTONE\r\n", "Dialtone Test Failed", "Dialtone Detection Failure", false},
                                           DialCase{"NO DIALTONE\r\nOK", "Dialtone Test Passed", "Dialtone Detected", true},
                                           DialCase{"ATDT;\r\r\nok\r\n", "Dialtone Test Failed", "No Dialtone Detected", false},
                                           DialCase{"", "Dialtone Test Failed", "No Dialtone Detected", false}));

TEST_F(TestRunTest, RomTestFailsWithoutOk)
{
    Reply("COM3", "ATI2\r", "ATI2\r\r\nERROR\r\n");
    RunTest();
    RunProgram();
    ASSERT_GE(end.lines.size(), 2u);
    EXPECT_EQ(end.lines[1], "ROM Test Failed");
    Strings status = StatusTexts();
    EXPECT_NE(std::find(status.begin(), status.end(), "ROM Test Failed"), status.end());
}

struct EchoCase {
    const char* name;
    std::string dropped;   // characters whose echo never comes
    bool carriageReturn;   // every echo is followed by a carriage return
    std::string received;  // the received line
};

void PrintTo(const EchoCase& c, std::ostream* os) { *os << c.name; }

class EchoTest : public TestRunTest, public ::testing::WithParamInterface<EchoCase> {};

TEST_P(EchoTest, ReceivedLineHoldsTheMatchingEchoesBesideTheFullSentLine)
{
    const EchoCase& c = GetParam();
    for (char ch : c.dropped) dropped["COM3"].insert(ch);
    if (c.carriageReturn) {
        for (char ch : std::string("AT") + kAll) Reply("COM3", std::string(1, ch), std::string(1, ch) + "\r");
    }
    RunTest();
    RunProgram();
    ASSERT_EQ(end.lines.size(), 6u);
    EXPECT_EQ(end.lines[3], kAll);
    EXPECT_EQ(end.lines[5], c.received);
    // The status line grew with exactly the received characters.
    Strings status = StatusTexts();
    Strings growth;
    for (size_t n = 1; n <= c.received.size(); ++n) growth.push_back(c.received.substr(0, n));
    Strings shown(status.begin() + 6, status.end() - 1);
    EXPECT_EQ(shown, growth);
    EXPECT_EQ(waits, 62938u - 100u * (36u - c.received.size()));
}

INSTANTIATE_TEST_SUITE_P(Echoes, EchoTest,
                         ::testing::Values(EchoCase{"Every", "", false, kAll},
                                           EchoCase{"MissingB", "B", false, "ACDEFGHIJKLMNOPQRSTUVWXYZ0123456789"},
                                           // "A" and "T" are dropped everywhere, the leading pair included.
                                           EchoCase{"MissingAT", "AT", false, "BCDEFGHIJKLMNOPQRSUVWXYZ0123456789"},
                                           EchoCase{"None", kAll, false, ""},
                                           EchoCase{"CarriageReturn", "", true, ""}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(TestRunTest, ConnectTextIsTheReplysTailWithoutLeadingWhiteSpace)
{
    for (const auto& [reply, shown] : std::vector<std::pair<std::string, std::string>>{
             {"\r\nCONNECT\r\n", "CONNECT\r\n"}, {"\r\nCONNECT 57600\r\n", "NECT 57600\r\n"}}) {
        Reply("COM3", "AT&T3\r", reply);
        RunTest();
        RunProgram();
        Strings status = StatusTexts();
        ASSERT_GT(status.size(), 5u);
        EXPECT_EQ(status[5], shown);
    }
}

TEST_F(TestRunTest, PortThatCannotBeOpenedEndsTheRunAtOnceReadyForRescan)
{
    OnMain([this] { Select(2); });
    OnMain([this] {
        fake.SetMissing("COM3");
        fake.ClearCalls();
        start = plat::Clock().Now();
        Press(IDOK);
    });
    OnMain([this] {
        end = CurrentState();
        runTime = plat::Clock().Now() - start;
    });
    RunProgram();
    EXPECT_EQ(end.status, "Communicatons Error, Modem Offline");
    EXPECT_EQ(end.lines, Strings{});
    EXPECT_EQ(end.testPort, "");
    EXPECT_EQ(end.okText, "Reset");
    EXPECT_TRUE(end.okEnabled);
    EXPECT_EQ(runTime, 0);
    EXPECT_EQ(fake.Opens(), Strings{"COM3"});  // one attempt, nothing more
}

TEST_F(TestRunTest, ResetRescansWithoutTalkingToTheModem)
{
    RunTest();
    Strings scanWrites;
    OnMain([this] {
        fake.ClearCalls();
        Press(IDOK);  // reads "Reset"
    });
    OnMain([&] {
        scanWrites.clear();
        for (const auto& [port, bytes] : fake.Writes()) scanWrites.push_back(port + ":" + bytes);
        end = CurrentState();
    });
    // "Test Modem", without the mnemonic, starts a run as well.
    OnMain([] { Select(2); });
    OnMain([this] {
        fake.ClearCalls();
        Press(IDOK);
    });
    Strings secondRun;
    OnMain([&] { secondRun = WritesTo("COM3"); });
    RunProgram();
    Strings expectedScan;
    for (int n = 1; n <= 8; ++n) expectedScan.push_back("COM" + std::to_string(n) + ":ATI3\r");
    EXPECT_EQ(scanWrites, expectedScan);
    EXPECT_EQ(end.lines[2], "COM3 - Korvane Modem");
    EXPECT_EQ(end.label, "Ports:");
    EXPECT_EQ(end.model, "");
    EXPECT_EQ(end.revision, "");
    EXPECT_EQ(end.status, "");
    EXPECT_EQ(end.okText, "Test Modem");
    EXPECT_FALSE(end.okEnabled);
    EXPECT_EQ(secondRun, Sequence());
}

TEST_F(TestRunTest, ButtonCommandWithoutASelectionChangesNothing)
{
    OnMain([this] {
        fake.ClearCalls();
        headless.Recorder().Clear();
        ui::SendMessageTo(Main(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    RunProgram();
    EXPECT_TRUE(fake.Writes().empty());
    EXPECT_TRUE(headless.Recorder().Events("text").empty());
}

}  // namespace
