#include "cli/driver.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

using platform::Image;
using platform::RasterImage;

// Records what the driver asked of each stage.
struct Fakes {
  bool loads = true;
  std::vector<int> renderFails;  // sizes whose render gives nothing
  std::optional<IconError> writeError;
  std::vector<std::string> calls;

  Pipeline pipeline() {
    return Pipeline{[this](const std::string& path) -> std::optional<Image> {
                      calls.push_back("load " + path);
                      if (!loads) return std::nullopt;
                      return Image::fromPicture(testing_support::solidPicture(4, 4, 0, 0, 0, 255));
                    },
                    [this](const Image&, int size, const std::string& label,
                           const Color&) -> std::optional<RasterImage> {
                      calls.push_back("render " + std::to_string(size) + " " + label);
                      for (int f : renderFails)
                        if (f == size) return std::nullopt;
                      return testing_support::solidPicture(size, size, 1, 2, 3, 255);
                    },
                    [this](const std::vector<RenderedEntry>& entries, const std::string& out) {
                      calls.push_back("write " + std::to_string(entries.size()) + " " + out);
                      return writeError;
                    }};
  }
};

TEST(Driver, MissingPathPrintsUsageBeforeTouchingInput) {
  for (Args a : {Args(std::nullopt, "o.icns"), Args("missing.icns", std::nullopt),
                 Args(std::nullopt, std::nullopt, "3", "#FF0000")}) {
    args = a;
    Fakes fakes;
    const Outcome outcome = runDriver(fakes.pipeline());
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.message,
              "usage: badgewright --input <base.icns> --output <out.icns> --label <text> --color "
              "<#RRGGBB>\n");
    EXPECT_TRUE(fakes.calls.empty());
  }
}

TEST(Driver, UnloadableInputIsStatus3WithThePathUnchanged) {
  for (const char* path : {"", "rel/../x.png", "/abs/x.icns"}) {
    args = Args(path, "");
    Fakes fakes;
    fakes.loads = false;
    const Outcome outcome = runDriver(fakes.pipeline());
    EXPECT_EQ(outcome.status, 3);
    EXPECT_EQ(outcome.message, std::string("could not load input: ") + path + "\n");
    EXPECT_EQ(fakes.calls.size(), 1u);
  }
}

TEST(Driver, RendersEachPixelSizeOnceAndHandsTheTenEntriesToTheWriter) {
  args = Args("in.icns", "", "12", "bogus");
  Fakes fakes;
  const Outcome outcome = runDriver(fakes.pipeline());
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.message, "");
  const std::vector<std::string> expected = {"load in.icns",  "render 16 12",   "render 32 12",
                                             "render 64 12",  "render 128 12",  "render 256 12",
                                             "render 512 12", "render 1024 12", "write 10 "};
  EXPECT_EQ(fakes.calls, expected);
  EXPECT_EQ(badgeColor, (Color{0.15, 0.39, 0.92, 1}));
  ASSERT_EQ(rendered.size(), 10u);
  for (size_t i = 0; i < sizes.size(); ++i) {
    EXPECT_EQ(rendered[i].size, sizes[i].size);
    EXPECT_EQ(rendered[i].scale, sizes[i].scale);
    EXPECT_EQ(rendered[i].image.width(), sizes[i].size);
  }
  // The entries of one pixel size hold the one picture made for it.
  EXPECT_TRUE(rendered[1].image.sharesPixelsWith(rendered[2].image));
  EXPECT_FALSE(rendered[0].image.sharesPixelsWith(rendered[1].image));
}

TEST(Driver, FailedRendersAreSkippedAndAllFailedIsStatus4) {
  args = Args("in", "out");
  Fakes some;
  some.renderFails = {32, 512};
  EXPECT_EQ(runDriver(some.pipeline()).status, 0);
  ASSERT_EQ(rendered.size(), 6u);
  EXPECT_EQ(std::count(some.calls.begin(), some.calls.end(), "render 32 "), 2);
  EXPECT_EQ(rendered[1].size, 64);
  EXPECT_EQ(some.calls.back(), "write 6 out");

  Fakes all;
  all.renderFails = {16, 32, 64, 128, 256, 512, 1024};
  const Outcome outcome = runDriver(all.pipeline());
  EXPECT_EQ(outcome.status, 4);
  EXPECT_EQ(outcome.message, "no sizes rendered\n");
  EXPECT_EQ(all.calls.back(), "render 1024 ");
}

TEST(Driver, WriterErrorIsStatus5WithItsDescriptionUntrimmed) {
  args = Args("in", "out");
  Fakes fakes;
  fakes.writeError = IconError{"icns", 1, "iconutil failed: bad\n"};
  const Outcome outcome = runDriver(fakes.pipeline());
  EXPECT_EQ(outcome.status, 5);
  EXPECT_EQ(outcome.message, "icns write failed: iconutil failed: bad\n\n");
  EXPECT_EQ(fakes.calls.back(), "write 10 out");
}

}  // namespace
