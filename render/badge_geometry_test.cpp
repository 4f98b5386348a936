#include "render/badge_geometry.h"

#include <gtest/gtest.h>

namespace {

TEST(BadgeGeometry, DiscAndRingAtTheBottomRight) {
  const struct {
    int size;
    platform::Rect disc;
    double ring;
  } cases[] = {
      {1024, {440.32, 20.48, 563.2, 563.2}, 18.432},
      {128, {55.04, 2.56, 70.4, 70.4}, 2.304},
      {64, {27.52, 1.28, 35.2, 35.2}, 1.5},  // 1.152 px would be too thin
      {16, {6.88, 0.32, 8.8, 8.8}, 1.5},
  };
  for (const auto& c : cases) {
    const BadgeGeometry g = badgeGeometry(c.size);
    EXPECT_NEAR(g.disc.x, c.disc.x, 1e-9) << c.size;
    EXPECT_NEAR(g.disc.y, c.disc.y, 1e-9) << c.size;
    EXPECT_NEAR(g.disc.width, c.disc.width, 1e-9) << c.size;
    EXPECT_NEAR(g.disc.height, c.disc.height, 1e-9) << c.size;
    EXPECT_NEAR(g.ringWidth, c.ring, 1e-9) << c.size;
    EXPECT_NEAR(g.ring.x, c.disc.x - c.ring, 1e-9) << c.size;
    EXPECT_NEAR(g.ring.width, c.disc.width + 2 * c.ring, 1e-9) << c.size;
  }
}

}  // namespace
