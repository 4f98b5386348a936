// Image drawing: a separable, premultiplied-alpha resampler (Lanczos-3 for high interpolation,
// a triangle filter otherwise), anti-aliased at fractional rectangle edges. Large reductions go
// through a pyramid of exact halvings, so each size costs in proportion to its own pixels.
#include "platform/resample.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/canvas_access.h"

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
  int maxTaps = 1;
  std::vector<int> first, count;
  std::vector<size_t> offset;
  std::vector<float> weights, cover;
};

Axis makeAxis(int srcLen, double dstPos, double dstLen, int canvasLen, Interpolation quality) {
  Axis axis;
  axis.begin = static_cast<int>(std::clamp(std::floor(dstPos), 0.0, double(canvasLen)));
  axis.end = static_cast<int>(std::clamp(std::ceil(dstPos + dstLen), 0.0, double(canvasLen)));
  const bool high = quality == Interpolation::kHigh;
  const double f = srcLen / dstLen;
  const double filterScale = std::max(f, 1.0);
  const double support = (high ? 3 : 1) * filterScale;
  const bool aligned = f == 1 && dstPos == std::floor(dstPos);
  for (int i = axis.begin; i < axis.end; ++i) {
    const double covered = std::min<double>(i + 1, dstPos + dstLen) - std::max<double>(i, dstPos);
    axis.cover.push_back(static_cast<float>(std::clamp(covered, 0.0, 1.0)));
    axis.offset.push_back(axis.weights.size());
    const double u = (i + 0.5 - dstPos) * f;
    const int nearest = std::clamp(static_cast<int>(std::floor(u)), 0, srcLen - 1);
    const int k0 = std::max(0, static_cast<int>(std::ceil(u - support - 0.5)));
    const int k1 = std::min(srcLen - 1, static_cast<int>(std::floor(u + support - 0.5)));
    double sum = 0;
    const size_t start = axis.weights.size();
    if (!aligned)
      for (int k = k0; k <= k1; ++k) {
        const double x = (k + 0.5 - u) / filterScale;
        const double w = high ? lanczos3(x) : triangle(x);
        axis.weights.push_back(static_cast<float>(w));
        sum += w;
      }
    if (aligned || k1 < k0 || std::fabs(sum) < 1e-12) {
      axis.weights.resize(start);
      axis.first.push_back(nearest);
      axis.count.push_back(1);
      axis.weights.push_back(1);
      continue;
    }
    for (size_t k = start; k < axis.weights.size(); ++k) axis.weights[k] /= static_cast<float>(sum);
    axis.first.push_back(k0);
    axis.count.push_back(k1 - k0 + 1);
    axis.maxTaps = std::max(axis.maxTaps, k1 - k0 + 1);
  }
  return axis;
}

// Source rows as premultiplied pixels: straight 8-bit pictures are converted row by row.
class RasterRows {
 public:
  explicit RasterRows(const RasterImage& image)
      : data_(image.rgba().data()), width_(image.width()), row_(image.width()) {}
  const Pixel4* row(int r) {
    constexpr float k = 1.f / 255.f;
    const uint8_t* in = data_ + static_cast<size_t>(r) * width_ * 4;
    for (int x = 0; x < width_; ++x, in += 4) {
      const float a = in[3] * k;
      row_[x] = Pixel4{in[0] * k * a, in[1] * k * a, in[2] * k * a, a};
    }
    return row_.data();
  }

 private:
  const uint8_t* data_;
  int width_;
  std::vector<Pixel4> row_;
};

class LevelRows {
 public:
  explicit LevelRows(const Level& level) : level_(level) {}
  const Pixel4* row(int r) const {
    return level_.pixels.data() + static_cast<size_t>(r) * level_.width;
  }

 private:
  const Level& level_;
};

// Resamples rows of `source` through the two axes, calling sink(j, row) with each destination
// row (pixels ax.begin..ax.end). Horizontally filtered rows are kept in a ring just large enough
// for the vertical taps, so memory stays proportional to one row.
template <class Rows, class Sink>
void resample(Rows& source, const Axis& ax, const Axis& ay, Sink&& sink) {
  const int dw = ax.end - ax.begin;
  const int ring = ay.maxTaps;
  std::vector<Pixel4> filtered(static_cast<size_t>(ring) * dw);
  std::vector<int> held(ring, -1);
  std::vector<Pixel4> out(dw);
  const auto filteredRow = [&](int r) -> const Pixel4* {
    Pixel4* dst = filtered.data() + static_cast<size_t>(r % ring) * dw;
    if (held[r % ring] == r) return dst;
    held[r % ring] = r;
    const Pixel4* in = source.row(r);
    for (int i = 0; i < dw; ++i) {
      const float* w = ax.weights.data() + ax.offset[i];
      const Pixel4* p = in + ax.first[i];
      Pixel4 acc = {0, 0, 0, 0};
      for (int k = 0; k < ax.count[i]; ++k) acc += w[k] * p[k];
      dst[i] = acc;
    }
    return dst;
  };
  for (int j = ay.begin; j < ay.end; ++j) {
    const int jj = j - ay.begin;
    const float* w = ay.weights.data() + ay.offset[jj];
    std::fill(out.begin(), out.end(), Pixel4{0, 0, 0, 0});
    for (int k = 0; k < ay.count[jj]; ++k) {
      const Pixel4* in = filteredRow(ay.first[jj] + k);
      const float wk = w[k];
      for (int i = 0; i < dw; ++i) out[i] += wk * in[i];
    }
    sink(j, jj, out.data());
  }
}

// Clamps a filtered pixel to a valid premultiplied value: ringing can overshoot.
inline Pixel4 clampPremultiplied(Pixel4 p) {
  const float a = std::clamp(p[3], 0.f, 1.f);
  return Pixel4{std::clamp(p[0], 0.f, a), std::clamp(p[1], 0.f, a), std::clamp(p[2], 0.f, a), a};
}

std::unique_ptr<Level> halve(int srcW, int srcH, auto& rows) {
  auto level = std::make_unique<Level>();
  level->width = std::max(1, (srcW + 1) / 2);
  level->height = std::max(1, (srcH + 1) / 2);
  level->pixels.resize(static_cast<size_t>(level->width) * level->height);
  const Axis ax = makeAxis(srcW, 0, level->width, level->width, Interpolation::kHigh);
  const Axis ay = makeAxis(srcH, 0, level->height, level->height, Interpolation::kHigh);
  resample(rows, ax, ay, [&](int j, int, const Pixel4* row) {
    Pixel4* dst = level->pixels.data() + static_cast<size_t>(j) * level->width;
    for (int i = 0; i < level->width; ++i) dst[i] = clampPremultiplied(row[i]);
  });
  return level;
}

}  // namespace

const Level* Pyramid::levelFor(double width, double height) {
  int w = base_.width(), h = base_.height();
  const Level* chosen = nullptr;
  for (size_t n = 0;; ++n) {
    const int nw = std::max(1, (w + 1) / 2), nh = std::max(1, (h + 1) / 2);
    if ((nw == w && nh == h) || nw < width || nh < height) return chosen;
    if (n == levels_.size()) {
      if (n == 0) {
        RasterRows rows(base_);
        levels_.push_back(halve(w, h, rows));
      } else {
        LevelRows rows(*levels_.back());
        levels_.push_back(halve(w, h, rows));
      }
    }
    chosen = levels_[n].get();
    w = nw;
    h = nh;
  }
}

void DrawingContext::drawImage(const Image& image, Rect rect) {
  if (!(rect.width > 0) || !(rect.height > 0)) return;
  Pyramid* pyramid = image.pyramidFor(static_cast<int>(
      std::ceil(std::min(std::max(rect.width, rect.height), double(kMaxPictureEdge)))));
  if (!pyramid) return;
  const Level* level =
      interpolation_ == Interpolation::kHigh ? pyramid->levelFor(rect.width, rect.height) : nullptr;
  const int sw = level ? level->width : pyramid->base().width();
  const int sh = level ? level->height : pyramid->base().height();
  const CanvasPixels px = canvasPixels(*canvas_);
  const int s = px.size;
  // Storage rows run top to bottom, so the rectangle's top edge is at s - (y + height).
  const Axis ax = makeAxis(sw, rect.x, rect.width, s, interpolation_);
  const Axis ay = makeAxis(sh, s - (rect.y + rect.height), rect.height, s, interpolation_);
  if (ax.begin >= ax.end || ay.begin >= ay.end) return;
  const auto composite = [&](int j, int jj, const Pixel4* row) {
    Pixel4* dst = reinterpret_cast<Pixel4*>(px.data) + static_cast<size_t>(j) * s + ax.begin;
    const float coverY = ay.cover[jj];
    for (int i = 0; i < ax.end - ax.begin; ++i) {
      const Pixel4 src = clampPremultiplied(row[i]) * (coverY * ax.cover[i]);
      dst[i] = src + dst[i] * (1 - src[3]);
    }
  };
  if (level) {
    LevelRows rows(*level);
    resample(rows, ax, ay, composite);
  } else {
    RasterRows rows(pyramid->base());
    resample(rows, ax, ay, composite);
  }
}

}  // namespace platform
