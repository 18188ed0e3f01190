// An animation clip: a RIFF "AVI " file with a video stream of 8-bit
// BI_RLE8-compressed frames, as the animation control plays it. All frames are decoded once, when the clip is parsed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/base/WinTypes.h"
#include "platform/ui/Resource.h"

class CAviClip {
public:
    // The clip in the bytes of an AVI file; nullopt when they are not one:
    // no "RIFF"/"AVI " form, a chunk that does not fit in its parent, no
    // main header, no video stream of 8 bits per pixel in BI_RLE8, a frame larger than kMaxSide or more decoded pixels in all
    // than kMaxTotalPixels, or no frame at all. Frame data that ends early or
    // points outside the frame gives a frame clipped to what it holds.
    static std::optional<CAviClip> Parse(const std::vector<unsigned char>& file);

    int FrameCount() const { return static_cast<int>(m_frames.size()); }
    DWORD MicroSecPerFrame() const { return m_microSecPerFrame; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Frame i, rows top-down; an empty image when i is not a frame number.
    const CImage& Frame(int i) const;

    // Decodes one BI_RLE8 bitmap of width x height over `indices` (palette
    // indices, width * height of them, row 0 at the top; resized and cleared
    // to 0 when it has another size). Pixels the data skips keep their
    // values, so a frame that changes only part of the picture is drawn over
    // the frame before. Pixels beyond the right edge or the top are dropped.
    // True when the data ended with the end-of-bitmap mark, false when it
    // ran out first.
    static bool DecodeRle8(std::span<const unsigned char> data, int width, int height,
                           std::vector<std::uint8_t>& indices);

    static constexpr int kMaxSide = 1024;
    static constexpr std::int64_t kMaxTotalPixels = std::int64_t{1} << 23;

private:
    CAviClip() = default;

    DWORD m_microSecPerFrame = 0;
    int m_width = 0;
    int m_height = 0;
    std::vector<CImage> m_frames;
};
