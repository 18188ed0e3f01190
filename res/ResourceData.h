// The icon and the search clip as the build's resource generator
// (tools/resgen) drew them: the bytes of an .ico file and of an AVI file,
// defined in a source written at build time.
#pragma once

#include <cstddef>

namespace resdata {

extern const unsigned char kMainframeIcon[];
extern const std::size_t kMainframeIconSize;
extern const unsigned char kSearchAvi[];
extern const std::size_t kSearchAviSize;

}  // namespace resdata
