// The pictures of the application's icon and of the search clip, drawn in
// palette indices.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/resgen/Rle8Encoder.h"

namespace resgen {

// Icon pixels that the mask makes transparent.
constexpr std::uint8_t kClear = 0xFF;

// The 16 colours of the icon images (0xRRGGBB), the standard VGA set.
std::vector<std::uint32_t> IconPalette();

// The modem of icon 128, size x size pixels (32 or 16), in IconPalette
// indices and kClear.
IndexImage DrawIcon(int size);

// The 256 colours of the search clip (0xRRGGBB).
std::vector<std::uint32_t> ClipPalette();

// Frame `frame` of `frameCount` of the search clip, 64 x 32 pixels: a letter
// travels along the line from one modem to the other, the sender's data
// light blinks and the receiver's lights up when the letter arrives. The
// last frame leads back into the first.
IndexImage DrawClipFrame(int frame, int frameCount);

constexpr int kClipWidth = 64;
constexpr int kClipHeight = 32;

}  // namespace resgen
