// Icons as .ico files: an icon directory naming each image's size, colour
// depth and place, and each image a DIB (BITMAPINFOHEADER, colour table,
// colour rows, then the 1-bit mask rows, both bottom up) whose height counts
// both parts.
#include <cstdlib>
#include <span>

#include "platform/ui/LittleEndian.h"
#include "platform/ui/Resource.h"

namespace {

using Span = ui::ByteSpan;
using ui::U16;
using ui::U32;

constexpr size_t kDirSize = 6;
constexpr size_t kEntrySize = 16;
constexpr size_t kInfoHeaderSize = 40;
constexpr int kMaxSide = 256;

std::uint32_t Rgb(Span s, size_t at)  // blue, green, red
{
    return static_cast<std::uint32_t>(s[at + 2]) << 16 | static_cast<std::uint32_t>(s[at + 1]) << 8 | s[at];
}

std::optional<CImage> DecodeDib(Span dib)
{
    if (dib.size() < kInfoHeaderSize) return std::nullopt;
    const std::uint32_t headerSize = U32(dib, 0);
    const auto width = static_cast<std::int32_t>(U32(dib, 4));
    const auto bothHeights = static_cast<std::int32_t>(U32(dib, 8));
    const int bits = U16(dib, 14);
    const std::uint32_t used = U32(dib, 32);
    if (headerSize < kInfoHeaderSize || headerSize > dib.size()) return std::nullopt;
    if (U16(dib, 12) != 1 || U32(dib, 16) != 0) return std::nullopt;  // one plane, BI_RGB
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return std::nullopt;
    if (width < 1 || width > kMaxSide || bothHeights < 2 || bothHeights > 2 * kMaxSide || bothHeights % 2) return std::nullopt;
    const int height = bothHeights / 2;

    size_t colours = 0;
    if (bits <= 8) {
        if (used > (1u << bits)) return std::nullopt;
        colours = used ? used : (size_t{1} << bits);
    }
    const size_t colourStride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    const size_t maskStride = (static_cast<size_t>(width) + 31) / 32 * 4;
    const size_t paletteAt = headerSize;
    const size_t colourAt = paletteAt + 4 * colours;
    const size_t maskAt = colourAt + colourStride * height;
    if (maskAt + maskStride * height > dib.size()) return std::nullopt;

    CImage img;
    img.width = width;
    img.height = height;
    img.pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const size_t row = colourAt + colourStride * (height - 1 - y);
        const size_t mask = maskAt + maskStride * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            std::uint32_t rgb;
            if (bits <= 8) {
                const size_t bit = static_cast<size_t>(x) * bits;
                const unsigned byte = dib[row + bit / 8];
                const unsigned index = (byte >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                rgb = index < colours ? Rgb(dib, paletteAt + 4 * index) : 0;
            } else {
                rgb = Rgb(dib, row + static_cast<size_t>(x) * (bits / 8));
            }
            const bool clear = (dib[mask + x / 8] >> (7 - x % 8)) & 1;
            img.pixels[static_cast<size_t>(y) * width + x] = clear ? CImage::kTransparent : rgb;
        }
    }
    return img;
}

// The image of an .ico file closest to size x size pixels (of two equally
// close, the larger), decoded; nullopt when the file is malformed.
std::optional<CImage> DecodeIcon(Span ico, int size)
{
    if (ico.size() < kDirSize || U16(ico, 0) != 0 || U16(ico, 2) != 1) return std::nullopt;
    const size_t count = U16(ico, 4);
    if (count == 0 || kDirSize + count * kEntrySize > ico.size()) return std::nullopt;
    size_t best = 0;
    int bestSide = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = kDirSize + i * kEntrySize;
        const int side = ico[at] ? ico[at] : 256;  // a width of 0 stands for 256
        const int d = std::abs(side - size), bestD = std::abs(bestSide - size);
        if (i == 0 || d < bestD || (d == bestD && side > bestSide)) {
            best = at;
            bestSide = side;
        }
    }
    const size_t bytes = U32(ico, best + 8);
    const size_t offset = U32(ico, best + 12);
    if (offset > ico.size() || bytes > ico.size() - offset) return std::nullopt;
    return DecodeDib(ico.subspan(offset, bytes));
}

}  // namespace

std::optional<CImage> LoadIconImage(int iconId, int size)
{
    const auto& icons = AfxGetResourceModule().icons;
    auto it = icons.find(iconId);
    if (it == icons.end()) return std::nullopt;
    return DecodeIcon(it->second, size);
}
