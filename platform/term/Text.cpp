#include "platform/term/Text.h"

#include <algorithm>

#include "platform/term/CellGrid.h"

namespace term {

char32_t SafeChar(unsigned char byte, bool unicode)
{
    if (byte == '\t') return U' ';
    if (byte < 0x20 || byte == 0x7F) return kReplacement;  // C0 controls and DEL
    if (byte < 0x7F) return byte;
    if (byte < 0xA0 || !unicode) return kReplacement;     // C1 controls; ASCII terminals
    if (byte == 0xAD) return U'-';                         // a soft hyphen may take no cell
    return byte;                                           // Latin-1 = U+00A0..U+00FF
}

std::vector<GlyphLine> TextLines(std::string_view text, const TextStyle& style)
{
    std::vector<GlyphLine> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\r' || byte == '\n') {
            if (byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (style.multiLine)
                lines.emplace_back();
            else
                lines.back().push_back({U' '});
            continue;
        }
        bool mnemonic = false;
        if (style.prefix && byte == '&') {
            if (i + 1 >= text.size()) break;  // a lone '&' at the end shows nothing
            ++i;
            byte = static_cast<unsigned char>(text[i]);
            if (byte == '\r' || byte == '\n') {
                --i;
                continue;
            }
            mnemonic = byte != '&';
        }
        lines.back().push_back({SafeChar(byte, style.unicode), mnemonic});
    }
    return lines;
}

std::vector<GlyphLine> WrapLines(const std::vector<GlyphLine>& lines, int width)
{
    std::vector<GlyphLine> out;
    width = std::max(1, width);
    for (const GlyphLine& line : lines) {
        size_t pos = 0;
        if (line.empty()) out.emplace_back();
        while (pos < line.size()) {
            size_t rest = line.size() - pos;
            if (rest <= static_cast<size_t>(width)) {
                out.emplace_back(line.begin() + static_cast<long>(pos), line.end());
                break;
            }
            // The last blank within the width (or just after it) ends the line.
            size_t end = pos + static_cast<size_t>(width);
            size_t cut = end;
            while (cut > pos && line[cut].ch != U' ') --cut;
            size_t next;
            if (cut == pos) {
                cut = end;  // one word longer than the line
                next = end;
            } else {
                next = cut + 1;
            }
            GlyphLine piece(line.begin() + static_cast<long>(pos), line.begin() + static_cast<long>(cut));
            while (!piece.empty() && piece.back().ch == U' ') piece.pop_back();
            out.push_back(std::move(piece));
            pos = next;
            while (pos < line.size() && line[pos].ch == U' ') ++pos;
        }
    }
    return out;
}

std::string ToUtf8(const GlyphLine& line)
{
    std::string s;
    for (const Glyph& g : line) AppendUtf8(s, g.ch);
    return s;
}

}  // namespace term
