// Control texts on the way to the terminal: sanitising, mnemonics, line
// breaks and word wrapping.
#include <gtest/gtest.h>

#include "platform/term/Screen.h"
#include "platform/term/Text.h"
#include "platform/ui/Window.h"
#include "res/Resources.h"
#include "res/resource.h"

namespace {

using term::TextLines;
using term::TextStyle;
using term::ToUtf8;

std::string One(std::string_view text, TextStyle style)
{
    auto lines = TextLines(text, style);
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? "|" : "") + ToUtf8(lines[i]);
    return out;
}

TEST(TextTest, SanitisedForTheTerminal)
{
    const TextStyle utf8{false, false, true}, ascii{false, false, false};
    struct Case {
        std::string text;
        TextStyle style;
        std::string shown;
    } cases[] = {
        {"\x1b[2J clear", utf8, "?[2J clear"},          // no escape sequence gets through
        {"bell\a", utf8, "bell?"},                        // C0 controls
        {std::string("nul\0x", 5), utf8, "nul?x"},
        {"del\x7f", utf8, "del?"},
        {"csi\x9b" "31m", utf8, "csi?31m"},               // C1 controls, such as the 8-bit CSI
        {"\x84\x90\x9d\x9f", utf8, "????"},
        {"caf\xe9 \xa0\xff", utf8, "caf\u00e9 \u00a0\u00ff"},  // Latin-1 in UTF-8 mode
        {"caf\xe9", ascii, "caf?"},                       // and '?' in ASCII mode
        {"soft\xadhyphen", utf8, "soft-hyphen"},
        {"tab\there", utf8, "tab here"},
        {"two\r\nlines", utf8, "two lines"},              // one-line controls show breaks as a blank
        {"two\r\nlines\nthree\rfour", {false, true, true}, "two|lines|three|four"},
        {"&Test && more&", {true, false, true}, "Test & more"},
        {"&Test", utf8, "&Test"},                         // SS_NOPREFIX
    };
    for (const Case& c : cases) EXPECT_EQ(One(c.text, c.style), c.shown) << c.text;
}

TEST(TextTest, MnemonicIsMarked)
{
    auto line = TextLines("Cancel &Test", {true, false, true}).front();
    ASSERT_EQ(line.size(), 11u);
    for (size_t i = 0; i < line.size(); ++i) EXPECT_EQ(line[i].mnemonic, i == 7) << i;
}

TEST(TextTest, WordWrap)
{
    auto wrap = [](std::string_view text, int width) {
        auto lines = term::WrapLines(TextLines(text, {false, true, true}), width);
        std::string out;
        for (size_t i = 0; i < lines.size(); ++i) out += (i ? "|" : "") + ToUtf8(lines[i]);
        return out;
    };
    EXPECT_EQ(wrap("No Korvane Modems Found - Exiting", 12), "No Korvane|Modems Found|- Exiting");
    EXPECT_EQ(wrap("Invalid Port Error", 18), "Invalid Port Error");
    EXPECT_EQ(wrap("ABCDEFGHIJ KL", 4), "ABCD|EFGH|IJ|KL");  // a word longer than the line is cut
    EXPECT_EQ(wrap("a\r\n\r\nb", 5), "a||b");
}

// Device texts end up in every kind of control; none of their control bytes
// may reach the grid.
TEST(TextTest, NoControlCharacterReachesTheGrid)
{
    RegisterResources();
    ui::ResetWindowManager();
    const std::string nasty = std::string("X\x1b[2J\x07\x9b" "31m\xff\x85\r\nY\0Z", 17);
    HWND main = ui::CreateDialogWindow(AfxGetResourceModule().dialogs.at(IDD_DIAG_DIALOG), IDD_DIAG_DIALOG, nullptr, nullptr);
    ui::SetVisible(main, true);
    for (int id : {IDC_MODEL, IDC_REVISION, IDC_STATUS, IDC_TEST_PORT, IDC_LIST_LABEL, IDOK}) ui::SetText(main->Child(id), nasty);
    ui::SendMessageTo(main->Child(IDC_PORT_LIST), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(nasty.c_str()));
    ui::SetText(main, nasty);
    for (bool unicode : {true, false}) {
        term::CCellGrid grid(70, 22);
        term::CScreen screen;
        screen.Render(grid, {unicode, 16});
        for (int y = 0; y < grid.Height(); ++y)
            for (int x = 0; x < grid.Width(); ++x) {
                char32_t ch = grid.At(x, y).ch;
                EXPECT_TRUE(ch >= 0x20 && !(ch >= 0x7F && ch < 0xA0)) << x << "," << y << " " << static_cast<unsigned>(ch);
                if (!unicode) {
                    EXPECT_LT(ch, 0x7Fu);
                }
            }
        for (char ch : std::string("\x1b\x07")) EXPECT_EQ(grid.ToText().find(ch), std::string::npos);
        // The model field has two rows: the line break starts the second.
        EXPECT_EQ(grid.Row(11).substr(grid.Row(11).find("Model:"), 16), "Model:    X?[2J?");
        EXPECT_NE(grid.Row(12).find("Y?Z"), std::string::npos);
    }
    ui::ResetWindowManager();
}

}  // namespace
