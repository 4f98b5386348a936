// The base-image loader: format sniffing, single pictures and ICNS containers with several
// stored resolutions, each decoded on first use.
#include <algorithm>
#include <cstring>

#include "icns/icns.h"
#include "platform/codecs.h"
#include "platform/drawing.h"
#include "platform/files.h"
#include "platform/resample.h"

namespace platform {
namespace {

// Larger input files are refused unread; the largest picture the loader accepts compresses far
// below this.
constexpr uint64_t kMaxInputBytes = 512u << 20;

bool startsWith(std::span<const uint8_t> b, const void* prefix, size_t n) {
  return b.size() >= n && std::memcmp(b.data(), prefix, n) == 0;
}

int rankOf(icns::Coding coding) {
  switch (coding) {
    case icns::Coding::kEncoded:
    case icns::Coding::kArgb:
      return 5;
    case icns::Coding::kRgb:
      return 4;
    case icns::Coding::kClassic8:
      return 3;
    case icns::Coding::kClassic4:
      return 2;
    default:
      return 1;
  }
}

}  // namespace

bool plausibleSize(uint64_t width, uint64_t height, size_t fileBytes) {
  if (width < 1 || height < 1 || width > kMaxPictureEdge || height > kMaxPictureEdge) return false;
  const uint64_t pixels = width * height;
  return pixels <= kPlausiblePixels || pixels / kMaxPixelsPerByte <= fileBytes;
}

PictureFormat sniffFormat(std::span<const uint8_t> b) {
  static constexpr uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  static constexpr uint8_t kJp2[12] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
  static constexpr uint8_t kJ2k[4] = {0xFF, 0x4F, 0xFF, 0x51};
  if (startsWith(b, "icns", 4)) return PictureFormat::kIcns;
  if (startsWith(b, kPng, 8)) return PictureFormat::kPng;
  if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return PictureFormat::kJpeg;
  if (startsWith(b, kJp2, 12) || startsWith(b, kJ2k, 4)) return PictureFormat::kJpeg2000;
  if (startsWith(b, "GIF87a", 6) || startsWith(b, "GIF89a", 6)) return PictureFormat::kGif;
  if (startsWith(b, "BM", 2)) return PictureFormat::kBmp;
  if (startsWith(b, "II*\0", 4) || startsWith(b, "MM\0*", 4)) return PictureFormat::kTiff;
  if (b.size() >= 12 && startsWith(b, "RIFF", 4) && std::memcmp(b.data() + 8, "WEBP", 4) == 0)
    return PictureFormat::kWebp;
  return PictureFormat::kUnknown;
}

std::optional<RasterImage> decodePicture(std::span<const uint8_t> bytes) {
  switch (sniffFormat(bytes)) {
    case PictureFormat::kPng:
      return decodePng(bytes);
    case PictureFormat::kJpeg:
      return decodeJpeg(bytes);
    case PictureFormat::kJpeg2000:
      return decodeJpeg2000(bytes);
    case PictureFormat::kGif:
      return decodeGif(bytes);
    case PictureFormat::kBmp:
      return decodeBmp(bytes);
    case PictureFormat::kTiff:
      return decodeTiff(bytes);
    case PictureFormat::kWebp:
      return decodeWebp(bytes);
    default:
      return std::nullopt;
  }
}

std::vector<IcnsImage> icnsImages(std::span<const icns::Chunk> chunks) {
  // The first chunk of each type counts, as for the system's readers; later ones of the same type
  // are ignored, which also bounds the work a file of many chunks can cause.
  std::vector<const icns::Chunk*> first;
  for (const icns::Chunk& c : chunks) {
    if (!icns::typeInfo(c.type)) continue;
    if (std::none_of(first.begin(), first.end(), [&](auto* f) { return f->type == c.type; }))
      first.push_back(&c);
  }
  const auto find = [&](uint32_t type) -> std::span<const uint8_t> {
    for (const icns::Chunk* c : first)
      if (c->type == type) return c->data;
    return {};
  };
  std::vector<IcnsImage> out;
  for (const icns::Chunk* c : first) {
    const icns::TypeInfo* info = icns::typeInfo(c->type);
    if (info->coding == icns::Coding::kMask) continue;
    out.push_back({info, c->data,
                   info->maskType ? find(info->maskType) : std::span<const uint8_t>{},
                   rankOf(info->coding)});
  }
  const bool hasModern =
      std::any_of(out.begin(), out.end(), [](const IcnsImage& i) { return i.rank >= 4; });
  if (hasModern)
    out.erase(std::remove_if(out.begin(), out.end(), [](const IcnsImage& i) { return i.rank < 4; }),
              out.end());
  return out;
}

std::optional<RasterImage> decodeIcnsImage(const IcnsImage& image) {
  const int edge = image.info->pixels;
  const bool argb = image.info->coding == icns::Coding::kArgb && startsWith(image.data, "ARGB", 4);
  if (image.info->coding == icns::Coding::kEncoded ||
      (image.info->coding == icns::Coding::kArgb && !argb)) {
    std::optional<RasterImage> picture;
    const PictureFormat format = sniffFormat(image.data);
    if (format == PictureFormat::kPng) picture = decodePng(image.data);
    if (format == PictureFormat::kJpeg2000) picture = decodeJpeg2000(image.data);
    if (!picture || picture->width() != edge || picture->height() != edge) return std::nullopt;
    return picture;
  }
  auto pixels = allocatePixels(edge, edge);
  if (!pixels) return std::nullopt;
  bool ok = false;
  switch (image.info->coding) {
    case icns::Coding::kArgb:
      ok = icns::decodeArgb(image.data.subspan(4), edge, pixels.get());
      break;
    case icns::Coding::kRgb:
      ok =
          icns::decodeRgb(image.data, edge, image.info->type == icns::fourcc("it32"), pixels.get());
      if (ok && !image.mask.empty()) ok = icns::applyMask(image.mask, edge, pixels.get());
      break;
    default:
      ok = icns::decodeClassic(*image.info, image.data, image.mask, pixels.get());
      break;
  }
  if (!ok) return std::nullopt;
  return RasterImage(edge, edge, std::move(pixels));
}

// The pictures of one loaded image, decoded on first use and kept.
class PictureSource {
 public:
  explicit PictureSource(RasterImage single) {
    slots_.push_back({{}, std::move(single), false, nullptr});
  }
  PictureSource(std::vector<uint8_t> file, std::vector<IcnsImage> images) : file_(std::move(file)) {
    // Largest first, then best coding, then file order.
    std::stable_sort(images.begin(), images.end(), [](const IcnsImage& a, const IcnsImage& b) {
      if (a.info->pixels != b.info->pixels) return a.info->pixels > b.info->pixels;
      return a.rank > b.rank;
    });
    for (IcnsImage& image : images) slots_.push_back({image, std::nullopt, false, nullptr});
  }

  Pyramid* pyramidFor(int pixels) {
    const std::optional<RasterImage> picture = pictureFor(pixels);
    if (!picture) return nullptr;
    for (Slot& slot : slots_)
      if (slot.picture && slot.picture->rgba().data() == picture->rgba().data()) {
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
        if (!chosen || edge(slot) >= pixels) chosen = &slot;
        if (edge(slot) < pixels) break;
      }
      // Slots run from large to small, so the last one at least `pixels` wide (or the first
      // one, the largest) has been chosen; within an edge the best coding comes first.
      if (!chosen) return std::nullopt;
      chosen = firstOfEdge(chosen);
      if (chosen->picture) return chosen->picture;
      chosen->picture = decodeIcnsImage(chosen->image);
      if (chosen->picture) return chosen->picture;
      chosen->failed = true;
    }
  }

 private:
  struct Slot {
    IcnsImage image;
    std::optional<RasterImage> picture;
    bool failed;
    std::unique_ptr<Pyramid> pyramid;
  };
  static int edge(const Slot& s) {
    return s.image.info ? s.image.info->pixels : s.picture->width();
  }
  // The best-coded slot of the same edge that has not failed.
  Slot* firstOfEdge(Slot* s) {
    Slot* best = s;
    for (Slot* p = s; p != slots_.data() && edge(*(p - 1)) == edge(*s); --p)
      if (!(p - 1)->failed) best = p - 1;
    return best;
  }
  std::vector<uint8_t> file_;  // the container the slots' spans point into
  std::vector<Slot> slots_;
};

std::optional<Image> Image::load(const std::string& path) {
  // A file of no format the loader reads is refused from its first bytes, whatever its size.
  Result<std::vector<uint8_t>> head = readFilePrefix(path, 16);
  if (!head.ok() || sniffFormat(head.value()) == PictureFormat::kUnknown) return std::nullopt;
  Result<std::vector<uint8_t>> bytes = readFile(path, kMaxInputBytes);
  if (!bytes.ok()) return std::nullopt;
  return fromBytes(bytes.value());
}

std::optional<Image> Image::fromBytes(std::span<const uint8_t> bytes) {
  if (sniffFormat(bytes) != PictureFormat::kIcns) {
    std::optional<RasterImage> picture = decodePicture(bytes);
    if (!picture) return std::nullopt;
    return fromPicture(std::move(*picture));
  }
  std::vector<uint8_t> file(bytes.begin(), bytes.end());
  auto parsed = icns::parse(file);
  if (parsed.index() != 0) return std::nullopt;
  std::vector<IcnsImage> images = icnsImages(std::get<0>(parsed));
  auto source = std::make_shared<PictureSource>(std::move(file), std::move(images));
  // The largest stored picture must decode (or a smaller one in its place) for the file to count
  // as an image; the others are decoded when a size needs them.
  if (!source->pictureFor(kMaxPictureEdge)) return std::nullopt;
  return Image(std::move(source));
}

Image Image::fromPicture(RasterImage picture) {
  return Image(std::make_shared<PictureSource>(std::move(picture)));
}

std::optional<RasterImage> Image::pictureFor(int pixels) const {
  return source_->pictureFor(pixels);
}

Pyramid* Image::pyramidFor(int pixels) const { return source_->pyramidFor(pixels); }

}  // namespace platform
