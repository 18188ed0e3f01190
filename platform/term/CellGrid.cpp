#include "platform/term/CellGrid.h"

#include <algorithm>

namespace term {

void CCellGrid::Resize(int width, int height)
{
    m_width = std::max(0, width);
    m_height = std::max(0, height);
    m_cells.assign(static_cast<size_t>(m_width) * static_cast<size_t>(m_height), Cell{});
}

void CCellGrid::Clear() { std::fill(m_cells.begin(), m_cells.end(), Cell{}); }

void CCellGrid::Put(int x, int y, char32_t ch, std::uint8_t attr, std::int8_t fg, std::int8_t bg)
{
    Put(x, y, Cell{ch, attr, fg, bg});
}

void CCellGrid::Put(int x, int y, const Cell& cell)
{
    if (Contains(x, y)) m_cells[Index(x, y)] = cell;
}

void AppendUtf8(std::string& out, char32_t ch)
{
    auto c = static_cast<std::uint32_t>(ch);
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string CCellGrid::Row(int y) const
{
    std::string out;
    if (y < 0 || y >= m_height) return out;
    int end = m_width;
    while (end > 0 && At(end - 1, y).ch == U' ') --end;
    for (int x = 0; x < end; ++x) AppendUtf8(out, At(x, y).ch);
    return out;
}

std::string CCellGrid::ToText() const
{
    int rows = m_height;
    while (rows > 0 && Row(rows - 1).empty()) --rows;
    std::string out;
    for (int y = 0; y < rows; ++y) {
        if (y) out += '\n';
        out += Row(y);
    }
    return out;
}

}  // namespace term
