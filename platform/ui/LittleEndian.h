// Reading the little-endian fields of the RIFF and DIB formats; the caller
// has checked that the bytes are there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ui {

using ByteSpan = std::span<const unsigned char>;

inline std::uint16_t U16(ByteSpan s, std::size_t at) { return static_cast<std::uint16_t>(s[at] | s[at + 1] << 8); }

inline std::uint32_t U32(ByteSpan s, std::size_t at)
{
    return static_cast<std::uint32_t>(s[at]) | static_cast<std::uint32_t>(s[at + 1]) << 8 |
           static_cast<std::uint32_t>(s[at + 2]) << 16 | static_cast<std::uint32_t>(s[at + 3]) << 24;
}

}  // namespace ui
