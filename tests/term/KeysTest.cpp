// Terminal input to the dialog manager's keys.
#include <gtest/gtest.h>

#include "platform/term/Keys.h"
#include "platform/ui/Messages.h"

// After the window layer's types: curses defines TRUE and FALSE as macros.
#include <curses.h>

namespace {

using term::DecodeInput;
using term::InputEvent;

InputEvent K(UINT vk, UINT mods = 0) { return {InputEvent::Key, vk, mods}; }
const InputEvent kMouse{InputEvent::Mouse, 0, 0};

std::vector<int> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

struct Case {
    const char* what;
    std::vector<int> codes;
    std::vector<InputEvent> events;
};

TEST(KeysTest, Table)
{
    const Case cases[] = {
        {"Tab", {'\t'}, {K(VK_TAB)}},
        {"Shift+Tab (terminfo)", {KEY_BTAB}, {K(VK_TAB, KMOD_SHIFT)}},
        {"Shift+Tab (CSI Z)", Bytes("\x1b[Z"), {K(VK_TAB, KMOD_SHIFT)}},
        {"Enter (CR)", {'\r'}, {K(VK_RETURN)}},
        {"Enter (LF)", {'\n'}, {K(VK_RETURN)}},
        {"keypad Enter", {KEY_ENTER}, {K(VK_RETURN)}},
        {"Space", {' '}, {K(VK_SPACE)}},
        {"arrows", {KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT}, {K(VK_UP), K(VK_DOWN), K(VK_LEFT), K(VK_RIGHT)}},
        {"Home End PgUp PgDn", {KEY_HOME, KEY_END, KEY_PPAGE, KEY_NPAGE}, {K(VK_HOME), K(VK_END), K(VK_PRIOR), K(VK_NEXT)}},
        {"arrows (CSI)", Bytes("\x1b[A\x1b[B"), {K(VK_UP), K(VK_DOWN)}},
        {"arrows (SS3)", Bytes("\x1bOA\x1bOD"), {K(VK_UP), K(VK_LEFT)}},
        {"Home/End/PgUp/PgDn (CSI ~)", Bytes("\x1b[1~\x1b[4~\x1b[5~\x1b[6~"), {K(VK_HOME), K(VK_END), K(VK_PRIOR), K(VK_NEXT)}},
        {"Escape alone", {27}, {K(VK_ESCAPE)}},
        {"Escape twice", {27, 27}, {K(VK_ESCAPE), K(VK_ESCAPE)}},
        {"F1 (terminfo)", {KEY_F(1)}, {K(VK_F1)}},
        {"F1 (SS3 P)", Bytes("\x1bOP"), {K(VK_F1)}},
        {"F1 (Linux console)", Bytes("\x1b[[A"), {K(VK_F1)}},
        {"F1 (CSI 11 ~)", Bytes("\x1b[11~"), {K(VK_F1)}},
        {"Alt+F4 (xterm kf52)", {KEY_F(52)}, {K(VK_F4, KMOD_ALT)}},
        {"Alt+F4 (ESC + F4)", {27, KEY_F(4)}, {K(VK_F4, KMOD_ALT)}},
        {"Alt+F4 (CSI 1;3 S)", Bytes("\x1b[1;3S"), {K(VK_F4, KMOD_ALT)}},
        {"Alt+F4 (CSI 14;3 ~)", Bytes("\x1b[14;3~"), {K(VK_F4, KMOD_ALT)}},
        {"Shift+F1 (kf13)", {KEY_F(13)}, {K(VK_F1, KMOD_SHIFT)}},
        {"Ctrl+Up (CSI 1;5 A)", Bytes("\x1b[1;5A"), {K(VK_UP, KMOD_CTRL)}},
        {"shifted keys (terminfo)", {KEY_SF, KEY_SEND, KEY_SHOME, KEY_SNEXT, KEY_SPREVIOUS},
         {K(VK_DOWN, KMOD_SHIFT), K(VK_END, KMOD_SHIFT), K(VK_HOME, KMOD_SHIFT), K(VK_NEXT, KMOD_SHIFT), K(VK_PRIOR, KMOD_SHIFT)}},
        {"Alt+Space", Bytes("\x1b "), {K(VK_SPACE, KMOD_ALT)}},
        {"Alt+t", Bytes("\x1bt"), {K('T', KMOD_ALT)}},
        {"Alt+T", Bytes("\x1bT"), {K('T', KMOD_ALT)}},
        {"Alt+O (not SS3)", Bytes("\x1bO"), {K('O', KMOD_ALT)}},
        {"plain letters are capitals", Bytes("aZ7"), {K('A'), K('Z'), K('7')}},
        {"Ctrl+letter", {3 - 1}, {K('B', KMOD_CTRL)}},
        {"Backspace", {127, KEY_BACKSPACE}, {K(VK_BACK), K(VK_BACK)}},
        {"mouse in order", {KEY_DOWN, KEY_MOUSE, KEY_UP}, {K(VK_DOWN), kMouse, K(VK_UP)}},
        {"SGR mouse report not decoded: dropped", Bytes("\x1b[<0;12;5M\x1b[<0;12;5m"), {}},
        {"X10 mouse report not decoded: dropped", Bytes("\x1b[M !!x"), {K('X')}},
        {"unknown sequence: dropped", Bytes("\x1b[99~"), {}},
        {"sequence cut short: dropped", Bytes("\x1b[1;"), {}},
        {"bytes of other scripts: ignored", {0xC3, 0xA9, 0x9B, 0}, {}},
        {"punctuation: ignored", Bytes("!?-"), {}},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeInput(c.codes), c.events) << c.what;
}

TEST(KeysTest, ModifiedKeysNamedByTheTerminalDescription)
{
    const std::pair<const char*, std::vector<InputEvent>> cases[] = {
        {"kDN5", {K(VK_DOWN, KMOD_CTRL)}},
        {"kUP2", {K(VK_UP, KMOD_SHIFT)}},
        {"kEND2", {K(VK_END, KMOD_SHIFT)}},
        {"kHOM6", {K(VK_HOME, KMOD_CTRL | KMOD_SHIFT)}},
        {"kNXT5", {K(VK_NEXT, KMOD_CTRL)}},
        {"kPRV3", {K(VK_PRIOR, KMOD_ALT)}},
        {"kDN", {}},   // no modifier digit
        {"kDN9", {}},  // no such modifier
        {"kxIN", {}},  // focus-in and other names the dialogs do not use
    };
    for (const auto& [name, events] : cases) EXPECT_EQ(DecodeInput(term::ExtendedKeySequence(name)), events) << name;
    EXPECT_TRUE(term::ExtendedKeySequence(nullptr).empty());
}

}  // namespace
