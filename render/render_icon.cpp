#include "render/render_icon.h"

#include <new>

#include "render/badge_geometry.h"
#include "render/badge_text.h"

using namespace platform;

namespace {

std::optional<RasterImage> draw(const Image& base, int size, std::string_view label,
                                const Color& badge) {
  std::optional<Canvas> canvas = Canvas::create(size);
  if (!canvas) return std::nullopt;
  DrawingContext context(*canvas);

  const double s = size;
  context.drawImage(base, Rect{0, 0, s, s});
  if (!label.empty()) {
    const BadgeGeometry badgeAt = badgeGeometry(size);
    context.setFillColor(Color{1, 1, 1, 1});
    context.fillOval(badgeAt.ring);
    context.setFillColor(badge);
    context.fillOval(badgeAt.disc);

    const BadgeText badgeLabel = badgeText(label);
    const StyledText text{badgeLabel.text,
                          heavySystemFont(badgeAt.disc.width * badgeLabel.fontFactor),
                          Color{1, 1, 1, 1}};
    const Size extent = measureText(text);
    const double cx = midX(badgeAt.disc), cy = midY(badgeAt.disc);
    context.drawText(
        text, Rect{cx - extent.width * 0.5, cy - extent.height * 0.5, extent.width, extent.height});
  }
  return snapshot(*canvas);
}

}  // namespace

std::optional<RasterImage> renderIcon(const Image& base, int size, std::string_view label,
                                      const Color& badge) {
  // Memory running out gives no image, as any other failure to draw does.
  try {
    return draw(base, size, label, badge);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}
