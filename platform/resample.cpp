// Image drawing: a separable, premultiplied-alpha resampler (Lanczos-3 for high interpolation,
// a triangle filter otherwise), anti-aliased at fractional rectangle edges.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/canvas_access.h"
#include "platform/drawing.h"

namespace platform {
namespace {

double lanczos3(double x) {
  x = std::fabs(x);
  if (x < 1e-9) return 1;
  if (x >= 3) return 0;
  const double px = std::numbers::pi * x;
  return 3 * std::sin(px) * std::sin(px / 3) / (px * px);
}

double triangle(double x) { return std::max(0.0, 1 - std::fabs(x)); }

// For each destination pixel of one axis: the source taps and their weights, and how much of the
// pixel the destination span covers.
struct Axis {
  int begin = 0, end = 0;  // destination pixels [begin, end)
  std::vector<int> first, count;
  std::vector<size_t> offset;
  std::vector<float> weights, cover;
};

Axis makeAxis(int srcLen, double dstPos, double dstLen, int canvasLen, Interpolation quality) {
  Axis axis;
  axis.begin = static_cast<int>(std::clamp(std::floor(dstPos), 0.0, double(canvasLen)));
  axis.end = static_cast<int>(std::clamp(std::ceil(dstPos + dstLen), 0.0, double(canvasLen)));
  const bool high = quality == Interpolation::kHigh;
  const double support1 = high ? 3 : 1;
  const double f = srcLen / dstLen;
  const double filterScale = std::max(f, 1.0);
  const double support = support1 * filterScale;
  const bool aligned = f == 1 && dstPos == std::floor(dstPos);
  for (int i = axis.begin; i < axis.end; ++i) {
    const double covered = std::min<double>(i + 1, dstPos + dstLen) - std::max<double>(i, dstPos);
    axis.cover.push_back(static_cast<float>(std::clamp(covered, 0.0, 1.0)));
    axis.offset.push_back(axis.weights.size());
    const double u = (i + 0.5 - dstPos) * f;
    if (aligned) {
      axis.first.push_back(std::clamp(static_cast<int>(std::floor(u)), 0, srcLen - 1));
      axis.count.push_back(1);
      axis.weights.push_back(1);
      continue;
    }
    const int k0 = std::max(0, static_cast<int>(std::ceil(u - support - 0.5)));
    const int k1 = std::min(srcLen - 1, static_cast<int>(std::floor(u + support - 0.5)));
    double sum = 0;
    const size_t start = axis.weights.size();
    for (int k = k0; k <= k1; ++k) {
      const double x = (k + 0.5 - u) / filterScale;
      const double w = high ? lanczos3(x) : triangle(x);
      axis.weights.push_back(static_cast<float>(w));
      sum += w;
    }
    if (k1 < k0 || std::fabs(sum) < 1e-12) {
      axis.weights.resize(start);
      axis.first.push_back(std::clamp(static_cast<int>(std::floor(u)), 0, srcLen - 1));
      axis.count.push_back(1);
      axis.weights.push_back(1);
      continue;
    }
    for (size_t k = start; k < axis.weights.size(); ++k) axis.weights[k] /= static_cast<float>(sum);
    axis.first.push_back(k0);
    axis.count.push_back(k1 - k0 + 1);
  }
  return axis;
}

void premultiplyRow(const uint8_t* in, int width, float* out) {
  constexpr float k = 1.f / 255.f;
  for (int x = 0; x < width; ++x, in += 4, out += 4) {
    const float a = in[3] * k;
    out[0] = in[0] * k * a;
    out[1] = in[1] * k * a;
    out[2] = in[2] * k * a;
    out[3] = a;
  }
}

}  // namespace

void DrawingContext::drawImage(const Image& image, Rect rect) {
  if (!(rect.width > 0) || !(rect.height > 0)) return;
  const std::optional<RasterImage> picture = image.pictureFor(static_cast<int>(
      std::ceil(std::min(std::max(rect.width, rect.height), double(kMaxPictureEdge)))));
  if (!picture) return;
  const CanvasPixels px = canvasPixels(*canvas_);
  const int s = px.size;
  const int sw = picture->width(), sh = picture->height();
  // Storage rows run top to bottom, so the rectangle's top edge is at s - (y + height).
  const Axis ax = makeAxis(sw, rect.x, rect.width, s, interpolation_);
  const Axis ay = makeAxis(sh, s - (rect.y + rect.height), rect.height, s, interpolation_);
  if (ax.begin >= ax.end || ay.begin >= ay.end) return;
  const int rowBegin = ay.first.front();
  const int rowEnd = ay.first.back() + ay.count.back();
  const int dw = ax.end - ax.begin;

  // Horizontal pass over the source rows the vertical taps reach.
  std::vector<float> srcRow(static_cast<size_t>(sw) * 4);
  std::vector<float> rows(static_cast<size_t>(rowEnd - rowBegin) * dw * 4);
  const uint8_t* pixels = picture->rgba().data();
  for (int r = rowBegin; r < rowEnd; ++r) {
    premultiplyRow(pixels + static_cast<size_t>(r) * sw * 4, sw, srcRow.data());
    float* out = rows.data() + static_cast<size_t>(r - rowBegin) * dw * 4;
    for (int i = 0; i < dw; ++i, out += 4) {
      const float* w = ax.weights.data() + ax.offset[i];
      const float* in = srcRow.data() + static_cast<size_t>(ax.first[i]) * 4;
      float acc[4] = {0, 0, 0, 0};
      for (int k = 0; k < ax.count[i]; ++k, in += 4)
        for (int ch = 0; ch < 4; ++ch) acc[ch] += w[k] * in[ch];
      for (int ch = 0; ch < 4; ++ch) out[ch] = acc[ch];
    }
  }

  // Vertical pass, composited source-over into the canvas.
  std::vector<float> acc(static_cast<size_t>(dw) * 4);
  for (int j = ay.begin; j < ay.end; ++j) {
    const int jj = j - ay.begin;
    std::fill(acc.begin(), acc.end(), 0.f);
    const float* w = ay.weights.data() + ay.offset[jj];
    for (int k = 0; k < ay.count[jj]; ++k) {
      const float* in = rows.data() + static_cast<size_t>(ay.first[jj] + k - rowBegin) * dw * 4;
      const float wk = w[k];
      for (int n = 0; n < dw * 4; ++n) acc[n] += wk * in[n];
    }
    float* dst = px.data + (static_cast<size_t>(j) * s + ax.begin) * 4;
    const float coverY = ay.cover[jj];
    for (int i = 0; i < dw; ++i, dst += 4) {
      const float c = coverY * ax.cover[i];
      float src[4];
      for (int ch = 0; ch < 4; ++ch) src[ch] = std::clamp(acc[i * 4 + ch], 0.f, 1.f) * c;
      // Ringing can push a colour above its alpha; keep the result a valid premultiplied pixel.
      for (int ch = 0; ch < 3; ++ch) src[ch] = std::min(src[ch], src[3]);
      const float keep = 1 - src[3];
      for (int ch = 0; ch < 4; ++ch) dst[ch] = src[ch] + dst[ch] * keep;
    }
  }
}

}  // namespace platform
