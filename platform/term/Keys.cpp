#include "platform/term/Keys.h"

#include <curses.h>

#include <algorithm>
#include <optional>
#include <string>

#include "platform/ui/Messages.h"

namespace term {

namespace {

constexpr int kEsc = 27;

InputEvent Key(UINT vk, UINT mods = 0) { return {InputEvent::Key, vk, mods}; }

// xterm's modifier parameter: 1 + (shift 1, alt 2, ctrl 4).
UINT ModsOfParam(int param)
{
    if (param < 2) return 0;
    int bits = param - 1;
    UINT mods = 0;
    if (bits & 1) mods |= KMOD_SHIFT;
    if (bits & 2) mods |= KMOD_ALT;
    if (bits & 4) mods |= KMOD_CTRL;
    return mods;
}

// A code that is a key on its own (not ESC).
std::optional<InputEvent> SingleKey(int c)
{
    switch (c) {
    case '\t': return Key(VK_TAB);
    case KEY_BTAB: return Key(VK_TAB, KMOD_SHIFT);
    case '\r':
    case '\n':
    case KEY_ENTER: return Key(VK_RETURN);
    case ' ': return Key(VK_SPACE);
    case 8:
    case 127:
    case KEY_BACKSPACE: return Key(VK_BACK);
    case KEY_UP: return Key(VK_UP);
    case KEY_DOWN: return Key(VK_DOWN);
    case KEY_LEFT: return Key(VK_LEFT);
    case KEY_RIGHT: return Key(VK_RIGHT);
    case KEY_HOME: return Key(VK_HOME);
    case KEY_END: return Key(VK_END);
    case KEY_PPAGE: return Key(VK_PRIOR);
    case KEY_NPAGE: return Key(VK_NEXT);
    case KEY_SR: return Key(VK_UP, KMOD_SHIFT);
    case KEY_SF: return Key(VK_DOWN, KMOD_SHIFT);
    case KEY_SHOME: return Key(VK_HOME, KMOD_SHIFT);
    case KEY_SEND: return Key(VK_END, KMOD_SHIFT);
    case KEY_SPREVIOUS: return Key(VK_PRIOR, KMOD_SHIFT);
    case KEY_SNEXT: return Key(VK_NEXT, KMOD_SHIFT);
    case KEY_SLEFT: return Key(VK_LEFT, KMOD_SHIFT);
    case KEY_SRIGHT: return Key(VK_RIGHT, KMOD_SHIFT);
    default: break;
    }
    // Function keys: xterm numbers the modified ones on from F12 in blocks of
    // twelve: shift, ctrl, ctrl+shift, alt, alt+shift.
    if (c >= KEY_F(1) && c <= KEY_F(63)) {
        int n = c - KEY_F(0) - 1;
        static constexpr UINT kBlockMods[] = {0, KMOD_SHIFT, KMOD_CTRL, KMOD_CTRL | KMOD_SHIFT, KMOD_ALT, KMOD_ALT | KMOD_SHIFT};
        return Key(VK_F1 + static_cast<UINT>(n % 12), kBlockMods[n / 12]);
    }
    if (c >= 'a' && c <= 'z') return Key(static_cast<UINT>(c - 'a' + 'A'));
    if (c >= 'A' && c <= 'Z') return Key(static_cast<UINT>(c));
    if (c >= '0' && c <= '9') return Key(static_cast<UINT>(c));
    if (c >= 1 && c <= 26) return Key(static_cast<UINT>('A' + c - 1), KMOD_CTRL);  // Ctrl+letter
    return std::nullopt;
}

// The final byte of a CSI or SS3 sequence, with its first numeric parameter.
std::optional<InputEvent> SequenceKey(int final, int first, UINT mods)
{
    switch (final) {
    case 'A': return Key(VK_UP, mods);
    case 'B': return Key(VK_DOWN, mods);
    case 'C': return Key(VK_RIGHT, mods);
    case 'D': return Key(VK_LEFT, mods);
    case 'H': return Key(VK_HOME, mods);
    case 'F': return Key(VK_END, mods);
    case 'P': return Key(VK_F1, mods);
    case 'Q': return Key(VK_F1 + 1, mods);
    case 'R': return Key(VK_F1 + 2, mods);
    case 'S': return Key(VK_F4, mods);
    case 'Z': return Key(VK_TAB, mods | KMOD_SHIFT);
    case 'M': return Key(VK_RETURN, mods);  // keypad Enter (SS3 M)
    case '~':
        switch (first) {
        case 1:
        case 7: return Key(VK_HOME, mods);
        case 4:
        case 8: return Key(VK_END, mods);
        case 5: return Key(VK_PRIOR, mods);
        case 6: return Key(VK_NEXT, mods);
        case 11: return Key(VK_F1, mods);
        case 12: return Key(VK_F1 + 1, mods);
        case 13: return Key(VK_F1 + 2, mods);
        case 14: return Key(VK_F4, mods);
        default: return std::nullopt;
        }
    default: return std::nullopt;
    }
}

}  // namespace

std::vector<InputEvent> DecodeInput(const std::vector<int>& codes)
{
    std::vector<InputEvent> out;
    const size_t n = codes.size();
    size_t i = 0;
    auto emit = [&](std::optional<InputEvent> e, UINT extraMods = 0) {
        if (!e) return;
        e->mods |= extraMods;
        out.push_back(*e);
    };
    while (i < n) {
        int c = codes[i++];
        if (c == KEY_MOUSE) {
            out.push_back({InputEvent::Mouse, 0, 0});
            continue;
        }
        if (c != kEsc) {
            emit(SingleKey(c));
            continue;
        }
        // ESC: the Escape key, an Alt+key, or an escape sequence.
        if (i >= n || codes[i] == kEsc) {
            out.push_back(Key(VK_ESCAPE));
            continue;
        }
        int next = codes[i];
        if ((next == '[' || next == 'O') && i + 1 < n) {
            // CSI or SS3: parameters (digits and ';') up to a final byte.
            size_t j = i + 1;
            if (next == '[' && codes[j] == '[' && j + 1 < n && codes[j + 1] >= 'A' && codes[j + 1] <= 'D') {
                // The Linux console's F1..F4: ESC [ [ A..D.
                out.push_back(Key(VK_F1 + static_cast<UINT>(codes[j + 1] - 'A')));
                i = j + 2;
                continue;
            }
            // A private marker (as in mouse reports, ESC [ < ...) makes a
            // sequence that is read whole and dropped.
            const bool privateSeq = next == '[' && codes[j] >= 0x3C && codes[j] <= 0x3F;
            if (privateSeq) ++j;
            std::vector<int> params{0};
            bool any = false;
            while (j < n && ((codes[j] >= '0' && codes[j] <= '9') || codes[j] == ';')) {
                if (codes[j] == ';')
                    params.push_back(0);
                else
                    params.back() = std::min(params.back() * 10 + (codes[j] - '0'), 100000);
                any = true;
                ++j;
            }
            if (j < n && codes[j] >= 0x40 && codes[j] <= 0x7E) {
                if (privateSeq) {
                    i = j + 1;
                } else if (next == '[' && codes[j] == 'M' && !any) {
                    i = std::min(n, j + 4);  // an X10 mouse report: ESC [ M and three bytes
                } else {
                    UINT mods = params.size() > 1 ? ModsOfParam(params[1]) : 0;
                    emit(SequenceKey(codes[j], any ? params[0] : 0, mods));
                    i = j + 1;
                }
                continue;
            }
            if (j >= n) {
                i = n;  // a sequence cut short is dropped
                continue;
            }
            // Not a sequence after all: Alt + the next code.
        }
        ++i;
        emit(SingleKey(next), KMOD_ALT);
    }
    return out;
}

std::vector<int> ExtendedKeySequence(const char* keyName)
{
    struct Name {
        const char* base;
        const char* sequence;  // with the modifier inserted before the final byte
    };
    static const Name kNames[] = {
        {"kUP", "1;%A"}, {"kDN", "1;%B"}, {"kRIT", "1;%C"}, {"kLFT", "1;%D"},
        {"kHOM", "1;%H"}, {"kEND", "1;%F"}, {"kPRV", "5;%~"}, {"kNXT", "6;%~"},
    };
    if (!keyName) return {};
    const std::string name(keyName);
    for (const Name& k : kNames) {
        const std::string base(k.base);
        // The base name and one modifier digit, 2 to 8.
        if (name.size() != base.size() + 1 || name.compare(0, base.size(), base) != 0) continue;
        const char digit = name.back();
        if (digit < '2' || digit > '8') return {};
        std::vector<int> codes{kEsc, '['};
        for (const char* p = k.sequence; *p; ++p) codes.push_back(*p == '%' ? digit : *p);
        return codes;
    }
    return {};
}

}  // namespace term
