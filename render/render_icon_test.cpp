#include "render/render_icon.h"

#include <gtest/gtest.h>

#include <cmath>

#include "render/badge_geometry.h"
#include "tests/test_support.h"

namespace {

using testing_support::pixelAt;
using testing_support::Rgba;

const Color kBlue{37 / 255.0, 99 / 255.0, 235 / 255.0, 1};

Image greenBase() {
  return Image::fromPicture(testing_support::solidPicture(64, 64, 0, 200, 0, 255));
}

bool near(Rgba p, Rgba q, int tolerance) {
  return std::abs(p.r - q.r) <= tolerance && std::abs(p.g - q.g) <= tolerance &&
         std::abs(p.b - q.b) <= tolerance && std::abs(p.a - q.a) <= tolerance;
}

// The badge's place, from the function the renderer draws it with.
struct Geometry {
  double s, d, m, r, cx, cy;
  explicit Geometry(int size) : s(size) {
    const BadgeGeometry g = badgeGeometry(size);
    d = g.disc.width;
    m = g.disc.y;
    r = g.ringWidth;
    cx = platform::midX(g.disc);
    cy = platform::midY(g.disc);
  }
};

TEST(RenderIcon, ProbesAtTheBadgeGeometry) {
  for (int size : {128, 256, 512, 1024}) {
    const Geometry g(size);
    const auto image = renderIcon(greenBase(), size, "3", kBlue);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width(), size);
    // Base outside the ring, top left.
    EXPECT_TRUE(near(pixelAt(*image, int(g.s * 0.1), int(g.s * 0.9)), {0, 200, 0, 255}, 0));
    // Disc colour near its bottom, where no glyph is.
    EXPECT_TRUE(near(pixelAt(*image, int(g.cx), int(g.cy - g.d * 0.42)), {37, 99, 235, 255}, 1))
        << size;
    // The ring, left of the disc and below it.
    if (g.r >= 4) {
      EXPECT_TRUE(
          near(pixelAt(*image, int(g.cx - g.d / 2 - g.r / 2), int(g.cy)), {255, 255, 255, 255}, 1))
          << size;
      EXPECT_TRUE(near(pixelAt(*image, int(g.cx), int(g.m - g.r / 2)), {255, 255, 255, 255}, 1))
          << size;
    }
    // Just outside the ring on the left: the base again.
    EXPECT_TRUE(near(pixelAt(*image, int(std::floor(g.cx - g.d / 2 - g.r - 2)), int(g.cy)),
                     {0, 200, 0, 255}, 0))
        << size;
    // The glyph: white pixels near the disc centre.
    int white = 0;
    for (int dx = -int(g.d / 4); dx <= int(g.d / 4); ++dx)
      for (int dy = -int(g.d / 4); dy <= int(g.d / 4); ++dy)
        white += near(pixelAt(*image, int(g.cx) + dx, int(g.cy) + dy), {255, 255, 255, 255}, 2);
    EXPECT_GT(white, int(g.d * g.d / 40)) << size;
  }
}

TEST(RenderIcon, RingIsClippedAtTheCanvasEdgeAtSmallSizes) {
  // At 64 px the ring runs 0.22 px past the right and bottom edges, so the last column and row
  // under the disc centre are all ring.
  const Geometry g64(64);
  const auto at64 = renderIcon(greenBase(), 64, "3", kBlue);
  ASSERT_TRUE(at64);
  EXPECT_TRUE(near(pixelAt(*at64, 63, int(g64.cy)), {255, 255, 255, 255}, 2));
  EXPECT_TRUE(near(pixelAt(*at64, int(g64.cx), 0), {255, 255, 255, 255}, 2));
  // At 16 and 32 px the edge pixels mix the ring's white and the disc's blue: neither is cut off.
  for (int size : {16, 32}) {
    const Geometry g(size);
    const auto image = renderIcon(greenBase(), size, "3", kBlue);
    ASSERT_TRUE(image);
    for (Rgba p : {pixelAt(*image, size - 1, int(g.cy)), pixelAt(*image, int(g.cx), 0)}) {
      EXPECT_GT(p.r, 37 + 20) << size;
      EXPECT_LT(p.r, 255 - 20) << size;
      EXPECT_LT(p.g, 255) << size;
      EXPECT_EQ(p.a, 255) << size;
    }
  }
}

TEST(RenderIcon, EmptyLabelIsTheScaledBaseAlone) {
  const Image base =
      Image::fromPicture(testing_support::makePicture(100, 60, [](int x, int y, int, int) {
        return uint32_t((x * 2) << 24 | (y * 4) << 16 | 0xFF);
      }));
  for (int size : {16, 64, 256}) {
    const auto plain = renderIcon(base, size, "", kBlue);
    const auto badged = renderIcon(base, size, "3", kBlue);
    ASSERT_TRUE(plain && badged);
    const Geometry g(size);
    const double ringLeft = g.cx - g.d / 2 - g.r, ringTop = g.cy + g.d / 2 + g.r;
    int differing = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const Rgba a = pixelAt(*plain, x, y), b = pixelAt(*badged, x, y);
        const bool same = near(a, b, 0);
        if (x + 1 < ringLeft || y > ringTop + 1) {
          EXPECT_TRUE(same) << size << " " << x << "," << y;
        }
        differing += !same;
        // A stretched, opaque base covers the whole square.
        EXPECT_EQ(a.a, 255);
      }
    EXPECT_GT(differing, size * size / 10);
  }
  // A solid base stays exactly that colour at every size.
  for (int size : {16, 32, 1024}) {
    const auto plain = renderIcon(greenBase(), size, "", kBlue);
    ASSERT_TRUE(plain);
    for (int y = 0; y < size; y += 7)
      for (int x = 0; x < size; x += 7)
        ASSERT_TRUE(near(pixelAt(*plain, x, y), {0, 200, 0, 255}, 0));
  }
}

// Counts white pixels inside the disc, away from its edge.
int whiteInDisc(const RasterImage& image) {
  const Geometry g(image.width());
  int white = 0;
  for (int y = 0; y < image.width(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (std::hypot(x + 0.5 - g.cx, y + 0.5 - g.cy) < g.d * 0.45)
        white += near(pixelAt(image, x, y), {255, 255, 255, 255}, 40);
  return white;
}

TEST(RenderIcon, TextChoices) {
  const auto space = renderIcon(greenBase(), 256, " 12", kBlue);
  ASSERT_TRUE(space);
  EXPECT_EQ(whiteInDisc(*space), 0);  // a single space: ring and disc only
  // Characters the built-in face lacks come from the machine's fonts.
  const auto arabic = renderIcon(greenBase(), 256, "\xD9\xA3\xD9\xA4", kBlue);
  ASSERT_TRUE(arabic);
  EXPECT_GT(whiteInDisc(*arabic), 500);
  const auto initial = renderIcon(greenBase(), 256, "work", kBlue);
  ASSERT_TRUE(initial);
  EXPECT_GT(whiteInDisc(*initial), 2000);
}

TEST(RenderIcon, ALabelStartingWithAnInvisibleCharacterDrawsNoText) {
  const char* labels[] = {"\t3", "\nB", "\r\n12", "\x01x", "\u200B7"};
  for (const char* label : labels) {
    const auto image = renderIcon(greenBase(), 256, label, kBlue);
    ASSERT_TRUE(image);
    EXPECT_EQ(whiteInDisc(*image), 0) << int(label[0]);
  }
}

TEST(RenderIcon, LongCounterIsNeitherShrunkNorCut) {
  const int size = 1024;
  const Geometry g(size);
  const auto image = renderIcon(greenBase(), size, "123456", kBlue);
  ASSERT_TRUE(image);
  // Six digits at 0.45 of the disc set wider than the ring: white appears left of it.
  bool whiteLeftOfRing = false;
  for (int x = 0; x < int(g.cx - g.d / 2 - g.r) - 2; ++x)
    for (int y = int(g.cy - g.d * 0.1); y < int(g.cy + g.d * 0.1); ++y)
      whiteLeftOfRing |= near(pixelAt(*image, x, y), {255, 255, 255, 255}, 2);
  EXPECT_TRUE(whiteLeftOfRing);
}

TEST(RenderIcon, NoImageWithoutACanvas) {
  EXPECT_FALSE(renderIcon(greenBase(), 0, "3", kBlue));
  EXPECT_FALSE(renderIcon(greenBase(), -16, "3", kBlue));
}

TEST(RenderIcon, NonSquareBaseIsStretched) {
  // Top half red, bottom half blue, on a wide picture: the square keeps the halves.
  const Image base = Image::fromPicture(testing_support::makePicture(
      200, 50, [](int, int y, int, int h) { return y < h / 2 ? 0xFF0000FFu : 0x0000FFFFu; }));
  const auto image = renderIcon(base, 128, "", kBlue);
  ASSERT_TRUE(image);
  EXPECT_TRUE(near(pixelAt(*image, 64, 100), {255, 0, 0, 255}, 0));
  EXPECT_TRUE(near(pixelAt(*image, 64, 20), {0, 0, 255, 255}, 0));
}

}  // namespace
