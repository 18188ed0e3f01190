#include "platform/ui/Avi.h"
#include "platform/ui/LittleEndian.h"

#include <algorithm>
#include <cstring>

namespace {

using Span = ui::ByteSpan;
using ui::U16;
using ui::U32;
bool HasFourCC(Span s, size_t at, const char* cc) { return s.size() >= at + 4 && std::memcmp(s.data() + at, cc, 4) == 0; }

struct Chunk {
    const unsigned char* id;  // four characters
    Span data;
    bool Is(const char* cc) const { return std::memcmp(id, cc, 4) == 0; }
    // A "LIST" chunk of the given type.
    bool IsList(const char* type) const { return Is("LIST") && HasFourCC(data, 0, type); }
    Span ListBody() const { return data.subspan(4); }
};

// Splits a list body into its chunks; false when a chunk header or body
// does not fit. A missing pad byte after the last chunk is accepted.
bool Chunks(Span body, std::vector<Chunk>& out)
{
    size_t at = 0;
    while (at < body.size()) {
        if (body.size() - at < 8) return false;
        std::uint32_t size = U32(body, at + 4);
        if (size > body.size() - at - 8) return false;
        out.push_back({body.data() + at, body.subspan(at + 8, size)});
        at += 8 + size;
        if (size & 1) at = std::min(at + 1, body.size());
    }
    return true;
}

struct Format {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> palette;
};

constexpr std::uint32_t kBiRle8 = 1;

// The stream format (strf) of a video stream: a BITMAPINFOHEADER and its
// colour table.
std::optional<Format> ParseFormat(Span strf)
{
    if (strf.size() < 40) return std::nullopt;
    std::uint32_t headerSize = U32(strf, 0);
    if (headerSize < 40 || headerSize > strf.size()) return std::nullopt;
    Format f;
    f.width = static_cast<std::int32_t>(U32(strf, 4));
    f.height = static_cast<std::int32_t>(U32(strf, 8));
    if (U16(strf, 12) != 1 || U16(strf, 14) != 8 || U32(strf, 16) != kBiRle8) return std::nullopt;
    if (f.width < 1 || f.width > CAviClip::kMaxSide || f.height < 1 || f.height > CAviClip::kMaxSide)
        return std::nullopt;
    std::uint32_t used = U32(strf, 32);
    if (used > 256) return std::nullopt;
    size_t colours = used == 0 ? 256 : used;
    // Colours that the chunk is too short to hold, and indices beyond the
    // table, stay black.
    colours = std::min(colours, (strf.size() - headerSize) / 4);
    f.palette.assign(256, 0);
    for (size_t i = 0; i < colours; ++i) {
        size_t at = headerSize + 4 * i;
        f.palette[i] = static_cast<std::uint32_t>(strf[at + 2]) << 16 | static_cast<std::uint32_t>(strf[at + 1]) << 8 |
                       strf[at];
    }
    return f;
}

}  // namespace

bool CAviClip::DecodeRle8(std::span<const unsigned char> data, int width, int height,
                          std::vector<std::uint8_t>& indices)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    const size_t total = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (indices.size() != total) indices.assign(total, 0);
    // Position: x from the left, y from the bottom row up. Both stop at the
    // edge, where every further pixel of the row (or picture) is dropped.
    int x = 0, y = 0;
    auto put = [&](std::uint8_t v) {
        if (x < width && y < height) indices[static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width) + x] = v;
        if (x < width) ++x;
    };
    size_t at = 0;
    const size_t n = data.size();
    while (n - at >= 2) {
        const int count = data[at];
        const int code = data[at + 1];
        at += 2;
        if (count > 0) {  // encoded run: count pixels of one value
            for (int k = 0; k < count; ++k) put(static_cast<std::uint8_t>(code));
            continue;
        }
        switch (code) {
        case 0:  // end of line
            x = 0;
            y = std::min(y + 1, height);
            break;
        case 1:  // end of bitmap
            return true;
        case 2:  // delta: move right and up
            if (n - at < 2) return false;
            x = std::min(x + data[at], width);
            y = std::min(y + data[at + 1], height);
            at += 2;
            break;
        default: {  // absolute run: code pixels follow, padded to a word
            const size_t avail = std::min(static_cast<size_t>(code), n - at);
            for (size_t k = 0; k < avail; ++k) put(data[at + k]);
            if (avail < static_cast<size_t>(code)) return false;
            at += static_cast<size_t>(code) + (code & 1);
            at = std::min(at, n);
            break;
        }
        }
    }
    return false;
}

std::optional<CAviClip> CAviClip::Parse(const std::vector<unsigned char>& file)
{
    const Span all(file);
    if (!HasFourCC(all, 0, "RIFF") || !HasFourCC(all, 8, "AVI ")) return std::nullopt;
    const std::uint32_t riffSize = U32(all, 4);
    if (riffSize < 4 || riffSize > all.size() - 8) return std::nullopt;
    std::vector<Chunk> top;
    if (!Chunks(all.subspan(12, riffSize - 4), top)) return std::nullopt;

    const Chunk* hdrl = nullptr;
    const Chunk* movi = nullptr;
    for (const Chunk& c : top) {
        if (c.IsList("hdrl") && !hdrl) hdrl = &c;
        if (c.IsList("movi") && !movi) movi = &c;
    }
    if (!hdrl || !movi) return std::nullopt;

    // The main header and the first video stream.
    std::vector<Chunk> headers;
    if (!Chunks(hdrl->ListBody(), headers)) return std::nullopt;
    std::optional<DWORD> microSecPerFrame;
    std::optional<Format> format;
    int streamIndex = 0, videoStream = -1;
    for (const Chunk& c : headers) {
        if (c.Is("avih") && c.data.size() >= 56 && !microSecPerFrame) microSecPerFrame = U32(c.data, 0);
        if (!c.IsList("strl")) continue;
        std::vector<Chunk> stream;
        if (!Chunks(c.ListBody(), stream)) return std::nullopt;
        const Chunk* strh = nullptr;
        const Chunk* strf = nullptr;
        for (const Chunk& s : stream) {
            if (s.Is("strh") && !strh) strh = &s;
            if (s.Is("strf") && !strf) strf = &s;
        }
        if (videoStream < 0 && strh && strh->data.size() >= 48 && HasFourCC(strh->data, 0, "vids")) {
            if (!strf) return std::nullopt;
            format = ParseFormat(strf->data);
            if (!format) return std::nullopt;
            videoStream = streamIndex;
        }
        ++streamIndex;
    }
    if (!microSecPerFrame || !format || videoStream > 99) return std::nullopt;

    // The frames: the video stream's chunks "NNdc", also inside "rec "
    // lists, in file order.
    const char digits[2] = {static_cast<char>('0' + videoStream / 10), static_cast<char>('0' + videoStream % 10)};
    std::vector<Chunk> items;
    if (!Chunks(movi->ListBody(), items)) return std::nullopt;
    std::vector<Chunk> frames;
    for (const Chunk& c : items) {
        if (c.IsList("rec ")) {
            if (!Chunks(c.ListBody(), frames)) return std::nullopt;
        } else {
            frames.push_back(c);
        }
    }
    std::erase_if(frames, [&](const Chunk& c) {
        return c.id[0] != digits[0] || c.id[1] != digits[1] || c.id[2] != 'd' || c.id[3] != 'c';
    });
    const int width = format->width;
    const int height = format->height;
    const std::int64_t pixels = std::int64_t{width} * height;
    if (frames.empty() || static_cast<std::int64_t>(frames.size()) > kMaxTotalPixels / pixels) return std::nullopt;

    CAviClip clip;
    clip.m_microSecPerFrame = *microSecPerFrame;
    clip.m_width = width;
    clip.m_height = height;
    // Each frame is drawn over the one before, as a player does.
    std::vector<std::uint8_t> indices(static_cast<size_t>(pixels), 0);
    for (const Chunk& c : frames) {
        DecodeRle8(c.data, width, height, indices);
        CImage img;
        img.width = width;
        img.height = height;
        img.pixels.resize(indices.size());
        std::transform(indices.begin(), indices.end(), img.pixels.begin(),
                       [&](std::uint8_t i) { return format->palette[i]; });
        clip.m_frames.push_back(std::move(img));
    }
    return clip;
}

const CImage& CAviClip::Frame(int i) const
{
    static const CImage kNone;
    if (i < 0 || i >= FrameCount()) return kNone;
    return m_frames[static_cast<size_t>(i)];
}
