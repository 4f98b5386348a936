#include <algorithm>
#include <cmath>
#include <new>

#include "platform/canvas_access.h"
#include "platform/drawing.h"

namespace platform {

Rect insetRect(Rect r, double d) { return {r.x + d, r.y + d, r.width - 2 * d, r.height - 2 * d}; }
double midX(Rect r) { return r.x + r.width / 2; }
double midY(Rect r) { return r.y + r.height / 2; }

std::unique_ptr<uint8_t[]> allocatePixels(int width, int height) {
  // Not value-initialised: a decoder that stops early must not have paid for untouched pages.
  return std::unique_ptr<uint8_t[]>(new (std::nothrow)
                                        uint8_t[static_cast<size_t>(width) * height * 4]);
}

RasterImage::RasterImage(int width, int height, std::unique_ptr<uint8_t[]> rgba)
    : width_(width), height_(height), pixels_(std::move(rgba)) {}

Canvas::Canvas(int size) : size_(size) {}

std::optional<Canvas> Canvas::create(int size) {
  if (size < 1 || size > kMaxPictureEdge) return std::nullopt;
  Canvas canvas(size);
  // calloc hands large blocks over as fresh zero pages: transparent without a pass of memset.
  canvas.premultiplied_.reset(
      static_cast<float*>(std::calloc(static_cast<size_t>(size) * size * 4, sizeof(float))));
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
  const float color[4] = {
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
    float* row = px.data + (static_cast<size_t>(j) * s + iLeft) * 4;
    for (int i = 0; i < iRight - iLeft; ++i, row += 4) {
      run += whole[i];
      const float c = std::min(1.f, coverage[i] + run);
      if (c <= 0) continue;
      const float keep = 1 - color[3] * c;
      for (int ch = 0; ch < 4; ++ch) row[ch] = color[ch] * c + row[ch] * keep;
    }
  }
}

std::optional<RasterImage> snapshot(const Canvas& canvas) {
  const int s = canvas.size_;
  auto out = allocatePixels(s, s);
  if (!out) return std::nullopt;
  const float* in = canvas.premultiplied_.get();
  uint8_t* o = out.get();
  const size_t n = static_cast<size_t>(s) * s;
  for (size_t p = 0; p < n; ++p, in += 4, o += 4) {
    const float alpha = std::clamp(in[3], 0.f, 1.f);
    if (alpha <= 0) {
      o[0] = o[1] = o[2] = o[3] = 0;
      continue;
    }
    const float unpremultiply = 255.f / alpha;
    for (int ch = 0; ch < 3; ++ch)
      o[ch] = static_cast<uint8_t>(std::clamp(in[ch] * unpremultiply, 0.f, 255.f) + 0.5f);
    o[3] = static_cast<uint8_t>(alpha * 255.f + 0.5f);
  }
  return RasterImage(s, s, std::move(out));
}

}  // namespace platform
