// Selecting a port line: the model and firmware query, headless.
#include "tests/dialogs/DialogFixture.h"

namespace {

using Strings = std::vector<std::string>;

struct Fields {
    std::string model, revision, status;
    bool okEnabled = false;
};

Fields Snapshot()
{
    return {ui::ControlText(ui::FindDialog(IDD_DIAG_DIALOG), IDC_MODEL), ui::ControlText(ui::FindDialog(IDD_DIAG_DIALOG), IDC_REVISION),
            ui::ControlText(ui::FindDialog(IDD_DIAG_DIALOG), IDC_STATUS), ui::ControlEnabled(ui::FindDialog(IDD_DIAG_DIALOG), IDOK)};
}

class QueryTest : public ProgramTest {
protected:
    QueryTest()
    {
        Reply("COM2", "ATI3\r", Ati3Reply("Korvane Desk 28.8 Modem (Revision 1.9)\r\nB2.04-0311  (c) 1997"));
        Reply("COM4", "ATI3\r", Ati3Reply("Korvane Travel Card 56K V.90"));
        Reply("COM5", "ATI3\r", Ati3Reply("Korvane Portable 33.6 Data+Fax Modem\r\nFirmware V3.10-0422  (c) 1998"));
        Reply("COM6", "ATI3\r", Ati3Reply("Korvane Modem"));
    }
    // Selects line, then records the fields once the query is over.
    void SelectAndSnapshot(int line, std::vector<Fields>& into)
    {
        OnMain([line] { Select(line); });
        OnMain([&into] { into.push_back(Snapshot()); });
    }
};

TEST_F(QueryTest, RecognisedModemShowsModelAndRevisionAndEnablesTesting)
{
    std::vector<Fields> seen;
    plat::TimeMs before = 0, after = 0;
    OnMain([&] {
        before = plat::Clock().Now();
        Select(1);
    });
    OnMain([&] {
        after = plat::Clock().Now();
        seen.push_back(Snapshot());
    });
    SelectAndSnapshot(4, seen);
    RunProgram();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].model, "Korvane Desk 28.8");
    EXPECT_EQ(seen[0].revision, "1.9");
    EXPECT_EQ(seen[0].status, "");
    EXPECT_TRUE(seen[0].okEnabled);
    EXPECT_EQ(seen[1].model, "Korvane Portable 33.6");
    EXPECT_EQ(seen[1].revision, "V3.10-0422");
    EXPECT_EQ(WritesTo("COM2"), (Strings{"ATI3\r", "ATI3\r"}));
    EXPECT_EQ(after - before, 2000 + 20);  // the query's wait, then the reply's read
    // IDOK was disabled first, then the status line told the user to wait.
    auto events = headless.Recorder().Events();
    auto wait = std::find(events.begin(), events.end(), "text 1006 Please wait - Querying Modem");
    ASSERT_NE(wait, events.end());
    EXPECT_NE(std::find(events.begin(), wait, "enable 1 0"), wait);
}

TEST_F(QueryTest, LineWithoutTheMakerClearsTheFieldsAndSendsNothing)
{
    std::vector<Fields> seen;
    SelectAndSnapshot(1, seen);
    SelectAndSnapshot(0, seen);  // "COM1"
    RunProgram();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].model, "");
    EXPECT_EQ(seen[1].revision, "");
    EXPECT_EQ(seen[1].status, "");  // not written: the last query had cleared it
    EXPECT_FALSE(seen[1].okEnabled);
    EXPECT_EQ(WritesTo("COM1"), Strings{"ATI3\r"});  // the scan's only
}

TEST_F(QueryTest, PortFailureShowsItsTextInAMessageBoxAndLeavesTheFields)
{
    std::vector<Fields> seen;
    SelectAndSnapshot(1, seen);
    OnMain([this] {
        fake.SetBusy("COM5");
        Select(4);
    });
    std::string boxCaption, boxText;
    headless.When([] { return ui::FindMessageBox() != nullptr; }, [&] {
        boxCaption = ui::FindMessageBox()->text;
        boxText = ui::FindMessageBox()->children[0]->text;
        ui::PostKey(VK_RETURN);
    });
    OnMain([&] { seen.push_back(Snapshot()); });
    RunProgram();
    EXPECT_EQ(boxCaption, "plovex");
    EXPECT_EQ(boxText, "Invalid Port Error");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].model, "Korvane Desk 28.8");
    EXPECT_EQ(seen[1].revision, "1.9");
    EXPECT_EQ(seen[1].status, "Please wait - Querying Modem");
    EXPECT_FALSE(seen[1].okEnabled);
}

TEST_F(QueryTest, FailureTextWithoutErrorEndsQuietlyAsAnUnrecognisedReply)
{
    std::vector<Fields> seen;
    SelectAndSnapshot(1, seen);
    OnMain([this] {
        fake.FailNext(plat::CommCall::SetCommTimeouts);
        Select(4);
    });
    OnMain([&] { seen.push_back(Snapshot()); });
    RunProgram();
    EXPECT_TRUE(headless.Recorder().Events("msgbox").empty());
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].status, "Please wait - Querying Modem");
    EXPECT_FALSE(seen[1].okEnabled);
    // Nothing of the earlier modem stays beside a reply that was not recognised.
    EXPECT_EQ(seen[1].model, "");
    EXPECT_EQ(seen[1].revision, "");
    EXPECT_FALSE(fake.IsOpen("COM5"));  // the left-over port was released
}

TEST_F(QueryTest, UnrecognisedRepliesClearWhatTheyDoNotWrite)
{
    std::vector<Fields> seen;
    SelectAndSnapshot(1, seen);
    SelectAndSnapshot(3, seen);  // 56 without "Revision"
    SelectAndSnapshot(1, seen);
    SelectAndSnapshot(5, seen);  // no speed class, no "Revision"
    RunProgram();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[1].model, "Korvane Travel Card 56");
    EXPECT_EQ(seen[1].revision, "");
    EXPECT_EQ(seen[1].status, "Please wait - Querying Modem");
    EXPECT_FALSE(seen[1].okEnabled);
    EXPECT_EQ(seen[3].model, "");
    EXPECT_EQ(seen[3].revision, "");
    EXPECT_FALSE(seen[3].okEnabled);
}

TEST_F(QueryTest, NotificationWithoutASelectionClearsAndSendsNothing)
{
    std::vector<Fields> seen;
    SelectAndSnapshot(1, seen);
    OnMain([&] {
        fake.ClearCalls();
        HWND list = Main()->Child(IDC_PORT_LIST);
        ui::SendMessageTo(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        ui::SendMessageTo(Main(), WM_COMMAND, MAKEWPARAM(IDC_PORT_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        seen.push_back(Snapshot());
    });
    RunProgram();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].model, "");
    EXPECT_EQ(seen[1].revision, "");
    EXPECT_FALSE(seen[1].okEnabled);
    EXPECT_TRUE(fake.Opens().empty());
}

}  // namespace
