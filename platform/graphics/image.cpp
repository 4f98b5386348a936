#include "platform/graphics/image.h"

#include <algorithm>

#include "platform/codecs/limits.h"
#include "platform/graphics/resample.h"

namespace platform {

// The pictures of one image, decoded on first use and kept.
class PictureSource {
 public:
  explicit PictureSource(RasterImage single) {
    slots_.push_back({{single.width(), 0, nullptr}, std::move(single), false, nullptr});
  }
  explicit PictureSource(std::vector<Representation> representations) {
    // Largest first, then best coding, then the order given.
    std::stable_sort(representations.begin(), representations.end(),
                     [](const Representation& a, const Representation& b) {
                       if (a.edge != b.edge) return a.edge > b.edge;
                       return a.rank > b.rank;
                     });
    for (Representation& r : representations)
      slots_.push_back({std::move(r), std::nullopt, false, nullptr});
  }

  Pyramid* pyramidFor(int pixels) {
    const std::optional<RasterImage> picture = pictureFor(pixels);
    if (!picture) return nullptr;
    for (Slot& slot : slots_)
      if (slot.picture && slot.picture->sharesPixelsWith(*picture)) {
        if (!slot.pyramid) slot.pyramid = std::make_unique<Pyramid>(*slot.picture);
        return slot.pyramid.get();
      }
    return nullptr;
  }

  std::optional<RasterImage> pictureFor(int pixels) {
    for (;;) {
      Slot* chosen = nullptr;
      for (Slot& slot : slots_) {
        if (slot.failed) continue;
        if (!chosen || slot.stored.edge >= pixels) chosen = &slot;
        if (slot.stored.edge < pixels) break;
      }
      // Slots run from large to small, so the last one at least `pixels` wide (or the first
      // one, the largest) has been chosen; within an edge the best coding comes first.
      if (!chosen) return std::nullopt;
      chosen = firstOfEdge(chosen);
      if (chosen->picture) return chosen->picture;
      chosen->picture = chosen->stored.decode();
      if (chosen->picture) return chosen->picture;
      chosen->failed = true;
    }
  }

 private:
  struct Slot {
    Representation stored;
    std::optional<RasterImage> picture;
    bool failed;
    std::unique_ptr<Pyramid> pyramid;
  };
  // The best-coded slot of the same edge that has not failed.
  Slot* firstOfEdge(Slot* s) {
    Slot* best = s;
    for (Slot* p = s; p != slots_.data() && (p - 1)->stored.edge == s->stored.edge; --p)
      if (!(p - 1)->failed) best = p - 1;
    return best;
  }
  std::vector<Slot> slots_;
};

Image Image::fromPicture(RasterImage picture) {
  return Image(std::make_shared<PictureSource>(std::move(picture)));
}

std::optional<Image> Image::fromRepresentations(std::vector<Representation> representations) {
  auto source = std::make_shared<PictureSource>(std::move(representations));
  // The largest stored picture must decode (or a smaller one in its place) for the whole to
  // count as an image; the others are decoded when a size needs them.
  if (!source->pictureFor(kLimits.maxPictureEdge)) return std::nullopt;
  return Image(std::move(source));
}

std::optional<RasterImage> Image::pictureFor(int pixels) const {
  return source_->pictureFor(pixels);
}

Pyramid* Image::pyramidFor(int pixels) const { return source_->pyramidFor(pixels); }

}  // namespace platform
