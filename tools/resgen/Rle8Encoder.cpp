#include "tools/resgen/Rle8Encoder.h"

#include <algorithm>
#include <stdexcept>

namespace resgen {

IndexImage::IndexImage(int w, int h, std::uint8_t fill)
    : width(w), height(h), pixels(static_cast<size_t>(w) * static_cast<size_t>(h), fill)
{
}

void IndexImage::Set(int x, int y, std::uint8_t index)
{
    if (x >= 0 && y >= 0 && x < width && y < height) At(x, y) = index;
}

namespace {

using Bytes = std::vector<unsigned char>;

void Put(Bytes& out, int a, int b)
{
    out.push_back(static_cast<unsigned char>(a));
    out.push_back(static_cast<unsigned char>(b));
}

// Length of the run of equal pixels starting at p[i], at most 255.
int RunAt(const std::uint8_t* p, int n, int i)
{
    int run = 1;
    while (i + run < n && run < 255 && p[i + run] == p[i]) ++run;
    return run;
}

// Encodes n pixels: runs of two or more equal pixels as encoded runs, the
// stretches between them in absolute mode (three pixels or more; absolute
// counts of one and two would read as escapes) or as runs of one.
void EncodeSpan(const std::uint8_t* p, int n, Bytes& out)
{
    int i = 0;
    while (i < n) {
        int run = RunAt(p, n, i);
        if (run >= 2) {
            Put(out, run, p[i]);
            i += run;
            continue;
        }
        // A literal stretch ends where a run of three or more begins.
        int end = i + 1;
        while (end < n && end - i < 255 && RunAt(p, n, end) < 3) ++end;
        int count = end - i;
        if (count >= 3) {
            Put(out, 0, count);
            out.insert(out.end(), p + i, p + end);
            if (count & 1) out.push_back(0);  // absolute runs end on a word boundary
        } else {
            for (int k = i; k < end; ++k) Put(out, 1, p[k]);
        }
        i = end;
    }
}

// Moves the decoder's position right by dx and up by dy.
void Delta(Bytes& out, int dx, int dy)
{
    while (dx > 0 || dy > 0) {
        int a = std::min(dx, 255);
        int b = std::min(dy, 255);
        Put(out, 0, 2);
        Put(out, a, b);
        dx -= a;
        dy -= b;
    }
}

}  // namespace

Bytes EncodeRle8(const IndexImage& image)
{
    Bytes out;
    for (int row = 0; row < image.height; ++row) {
        int y = image.height - 1 - row;
        EncodeSpan(&image.pixels[static_cast<size_t>(y * image.width)], image.width, out);
        if (row + 1 < image.height) Put(out, 0, 0);
    }
    Put(out, 0, 1);
    return out;
}

Bytes EncodeRle8Delta(const IndexImage& prev, const IndexImage& image)
{
    if (prev.width != image.width || prev.height != image.height)
        throw std::invalid_argument("delta frames need pictures of one size");
    // Gaps of unchanged pixels shorter than this are re-encoded, not skipped:
    // a delta escape costs four bytes.
    constexpr int kMinGap = 4;
    Bytes out;
    int cx = 0, cy = 0;  // the decoder's position, row 0 at the bottom
    for (int row = 0; row < image.height; ++row) {
        int y = image.height - 1 - row;
        const std::uint8_t* cur = &image.pixels[static_cast<size_t>(y * image.width)];
        const std::uint8_t* old = &prev.pixels[static_cast<size_t>(y * image.width)];
        int x = 0;
        while (x < image.width) {
            if (cur[x] == old[x]) {
                ++x;
                continue;
            }
            int start = x;
            int end = x + 1;
            for (int k = end; k < image.width && k - end < kMinGap; ++k) {
                if (cur[k] != old[k]) end = k + 1;
            }
            // Move to (start, row).
            if (row > cy && start < cx) {
                Put(out, 0, 0);
                cx = 0;
                ++cy;
            }
            Delta(out, start - cx, row - cy);
            EncodeSpan(cur + start, end - start, out);
            cx = end;
            cy = row;
            x = end;
        }
    }
    Put(out, 0, 1);
    return out;
}

}  // namespace resgen
