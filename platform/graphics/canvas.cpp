#include "platform/graphics/canvas.h"

#include <cstring>

#include "platform/codecs/limits.h"
#include "platform/graphics/canvas_pixels.h"

namespace platform {

std::optional<Canvas> Canvas::create(int size) {
  if (size < 1 || size > kLimits.maxPictureEdge) return std::nullopt;
  Canvas canvas(size);
  canvas.premultiplied_ = allocateArray<uint16_t>(static_cast<size_t>(size) * size * 4, true, true);
  if (!canvas.premultiplied_) return std::nullopt;
  return canvas;
}

CanvasPixels canvasPixels(Canvas& canvas) { return {canvas.size_, canvas.premultiplied_.get()}; }

std::optional<RasterImage> snapshot(const Canvas& canvas) {
  const int s = canvas.size_;
  // Every pixel is either written or left transparent, so the pages are wanted at once.
  PixelBuffer out = allocateArray<uint8_t>(static_cast<size_t>(s) * s * 4, true, true);
  if (!out) return std::nullopt;
  const uint16_t* in = canvas.premultiplied_.get();
  uint8_t* o = out.get();
  const size_t n = static_cast<size_t>(s) * s;
  // The output buffer starts zeroed, so fully transparent pixels need no store. With 16-bit
  // premultiplied storage every 8-bit straight pixel drawn unscaled comes back exactly.
  using U16x4 = uint16_t __attribute__((vector_size(8)));
  using I32x4 = int32_t __attribute__((vector_size(16)));
  using U8x4 = uint8_t __attribute__((vector_size(4)));
  const Pixel4 max = {255, 255, 255, 255};
  for (size_t p = 0; p < n; ++p, in += 4, o += 4) {
    const unsigned alpha = in[3];
    if (alpha == 0) continue;
    U16x4 stored;
    std::memcpy(&stored, in, sizeof stored);
    const float unpremultiply = 255.f / static_cast<float>(alpha);
    Pixel4 straight = __builtin_convertvector(stored, Pixel4) * unpremultiply;
    straight = straight > max ? max : straight;
    U8x4 bytes = __builtin_convertvector(__builtin_convertvector(straight + 0.5f, I32x4), U8x4);
    bytes[3] = static_cast<uint8_t>((alpha + 128) / 257);
    std::memcpy(o, &bytes, sizeof bytes);
  }
  return RasterImage(s, s, std::move(out));
}

}  // namespace platform
