// Golden screens: the dialogs built from the registered templates, drawn into
// the cell grid without a terminal.
#include <gtest/gtest.h>

#include <memory>

#include "platform/term/Screen.h"
#include "platform/ui/Avi.h"
#include "platform/ui/Headless.h"
#include "platform/ui/Window.h"
#include "res/Resources.h"
#include "res/resource.h"

namespace {

using term::CCellGrid;
using term::CScreen;
using term::HitKind;
using term::RenderOptions;

constexpr RenderOptions kUnicodeColour{true, 16};
constexpr RenderOptions kAsciiMono{false, 0};

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterResources();
        // The pictures are checked on their own; the golden screens show
        // the texts and frames only.
        AfxGetResourceModule().icons.clear();
        ui::ResetWindowManager();
        ui::AddObserver(&observer);
    }
    void TearDown() override
    {
        ui::RemoveObserver(&observer);
        ui::ResetWindowManager();
    }

    HWND Open(int templateId, HWND owner = nullptr)
    {
        HWND d = ui::CreateDialogWindow(AfxGetResourceModule().dialogs.at(templateId), templateId, owner, nullptr);
        ui::SetVisible(d, true);
        return d;
    }
    static void AddLine(HWND list, const std::string& text)
    {
        ui::SendMessageTo(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    HWND MainWithPorts()
    {
        HWND main = Open(IDD_DIAG_DIALOG);
        for (int i = 1; i <= 8; ++i) AddLine(main->Child(IDC_PORT_LIST), "COM" + std::to_string(i) + (i == 3 ? " - Korvane Modem" : ""));
        ui::SetEnabled(main->Child(IDOK), false);
        return main;
    }
    std::string Draw(RenderOptions options = kUnicodeColour, int width = 62, int height = 20)
    {
        grid.Resize(width, height);
        screen.Render(grid, options);
        return grid.ToText();
    }

    struct Forward : ui::IObserver {
        CScreen* screen;
        explicit Forward(CScreen* s) : screen(s) {}
        void OnChange(const ui::Change& c) override { screen->OnChange(c); }
    };

    CCellGrid grid;
    CScreen screen;
    Forward observer{&screen};
};

// The main dialog as a selection has left it: ports, model on two lines,
// revision, status, Test Modem disabled (but default, with its mnemonic),
// Cancel, and the list scrolled at the top with its scroll indicator.
void FillMainDialog(HWND main)
{
    HWND list = main->Child(IDC_PORT_LIST);
    ui::FocusControl(list);
    ui::SendMessageTo(list, LB_SETCURSEL, 2, 0);
    ui::SetText(main->Child(IDC_MODEL), "Korvane Portable 33.6\r\nData/Fax Modem");
    ui::SetText(main->Child(IDC_REVISION), "V3.10-0422");
    ui::SetText(main->Child(IDC_STATUS), "Please wait - Querying Modem");
}

TEST_F(ScreenTest, MainDialog)
{
    HWND main = MainWithPorts();
    FillMainDialog(main);
    EXPECT_EQ(Draw(), R"(┌[-]                Korvane Modem Test                 [x]┐
│                                                         │
│           Korvane Modem Test Utility Ver. 2.0           │
│ Ports:                                                  │
│                                                         │
│ ┌─────────────────────────────────────────────────────┐ │
│ │COM1                                                 ▲ │
│ │COM2                                                 █ │
│ │COM3 - Korvane Modem                                 ░ │
│ │COM4                                                 ▼ │
│ └─────────────────────────────────────────────────────┘ │
│ Model:    Korvane Portable 33.6                         │
│           Data/Fax Modem                                │
│ Firmware Revision:    V3.10-0422                        │
│                                                         │
│      <  Test Modem  >            [   Cancel   ]         │
│                                                         │
│              Please wait - Querying Modem               │
└─────────────────────────────────────────────────────────┘)");
    EXPECT_EQ(screen.Title(), "Korvane Modem Test");

    // The selected line is highlighted, the focused list's frame is bold, the
    // disabled button dimmed with its mnemonic underlined.
    EXPECT_TRUE(grid.At(4, 8).attr & term::kReverse);
    EXPECT_FALSE(grid.At(4, 7).attr & term::kReverse);
    EXPECT_TRUE(grid.At(3, 5).attr & term::kBold);
    EXPECT_EQ(grid.At(10, 15).ch, U'T');
    EXPECT_TRUE(grid.At(10, 15).attr & term::kUnderline);
    EXPECT_TRUE(grid.At(10, 15).attr & term::kDim);
    EXPECT_FALSE(grid.At(40, 15).attr & term::kDim);
}

TEST_F(ScreenTest, AsciiMonochromeFallback)
{
    HWND main = MainWithPorts();
    FillMainDialog(main);
    EXPECT_EQ(Draw(kAsciiMono), R"(+[-]--------------- Korvane Modem Test ----------------[x]+
|                                                         |
|           Korvane Modem Test Utility Ver. 2.0           |
| Ports:                                                  |
|                                                         |
| +-----------------------------------------------------+ |
| |COM1                                                 ^ |
| |COM2                                                 # |
| |COM3 - Korvane Modem                                 | |
| |COM4                                                 v |
| +-----------------------------------------------------+ |
| Model:    Korvane Portable 33.6                         |
|           Data/Fax Modem                                |
| Firmware Revision:    V3.10-0422                        |
|                                                         |
|      <  Test Modem  >            [   Cancel   ]         |
|                                                         |
|              Please wait - Querying Modem               |
+---------------------------------------------------------+)");
    for (int y = 0; y < grid.Height(); ++y)
        for (int x = 0; x < grid.Width(); ++x) {
            EXPECT_LT(grid.At(x, y).ch, U'\x7F');
            EXPECT_EQ(grid.At(x, y).fg, term::kDefaultColour);
            EXPECT_EQ(grid.At(x, y).bg, term::kDefaultColour);
        }
    // The active caption is still told apart without colours.
    EXPECT_TRUE(grid.At(25, 0).attr & term::kReverse);
}

TEST_F(ScreenTest, SearchDialogAtStartUp)
{
    // At start-up the search runs while the main dialog is still hidden; it
    // stands at its owner's client origin and has neither caption nor boxes.
    HWND main = MainWithPorts();
    ui::SetVisible(main, false);
    Open(IDD_SEARCH, main);
    EXPECT_EQ(Draw(), R"(
 ┌──────────────────────────────────────────────────┐
 │                                                  │
 │              Searching For Korvane Modems        │
 │                                                  │
 │                                                  │
 │                                                  │
 │                                                  │
 │               **** Please Wait ****              │
 └──────────────────────────────────────────────────┘)");
}

TEST_F(ScreenTest, SystemMenuThenAboutBox)
{
    HWND main = MainWithPorts();
    main->sysMenu->items.push_back({MF_SEPARATOR, 0, ""});
    main->sysMenu->items.push_back({MF_STRING, 0x10, "&About Quillet..."});
    main->menuOpen = true;
    main->menuSel = 3;
    EXPECT_EQ(Draw(), R"(┌[-]                Korvane Modem Test                 [x]┐
│┌──────────────────┐                                     │
││ Move             │odem Test Utility Ver. 2.0           │
││ Close            │                                     │
│├──────────────────┤                                     │
││ About Quillet... │───────────────────────────────────┐ │
│└──────────────────┘                                   ▲ │
│ │COM2                                                 █ │
│ │COM3 - Korvane Modem                                 ░ │
│ │COM4                                                 ▼ │
│ └─────────────────────────────────────────────────────┘ │
│ Model:                                                  │
│                                                         │
│ Firmware Revision:                                      │
│                                                         │
│      <  Test Modem  >            [   Cancel   ]         │
│                                                         │
│                                                         │
└─────────────────────────────────────────────────────────┘)");
    EXPECT_TRUE(grid.At(4, 5).attr & term::kReverse);   // the highlighted item
    EXPECT_TRUE(grid.At(3, 5).attr & term::kUnderline);  // its mnemonic
    EXPECT_FALSE(grid.At(4, 2).attr & term::kReverse);

    main->menuOpen = false;
    ui::SetEnabled(main, false);
    Open(IDD_ABOUTBOX, main);
    EXPECT_EQ(Draw(), R"(┌[-]                Korvane Modem Test                 [x]┐
│┌[-]        About Korvane Modem Test Utility        [x]┐ │
││                                                      │ │
││          Korvane Quillet Version 2.0        <  OK  > │ │
││                                                      │ │
││          Copyright (C) 2026                          │ │
││                                                      │ │
││                                                      │ │
││                                                      │ │
│└──────────────────────────────────────────────────────┘ │
│ └─────────────────────────────────────────────────────┘ │
│ Model:                                                  │
│                                                         │
│ Firmware Revision:                                      │
│                                                         │
│      <  Test Modem  >            [   Cancel   ]         │
│                                                         │
│                                                         │
└─────────────────────────────────────────────────────────┘)");
    EXPECT_EQ(screen.Title(), "About Korvane Modem Test Utility");
}

TEST_F(ScreenTest, MessageBoxTextWraps)
{
    ui::CHeadless headless;
    HWND main = MainWithPorts();
    std::string text;
    headless.When([] { return ui::FindMessageBox() != nullptr; },
                  [&] {
                      text = Draw(kUnicodeColour, 80, 24);
                      ui::PostKey(VK_RETURN);
                  });
    ui::AfxMessageBox(main, "ATI3\r\nKorvane Portable 33.6 with a reply far too long for one line of the box\r\nError Reading Port",
                      "plovex", MB_OK);
    EXPECT_EQ(text, R"(┌[-]                Korvane Modem Test                 [x]┐
│                                                         │
│           Korvane Modem Test Utility Ver. 2.0           │
│ Ports:                                                  │
┌[-]                          plovex                          [x]┐
│                                                                │
│  ATI3                                                          │
│  Korvane Portable 33.6 with a reply far too long for one line  │
│  of the box                                                    │
│  Error Reading Port                                            │
│                                                                │
│                           <   OK   >                           │
│                                                                │
│                                                                │
└────────────────────────────────────────────────────────────────┘
│      <  Test Modem  >            [   Cancel   ]         │
│                                                         │
│                                                         │
└─────────────────────────────────────────────────────────┘)");
    EXPECT_EQ(headless.Failure(), "");
}

}  // namespace
