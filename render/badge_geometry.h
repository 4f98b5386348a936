#pragma once
#include "platform/graphics/geometry.h"

// Where the badge sits on a size x size variant, in canvas coordinates (origin bottom-left):
// a disc of 0.55 of the edge, 0.02 of the edge from the right and bottom edges, inside a white
// ring 0.018 of the edge wide but at least 1.5 px.
struct BadgeGeometry {
  platform::Rect disc;
  platform::Rect ring;  // the disc grown by ringWidth on every side
  double ringWidth;
};
BadgeGeometry badgeGeometry(int size);
