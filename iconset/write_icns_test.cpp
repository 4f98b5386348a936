#include "iconset/write_icns.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "icns/icon_set.h"
#include "iconset/convert.h"
#include "tests/test_support.h"

namespace {

using testing_support::TempDir;

TEST(IconsetFileName, Table) {
  const struct {
    int size, scale;
    const char* name;
  } cases[] = {{16, 1, "icon_16x16.png"},    {32, 2, "icon_16x16@2x.png"},
               {32, 1, "icon_32x32.png"},    {64, 2, "icon_32x32@2x.png"},
               {128, 1, "icon_128x128.png"}, {256, 2, "icon_128x128@2x.png"},
               {256, 1, "icon_256x256.png"}, {512, 2, "icon_256x256@2x.png"},
               {512, 1, "icon_512x512.png"}, {1024, 2, "icon_512x512@2x.png"},
               {48, 3, "icon_16x16.png"},    {33, 2, "icon_16x16@2x.png"}};
  for (const auto& c : cases) EXPECT_EQ(icns::iconsetFileName(c.size, c.scale), c.name);
}

// Points the scratch directories of this process at a private directory for one test.
class WriteIcns : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TMPDIR");
    oldTmp_ = old ? old : "";
    hadTmp_ = old != nullptr;
    ::setenv("TMPDIR", scratch_.path().c_str(), 1);
  }
  void TearDown() override {
    EXPECT_TRUE(testing_support::listDirectory(scratch_.path()).empty()) << "scratch left behind";
    if (hadTmp_)
      ::setenv("TMPDIR", oldTmp_.c_str(), 1);
    else
      ::unsetenv("TMPDIR");
  }
  std::string converter(const std::string& body) {
    const std::string path = work_ / "fake-iconutil";
    testing_support::writeText(path, "#!/bin/sh\n" + body, true);
    return path;
  }
  static std::vector<RenderedEntry> entries() {
    std::vector<RenderedEntry> out;
    for (auto [size, scale] : {std::pair{16, 1}, {32, 2}, {32, 1}})
      out.push_back({size, scale, testing_support::solidPicture(size, size, 9, 8, 7, 255)});
    return out;
  }
  TempDir scratch_, work_;
  std::string oldTmp_;
  bool hadTmp_ = false;
};

TEST_F(WriteIcns, StagesTheFilesAndPassesTheFiveArguments) {
  const std::string log = work_ / "log";
  const std::string fake =
      converter("printf '%s\\n' \"$@\" > '" + log + "'\nls \"$5\" >> '" + log + "'\nexit 0\n");
  EXPECT_FALSE(writeIcnsWith(entries(), "rel/out.icns", fake));
  const std::vector<uint8_t> bytes = testing_support::readBytes(log);
  const std::string seen(bytes.begin(), bytes.end());
  const std::string prefix = "-c\nicns\n-o\nrel/out.icns\n" + scratch_.path() + "/badgewright-";
  EXPECT_EQ(seen.substr(0, prefix.size()), prefix);
  EXPECT_NE(seen.find("/icon.iconset\nicon_16x16.png\nicon_16x16@2x.png\nicon_32x32.png\n"),
            std::string::npos)
      << seen;
}

TEST_F(WriteIcns, ConverterFailuresBecomeErrors) {
  const struct {
    const char* name;
    std::string body;
    std::optional<IconError> expected;
  } cases[] = {
      {"one line", "echo 'Failed to generate ICNS.' >&2; exit 1\n",
       IconError{"icns", 1, "iconutil failed: Failed to generate ICNS.\n"}},
      {"success with text", "echo 'warning' >&2; exit 0\n", std::nullopt},
      {"not UTF-8", "printf 'bad \\377\\n' >&2; exit 3\n",
       IconError{"icns", 3, "iconutil failed: unknown"}},
      {"empty", "exit 2\n", IconError{"icns", 2, "iconutil failed: "}},
      {"a megabyte", "head -c 1048576 /dev/zero | tr '\\0' e >&2; exit 1\n",
       IconError{"icns", 1, "iconutil failed: " + std::string(1 << 20, 'e')}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(writeIcnsWith(entries(), work_ / "o.icns", converter(c.body)), c.expected) << c.name;
}

TEST_F(WriteIcns, LaunchErrorsPassThrough) {
  const std::string plain = work_ / "plain";
  testing_support::writeText(plain, "#!/bin/sh\nexit 0\n");
  for (const std::string& path : {work_ / "missing", plain}) {
    const auto error = writeIcnsWith(entries(), work_ / "o.icns", path);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, "posix");
    EXPECT_NE(error->description.find(path), std::string::npos);
  }
  // No converter located: nothing is run, least of all a bare name from the working directory.
  const auto unknown = writeIcnsWith(entries(), work_ / "o.icns", "");
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->description, "could not run iconutil: the executable's directory is unknown");
}

TEST_F(WriteIcns, EmptyListStillRunsTheConverter) {
  const std::string log = work_ / "ran";
  EXPECT_FALSE(writeIcnsWith({}, work_ / "o.icns", converter("ls \"$5\" > '" + log + "'\n")));
  EXPECT_TRUE(testing_support::exists(log));
  EXPECT_TRUE(testing_support::readBytes(log).empty());
}

}  // namespace
