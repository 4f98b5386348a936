#include "render/render_icon.h"

#include "render/badge_text.h"

using namespace platform;

std::optional<RasterImage> renderIcon(const Image& base, int size, std::string_view label,
                                      const Color& badge) {
  std::optional<Canvas> canvas = Canvas::create(size);
  if (!canvas) return std::nullopt;
  SavedGraphicsState saved;
  std::optional<DrawingContext> context = DrawingContext::create(*canvas);
  if (!context) return std::nullopt;
  setCurrentContext(&*context);
  context->setImageInterpolation(Interpolation::kHigh);

  const double s = size;
  context->drawImage(base, Rect{0, 0, s, s});
  if (!label.empty()) {
    const double d = s * 0.55;
    const double m = s * 0.02;
    const Rect disc{(s - d) - m, m, d, d};
    const double r = s * 0.018 >= 1.5 ? s * 0.018 : 1.5;
    const Rect ring = insetRect(disc, -r);
    const double cx = midX(disc), cy = midY(disc);

    context->setFillColor(Color{1, 1, 1, 1});
    context->fillOval(ring);
    context->setFillColor(badge);
    context->fillOval(disc);

    const BadgeText badgeLabel = badgeText(label);
    const StyledText text{badgeLabel.text,
                          systemFont(d * badgeLabel.fontFactor, FontWeight::kHeavy),
                          Color{1, 1, 1, 1}, TextAlignment::kCentered};
    const Size extent = measureText(text);
    context->drawText(
        text, Rect{cx - extent.width * 0.5, cy - extent.height * 0.5, extent.width, extent.height});
  }
  return snapshot(*canvas);
}
