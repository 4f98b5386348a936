// Runs the built executables on real files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "icns/icns.h"
#include "input/load_base.h"
#include "platform/codecs/codecs.h"
#include "render/color.h"
#include "render/render_icon.h"
#include "tests/test_support.h"

namespace {

using testing_support::run;
using testing_support::TempDir;

const char kUsage[] =
    "usage: badgewright --input <base.icns> --output <out.icns> --label <text> --color <#RRGGBB>\n";

std::string sample(const char* name) { return testing_support::sourceDir() + "/samples/" + name; }

// Runs badgewright with a private temporary directory, which must be empty afterwards.
testing_support::ProcessResult badgewright(
    const std::vector<std::string>& arguments,
    const std::string& binary = testing_support::badgewrightBinary()) {
  TempDir tmp;
  std::vector<std::string> argv = {binary};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  auto result = run(argv, {"TMPDIR=" + tmp.path()});
  EXPECT_TRUE(testing_support::listDirectory(tmp.path()).empty()) << "scratch left behind";
  return result;
}

TEST(EndToEnd, UsageAndUnloadableInput) {
  TempDir dir;
  testing_support::writeText(dir / "notes.txt", "not an image");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{}, 2, kUsage},
      {{"--label", "3", "--color", "#FF0000"}, 2, kUsage},
      {{"--input", dir / "missing.icns"}, 2, kUsage},
      {{"--input", dir / "notes.txt", "--output", dir / "o.icns"},
       3,
       "could not load input: " + dir / "notes.txt" + "\n"},
      {{"--input", "notes.txt", "--output", "o.icns"}, 3, "could not load input: notes.txt\n"},
      {{"--input", "", "--output", "o.icns"}, 3, "could not load input: \n"},
      {{"--input", dir / "missing.icns", "--output", "o.icns", "--label", "3"},
       3,
       "could not load input: " + dir / "missing.icns" + "\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv = {testing_support::badgewrightBinary()};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto result = run(argv, {}, dir.path());
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(testing_support::listDirectory(dir.path()), std::vector<std::string>{"notes.txt"});
}

uint32_t pngDensity(std::span<const uint8_t> png) {
  const uint8_t key[4] = {'p', 'H', 'Y', 's'};
  const auto at = std::search(png.begin(), png.end(), key, key + 4);
  if (at == png.end() || png.end() - at < 13) return 0;
  return uint32_t(at[4]) << 24 | uint32_t(at[5]) << 16 | uint32_t(at[6]) << 8 | at[7];
}

TEST(EndToEnd, FullRunFromTheSampleIcns) {
  TempDir dir;
  const auto result = badgewright({"--input", sample("App.icns"), "--output", dir / "Badged.icns",
                                   "--label", "3", "--color", "#2563EB"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(testing_support::listDirectory(dir.path()), std::vector<std::string>{"Badged.icns"});

  const std::vector<uint8_t> file = testing_support::readBytes(dir / "Badged.icns");
  auto parsed = icns::parse(file);
  ASSERT_EQ(parsed.index(), 0u);
  const auto& chunks = std::get<0>(parsed);
  const char* order[] = {"ic12", "ic07", "ic13", "ic08", "ic04",
                         "ic14", "ic09", "ic05", "ic10", "ic11"};
  ASSERT_EQ(chunks.size(), 10u);
  const auto base = loadBaseImage(sample("App.icns"));
  ASSERT_TRUE(base);
  for (size_t i = 0; i < chunks.size(); ++i) {
    EXPECT_EQ(chunks[i].type, icns::fourcc(*reinterpret_cast<const char(*)[5]>(order[i])));
    const icns::TypeInfo* info = icns::typeInfo(chunks[i].type);
    const auto rendered = renderIcon(*base, info->pixels, "3", colorFromHex("#2563EB"));
    ASSERT_TRUE(rendered);
    std::vector<uint8_t> pixels(size_t(info->pixels) * info->pixels * 4);
    if (info->coding == icns::Coding::kArgb) {
      ASSERT_TRUE(icns::decodeArgb(chunks[i].data.subspan(4), info->pixels, pixels.data()));
    } else {
      EXPECT_EQ(pngDensity(chunks[i].data), 2835u) << order[i];
      const auto png = platform::decodePng(chunks[i].data);
      ASSERT_TRUE(png);
      std::copy(png->rgba().begin(), png->rgba().end(), pixels.begin());
    }
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), rendered->rgba().begin())) << order[i];
  }
}

// Whether the Python interpreter can import the module.
bool pythonHas(const char* module) {
  return run({PYTHON3, "-c", std::string("import ") + module}).status == 0;
}

TEST(EndToEnd, IndependentReadersAcceptTheOutput) {
  TempDir dir;
  const auto result = badgewright({"--input", sample("App.icns"), "--output", dir / "Badged.icns",
                                   "--label", "3", "--color", "#2563EB"});
  ASSERT_EQ(result.status, 0) << result.err;
  // Pillow decodes the PNG entries; icns2png (icnsutils) lists the container.
  if (!pythonHas("PIL")) GTEST_SKIP() << "Pillow is not installed for " << PYTHON3;
  const auto pil = run({PYTHON3, "-c",
                        "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
                        "print(sorted(im.info['sizes']))\nim.size = (512, 512)\nim.load()\n"
                        "print(im.size, im.mode)",
                        dir / "Badged.icns"});
  EXPECT_EQ(pil.status, 0) << pil.err;
  EXPECT_NE(pil.out.find("(512, 512, 2)"), std::string::npos) << pil.out;
  EXPECT_NE(pil.out.find("(1024, 1024) RGBA"), std::string::npos) << pil.out;
  if (!testing_support::exists("/usr/bin/icns2png")) GTEST_SKIP() << "icns2png is not installed";
  const auto listing = run({"/usr/bin/icns2png", "-l", dir / "Badged.icns"});
  EXPECT_NE(listing.out.find("'ic08' 256x256 32-bit icon"), std::string::npos) << listing.out;
  EXPECT_NE(listing.out.find("'ic10' 1024x1024 32-bit icon"), std::string::npos) << listing.out;
}

TEST(EndToEnd, PngAndJpegBasesAndRelativePaths) {
  TempDir dir;
  testing_support::writeBytes(dir / "App.png", testing_support::readBytes(sample("App.png")));
  const auto png = run({testing_support::badgewrightBinary(), "--input", "App.png", "--output",
                        "out/../Badged.icns", "--label", "work"},
                       {}, dir.path());
  EXPECT_EQ(png.status, 5);  // "out" does not exist: the converter cannot resolve the path
  EXPECT_EQ(png.err.rfind("icns write failed: iconutil failed: ", 0), 0u) << png.err;
  const auto ok = run({testing_support::badgewrightBinary(), "--input", "App.png", "--output",
                       "Badged.icns", "--label", "work", "--color", "#16A34A"},
                      {}, dir.path());
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.err + ok.out, "");
  const auto jpeg = badgewright({"--input", std::string(FIXTURES_DIR) + "/rotated.jpg", "--output",
                                 dir / "j.icns", "--label", "12"});
  EXPECT_EQ(jpeg.status, 0) << jpeg.err;
  const auto again =
      badgewright({"--input", dir / "j.icns", "--output", dir / "j.icns", "--label", ""});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_TRUE(loadBaseImage(dir / "j.icns"));
}

TEST(EndToEnd, ASuccessfulRunPrintsNothingWhateverTheFontConfiguration) {
  TempDir dir;
  testing_support::writeText(dir / "empty.conf", "<?xml version=\"1.0\"?>\n<fontconfig/>\n");
  // Characters only the machine's fonts have, so that fontconfig is started.
  for (const std::string& config : {dir / "missing.conf", dir / "empty.conf"}) {
    std::vector<std::string> argv = {testing_support::badgewrightBinary(),
                                     "--input",
                                     sample("App.png"),
                                     "--output",
                                     dir / "out.icns",
                                     "--label",
                                     "\xD9\xA3\xD9\xA4"};
    const auto result = run(argv, {"FONTCONFIG_FILE=" + config});
    EXPECT_EQ(result.status, 0) << config;
    EXPECT_EQ(result.err, "") << config;
  }
}

// A copy of badgewright with a fake converter beside it.
class FakeConverter : public ::testing::Test {
 protected:
  std::string install(const std::string& body) {
    const std::string bin = dir_ / "badgewright";
    testing_support::writeBytes(bin,
                                testing_support::readBytes(testing_support::badgewrightBinary()));
    ::chmod(bin.c_str(), 0755);
    if (!body.empty()) testing_support::writeText(dir_ / "iconutil", "#!/bin/sh\n" + body, true);
    return bin;
  }
  testing_support::ProcessResult runWith(const std::string& body) {
    return badgewright(
        {"--input", sample("App.png"), "--output", dir_ / "out.icns", "--label", "3"},
        install(body));
  }
  TempDir dir_;
};

TEST_F(FakeConverter, StatusFiveMessages) {
  const struct {
    const char* name;
    std::string body;
    int status;
    std::string err;
  } cases[] = {
      {"one line", "echo 'Failed to generate ICNS.' >&2; exit 1\n", 5,
       "icns write failed: iconutil failed: Failed to generate ICNS.\n\n"},
      {"success with text", "echo noise >&2; exit 0\n", 0, ""},
      {"not UTF-8", "printf '\\377\\376' >&2; exit 1\n", 5,
       "icns write failed: iconutil failed: unknown\n"},
      {"killed", "kill -KILL $$\n", 5, "icns write failed: iconutil failed: \n"},
      {"a megabyte", "head -c 1048576 /dev/zero | tr '\\0' m >&2; exit 1\n", 5,
       "icns write failed: iconutil failed: " + std::string(1 << 20, 'm') + "\n"},
      // A process the converter leaves behind keeps the pipe open for 30 s; the run must not
      // wait for it.
      {"success, pipe held", "(sleep 30 >/dev/null) &\nexit 0\n", 0, ""},
      {"failure, pipe held", "echo 'no room' >&2\n(sleep 30 >/dev/null) &\nexit 1\n", 5,
       "icns write failed: iconutil failed: no room\n\n"},
  };
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const auto result = runWith(c.body);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.status, c.status) << c.name;
    EXPECT_TRUE(result.err == c.err) << c.name << ": " << result.err.substr(0, 200);
    EXPECT_EQ(result.out, "") << c.name;
    EXPECT_LT(took.count(), 10) << c.name;
  }
}

TEST_F(FakeConverter, MissingOrNotExecutable) {
  const auto missing = runWith("");
  EXPECT_EQ(missing.status, 5);
  EXPECT_EQ(missing.err, "icns write failed: could not run " + dir_ / "iconutil" +
                             ": No such file or directory\n");
  testing_support::writeText(dir_ / "iconutil", "#!/bin/sh\nexit 0\n");
  ::chmod((dir_ / "iconutil").c_str(), 0644);
  const auto result = badgewright({"--input", sample("App.png"), "--output", dir_ / "out.icns"},
                                  dir_ / "badgewright");
  EXPECT_EQ(result.status, 5);
  EXPECT_EQ(result.err,
            "icns write failed: could not run " + dir_ / "iconutil" + ": Permission denied\n");
}

}  // namespace
