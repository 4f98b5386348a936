// Image drawing quality: large reductions against a reference Lanczos-3 computed here in double
// precision, and no colour bleeding from fully transparent pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/graphics/drawing.h"
#include "tests/test_support.h"

namespace {

using platform::RasterImage;

// A detailed picture: fine sine gratings of several frequencies, a hard-edged disc and noise.
uint32_t detailed(int x, int y, int w, int) {
  const double u = double(x) / w, v = double(y) / w;
  const double r = 127.5 + 127.5 * std::sin(2 * std::numbers::pi * (u * 37 + v * 11));
  const double g = 127.5 + 127.5 * std::sin(2 * std::numbers::pi * (u * 5 - v * 23));
  const bool inDisc = std::hypot(u - 0.5, v - 0.5) < 0.3;
  const uint32_t hash = (uint32_t(x) * 73856093u) ^ (uint32_t(y) * 19349663u);
  const double b = inDisc ? 230 : double(hash % 64);
  return uint32_t(r) << 24 | uint32_t(g) << 16 | uint32_t(b) << 8 | 0xFF;
}

double lanczos3(double x) {
  x = std::fabs(x);
  if (x < 1e-12) return 1;
  if (x >= 3) return 0;
  const double p = std::numbers::pi * x;
  return 3 * std::sin(p) * std::sin(p / 3) / (p * p);
}

// Straightforward 2D reference: every output pixel sums the kernel over the whole source.
std::vector<double> reference(const RasterImage& src, int size) {
  const int n = src.width();
  const double f = double(n) / size;
  std::vector<std::vector<double>> weights(size, std::vector<double>(n));
  for (int i = 0; i < size; ++i) {
    double sum = 0;
    for (int k = 0; k < n; ++k) sum += weights[i][k] = lanczos3((k + 0.5 - (i + 0.5) * f) / f);
    for (double& w : weights[i]) w /= sum;
  }
  std::vector<double> out(size_t(size) * size * 3);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      for (int c = 0; c < 3; ++c) {
        double acc = 0;
        for (int sy = 0; sy < n; ++sy) {
          if (weights[y][sy] == 0) continue;
          double row = 0;
          for (int sx = 0; sx < n; ++sx)
            if (weights[x][sx] != 0)
              row += weights[x][sx] * src.rgba()[(size_t(sy) * n + sx) * 4 + c];
          acc += weights[y][sy] * row;
        }
        out[(size_t(y) * size + x) * 3 + c] = std::clamp(acc, 0.0, 255.0);
      }
  return out;
}

RasterImage draw(const RasterImage& src, int size) {
  auto canvas = platform::Canvas::create(size);
  platform::DrawingContext context(*canvas);
  context.drawImage(platform::Image::fromPicture(src), {0, 0, double(size), double(size)});
  return *platform::snapshot(*canvas);
}

double psnr(const RasterImage& image, const std::vector<double>& ref) {
  double se = 0;
  for (size_t p = 0; p < ref.size() / 3; ++p)
    for (int c = 0; c < 3; ++c) {
      const double e = image.rgba()[p * 4 + c] - ref[p * 3 + c];
      se += e * e;
    }
  return 10 * std::log10(255.0 * 255.0 / (se / double(ref.size())));
}

TEST(Resample, LargeReductionsMatchAReferenceLanczos) {
  const RasterImage src = testing_support::makePicture(1024, 1024, detailed);
  for (int size : {16, 32}) {
    const std::vector<double> ref = reference(src, size);
    const double ours = psnr(draw(src, size), ref);
    RecordProperty("psnr_" + std::to_string(size), std::to_string(ours));
    EXPECT_GT(ours, 40.0) << size;
    // The bar is one that a sampling reducer fails: picking the nearest pixel is far off.
    auto nearest = platform::allocatePixels(size, size);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x)
        std::memcpy(nearest.get() + (size_t(y) * size + x) * 4,
                    src.rgba().data() + (size_t(y * 1024 / size) * 1024 + x * 1024 / size) * 4, 4);
    EXPECT_LT(psnr(RasterImage(size, size, std::move(nearest)), ref), 30.0) << size;
  }
}

TEST(Resample, NoHaloFromHiddenColourUnderTransparency) {
  // Opaque green on the left, fully transparent red on the right.
  const RasterImage src = testing_support::makePicture(
      1024, 1024, [](int x, int, int w, int) { return x < w / 2 + 7 ? 0x00FF00FFu : 0xFF000000u; });
  for (int size : {16, 32, 128}) {
    const RasterImage out = draw(src, size);
    int partial = 0;
    for (size_t p = 0; p < size_t(size) * size; ++p) {
      const uint8_t* px = out.rgba().data() + p * 4;
      if (px[3] == 0) continue;
      partial += px[3] < 255;
      EXPECT_LE(px[0], 1) << size;
      EXPECT_GE(px[1], 250) << size;
    }
    EXPECT_GT(partial, 0) << size;
  }
}

TEST(Resample, SameSizeIsExact) {
  const RasterImage src = testing_support::makePicture(64, 64, detailed);
  const RasterImage out = draw(src, 64);
  EXPECT_TRUE(std::equal(src.rgba().begin(), src.rgba().end(), out.rgba().begin()));
}

}  // namespace
