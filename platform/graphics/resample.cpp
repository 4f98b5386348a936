// Image drawing: a separable, premultiplied-alpha Lanczos-3 resampler, anti-aliased at
// fractional rectangle edges. Large reductions go
// through a pyramid of exact halvings, so each size costs in proportion to its own pixels.
#include "platform/graphics/resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/codecs/limits.h"

namespace platform {
namespace {

double lanczos3(double x) {
  x = std::fabs(x);
  if (x < 1e-9) return 1;
  if (x >= 3) return 0;
  const double px = std::numbers::pi * x;
  return 3 * std::sin(px) * std::sin(px / 3) / (px * px);
}

// For each destination pixel of one axis: the source taps and their weights, and how much of the
// pixel the destination span covers.
struct Axis {
  int begin = 0, end = 0;  // destination pixels [begin, end)
  int maxTaps = 1;
  bool identity = false;  // source pixel i - offset lands whole on destination pixel i
  int offset0 = 0;        // for identity: destination begin minus source first pixel
  std::vector<int> first, count;
  std::vector<size_t> offset;
  std::vector<float> weights, cover;
};

Axis makeAxis(int srcLen, double dstPos, double dstLen, int canvasLen) {
  Axis axis;
  axis.begin = static_cast<int>(std::clamp(std::floor(dstPos), 0.0, double(canvasLen)));
  axis.end = static_cast<int>(std::clamp(std::ceil(dstPos + dstLen), 0.0, double(canvasLen)));
  const double f = srcLen / dstLen;
  const double filterScale = std::max(f, 1.0);
  const double support = 3 * filterScale;
  const bool aligned = f == 1 && dstPos == std::floor(dstPos);
  axis.identity = aligned && std::fabs(dstPos) <= kLimits.maxPictureEdge;
  axis.offset0 = axis.identity ? static_cast<int>(dstPos) : 0;
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
        const double w = lanczos3(x);
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
    using U8x4 = uint8_t __attribute__((vector_size(4)));
    constexpr float k = 1.f / 255.f;
    const uint8_t* in = data_ + static_cast<size_t>(r) * width_ * 4;
    for (int x = 0; x < width_; ++x, in += 4) {
      U8x4 bytes;
      std::memcpy(&bytes, in, sizeof bytes);
      const Pixel4 straight = __builtin_convertvector(bytes, Pixel4) * k;
      Pixel4 alpha = __builtin_shufflevector(straight, straight, 3, 3, 3, 3);
      alpha[3] = 1;
      row_[x] = straight * alpha;
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
    return level_.pixels.get() + static_cast<size_t>(r) * level_.width;
  }

 private:
  const Level& level_;
};

// One destination pixel of the horizontal pass, from the axis's taps.
inline Pixel4 filterPixel(const Axis& ax, const Pixel4* in, int i) {
  const float* w = ax.weights.data() + ax.offset[i];
  const Pixel4* p = in + ax.first[i];
  Pixel4 acc = {0, 0, 0, 0};
  for (int k = 0; k < ax.count[i]; ++k) acc += w[k] * p[k];
  return acc;
}

// The horizontal pass of one row for any axis.
struct GeneralRowFilter {
  const Axis& ax;
  void operator()(const Pixel4* in, Pixel4* dst) const {
    for (int i = 0; i < ax.end - ax.begin; ++i) dst[i] = filterPixel(ax, in, i);
  }
};

constexpr int kHalvingTaps = 12;

// An exact halving has the same 12 symmetric Lanczos-3 weights for every pixel away from the
// edges; with the taps fixed at compile time the loop is unrolled and the weights stay in
// registers, and taps k and 11 - k are added before they are weighted.
struct HalvingRowFilter {
  static constexpr int kTaps = kHalvingTaps;
  const Axis& ax;
  float w[kTaps];
  int interiorBegin, interiorEnd;  // output pixels whose taps are all inside the source row

  explicit HalvingRowFilter(const Axis& axis, int srcLen) : ax(axis) {
    // Output pixel i centres on source 2i + 1 and reads 2i - 5 .. 2i + 6.
    interiorBegin = std::min(3, ax.end);
    interiorEnd = std::max(interiorBegin, std::min(ax.end, (srcLen - 6) / 2));
    const int probe = interiorBegin;
    if (srcLen != 2 * ax.end || probe >= interiorEnd || ax.count[probe] != kTaps) {
      interiorEnd = interiorBegin;
      return;
    }
    for (int k = 0; k < kTaps; ++k) w[k] = ax.weights[ax.offset[probe] + k];
    for (int k = 0; k < kTaps / 2; ++k)
      if (w[k] != w[kTaps - 1 - k]) interiorEnd = interiorBegin;
  }
  void operator()(const Pixel4* in, Pixel4* dst) const {
    for (int i = 0; i < interiorBegin; ++i) dst[i] = filterPixel(ax, in, i);
    for (int i = interiorBegin; i < interiorEnd; ++i) {
      const Pixel4* p = in + 2 * i - 5;
      Pixel4 acc = {0, 0, 0, 0};
      for (int k = 0; k < kTaps / 2; ++k) acc += w[k] * (p[k] + p[kTaps - 1 - k]);
      dst[i] = acc;
    }
    for (int i = interiorEnd; i < ax.end; ++i) dst[i] = filterPixel(ax, in, i);
  }
};

// Resamples rows of `source` through the two axes, calling sink(j, row) with each destination
// row (pixels ax.begin..ax.end). Horizontally filtered rows are kept in a ring just large enough
// for the vertical taps, so memory stays proportional to one row.
template <class Rows, class RowFilter, class Sink>
void resample(Rows& source, const RowFilter& filterRow, const Axis& ax, const Axis& ay,
              Sink&& sink) {
  const int dw = ax.end - ax.begin;
  const int ring = ay.maxTaps;
  std::vector<Pixel4> filtered(static_cast<size_t>(ring) * dw);
  std::vector<int> held(ring, -1);
  std::vector<Pixel4> out(dw);
  const auto filteredRow = [&](int r) -> const Pixel4* {
    Pixel4* dst = filtered.data() + static_cast<size_t>(r % ring) * dw;
    if (held[r % ring] == r) return dst;
    held[r % ring] = r;
    filterRow(source.row(r), dst);
    return dst;
  };
  for (int j = ay.begin; j < ay.end; ++j) {
    const int jj = j - ay.begin;
    const float* w = ay.weights.data() + ay.offset[jj];
    if (ay.count[jj] == kHalvingTaps) {
      // The common case of a halving: every tap's row at hand, one store per pixel.
      const Pixel4* in[kHalvingTaps];
      for (int k = 0; k < kHalvingTaps; ++k) in[k] = filteredRow(ay.first[jj] + k);
      bool symmetric = true;
      for (int k = 0; k < kHalvingTaps / 2; ++k) symmetric &= w[k] == w[kHalvingTaps - 1 - k];
      if (symmetric) {
        for (int i = 0; i < dw; ++i) {
          Pixel4 acc = {0, 0, 0, 0};
          for (int k = 0; k < kHalvingTaps / 2; ++k)
            acc += w[k] * (in[k][i] + in[kHalvingTaps - 1 - k][i]);
          out[i] = acc;
        }
      } else {
        for (int i = 0; i < dw; ++i) {
          Pixel4 acc = {0, 0, 0, 0};
          for (int k = 0; k < kHalvingTaps; ++k) acc += w[k] * in[k][i];
          out[i] = acc;
        }
      }
    } else {
      std::fill(out.begin(), out.end(), Pixel4{0, 0, 0, 0});
      for (int k = 0; k < ay.count[jj]; ++k) {
        const Pixel4* in = filteredRow(ay.first[jj] + k);
        const float wk = w[k];
        for (int i = 0; i < dw; ++i) out[i] += wk * in[i];
      }
    }
    sink(j, jj, out.data());
  }
}

// Clamps a filtered pixel to a valid premultiplied value: ringing can overshoot.
inline Pixel4 clampPremultiplied(Pixel4 p) {
  const Pixel4 zero = {0, 0, 0, 0}, one = {1, 1, 1, 1};
  p = p < zero ? zero : p;
  p = p > one ? one : p;
  const Pixel4 alpha = {p[3], p[3], p[3], p[3]};
  return p > alpha ? alpha : p;
}

std::unique_ptr<Level> halve(int srcW, int srcH, auto& rows) {
  auto level = std::make_unique<Level>();
  level->width = std::max(1, (srcW + 1) / 2);
  level->height = std::max(1, (srcH + 1) / 2);
  level->pixels =
      allocateArray<Pixel4>(static_cast<size_t>(level->width) * level->height, false, true);
  if (!level->pixels) return nullptr;
  const Axis ax = makeAxis(srcW, 0, level->width, level->width);
  const Axis ay = makeAxis(srcH, 0, level->height, level->height);
  const HalvingRowFilter filterRow(ax, srcW);
  resample(rows, filterRow, ax, ay, [&](int j, int, const Pixel4* row) {
    Pixel4* dst = level->pixels.get() + static_cast<size_t>(j) * level->width;
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
      std::unique_ptr<Level> next;
      if (n == 0) {
        RasterRows rows(base_);
        next = halve(w, h, rows);
      } else {
        LevelRows rows(*levels_.back());
        next = halve(w, h, rows);
      }
      if (!next) return chosen;
      levels_.push_back(std::move(next));
    }
    chosen = levels_[n].get();
    w = nw;
    h = nh;
  }
}

void drawPicture(CanvasPixels px, Pyramid& pyramid, Rect rect) {
  if (!(rect.width > 0) || !(rect.height > 0)) return;
  const Level* level = pyramid.levelFor(rect.width, rect.height);
  const int sw = level ? level->width : pyramid.base().width();
  const int sh = level ? level->height : pyramid.base().height();
  const int s = px.size;
  // Storage rows run top to bottom, so the rectangle's top edge is at s - (y + height).
  const Axis ax = makeAxis(sw, rect.x, rect.width, s);
  const Axis ay = makeAxis(sh, s - (rect.y + rect.height), rect.height, s);
  if (ax.begin >= ax.end || ay.begin >= ay.end) return;
  const auto composite = [&](int j, int jj, const Pixel4* row) {
    uint16_t* dst = px.data + (static_cast<size_t>(j) * s + ax.begin) * 4;
    const float coverY = ay.cover[jj];
    for (int i = 0; i < ax.end - ax.begin; ++i, dst += 4)
      blendPixel(dst, clampPremultiplied(row[i]), coverY * ax.cover[i]);
  };
  // A picture drawn at its own size on whole pixels is composited row by row, unfiltered; its
  // pixels are valid premultiplied values already and cover their destination pixels whole.
  const auto draw = [&](auto& rows) {
    if (ax.identity && ay.identity) {
      for (int j = ay.begin; j < ay.end; ++j) {
        const Pixel4* in = rows.row(j - ay.offset0) + (ax.begin - ax.offset0);
        uint16_t* dst = px.data + (static_cast<size_t>(j) * s + ax.begin) * 4;
        for (int i = 0; i < ax.end - ax.begin; ++i, dst += 4) blendPixel(dst, in[i], 1);
      }
    } else {
      resample(rows, GeneralRowFilter{ax}, ax, ay, composite);
    }
  };
  if (level) {
    LevelRows rows(*level);
    draw(rows);
  } else {
    RasterRows rows(pyramid.base());
    draw(rows);
  }
}

}  // namespace platform
