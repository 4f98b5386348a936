#include "render/badge_geometry.h"

BadgeGeometry badgeGeometry(int size) {
  const double s = size;
  const double d = s * 0.55;
  const double m = s * 0.02;
  const platform::Rect disc{(s - d) - m, m, d, d};
  const double r = s * 0.018 >= 1.5 ? s * 0.018 : 1.5;
  return {disc, platform::insetRect(disc, -r), r};
}
