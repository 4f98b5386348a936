#include <gtest/gtest.h>
#include <png.h>

#include <cstring>

#include "platform/codecs/codecs.h"
#include "tests/test_support.h"

namespace {

// Chunk types of a PNG file, in order.
std::vector<std::string> chunkTypes(const std::vector<uint8_t>& png) {
  std::vector<std::string> types;
  for (size_t pos = 8; pos + 8 <= png.size();) {
    const uint32_t len =
        uint32_t(png[pos]) << 24 | png[pos + 1] << 16 | png[pos + 2] << 8 | png[pos + 3];
    types.emplace_back(reinterpret_cast<const char*>(&png[pos + 4]), 4);
    pos += 12 + len;
  }
  return types;
}

TEST(EncodePng, DecodesBackBitExactlyWithLibpng) {
  const platform::RasterImage pictures[] = {
      testing_support::makePicture(37, 23,
                                   [](int x, int y, int, int) {
                                     return uint32_t(x * 7 << 24 | y * 11 << 16 | (x ^ y) << 8 |
                                                     (x * y) % 256);
                                   }),
      testing_support::solidPicture(64, 64, 0, 0, 0, 0),
      testing_support::makePicture(1, 1, [](int, int, int, int) { return 0x12345678u; }),
  };
  for (const auto& picture : pictures) {
    auto png = platform::encodePng(picture, double(picture.width()), double(picture.height()));
    ASSERT_TRUE(png);
    const std::vector<uint8_t> pixels = testing_support::libpngReadRgba(*png);
    ASSERT_FALSE(pixels.empty());
    EXPECT_TRUE(
        std::equal(pixels.begin(), pixels.end(), picture.rgba().begin(), picture.rgba().end()));
  }
}

TEST(EncodePng, DeclaresOnePixelPerPointAndNothingTimeDependent) {
  const auto picture = testing_support::solidPicture(32, 32, 1, 2, 3, 4);
  auto png = platform::encodePng(picture, 32, 32);
  ASSERT_TRUE(png);
  EXPECT_EQ(chunkTypes(*png), (std::vector<std::string>{"IHDR", "pHYs", "IDAT", "IEND"}));
  const std::string_view key = "pHYs";
  const auto at = std::search(png->begin(), png->end(), key.begin(), key.end()) - png->begin();
  const uint8_t expected[9] = {0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x13, 1};  // 2835 px/m, metres
  EXPECT_EQ(std::memcmp(png->data() + at + 4, expected, 9), 0);
  // A 2x picture declared at half its pixels carries twice the density.
  auto retina = platform::encodePng(picture, 16, 16);
  const auto at2 =
      std::search(retina->begin(), retina->end(), key.begin(), key.end()) - retina->begin();
  EXPECT_EQ((*retina)[at2 + 6], 0x16);  // 5669 = 0x1625
}

}  // namespace
