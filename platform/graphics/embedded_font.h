#pragma once
// The built-in heavy face, compiled into the binary from the font file chosen at configure time.
#include <cstddef>

namespace platform {
extern const unsigned char kEmbeddedFont[];
extern const size_t kEmbeddedFontSize;
}  // namespace platform
