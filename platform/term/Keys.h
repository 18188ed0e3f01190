// Terminal input to the window layer's keys. The terminal delivers what
// ncurses' getch returns: function keys it recognised as KEY_* codes, and
// everything else byte by byte. Alt+key arrives as ESC followed by the key;
// escape sequences that the terminal description does not know (xterm's
// modifier forms such as ESC [ 1 ; 3 S for Alt+F4) are decoded here.
#pragma once

#include <vector>

#include "platform/base/WinTypes.h"

namespace term {

struct InputEvent {
    enum Kind { Key, Mouse } kind = Key;
    UINT vk = 0;
    UINT mods = 0;  // KMOD_SHIFT, KMOD_CTRL, KMOD_ALT

    bool operator==(const InputEvent&) const = default;
};

// Decodes the codes of one burst of input (what getch returned until it had
// nothing more). A KEY_MOUSE code gives a Mouse event, in order. Codes that
// mean no key the dialogs use are dropped. An ESC at the end of a burst is
// the Escape key.
std::vector<InputEvent> DecodeInput(const std::vector<int>& codes);

// ncurses reports keys that a terminal description names as extended
// capabilities ("kDN5" for Ctrl+Down, "kEND2" for Shift+End) with codes of
// their own; this gives the xterm sequence such a key stands for, for
// DecodeInput, or nothing for a name it does not know.
std::vector<int> ExtendedKeySequence(const char* keyName);

}  // namespace term
