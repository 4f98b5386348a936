#include <algorithm>
#include <cmath>

#include "platform/canvas_access.h"
#include "platform/drawing.h"

namespace platform {

Rect insetRect(Rect r, double d) { return {r.x + d, r.y + d, r.width - 2 * d, r.height - 2 * d}; }
double midX(Rect r) { return r.x + r.width / 2; }
double midY(Rect r) { return r.y + r.height / 2; }

PixelBuffer allocatePixels(int width, int height) {
  // Zero pages on first touch: a decoder that stops early has not paid for the pages it did not
  // reach, whatever size its file declared.
  return allocateArray<uint8_t>(static_cast<size_t>(width) * height * 4, true, false);
}

RasterImage::RasterImage(int width, int height, PixelBuffer rgba)
    : width_(width), height_(height), pixels_(std::move(rgba)) {}

Canvas::Canvas(int size) : size_(size) {}

std::optional<Canvas> Canvas::create(int size) {
  if (size < 1 || size > kMaxPictureEdge) return std::nullopt;
  Canvas canvas(size);
  canvas.premultiplied_ = allocateArray<uint16_t>(static_cast<size_t>(size) * size * 4, true, true);
  if (!canvas.premultiplied_) return std::nullopt;
  return canvas;
}

std::optional<DrawingContext> DrawingContext::create(Canvas& canvas) {
  return DrawingContext(canvas);
}

namespace {
DrawingContext* gCurrent = nullptr;

// Sub-rows per pixel row for the oval's vertical coverage; horizontal coverage is exact.
constexpr int kOvalSubRows = 16;
}  // namespace

void setCurrentContext(DrawingContext* context) { gCurrent = context; }
DrawingContext* currentContext() { return gCurrent; }
SavedGraphicsState::SavedGraphicsState() : saved_(gCurrent) {}
SavedGraphicsState::~SavedGraphicsState() { gCurrent = saved_; }

CanvasPixels canvasPixels(Canvas& canvas) { return {canvas.size_, canvas.premultiplied_.get()}; }

void DrawingContext::fillOval(Rect rect) {
  const CanvasPixels px = canvasPixels(*canvas_);
  const int s = px.size;
  const double a = rect.width / 2, b = rect.height / 2;
  if (!(a > 0) || !(b > 0)) return;
  const double cx = rect.x + a, cy = rect.y + b;
  const Pixel4 color = {
      static_cast<float>(fill_.red * fill_.alpha), static_cast<float>(fill_.green * fill_.alpha),
      static_cast<float>(fill_.blue * fill_.alpha), static_cast<float>(fill_.alpha)};
  // Canvas rows are stored top to bottom; canvas row j spans y in [s - 1 - j, s - j].
  const int jTop = std::clamp(static_cast<int>(std::floor(s - (cy + b))), 0, s);
  const int jBottom = std::clamp(static_cast<int>(std::ceil(s - (cy - b))), 0, s);
  const int iLeft = std::clamp(static_cast<int>(std::floor(cx - a)), 0, s);
  const int iRight = std::clamp(static_cast<int>(std::ceil(cx + a)), 0, s);
  if (iLeft >= iRight) return;
  // coverage[] holds the partial coverage of edge pixels, whole[] a difference array of the
  // pixels a sub-row covers completely.
  std::vector<float> coverage(static_cast<size_t>(iRight - iLeft) + 1);
  std::vector<float> whole(coverage.size());
  for (int j = jTop; j < jBottom; ++j) {
    std::fill(coverage.begin(), coverage.end(), 0.f);
    std::fill(whole.begin(), whole.end(), 0.f);
    for (int k = 0; k < kOvalSubRows; ++k) {
      const double y = (s - 1 - j) + (k + 0.5) / kOvalSubRows;
      const double dy = (y - cy) / b;
      if (dy <= -1 || dy >= 1) continue;
      const double half = a * std::sqrt(1 - dy * dy);
      const double x0 = std::max(cx - half, static_cast<double>(iLeft));
      const double x1 = std::min(cx + half, static_cast<double>(iRight));
      if (x0 >= x1) continue;
      const int i0 = static_cast<int>(std::floor(x0)), i1 = static_cast<int>(std::floor(x1));
      constexpr float w = 1.f / kOvalSubRows;
      if (i0 == i1) {
        coverage[i0 - iLeft] += static_cast<float>(x1 - x0) * w;
        continue;
      }
      coverage[i0 - iLeft] += static_cast<float>((i0 + 1) - x0) * w;
      if (i1 < iRight) coverage[i1 - iLeft] += static_cast<float>(x1 - i1) * w;
      whole[i0 + 1 - iLeft] += w;
      whole[i1 - iLeft] -= w;
    }
    float run = 0;
    uint16_t* row = px.data + (static_cast<size_t>(j) * s + iLeft) * 4;
    for (int i = 0; i < iRight - iLeft; ++i, row += 4) {
      run += whole[i];
      const float c = std::min(1.f, coverage[i] + run);
      if (c > 0) blendPixel(row, color, c);
    }
  }
}

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
