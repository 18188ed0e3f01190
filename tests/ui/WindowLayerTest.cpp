// The window layer's dialog manager, modal loops and message routing, run
// headless in virtual time.
#include <gtest/gtest.h>

#include "platform/ui/Headless.h"

namespace {

constexpr int kList = 10;
constexpr int kOther = 11;

DLGTEMPLATE TestTemplate(const std::string& caption)
{
    DLGTEMPLATE t;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    t.caption = caption;
    t.cx = 160;
    t.cy = 100;
    t.items = {
        {IDOK, WC_BUTTON, "&Go", 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 10, 80, 40, 12},
        {IDCANCEL, WC_BUTTON, "Cancel", 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 60, 80, 40, 12},
        {kList, WC_LISTBOX, "", 0, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LBS_NOTIFY, 0, 0, 4, 4, 150, 50},
        {kOther, WC_BUTTON, "&Other", 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 110, 80, 40, 12},
    };
    return t;
}

// A dialog that counts what reaches its handlers.
class CTestDlg : public CDialog {
public:
    explicit CTestDlg(const DLGTEMPLATE* t) : CDialog(t, nullptr) {}
    int okCount = 0;
    int selChanges = 0;
    int otherCount = 0;
    std::function<void()> onInit;
    std::function<void()> onOther;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        for (const char* line : {"one", "two", "three"}) GetDlgItem(kList)->SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
        if (onInit) onInit();
        return TRUE;
    }
    void OnOK() override { ++okCount; }
    afx_msg void OnSelchange() { ++selChanges; }
    afx_msg void OnOther()
    {
        ++otherCount;
        if (onOther) onOther();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestDlg, CDialog)
    ON_LBN_SELCHANGE(kList, OnSelchange)
    ON_BN_CLICKED(kOther, OnOther)
END_MESSAGE_MAP()

class CTimerDlg : public CTestDlg {
public:
    using CTestDlg::CTestDlg;
    std::vector<plat::TimeMs> fired;

protected:
    BOOL OnInitDialog() override
    {
        SetTimer(7, 250, nullptr);
        return CTestDlg::OnInitDialog();
    }
    afx_msg void OnTimer(UINT id)
    {
        fired.push_back(plat::Clock().Now());
        if (fired.size() == 3) {
            KillTimer(id);
            EndDialog(IDOK);
        }
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTimerDlg, CTestDlg)
    ON_WM_TIMER()
END_MESSAGE_MAP()

class WindowLayer : public ::testing::Test {
protected:
    ui::CHeadless headless;
    DLGTEMPLATE outerTemplate = TestTemplate("Outer");
    DLGTEMPLATE innerTemplate = TestTemplate("Inner");

    HWND Top() { return ui::ActiveWindow(); }
};

TEST_F(WindowLayer, FocusStartsOnFirstEnabledTabStopAndMovesOnWhenDisabled)
{
    CTestDlg dlg(&outerTemplate);
    dlg.onInit = [&] { dlg.GetDlgItem(IDOK)->EnableWindow(FALSE); };
    int focusAtStart = 0, focusAfterDisable = 0;
    headless.Then([&] {
        focusAtStart = Top()->focus ? Top()->focus->id : 0;
        dlg.GetDlgItem(IDCANCEL)->EnableWindow(FALSE);
        focusAfterDisable = Top()->focus ? Top()->focus->id : 0;
        ui::PostKey(VK_ESCAPE);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(headless.Failure(), "");
    EXPECT_EQ(focusAtStart, IDCANCEL);
    EXPECT_EQ(focusAfterDisable, kList);
}

TEST_F(WindowLayer, EnterPressesTheDefaultButtonOnlyWhileItIsEnabled)
{
    CTestDlg dlg(&outerTemplate);
    headless.Then([&] {
        ui::PostKey(VK_TAB);     // the focus on Cancel...
        ui::PostKey(VK_RETURN);  // ...and Enter is still the default button's
    });
    headless.Then([&] {
        dlg.GetDlgItem(IDOK)->EnableWindow(FALSE);
        ui::PostKey(VK_RETURN);  // disabled: nothing
    });
    headless.Then([&] { ui::PostKey(VK_SPACE); });  // Space is the focused button's: Cancel
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(headless.Failure(), "");
    EXPECT_EQ(dlg.okCount, 1);
}

TEST_F(WindowLayer, SelectionChangesAreNotifiedOnlyWhenTheUserMakesThem)
{
    CTestDlg dlg(&outerTemplate);
    int afterAdd = -1;
    headless.Then([&] {
        afterAdd = dlg.selChanges;
        dlg.GetDlgItem(kList)->SendMessage(LB_SETCURSEL, 1);  // by the program: no notification
        dlg.GetDlgItem(kList)->SendMessage(LB_RESETCONTENT);
        for (const char* line : {"a", "b"}) dlg.GetDlgItem(kList)->SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
        ui::PostKey(VK_UP);    // no selection: Up selects the first line
        ui::PostKey(VK_UP);    // already at the top: nothing changes
        ui::PostKey(VK_END);   // the last line
        ui::PostListClick(Top()->Child(kList), 1);  // a click on the selected line notifies again
        ui::PostListClick(Top()->Child(kList), 7);  // no such line
    });
    headless.Then([&] { ui::PostKey(VK_ESCAPE); });
    dlg.DoModal();
    EXPECT_EQ(afterAdd, 0);
    EXPECT_EQ(dlg.selChanges, 3);
    EXPECT_EQ(headless.Failure(), "");
}

TEST_F(WindowLayer, NestedDialogDisablesItsOwnerAndInputWaitsForTheActiveDialog)
{
    CTestDlg outer(&outerTemplate);
    CTestDlg inner(&innerTemplate);
    CWinApp app;
    app.m_pMainWnd = &outer;
    bool outerDisabledInside = false;
    // The inner dialog's handler blocks; the keys typed meanwhile go to the
    // dialog that is active once it returns.
    inner.onOther = [&] {
        outerDisabledInside = !outer.IsWindowEnabled();
        ui::PostKey(VK_ESCAPE);  // ends the inner dialog
        ui::PostKey(VK_ESCAPE);  // then reaches the outer one
    };
    outer.onInit = [&] { inner.DoModal(); };
    headless.Then([&] { ui::PostClick(Top()->Child(kOther)); });
    EXPECT_EQ(outer.DoModal(), IDCANCEL);
    EXPECT_EQ(headless.Failure(), "");
    EXPECT_TRUE(outerDisabledInside);
    EXPECT_EQ(inner.otherCount, 1);
    // The outer dialog was shown only after the inner one had ended.
    auto shows = headless.Recorder().Events("show");
    ASSERT_EQ(shows.size(), 2u);
    EXPECT_EQ(shows[0], "show dlg 1");
}

TEST_F(WindowLayer, ScrollingMovesTheViewWithoutSelecting)
{
    CTestDlg dlg(&outerTemplate);
    std::vector<int> tops;
    int selection = 0;
    headless.Then([&] {
        HWND list = Top()->Child(kList);
        for (int i = 0; i < 10; ++i) ui::SendMessageTo(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("line"));
        ui::PostKey(VK_DOWN, KMOD_SHIFT);
        ui::PostListScroll(list, 3);
        ui::PostKey(VK_END, KMOD_CTRL);  // the last page, and no further
        ui::PostListScroll(list, 5);
        ui::PostKey(VK_HOME, KMOD_SHIFT);
    });
    headless.Then([&] {
        for (const auto& c : headless.Recorder().Changes())
            if (c.kind == ui::Change::Scrolled) tops.push_back(c.value);
        selection = Top()->Child(kList)->curSel;
        ui::PostKey(VK_ESCAPE);
    });
    dlg.DoModal();
    // 13 lines, 4 in view (50 units high, with a border): the last page starts at 9.
    EXPECT_EQ(tops, (std::vector<int>{1, 4, 9, 0}));
    EXPECT_EQ(selection, -1);
    EXPECT_EQ(dlg.selChanges, 0);
}

TEST_F(WindowLayer, DisabledAndHiddenButtonsAreNeverPressed)
{
    CTestDlg dlg(&outerTemplate);
    headless.Then([&] {
        dlg.GetDlgItem(kOther)->EnableWindow(FALSE);
        ui::PostClick(Top()->Child(kOther));
        ui::PostKey('O', KMOD_ALT);
    });
    headless.Then([&] {
        dlg.GetDlgItem(kOther)->EnableWindow(TRUE);
        ui::PostKey('O', KMOD_ALT);  // the mnemonic
        ui::PostKey(VK_ESCAPE);
    });
    dlg.DoModal();
    EXPECT_EQ(dlg.otherCount, 1);
}

TEST_F(WindowLayer, SystemMenuCloseAndAltF4SendCancel)
{
    for (int way = 0; way < 3; ++way) {
        CTestDlg dlg(&outerTemplate);
        headless.Then([&] {
            if (way == 0) ui::PostKey(VK_F4, KMOD_ALT);
            if (way == 1) ui::PostCloseBoxClick(Top());
            if (way == 2) {
                ui::PostKey(VK_SPACE, KMOD_ALT);  // opens the menu on "Move"
                ui::PostKey(VK_DOWN);
                ui::PostKey(VK_RETURN);           // "Close"
            }
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL) << way;
        EXPECT_EQ(headless.Failure(), "") << way;
    }
}

TEST_F(WindowLayer, MessageBoxIsRecordedAndEndsWithItsButton)
{
    CWinApp app;
    app.m_strAppName = "plovex";
    CTestDlg dlg(&outerTemplate);
    int result = 0;
    dlg.onOther = [&] { result = dlg.MessageBox("Invalid Port Error"); };
    headless.Then([&] { ui::PostClick(Top()->Child(kOther)); });
    headless.When([] { return ui::FindMessageBox() != nullptr; }, [] { ui::PostKey(VK_RETURN); });
    headless.Then([&] { ui::PostKey(VK_ESCAPE); });
    dlg.DoModal();
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(headless.Recorder().Events("msgbox"), std::vector<std::string>{"msgbox plovex|Invalid Port Error"});
}

TEST_F(WindowLayer, TimersFireInVirtualTimeAndStopWhenKilled)
{
    CTimerDlg dlg(&outerTemplate);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.fired, (std::vector<plat::TimeMs>{250, 500, 750}));
}

// A program waiting for input that no step will ever give ends instead of hanging.
TEST_F(WindowLayer, IdleLoopWithNothingToDoEndsTheTest)
{
    CTestDlg dlg(&outerTemplate);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_NE(headless.Failure(), "");
}

}  // namespace
