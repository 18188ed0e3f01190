// The picture the terminal renderer draws: a grid of character cells, each
// with a character, attributes and colours. It knows nothing of the terminal;
// the renderer copies it to the screen, and tests read it as text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace term {

// Cell attributes (bits).
constexpr std::uint8_t kBold = 1;
constexpr std::uint8_t kUnderline = 2;
constexpr std::uint8_t kReverse = 4;
constexpr std::uint8_t kDim = 8;

// Colours: the terminal's default, or one of the 16 standard colours in the
// usual terminal order (0 black, 1 red, 2 green, 3 yellow, 4 blue, 5 magenta,
// 6 cyan, 7 white; 8-15 their bright forms).
constexpr std::int8_t kDefaultColour = -1;
constexpr std::int8_t kBlack = 0;
constexpr std::int8_t kBlue = 4;
constexpr std::int8_t kWhite = 7;
constexpr std::int8_t kGrey = 8;
constexpr std::int8_t kBrightWhite = 15;

struct Cell {
    char32_t ch = U' ';
    std::uint8_t attr = 0;
    std::int8_t fg = kDefaultColour;
    std::int8_t bg = kDefaultColour;

    bool operator==(const Cell&) const = default;
};

class CCellGrid {
public:
    CCellGrid() = default;
    CCellGrid(int width, int height) { Resize(width, height); }

    // Resizes and clears to blank cells.
    void Resize(int width, int height);
    void Clear();

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }

    const Cell& At(int x, int y) const { return m_cells[Index(x, y)]; }
    Cell& At(int x, int y) { return m_cells[Index(x, y)]; }

    // Sets one cell; cells outside the grid are ignored.
    void Put(int x, int y, char32_t ch, std::uint8_t attr = 0, std::int8_t fg = kDefaultColour,
             std::int8_t bg = kDefaultColour);
    void Put(int x, int y, const Cell& cell);

    // Row y as UTF-8 text (ASCII when the grid holds only ASCII), without
    // trailing blanks.
    std::string Row(int y) const;
    // All rows joined with '\n', each without trailing blanks, and without the
    // blank rows at the bottom.
    std::string ToText() const;

private:
    size_t Index(int x, int y) const { return static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x); }

    int m_width = 0;
    int m_height = 0;
    std::vector<Cell> m_cells;
};

// Appends the UTF-8 form of ch to out.
void AppendUtf8(std::string& out, char32_t ch);

}  // namespace term
