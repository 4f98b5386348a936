#pragma once
// Internal to the drawing services: raw access to a canvas's premultiplied pixels, and the
// 4-lane float pixel the compositing code works in.
#include <cstdint>
#include <cstring>

#include "platform/graphics/canvas.h"
#include "platform/graphics/geometry.h"

namespace platform {

// One premultiplied RGBA pixel; GCC and Clang map it onto the machine's 4-lane vector unit.
using Pixel4 = float __attribute__((vector_size(16)));

struct CanvasPixels {
  int size;
  uint16_t* data;  // RGBA premultiplied, 0..65535, rows top to bottom
};
CanvasPixels canvasPixels(Canvas& canvas);

// A straight-alpha colour as a premultiplied pixel.
inline Pixel4 premultiplied(Color c) {
  const Pixel4 p = {static_cast<float>(c.red * c.alpha), static_cast<float>(c.green * c.alpha),
                    static_cast<float>(c.blue * c.alpha), static_cast<float>(c.alpha)};
  return p;
}

inline Pixel4 loadPixel(const uint16_t* p) {
  using U16x4 = uint16_t __attribute__((vector_size(8)));
  U16x4 v;
  std::memcpy(&v, p, sizeof v);
  return __builtin_convertvector(v, Pixel4) * (1.f / 65535.f);
}

// Stores a premultiplied pixel whose channels lie in [0, 1], rounded to the nearest step.
inline void storePixel(uint16_t* p, Pixel4 v) {
  using I32x4 = int32_t __attribute__((vector_size(16)));
  using U16x4 = uint16_t __attribute__((vector_size(8)));
  const U16x4 u =
      __builtin_convertvector(__builtin_convertvector(v * 65535.f + 0.5f, I32x4), U16x4);
  std::memcpy(p, &u, sizeof u);
}

// Source-over of a premultiplied colour at coverage c onto one canvas pixel. An opaque result
// replaces the pixel without reading it.
inline void blendPixel(uint16_t* p, Pixel4 color, float c) {
  const Pixel4 src = color * c;
  storePixel(p, src[3] >= 1 ? src : src + loadPixel(p) * (1 - src[3]));
}

}  // namespace platform
