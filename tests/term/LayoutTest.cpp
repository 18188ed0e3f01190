// Dialog units to cells, pictures, mouse regions and the too-small notice.
#include <gtest/gtest.h>

#include "platform/term/Layout.h"
#include "platform/term/Screen.h"
#include "platform/ui/Avi.h"
#include "platform/ui/Window.h"
#include "res/Resources.h"
#include "res/resource.h"

namespace {

using term::CCellGrid;
using term::CellRect;
using term::HitKind;

const DLGTEMPLATE& Template(int id) { return AfxGetResourceModule().dialogs.at(id); }

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterResources();
        ui::ResetWindowManager();
    }
    void TearDown() override { ui::ResetWindowManager(); }
    HWND Open(int templateId, HWND owner = nullptr)
    {
        HWND d = ui::CreateDialogWindow(Template(templateId), templateId, owner, nullptr);
        ui::SetVisible(d, true);
        return d;
    }
};

TEST_F(LayoutTest, ScalePerTemplate)
{
    // Four dialog units to a column where the texts fit; fewer where a
    // monospace line would not: the search text needs 3.75, the main
    // dialog's title line 3.
    struct Case {
        int id;
        int quarterUnits, cols, rows;
    } cases[] = {{IDD_ABOUTBOX, 16, 54, 7}, {IDD_SEARCH, 15, 50, 7}, {IDD_DIAG_DIALOG, 12, 57, 17}};
    for (const Case& c : cases) {
        term::DialogLayout layout = term::LayoutDialog(Template(c.id));
        EXPECT_EQ(layout.quarterUnits, c.quarterUnits) << c.id;
        EXPECT_EQ(layout.cols, c.cols) << c.id;
        EXPECT_EQ(layout.rows, c.rows) << c.id;
        EXPECT_TRUE(term::TextsFit(Template(c.id), layout));
        // One step wider and some text would not fit.
        if (c.quarterUnits < 16) {
            EXPECT_FALSE(term::TextsFit(Template(c.id), term::LayoutDialogAt(Template(c.id), c.quarterUnits + 1)));
        }
    }
    // The title line fits exactly: 35 characters in 107 units.
    const auto& main = Template(IDD_DIAG_DIALOG);
    EXPECT_EQ(term::LayoutDialog(main).items[7].w, 35);
    EXPECT_EQ((term::ScreenSize{59, 19}.width), term::MinimumScreenSize().width);
    EXPECT_EQ((term::ScreenSize{59, 19}.height), term::MinimumScreenSize().height);
}

TEST_F(LayoutTest, ListRowsMatchTheWindowLayersPage)
{
    HWND main = Open(IDD_DIAG_DIALOG);
    HWND list = main->Child(IDC_PORT_LIST);
    const auto layout = term::LayoutDialog(Template(IDD_DIAG_DIALOG));
    EXPECT_EQ(layout.items[2].h - 2, ui::ListPageSize(list));
}

TEST_F(LayoutTest, TooSmallShowsANotice)
{
    Open(IDD_DIAG_DIALOG);
    term::CScreen screen;
    CCellGrid grid(58, 19);
    screen.Render(grid, {});
    EXPECT_EQ(grid.ToText(), "Terminal too small: need 59x19");
    EXPECT_TRUE(screen.TooSmall());
    EXPECT_TRUE(screen.Hits().empty());
    grid.Resize(59, 19);
    screen.Render(grid, {});
    EXPECT_FALSE(screen.TooSmall());
    EXPECT_EQ(grid.Row(0).substr(0, 6), "┌[-]");
}

TEST_F(LayoutTest, DialogsStayOnTheScreen)
{
    HWND main = Open(IDD_DIAG_DIALOG);
    main->x = 400;  // moved far to the right and down
    main->y = 400;
    term::CScreen screen;
    CCellGrid grid(70, 24);
    screen.Render(grid, {});
    EXPECT_EQ(grid.Row(5).substr(0, 11), "           ");
    EXPECT_EQ(grid.Row(5).substr(11, 5), "┌[-");
    EXPECT_EQ(grid.At(69, 23).ch, U'┘');
}

TEST_F(LayoutTest, MouseRegions)
{
    HWND main = Open(IDD_DIAG_DIALOG);
    HWND list = main->Child(IDC_PORT_LIST);
    for (int i = 1; i <= 8; ++i) {
        std::string line = "COM" + std::to_string(i);
        ui::SendMessageTo(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    ui::SendMessageTo(list, LB_SETCURSEL, 6, 0);  // scrolls: lines 3..6 show
    ASSERT_EQ(list->topIndex, 3);
    term::CScreen screen;
    CCellGrid grid(80, 24);
    screen.Render(grid, {});
    auto hit = [&](int x, int y) { return screen.HitTest(x, y); };
    // The list's first line, row 6 on the screen: the absolute line index.
    ASSERT_TRUE(hit(5, 6));
    EXPECT_EQ(hit(5, 6)->kind, HitKind::ListLine);
    EXPECT_EQ(hit(5, 6)->hwnd, list);
    EXPECT_EQ(hit(5, 6)->value, 3);
    EXPECT_EQ(hit(5, 9)->value, 6);
    // The scroll arrows at the ends of the list's right-hand column.
    int upArrows = 0, downArrows = 0;
    for (int x = 0; x < 80; ++x) {
        if (auto h = hit(x, 6); h && h->kind == HitKind::ListScroll && h->hwnd == list && h->value == -1) ++upArrows;
        if (auto h = hit(x, 9); h && h->kind == HitKind::ListScroll && h->hwnd == list && h->value == 1) ++downArrows;
    }
    EXPECT_EQ(upArrows, 1);
    EXPECT_EQ(downArrows, 1);
    EXPECT_EQ(hit(5, 10)->kind, HitKind::Control);  // the list's frame
    EXPECT_EQ(hit(5, 10)->hwnd, list);
    EXPECT_EQ(hit(40, 15)->hwnd, main->Child(IDCANCEL));
    EXPECT_EQ(hit(40, 16)->hwnd, main->Child(IDCANCEL));  // both rows of the button
    EXPECT_EQ(hit(1, 0)->kind, HitKind::SysMenuBox);
    EXPECT_EQ(hit(56, 0)->kind, HitKind::CloseBox);
    EXPECT_EQ(hit(20, 12)->kind, HitKind::Body);
    EXPECT_FALSE(hit(70, 5));

    main->sysMenu->items.push_back({MF_SEPARATOR, 0, ""});
    main->sysMenu->items.push_back({MF_STRING, 0x10, "&About Quillet..."});
    main->menuOpen = true;
    screen.Render(grid, {});
    EXPECT_EQ(hit(5, 2)->kind, HitKind::MenuItem);
    EXPECT_EQ(hit(5, 2)->value, 0);
    EXPECT_EQ(hit(5, 5)->value, 3);
    EXPECT_EQ(hit(5, 4)->kind, HitKind::MenuBody);  // the separator
    main->menuOpen = false;

    // A dialog on top hides what lies under it.
    ui::SetEnabled(main, false);
    Open(IDD_ABOUTBOX, main);
    screen.Render(grid, {});
    EXPECT_EQ(hit(5, 6)->kind, HitKind::Body);
}

TEST_F(LayoutTest, DestroyedDialogIsNoLongerDrawn)
{
    term::CScreen screen;
    struct Forward : ui::IObserver {
        term::CScreen& s;
        explicit Forward(term::CScreen& sc) : s(sc) {}
        void OnChange(const ui::Change& c) override { s.OnChange(c); }
    } forward(screen);
    ui::AddObserver(&forward);
    HWND about = Open(IDD_ABOUTBOX);
    CCellGrid grid(80, 24);
    // Drawing as the dialog is announced to go must leave it out already.
    struct Drawer : ui::IObserver {
        term::CScreen& s;
        CCellGrid& g;
        std::string text;
        Drawer(term::CScreen& sc, CCellGrid& gr) : s(sc), g(gr) {}
        void OnChange(const ui::Change& c) override
        {
            if (c.kind != ui::Change::Destroyed) return;
            s.Render(g, {});
            text = g.ToText();
        }
    } drawer(screen, grid);
    ui::AddObserver(&drawer);
    ui::DestroyDialog(about);
    EXPECT_EQ(drawer.text, "");
    ui::RemoveObserver(&drawer);
    ui::RemoveObserver(&forward);
}

// Pictures: a 2 x 4 picture in 2 x 2 cells, one pixel per half cell.
TEST(ImageTest, HalfBlocks)
{
    constexpr std::uint32_t T = CImage::kTransparent;
    CImage image;
    image.width = 2;
    image.height = 4;
    // Rows top to bottom; left column red, red, clear, blue; right column
    // white, black, green, green.
    image.pixels = {0xFF0000, 0xFFFFFF, 0xFF0000, 0x000000, T, 0x00FF00, 0x0000FF, 0x00FF00};
    struct Case {
        term::RenderOptions options;
        std::u32string row0, row1;
        std::int8_t fg00, fg10, bg10, fg01;
    } cases[] = {
        // Colour: half blocks in the pixels' colours; a clear half keeps the background.
        {{true, 16}, U"█▀", U"▄█", 9, 15, 0, 12},
        // 8 colours: the nearest of the basic ones.
        {{true, 8}, U"█▀", U"▄█", 1, 7, 0, 4},
        // Monochrome: pixels brighter than the average (white, green) as ink.
        {{true, 0}, U" ▀", U" █", -1, -1, -1, -1},
        {{false, 0}, U" \"", U" #", -1, -1, -1, -1},
        // ASCII in colour: coloured cells.
        {{false, 16}, U"##", U"##", 9, 8, 8, 12},
    };
    for (const auto& c : cases) {
        CCellGrid grid(2, 2);
        term::DrawImage(grid, {0, 0, 2, 2}, image, c.options);
        EXPECT_EQ(std::u32string({grid.At(0, 0).ch, grid.At(1, 0).ch}), c.row0) << c.options.colours << c.options.unicode;
        EXPECT_EQ(std::u32string({grid.At(0, 1).ch, grid.At(1, 1).ch}), c.row1) << c.options.colours << c.options.unicode;
        EXPECT_EQ(grid.At(0, 0).fg, c.fg00);
        EXPECT_EQ(grid.At(1, 0).fg, c.fg10);
        EXPECT_EQ(grid.At(1, 0).bg, c.bg10);
        EXPECT_EQ(grid.At(0, 1).fg, c.fg01);
    }
}

TEST(ImageTest, ScaledToFitAndCentred)
{
    // A 64 x 32 picture (the clip's size) in 10 x 2 cells: 8 x 4 pixels at
    // the scale that fits, 1 column of margin on each side.
    CImage image;
    image.width = 64;
    image.height = 32;
    image.pixels.assign(64 * 32, 0xFFFFFF);
    CCellGrid grid(10, 3);
    term::DrawImage(grid, {0, 0, 10, 2}, image, {true, 16});
    EXPECT_EQ(grid.ToText(), " ████████\n ████████");
}

TEST_F(LayoutTest, IconAndAnimationAreDrawn)
{
    HWND search = Open(IDD_SEARCH);
    auto clip = CAviClip::Parse(AfxGetResourceModule().avis.at(IDR_SEARCH_AVI));
    ASSERT_TRUE(clip);
    HWND animation = search->Child(IDC_ANIMATE);
    animation->clip = std::make_shared<CAviClip>(*clip);
    term::CScreen screen;
    CCellGrid first(80, 24), later(80, 24);
    screen.Render(first, {});
    animation->frame = clip->FrameCount() / 2;
    screen.Render(later, {});
    auto inked = [](const CCellGrid& g, CellRect r) {
        int n = 0;
        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x) n += g.At(x, y).ch != U' ';
        return n;
    };
    // Client origin (1, 1) on a screen of its own; the icon takes columns 4-10, the clip 19-33, rows 2-5.
    EXPECT_GT(inked(first, {5, 3, 7, 4}), 0);
    EXPECT_GT(inked(first, {20, 3, 15, 4}), 0);
    EXPECT_EQ(inked(first, {12, 3, 8, 4}), 0);
    EXPECT_NE(first.ToText(), later.ToText());
    // Nothing of them spills into the text rows.
    EXPECT_EQ(first.Row(2), "│              Searching For Korvane Modems        │");
    EXPECT_EQ(first.Row(7), "│               **** Please Wait ****              │");
}

}  // namespace
