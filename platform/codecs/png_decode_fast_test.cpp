#include "platform/codecs/png_decode_fast.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <png.h>

#include <cstring>

#include "platform/codecs/codecs.h"
#include "tests/test_support.h"

namespace {

void putU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}

// A noisy picture written by libpng with every filter type in play and IDAT split into
// small chunks, so the fast path sees what other encoders produce.
std::vector<uint8_t> libpngFile(int w, int h, int colorType, int channels) {
  std::vector<std::vector<uint8_t>> rows(h, std::vector<uint8_t>(size_t(w) * channels));
  uint32_t seed = 12345;
  for (int y = 0; y < h; ++y)
    for (size_t i = 0; i < rows[y].size(); ++i) {
      seed = seed * 1103515245 + 12345;
      // Smooth ramps with some noise, so filters other than None win on some rows.
      rows[y][i] = uint8_t((i * 3 + y * 5) + ((seed >> 16) & (y % 3 == 0 ? 0xFF : 0x07)));
    }
  testing_support::LibpngOptions options;
  options.colorType = colorType;
  options.allFilters = true;
  options.bufferSize = 256;
  return testing_support::libpngWrite(w, h, rows, options);
}

size_t chunkOffset(const std::vector<uint8_t>& file, const char* type) {
  for (size_t pos = 8; pos + 12 <= file.size();) {
    const uint32_t len =
        uint32_t(file[pos]) << 24 | file[pos + 1] << 16 | file[pos + 2] << 8 | file[pos + 3];
    if (std::memcmp(&file[pos + 4], type, 4) == 0) return pos;
    pos += 12 + len;
  }
  return 0;
}

TEST(DecodePngFast, AgreesWithLibpngForEveryColourTypeAndFilter) {
  const struct {
    int colorType, channels;
  } cases[] = {{PNG_COLOR_TYPE_RGBA, 4},
               {PNG_COLOR_TYPE_RGB, 3},
               {PNG_COLOR_TYPE_GRAY_ALPHA, 2},
               {PNG_COLOR_TYPE_GRAY, 1}};
  for (const auto& c : cases) {
    const auto file = libpngFile(61, 47, c.colorType, c.channels);
    auto fast = platform::tryDecodePngFast(file);
    ASSERT_EQ(fast.outcome, platform::FastPng::kDecoded) << c.colorType;
    const auto expected = testing_support::libpngReadRgba(file);
    const auto got = fast.image->rgba();
    EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin(), expected.end()))
        << c.colorType;
  }
}

TEST(DecodePngFast, RefusesCorruptOrOverdeclaredFilesAndLeavesTheRestToLibpng) {
  const auto good = libpngFile(20, 20, PNG_COLOR_TYPE_RGBA, 4);

  auto badCrc = good;
  badCrc[chunkOffset(badCrc, "IDAT") + 8] ^= 0x01;
  EXPECT_EQ(platform::tryDecodePngFast(badCrc).outcome, platform::FastPng::kBroken);
  EXPECT_FALSE(platform::decodePng(badCrc));

  // 16000 x 16000 declared over a few hundred bytes of data.
  auto overdeclared = good;
  putU32(&overdeclared[16], 16000);
  putU32(&overdeclared[20], 16000);
  putU32(&overdeclared[29], libdeflate_crc32(0, &overdeclared[12], 17));
  EXPECT_EQ(platform::tryDecodePngFast(overdeclared).outcome, platform::FastPng::kBroken);
  EXPECT_FALSE(platform::decodePng(overdeclared));

  auto sixteenBit = good;
  sixteenBit[24] = 16;
  putU32(&sixteenBit[29], libdeflate_crc32(0, &sixteenBit[12], 17));
  EXPECT_EQ(platform::tryDecodePngFast(sixteenBit).outcome, platform::FastPng::kNotHandled);
}

}  // namespace
