// Start-up, the modem search, the system menu, the minimised icon and the
// rescan's effects, headless in virtual time.
#include "tests/dialogs/DialogFixture.h"

namespace {

using Strings = std::vector<std::string>;

TEST_F(ProgramTest, SearchListsEveryPortInOrderAndMarksTheKorvanePorts)
{
    Reply("COM3", "ATI3\r", Ati3Reply("Korvane Portable 33.6 Data+Fax Modem"));
    Reply("COM6", "ATI3\r", Ati3Reply("Korvane Travel Card 56K V.90"));
    Reply("COM7", "ATI3\r", Ati3Reply("KORVANE 33.6 Modem"));  // other letter case: not the maker
    Strings lines;
    int selection = 0;
    std::string okText, focusText;
    bool okEnabled = true;
    OnMain([&] {
        lines = Lines();
        selection = Main()->Child(IDC_PORT_LIST)->curSel;
        okText = Text(IDOK);
        okEnabled = Enabled(IDOK);
        focusText = Main()->focus ? Main()->focus->text : "";
    });
    RunProgram();
    EXPECT_EQ(lines, (Strings{"COM1", "COM2", "COM3 - Korvane Modem", "COM4", "COM5", "COM6 - Korvane Modem", "COM7", "COM8"}));
    EXPECT_EQ(selection, -1);
    EXPECT_EQ(okText, "&Test Modem");
    EXPECT_FALSE(okEnabled);
    EXPECT_EQ(focusText, "Cancel");
    for (int n = 1; n <= 8; ++n) EXPECT_EQ(WritesTo("COM" + std::to_string(n)), Strings{"ATI3\r"}) << n;
    // The search window came first; the main window only once it was gone.
    EXPECT_EQ(headless.Recorder().Events("show"), (Strings{"show 129 1", "show 102 1"}));
}

TEST_F(ProgramTest, ScanStartsOneSecondAfterTheSearchAppearsAndWaitsPerPort)
{
    Reply("COM3", "ATI3\r", Ati3Reply("Korvane Portable 33.6 Data+Fax Modem"));
    fake.SetMissing("COM1");
    fake.SetBusy("COM2");
    plat::TimeMs firstWrite = -1;
    fake.SetResponder([&](const std::string& port, const std::string& written) {
        if (firstWrite < 0) firstWrite = plat::Clock().Now();
        return Answer(port, written);
    });
    plat::TimeMs mainShown = 0;
    OnMain([&] { mainShown = plat::Clock().Now(); });
    RunProgram();
    // COM1 and COM2 cost nothing; COM3 answers within its wait; five silent
    // ports wait 1100 ms plus the whole read limit.
    EXPECT_EQ(firstWrite, 1000);  // COM3's, as the timer fires
    EXPECT_EQ(mainShown, 1000 + (1100 + 20) + 5 * (1100 + 10550));
}

TEST_F(ProgramTest, NoKorvaneModemEndsTheProgramWithStatusZero)
{
    Reply("COM4", "ATI3\r", Ati3Reply("Zentrox 56K Voice Modem"));
    EXPECT_EXIT(
        {
            headless.When([] { return ui::FindMessageBox() != nullptr; }, [] {
                HWND box = ui::FindMessageBox();
                std::fprintf(stderr, "[%s|%s]", box->text.c_str(), box->children[0]->text.c_str());
                ui::PostKey(VK_RETURN);
            });
            app.InitInstance();
            std::exit(3);  // not reached: the search ends the program
        },
        ::testing::ExitedWithCode(0), "\\[No Modem\\|No Korvane Modems Found - Exiting\\]");
}

TEST_F(ProgramTest, EnterOrEscapeBeforeTheScanEndsTheSearchWithNoPorts)
{
    for (UINT key : {VK_ESCAPE, VK_RETURN}) {
        Reply("COM3", "ATI3\r", Ati3Reply("Korvane Portable 33.6 Data+Fax Modem"));
        headless.When([] { return ui::ActiveWindow() == ui::FindDialog(IDD_SEARCH); }, [key] { ui::PostKey(key); });
        Strings lines{"x"};
        OnMain([&] { lines = Lines(); });
        RunProgram();
        EXPECT_EQ(lines, Strings{}) << key;
        EXPECT_TRUE(fake.Writes().empty()) << key;
    }
}

TEST_F(ProgramTest, TimerWithAnotherIdStartsNoScan)
{
    Reply("COM3", "ATI3\r", Ati3Reply("Korvane Portable 33.6 Data+Fax Modem"));
    size_t opensAfterOtherTimer = 99;
    headless.When([] { return ui::FindDialog(IDD_SEARCH) != nullptr; }, [&] {
        ui::SendMessageTo(ui::FindDialog(IDD_SEARCH), WM_TIMER, 2, 0);
        opensAfterOtherTimer = fake.Opens().size();
    });
    RunProgram();
    EXPECT_EQ(opensAfterOtherTimer, 0u);
    EXPECT_EQ(fake.Opens().size(), 8u);  // timer 1 still ran the scan, once
}

TEST_F(ProgramTest, SystemMenuGetsTheAboutEntryAndMaskedIdsOpenTheAboutBox)
{
    Reply("COM3", "ATI3\r", Ati3Reply("Korvane Portable 33.6 Data+Fax Modem"));
    std::vector<ui::MenuItem> menu;
    std::vector<bool> opened;
    OnMain([&] { menu = Main()->sysMenu->items; });
    for (UINT id : {0x0010u, 0x0013u, 0x001Fu, 0x0020u}) {
        OnMain([id] { ui::PostMessageTo(Main(), WM_SYSCOMMAND, id, 0); });
        headless.Then([&] {
            opened.push_back(ui::FindDialog(IDD_ABOUTBOX) != nullptr);
            if (opened.back()) ui::PostKey(VK_ESCAPE);
        });
    }
    RunProgram();
    ASSERT_EQ(menu.size(), 4u);
    EXPECT_EQ(menu[2].flags, MF_SEPARATOR);
    EXPECT_EQ(menu[3].id, static_cast<UINT_PTR>(IDM_ABOUTBOX));
    EXPECT_EQ(menu[3].text, "&About Quillet...");
    EXPECT_EQ(opened, (std::vector<bool>{true, true, true, false}));
}

TEST_F(ProgramTest, EmptyAboutStringAddsNoMenuEntries)
{
    AfxGetResourceModule().strings[IDS_ABOUTBOX] = "";
    Reply("COM3", "ATI3\r", Ati3Reply("Korvane Portable 33.6 Data+Fax Modem"));
    size_t items = 0;
    OnMain([&] { items = Main()->sysMenu->items.size(); });
    RunProgram();
    EXPECT_EQ(items, 2u);  // Move and Close only
}

TEST_F(ProgramTest, SystemCloseCommandClosesTheMainDialog)
{
    Reply("COM3", "ATI3\r", Ati3Reply("Korvane Portable 33.6 Data+Fax Modem"));
    OnMain([] { ui::PostMessageTo(Main(), WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_EQ(app.InitInstance(), FALSE);
    EXPECT_EQ(headless.Failure(), "");
}

TEST_F(ProgramTest, MinimisedWindowDrawsItsIconCentredWithTruncatingDivision)
{
    Reply("COM3", "ATI3\r", Ati3Reply("Korvane Portable 33.6 Data+Fax Modem"));
    OnMain([] { ui::SetIconic(Main(), true, 0, 0); });
    OnMain([] { ui::SetIconic(Main(), true, 36, 36); });
    OnMain([] { ui::SetIconic(Main(), false); });
    RunProgram();
    EXPECT_EQ(headless.Recorder().Events("drawicon"), (Strings{"drawicon -15 -15", "drawicon 2 2"}));
}

TEST_F(ProgramTest, EnterOnTheMainDialogNeverClosesIt)
{
    Reply("COM3", "ATI3\r", Ati3Reply("Korvane Portable 33.6 Data+Fax Modem"));
    std::string focusText;
    OnMain([&] {
        focusText = Main()->focus ? Main()->focus->text : "";
        ui::PostKey(VK_RETURN);  // the focus is on Cancel, Test Modem is disabled: nothing
    });
    bool stillThere = false;
    OnMain([&] { stillThere = Main() != nullptr; });
    RunProgram();
    EXPECT_EQ(focusText, "Cancel");
    EXPECT_TRUE(stillThere);
}

}  // namespace

namespace {

TEST_F(ProgramTest, F1ShowsTheHelpFileOrSaysItIsMissing)
{
    Reply("COM3", "ATI3\r", Ati3Reply("Korvane Portable 33.6 Data+Fax Modem"));
    std::string missingText, firstLine;
    app.m_strHelpFilePath = "/nonexistent/plovex.HLP";
    OnMain([] {
        ui::PostKey(VK_F1, KMOD_SHIFT);  // help is F1 alone
        ui::PostKey(VK_F1, KMOD_CTRL);
        ui::PostKey(VK_F1);
    });
    headless.When([] { return ui::FindMessageBox() != nullptr; }, [&] {
        missingText = ui::FindMessageBox()->children[0]->text;
        ui::PostKey(VK_RETURN);
    });
    OnMain([this] {
        app.m_strHelpFilePath = PLOVEX_SOURCE_DIR "/res/plovex.HLP";
        ui::PostKey(VK_F1);
    });
    // The viewer is a dialog of its own, on top, with the file's lines.
    headless.When([] { return ui::ActiveWindow() != Main() && ui::ActiveWindow() != nullptr; }, [&] {
        HWND viewer = ui::ActiveWindow();
        if (!viewer->children.empty() && !viewer->children[0]->lines.empty()) firstLine = viewer->children[0]->lines[0];
        ui::PostKey(VK_ESCAPE);
    });
    RunProgram();
    EXPECT_EQ(missingText, "Cannot find the plovex.HLP file.");
    EXPECT_EQ(headless.Recorder().Events("msgbox").size(), 1u);
    EXPECT_FALSE(firstLine.empty());
}

}  // namespace
