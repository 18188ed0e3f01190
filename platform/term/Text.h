// Control texts made safe to show: every text the dialogs show may come from
// a device (model, revision, list lines, message box text), so each byte is
// read as Latin-1 and only printable characters reach the terminal. Control
// characters (C0, DEL, C1) become a visible '?', so no escape sequence, bell
// or other control ever leaves the renderer; bytes from 0xA0 up become their
// Unicode characters in UTF-8 mode and '?' in ASCII mode.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace term {

constexpr char32_t kReplacement = U'?';

struct Glyph {
    char32_t ch = U' ';
    bool mnemonic = false;  // the character after '&': underlined
};
using GlyphLine = std::vector<Glyph>;

// The character shown for one byte of text that is not a line break.
char32_t SafeChar(unsigned char byte, bool unicode);

struct TextStyle {
    bool prefix = false;     // '&' marks the mnemonic, "&&" is '&'
    bool multiLine = false;  // line breaks start new lines (else they show as a blank)
    bool unicode = true;     // UTF-8 terminal (else ASCII only)
};

// The text as lines of glyphs. A line break is "\r\n", "\n" or "\r".
std::vector<GlyphLine> TextLines(std::string_view text, const TextStyle& style);

// Word-wraps lines to width columns: breaks at blanks where it can, and cuts
// words longer than a line.
std::vector<GlyphLine> WrapLines(const std::vector<GlyphLine>& lines, int width);

// The glyphs as UTF-8 text (tests, the terminal's title).
std::string ToUtf8(const GlyphLine& line);

}  // namespace term
