#pragma once
// Colours and rectangles of the drawing services. Coordinates are in pixels with the origin at
// the bottom-left, y up.

namespace platform {

// A colour in RGB with alpha, components in [0, 1].
struct Color {
  double red = 0, green = 0, blue = 0, alpha = 1;
  bool operator==(const Color&) const = default;
};

struct Rect {
  double x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

struct Size {
  double width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

// (x + d, y + d, w - 2d, h - 2d).
constexpr Rect insetRect(Rect r, double d) {
  return {r.x + d, r.y + d, r.width - 2 * d, r.height - 2 * d};
}
constexpr double midX(Rect r) { return r.x + r.width / 2; }
constexpr double midY(Rect r) { return r.y + r.height / 2; }

}  // namespace platform
