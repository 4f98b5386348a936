#include "input/load_base.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <png.h>

#include "icns/icns.h"
#include "platform/codecs/codecs.h"
#include "tests/test_support.h"

namespace {

using platform::Image;
using platform::RasterImage;
using testing_support::Rgba;

std::string fixture(const std::string& name) { return std::string(FIXTURES_DIR) + "/" + name; }

Rgba at(const RasterImage& image, int x, int yDown) {
  return testing_support::pixelAt(image, x, image.height() - 1 - yDown);
}
bool near(Rgba p, Rgba q, int t) {
  return std::abs(p.r - q.r) <= t && std::abs(p.g - q.g) <= t && std::abs(p.b - q.b) <= t &&
         std::abs(p.a - q.a) <= t;
}

// Writes a PNG with libpng's full interface: any colour type, depth and interlacing.
std::vector<uint8_t> writePng(int w, int h, int depth, int colorType, bool interlace,
                              const std::vector<std::vector<uint8_t>>& rows,
                              const std::vector<png_color>& palette = {},
                              const std::vector<uint8_t>& trns = {}) {
  testing_support::LibpngOptions options;
  options.depth = depth;
  options.colorType = colorType;
  options.interlace = interlace;
  options.palette = palette;
  options.trns = trns;
  return testing_support::libpngWrite(w, h, rows, options);
}

// Rows of a 16 x 8 picture whose left half has value `left` and right half `right`, per sample.
std::vector<std::vector<uint8_t>> halfRows(size_t bytesPerPixel, std::vector<uint8_t> left,
                                           std::vector<uint8_t> right) {
  std::vector<std::vector<uint8_t>> rows(8);
  for (auto& row : rows)
    for (int x = 0; x < 16; ++x) {
      const auto& v = x < 8 ? left : right;
      row.insert(row.end(), v.begin(), v.begin() + bytesPerPixel);
    }
  return rows;
}

TEST(LoadPng, EveryColourTypeAndDepth) {
  const Rgba red{255, 0, 0, 255}, blue{0, 0, 255, 255};
  const struct {
    const char* name;
    std::vector<uint8_t> png;
    Rgba left, right;
  } cases[] = {
      {"rgba8",
       writePng(16, 8, 8, PNG_COLOR_TYPE_RGBA, false,
                halfRows(4, {255, 0, 0, 255}, {0, 0, 255, 128})),
       red,
       {0, 0, 255, 128}},
      {"rgb8 interlaced",
       writePng(16, 8, 8, PNG_COLOR_TYPE_RGB, true, halfRows(3, {255, 0, 0}, {0, 0, 255})), red,
       blue},
      {"rgba16",
       writePng(
           16, 8, 16, PNG_COLOR_TYPE_RGBA, false,
           halfRows(8, {0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF}, {0, 0, 0, 0, 0xFF, 0xFF, 0x80, 0x00})),
       red,
       {0, 0, 255, 128}},
      {"grey8",
       writePng(16, 8, 8, PNG_COLOR_TYPE_GRAY, false, halfRows(1, {0}, {200})),
       {0, 0, 0, 255},
       {200, 200, 200, 255}},
      {"grey16 interlaced",
       writePng(16, 8, 16, PNG_COLOR_TYPE_GRAY, true, halfRows(2, {0, 0}, {0xC8, 0xC8})),
       {0, 0, 0, 255},
       {200, 200, 200, 255}},
      {"grey-alpha",
       writePng(16, 8, 8, PNG_COLOR_TYPE_GRAY_ALPHA, false, halfRows(2, {10, 0}, {20, 255})),
       {10, 10, 10, 0},
       {20, 20, 20, 255}},
      {"grey1",
       writePng(16, 8, 1, PNG_COLOR_TYPE_GRAY, false, {8, {0x00, 0xFF}}),
       {0, 0, 0, 255},
       {255, 255, 255, 255}},
      {"palette4 with tRNS",
       writePng(16, 8, 4, PNG_COLOR_TYPE_PALETTE, false,
                {8, {0x00, 0x00, 0x00, 0x00, 0x11, 0x11, 0x11, 0x11}}, {{255, 0, 0}, {0, 0, 255}},
                {255, 7}),
       red,
       {0, 0, 255, 7}},
  };
  for (const auto& c : cases) {
    const auto image = platform::decodePng(c.png);
    ASSERT_TRUE(image) << c.name;
    EXPECT_EQ(image->width(), 16) << c.name;
    EXPECT_EQ(image->height(), 8) << c.name;
    EXPECT_TRUE(near(at(*image, 0, 0), c.left, 0)) << c.name;
    EXPECT_TRUE(near(at(*image, 15, 7), c.right, 0)) << c.name;
    EXPECT_TRUE(decodeBaseImage(c.png)) << c.name;
  }
}

TEST(LoadPng, RefusesBrokenAndOversizedFiles) {
  std::vector<uint8_t> good =
      writePng(16, 8, 8, PNG_COLOR_TYPE_RGB, false, halfRows(3, {1, 2, 3}, {4, 5, 6}));
  std::vector<uint8_t> truncated(good.begin(), good.begin() + good.size() / 2);
  EXPECT_FALSE(platform::decodePng(truncated));
  // 20000 x 20000 declared: refused from the header, nothing allocated.
  std::vector<uint8_t> huge = good;
  huge[16] = 0, huge[17] = 0, huge[18] = 0x4E, huge[19] = 0x20;
  huge[20] = 0, huge[21] = 0, huge[22] = 0x4E, huge[23] = 0x20;
  const uint32_t crc = libdeflate_crc32(0, &huge[12], 17);
  for (int i = 0; i < 4; ++i) huge[29 + i] = uint8_t(crc >> (24 - 8 * i));
  EXPECT_FALSE(platform::decodePng(huge));
  EXPECT_FALSE(decodeBaseImage(std::vector<uint8_t>{'n', 'o', 't'}));
  EXPECT_FALSE(decodeBaseImage({}));
}

TEST(LoadOtherFormats, ByContent) {
  const Rgba red{255, 0, 0, 255}, blue{0, 0, 255, 255};
  const struct {
    const char* file;
    int w, h, tolerance;
    Rgba topLeft, bottomRight;
  } cases[] = {
      {"halves.jpg", 16, 8, 8, red, blue},
      {"rotated.jpg", 8, 16, 8, red, blue},  // EXIF orientation 6 applied: red on top
      {"cmyk.jpg", 16, 8, 12, red, blue},
      {"halves.gif", 16, 8, 0, red, blue},
      {"transparent.gif", 16, 8, 0, {0, 0, 0, 0}, blue},
      {"halves.bmp", 16, 8, 0, red, blue},
      {"halves.tif", 16, 8, 0, red, blue},
      {"halves.webp", 16, 8, 0, red, blue},
      {"halves32.jp2", 32, 32, 0, red, blue},
      {"halves32.j2k", 32, 32, 0, red, blue},
  };
  for (const auto& c : cases) {
    // A misleading extension changes nothing: the loader goes by content.
    testing_support::TempDir dir;
    const std::string renamed = dir / "picture.icns";
    testing_support::writeBytes(renamed, testing_support::readBytes(fixture(c.file)));
    const auto image = loadBaseImage(renamed);
    ASSERT_TRUE(image) << c.file;
    const auto picture = image->pictureFor(16);
    ASSERT_TRUE(picture) << c.file;
    EXPECT_EQ(picture->width(), c.w) << c.file;
    EXPECT_EQ(picture->height(), c.h) << c.file;
    EXPECT_TRUE(near(at(*picture, 0, 0), c.topLeft, c.tolerance)) << c.file;
    EXPECT_TRUE(near(at(*picture, c.w - 1, c.h - 1), c.bottomRight, c.tolerance)) << c.file;
  }
}

TEST(LoadOtherFormats, MissingOrUnreadableInputGivesNothing) {
  testing_support::TempDir dir;
  EXPECT_FALSE(loadBaseImage(dir / "missing.png"));
  EXPECT_FALSE(loadBaseImage(dir.path()));  // a directory
  EXPECT_FALSE(loadBaseImage(""));
}

// --- ICNS ---

std::vector<uint8_t> literalPlanes(const std::vector<std::vector<uint8_t>>& planes) {
  std::vector<uint8_t> out;
  for (const auto& plane : planes)
    for (size_t i = 0; i < plane.size(); i += 128) {
      const size_t n = std::min<size_t>(128, plane.size() - i);
      out.push_back(uint8_t(n - 1));
      out.insert(out.end(), plane.begin() + i, plane.begin() + i + n);
    }
  return out;
}

std::vector<uint8_t> container(
    const std::vector<std::pair<const char*, std::vector<uint8_t>>>& chunks) {
  std::vector<icns::Chunk> list;
  for (const auto& [type, data] : chunks)
    list.push_back({icns::fourcc(*reinterpret_cast<const char(*)[5]>(type)), data});
  return icns::write(list);
}

std::vector<uint8_t> solidPng(int edge, uint8_t r, uint8_t g, uint8_t b) {
  return *platform::encodePng(testing_support::solidPicture(edge, edge, r, g, b, 255), edge, edge);
}

RasterImage onlyPicture(const std::vector<uint8_t>& file, int pixels = 16) {
  const auto image = decodeBaseImage(file);
  EXPECT_TRUE(image);
  if (!image) return testing_support::solidPicture(1, 1, 0, 0, 0, 0);
  return *image->pictureFor(pixels);
}

TEST(LoadIcns, EveryImageType) {
  const int n16 = 16 * 16;
  const auto argb =
      icns::encodeArgb(testing_support::solidPicture(16, 16, 10, 20, 30, 40).rgba(), 16);
  {
    const RasterImage p = onlyPicture(container({{"ic04", argb}}));
    EXPECT_TRUE(near(at(p, 5, 5), {10, 20, 30, 40}, 0));
  }
  {
    const auto rgb = literalPlanes(
        {std::vector<uint8_t>(n16, 1), std::vector<uint8_t>(n16, 2), std::vector<uint8_t>(n16, 3)});
    const RasterImage p =
        onlyPicture(container({{"is32", rgb}, {"s8mk", std::vector<uint8_t>(n16, 99)}}));
    EXPECT_TRUE(near(at(p, 3, 3), {1, 2, 3, 99}, 0));
  }
  {
    std::vector<uint8_t> it32 = {0, 0, 0, 0};
    const auto planes =
        literalPlanes({std::vector<uint8_t>(128 * 128, 7), std::vector<uint8_t>(128 * 128, 8),
                       std::vector<uint8_t>(128 * 128, 9)});
    it32.insert(it32.end(), planes.begin(), planes.end());
    const RasterImage p = onlyPicture(
        container({{"it32", it32}, {"t8mk", std::vector<uint8_t>(128 * 128, 200)}}), 128);
    EXPECT_EQ(p.width(), 128);
    EXPECT_TRUE(near(at(p, 100, 100), {7, 8, 9, 200}, 0));
  }
  {
    const RasterImage p = onlyPicture(container({{"ic07", solidPng(128, 50, 60, 70)}}), 128);
    EXPECT_TRUE(near(at(p, 0, 0), {50, 60, 70, 255}, 0));
  }
  for (const char* jpeg2000 : {"halves32.jp2", "halves32.j2k"}) {
    const RasterImage p =
        onlyPicture(container({{"ic05", testing_support::readBytes(fixture(jpeg2000))}}), 32);
    EXPECT_TRUE(near(at(p, 0, 0), {255, 0, 0, 255}, 0)) << jpeg2000;
  }
  {
    // Classic 1-bit icon: top half black, with a mask that hides the left half.
    std::vector<uint8_t> icn(256, 0);
    for (int i = 0; i < 64; ++i) icn[i] = 0xFF;
    for (int row = 0; row < 32; ++row) icn[128 + row * 4 + 2] = icn[128 + row * 4 + 3] = 0xFF;
    const RasterImage p = onlyPicture(container({{"ICN#", icn}}), 32);
    EXPECT_TRUE(near(at(p, 31, 0), {0, 0, 0, 255}, 0));
    EXPECT_TRUE(near(at(p, 31, 31), {255, 255, 255, 255}, 0));
    EXPECT_EQ(at(p, 0, 0).a, 0);
  }
  {
    // Classic 8- and 4-bit icons use the Mac system palettes; the # chunk gives the mask.
    std::vector<uint8_t> icl8(1024, 215), icl4(512, 0x33), mask(256, 0xFF);
    const RasterImage p8 = onlyPicture(container({{"icl8", icl8}, {"ICN#", mask}}), 32);
    EXPECT_TRUE(near(at(p8, 4, 4), {0xEE, 0, 0, 255}, 0));
    const RasterImage p4 = onlyPicture(container({{"icl4", icl4}}), 32);
    EXPECT_TRUE(near(at(p4, 4, 4), {0xDD, 0x08, 0x06, 255}, 0));
  }
}

TEST(LoadIcns, PicksTheSmallestPictureAtLeastTheSizeAndDecodesEachOnce) {
  const auto file = container(
      {{"ic07", solidPng(128, 0, 0, 255)},
       {"ic04", icns::encodeArgb(testing_support::solidPicture(16, 16, 255, 0, 0, 255).rgba(), 16)},
       {"ic05", icns::encodeArgb(testing_support::solidPicture(32, 32, 0, 255, 0, 255).rgba(), 32)},
       {"info", {1, 2, 3}}});
  const auto image = decodeBaseImage(file);
  ASSERT_TRUE(image);
  const struct {
    int pixels, edge;
  } cases[] = {{16, 16}, {17, 32}, {32, 32}, {64, 128}, {128, 128}, {1024, 128}};
  for (const auto& c : cases) EXPECT_EQ(image->pictureFor(c.pixels)->width(), c.edge) << c.pixels;
  EXPECT_EQ(image->pictureFor(20)->rgba().data(), image->pictureFor(32)->rgba().data());
  // Classic icons are not used where a better coding exists.
  const auto mixed = decodeBaseImage(
      container({{"ics8", std::vector<uint8_t>(256, 0)},
                 {"ic05", icns::encodeArgb(
                              testing_support::solidPicture(32, 32, 0, 255, 0, 255).rgba(), 32)}}));
  ASSERT_TRUE(mixed);
  EXPECT_EQ(mixed->pictureFor(16)->width(), 32);
}

TEST(LoadIcns, BrokenEntriesFallBackAndBrokenFilesGiveNothing) {
  // A corrupt 128 px entry is skipped for the next candidate.
  const auto withBad = decodeBaseImage(
      container({{"ic07", {0x89, 'P', 'N', 'G', 1, 2}}, {"ic08", solidPng(256, 1, 2, 3)}}));
  ASSERT_TRUE(withBad);
  EXPECT_EQ(withBad->pictureFor(64)->width(), 256);
  // A PNG whose size does not match its type is not that type's picture.
  EXPECT_FALSE(decodeBaseImage(container({{"ic07", solidPng(64, 1, 2, 3)}})));
  EXPECT_FALSE(decodeBaseImage(container({})));
  EXPECT_FALSE(decodeBaseImage(container({{"info", {1}}})));
  // The known malformed file: a chunk length of 7.
  std::vector<uint8_t> seven = {'i', 'c', 'n', 's', 0, 0, 0, 32, 'i', 'c', 'p', '4', 0, 0, 0, 7};
  seven.resize(32, 0);
  EXPECT_FALSE(decodeBaseImage(seven));
}

TEST(LoadIcns, TheFirstChunkOfEachTypeCounts) {
  const auto twice = decodeBaseImage(
      container({{"ic07", solidPng(128, 200, 0, 0)}, {"ic07", solidPng(128, 0, 0, 200)}}));
  ASSERT_TRUE(twice);
  EXPECT_TRUE(near(at(*twice->pictureFor(128), 5, 5), {200, 0, 0, 255}, 0));
  // A broken first chunk is not replaced by a later one of its type.
  EXPECT_FALSE(decodeBaseImage(
      container({{"ic07", {0x89, 'P', 'N', 'G', 1, 2}}, {"ic07", solidPng(128, 0, 0, 200)}})));
}

TEST(LoadIcns, RealFilesFromDebianPackages) {
  const struct {
    const char* file;
    int largest;
  } cases[] = {
      {"labelme.icns", 1024}, {"textedit.icns", 512}, {"cecilia.icns", 512}, {"xygrib.icns", 32}};
  for (const auto& c : cases) {
    const std::string path = std::string(REAL_ICNS_DIR) + "/" + c.file;
    if (!testing_support::exists(path)) {
      if (std::getenv("BADGEWRIGHT_REQUIRE_REAL_ICNS")) FAIL() << path << " is missing";
      GTEST_SKIP() << path << " is missing: scripts/fetch_real_icns downloads it (network needed)";
    }
    const auto image = loadBaseImage(path);
    ASSERT_TRUE(image) << c.file;
    EXPECT_EQ(image->pictureFor(4096)->width(), c.largest) << c.file;
    for (int size : {16, 32, 64, 128, 256, 512, 1024})
      EXPECT_TRUE(image->pictureFor(size)) << c.file;
  }
}

}  // namespace
