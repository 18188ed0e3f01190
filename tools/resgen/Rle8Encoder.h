// BI_RLE8 encoding of 8-bit pictures, the form in which the search clip
// stores its frames. Rows are written from the bottom of the picture up, as
// in every device-independent bitmap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace resgen {

// An 8-bit picture: one palette index per pixel, row 0 at the top.
struct IndexImage {
    IndexImage(int w, int h, std::uint8_t fill = 0);

    std::uint8_t& At(int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; }
    std::uint8_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
    // Sets a pixel; positions outside the picture are ignored.
    void Set(int x, int y, std::uint8_t index);

    int width;
    int height;
    std::vector<std::uint8_t> pixels;
};

// The whole picture: encoded runs and absolute runs, an end-of-line after
// every row but the last, then the end-of-bitmap mark.
std::vector<unsigned char> EncodeRle8(const IndexImage& image);

// Only the pixels of image that differ from prev (same size): unchanged
// stretches are skipped with delta and end-of-line escapes, so decoding the
// data over prev gives image.
std::vector<unsigned char> EncodeRle8Delta(const IndexImage& prev, const IndexImage& image);

}  // namespace resgen
