#pragma once
// A base image to draw: one picture, or several stored representations of the same icon.
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/codecs/raster_image.h"

namespace platform {

class PictureSource;
class Pyramid;

// One stored picture of an image, decoded only when a size needs it.
struct Representation {
  int edge;  // pixels, of the square picture
  int rank;  // higher is a better coding of the same edge
  // The picture, which must be edge x edge; nothing when it does not decode.
  std::function<std::optional<RasterImage>()> decode;
};

// Copies share the pictures and what has been decoded of them.
class Image {
 public:
  static Image fromPicture(RasterImage picture);
  // Nothing when no representation decodes.
  static std::optional<Image> fromRepresentations(std::vector<Representation> representations);

  // The picture to draw at an edge of `pixels`: of the stored pictures that decode, the
  // smallest at least that large, else the largest; the best ranked of one edge. Each is decoded
  // at most once. Nothing when none decodes.
  std::optional<RasterImage> pictureFor(int pixels) const;

 private:
  friend class DrawingContext;
  explicit Image(std::shared_ptr<PictureSource> source) : source_(std::move(source)) {}
  // The picture pictureFor(pixels) gives, with its cached halvings.
  Pyramid* pyramidFor(int pixels) const;
  std::shared_ptr<PictureSource> source_;
};

}  // namespace platform
