// The file formats of the compiled-in resources: the .ico file of icon 128
// and the RIFF AVI file of the search clip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/resgen/Rle8Encoder.h"

namespace resgen {

// An .ico file: the icon directory, then each image as a 4-bit DIB
// (BITMAPINFOHEADER, 16-colour palette, colour rows, mask rows, both bottom
// up). Pixels holding kClear become index 0 with the mask bit set.
std::vector<unsigned char> BuildIco(const std::vector<IndexImage>& images, const std::vector<std::uint32_t>& palette);

// A RIFF "AVI " file with one BI_RLE8 video stream: hdrl (avih, strl with
// strh and strf), a JUNK chunk that brings the file to exactly fileSize
// bytes, the movi list with one "00dc" chunk per frame, and idx1. The first
// frame is stored whole; each later frame only as the change from the one
// before when that is smaller. Throws std::length_error when the content
// does not fit in fileSize.
std::vector<unsigned char> BuildAvi(const std::vector<IndexImage>& frames, const std::vector<std::uint32_t>& palette,
                                    std::uint32_t microSecPerFrame, std::size_t fileSize);

// The fixed sizes of the formats' headers.
constexpr std::size_t kBitmapInfoHeaderSize = 40;
constexpr std::size_t kIconDirSize = 6;
constexpr std::size_t kIconDirEntrySize = 16;

}  // namespace resgen
