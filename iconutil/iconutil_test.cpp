#include "iconutil/iconutil.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "icns/icns.h"
#include "icns/icon_set.h"
#include "platform/codecs/codecs.h"
#include "tests/test_support.h"

namespace {

using testing_support::TempDir;

platform::RasterImage patterned(int edge, int seed) {
  static int s;
  s = seed;
  return testing_support::makePicture(edge, edge, [](int x, int y, int, int) {
    return uint32_t((x * 3 + s) % 256) << 24 | uint32_t((y * 5) % 256) << 16 |
           uint32_t(s * 40) << 8 | uint32_t((x + y) % 256);
  });
}

std::vector<uint8_t> pngOf(const platform::RasterImage& image) {
  return *platform::encodePng(image, image.width(), image.height());
}

// An icon set holding every entry, each a different picture.
std::string makeIconset(const TempDir& dir, const std::string& name = "App.iconset") {
  const std::string path = dir / name;
  ::mkdir(path.c_str(), 0755);
  int seed = 0;
  for (const icns::IconSetEntry& entry : icns::kIconSet)
    testing_support::writeBytes(path + "/" + entry.fileName(),
                                pngOf(patterned(entry.size, ++seed)));
  return path;
}

std::vector<std::string> typesOf(const std::vector<uint8_t>& file) {
  auto parsed = icns::parse(file);
  std::vector<std::string> types;
  if (parsed.index() != 0) return types;
  for (const auto& c : std::get<0>(parsed)) {
    const char t[4] = {char(c.type >> 24), char(c.type >> 16), char(c.type >> 8), char(c.type)};
    types.emplace_back(t, 4);
  }
  return types;
}

TEST(Iconutil, IcnsInAppleOrderWithArgbForSmallOneX) {
  TempDir dir;
  const std::string iconset = makeIconset(dir);
  const IconutilOutcome outcome = runIconutil({"-c", "icns", iconset});
  EXPECT_EQ(outcome.status, 0) << outcome.message;
  EXPECT_EQ(outcome.message, "");
  const std::vector<uint8_t> file = testing_support::readBytes(dir / "App.icns");
  EXPECT_EQ(typesOf(file), (std::vector<std::string>{"ic12", "ic07", "ic13", "ic08", "ic04", "ic14",
                                                     "ic09", "ic05", "ic10", "ic11"}));
  auto chunks = std::get<0>(icns::parse(file));
  for (const auto& chunk : chunks) {
    const icns::TypeInfo* info = icns::typeInfo(chunk.type);
    ASSERT_TRUE(info);
    std::string name;
    for (auto [size, scale, type, order] : icns::kIconSet)
      if (size == info->pixels &&
          (scale == 2) ==
              (chunk.type == icns::fourcc("ic11") || chunk.type == icns::fourcc("ic12") ||
               chunk.type == icns::fourcc("ic13") || chunk.type == icns::fourcc("ic14") ||
               chunk.type == icns::fourcc("ic10")))
        name = icns::iconsetFileName(size, scale);
    const std::vector<uint8_t> png = testing_support::readBytes(iconset + "/" + name);
    if (chunk.type == icns::fourcc("ic04") || chunk.type == icns::fourcc("ic05")) {
      const auto decoded = platform::decodePng(png);
      std::vector<uint8_t> argb(decoded->rgba().size());
      ASSERT_EQ(std::string(chunk.data.begin(), chunk.data.begin() + 4), "ARGB");
      ASSERT_TRUE(icns::decodeArgb(chunk.data.subspan(4), info->pixels, argb.data()));
      EXPECT_TRUE(std::equal(argb.begin(), argb.end(), decoded->rgba().begin())) << name;
    } else {
      EXPECT_TRUE(std::equal(png.begin(), png.end(), chunk.data.begin(), chunk.data.end())) << name;
    }
  }
}

TEST(Iconutil, RoundTripBackToAnIconset) {
  TempDir dir;
  const std::string iconset = makeIconset(dir);
  ASSERT_EQ(runIconutil({"-c", "icns", "-o", dir / "x.icns", iconset}).status, 0);
  const IconutilOutcome back = runIconutil({"-c", "iconset", dir / "x.icns"});
  ASSERT_EQ(back.status, 0) << back.message;
  const std::vector<std::string> names = testing_support::listDirectory(dir / "x.iconset");
  EXPECT_EQ(names, testing_support::listDirectory(iconset));
  for (const std::string& name : names) {
    const auto a = platform::decodePng(testing_support::readBytes(iconset + "/" + name));
    const auto b = platform::decodePng(testing_support::readBytes(dir / "x.iconset/" + name));
    ASSERT_TRUE(a && b) << name;
    EXPECT_TRUE(std::equal(a->rgba().begin(), a->rgba().end(), b->rgba().begin(), b->rgba().end()))
        << name;
  }
  // Nothing but the two results and the source.
  EXPECT_EQ(testing_support::listDirectory(dir.path()),
            (std::vector<std::string>{"App.iconset", "x.icns", "x.iconset"}));
}

TEST(Iconutil, RefusalsLeaveTheOutputUntouched) {
  const struct {
    const char* name;
    void (*spoil)(const std::string& iconset);
    const char* says;
  } cases[] = {
      {"wrong size",
       [](const std::string& s) {
         testing_support::writeBytes(s + "/icon_32x32.png", pngOf(patterned(16, 1)));
       },
       "icon_32x32.png: is 16x16 pixels, expected 32x32"},
      {"not a PNG",
       [](const std::string& s) { testing_support::writeText(s + "/icon_128x128.png", "text"); },
       "icon_128x128.png: not a valid PNG file"},
      {"a PNG cut short",
       [](const std::string& s) {
         auto png = pngOf(patterned(256, 1));
         png.resize(png.size() * 2 / 3);
         testing_support::writeBytes(s + "/icon_256x256.png", png);
       },
       "icon_256x256.png: not a valid PNG file"},
      {"no images",
       [](const std::string& s) {
         for (const icns::IconSetEntry& entry : icns::kIconSet)
           ::unlink((s + "/" + entry.fileName()).c_str());
         testing_support::writeBytes(s + "/icon_20x20.png", pngOf(patterned(20, 1)));
       },
       "contains no image resources"},
      {"only a symbolic link",
       [](const std::string& s) {
         ::rename((s + "/icon_16x16.png").c_str(), (s + "/../elsewhere.png").c_str());
         for (const icns::IconSetEntry& entry : icns::kIconSet)
           ::unlink((s + "/" + entry.fileName()).c_str());
         ::symlink("../elsewhere.png", (s + "/icon_16x16.png").c_str());
       },
       "contains no image resources"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string iconset = makeIconset(dir);
    c.spoil(iconset);
    testing_support::writeText(dir / "out.icns", "precious");
    const IconutilOutcome outcome = runIconutil({"-c", "icns", "-o", dir / "out.icns", iconset});
    EXPECT_NE(outcome.status, 0) << c.name;
    EXPECT_NE(outcome.message.find(c.says), std::string::npos) << c.name << ": " << outcome.message;
    EXPECT_EQ(std::count(outcome.message.begin(), outcome.message.end(), '\n'), 1) << c.name;
    const auto kept = testing_support::readBytes(dir / "out.icns");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "precious") << c.name;
    for (const std::string& name : testing_support::listDirectory(dir.path()))
      EXPECT_EQ(name.find(".tmp"), std::string::npos) << c.name;
  }
}

TEST(Iconutil, CommandLineAndInputErrors) {
  TempDir dir;
  testing_support::writeText(dir / "bad.icns", "icns\0\0\0\x07");
  const std::vector<std::vector<std::string>> calls = {
      {},
      {"-c"},
      {"-c", "png", dir / "a.iconset"},
      {"-c", "icns", dir / "missing.iconset"},
      {"-c", "icns", dir.path()},
      {"-c", "iconset", dir / "missing.icns"},
      {"-c", "iconset", dir / "bad.icns"},
      {"-c", "icns", "-o", dir / "no/dir/out.icns", makeIconset(dir)},
  };
  for (const auto& call : calls) {
    const IconutilOutcome outcome = runIconutil(call);
    EXPECT_NE(outcome.status, 0);
    EXPECT_FALSE(outcome.message.empty());
    EXPECT_EQ(outcome.message.back(), '\n');
  }
  EXPECT_FALSE(testing_support::exists(dir / "bad.iconset"));
  // An existing icon-set directory is not overwritten.
  ASSERT_EQ(runIconutil({"-c", "icns", "-o", dir / "ok.icns", dir / "App.iconset"}).status, 0);
  ::mkdir((dir / "taken.iconset").c_str(), 0755);
  testing_support::writeText(dir / "taken.iconset/keep", "x");
  EXPECT_NE(runIconutil({"-c", "iconset", "-o", dir / "taken.iconset", dir / "ok.icns"}).status, 0);
  EXPECT_EQ(testing_support::listDirectory(dir / "taken.iconset"),
            std::vector<std::string>{"keep"});
}

}  // namespace
