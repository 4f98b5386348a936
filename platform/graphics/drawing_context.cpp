#include "platform/graphics/drawing_context.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/codecs/limits.h"
#include "platform/graphics/canvas_pixels.h"
#include "platform/graphics/resample.h"
#include "platform/graphics/text_layout.h"

namespace platform {
namespace {

// Sub-rows per pixel row for the oval's vertical coverage; horizontal coverage is exact.
constexpr int kOvalSubRows = 16;

}  // namespace

void DrawingContext::fillOval(Rect rect) {
  const CanvasPixels px = canvasPixels(*canvas_);
  const int s = px.size;
  const double a = rect.width / 2, b = rect.height / 2;
  if (!(a > 0) || !(b > 0)) return;
  const double cx = rect.x + a, cy = rect.y + b;
  const Pixel4 color = premultiplied(fill_);
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

void DrawingContext::drawImage(const Image& image, Rect rect) {
  if (!(rect.width > 0) || !(rect.height > 0)) return;
  const double largest =
      std::min(std::max(rect.width, rect.height), double(kLimits.maxPictureEdge));
  if (Pyramid* pyramid = image.pyramidFor(static_cast<int>(std::ceil(largest))))
    drawPicture(canvasPixels(*canvas_), *pyramid, rect);
}

void DrawingContext::drawText(const StyledText& text, Rect rect) {
  const TextLine line = layoutLine(text.text, text.font.pointSize);
  const double startX = rect.x + (rect.width - line.width) / 2;
  const double baseline = rect.y + rect.height - line.ascent;
  drawLine(canvasPixels(*canvas_), line, startX, baseline, premultiplied(text.color));
}

}  // namespace platform
