#include "input/load_base.h"

#include <memory>
#include <new>
#include <vector>

#include "icns/icns.h"
#include "icns/stored_pictures.h"
#include "platform/codecs/codecs.h"
#include "platform/os/files.h"

namespace {

bool isContainer(std::span<const uint8_t> bytes) {
  return bytes.size() >= 4 &&
         icns::fourcc("icns") == (uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 |
                                  uint32_t(bytes[2]) << 8 | bytes[3]);
}

// Every stored picture of the container, each decoded from the file's bytes, which they keep.
std::optional<platform::Image> decodeContainer(std::vector<uint8_t> bytes) {
  auto file = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
  auto parsed = icns::parse(*file);
  auto* chunks = std::get_if<std::vector<icns::Chunk>>(&parsed);
  if (!chunks) return std::nullopt;
  std::vector<platform::Representation> representations;
  for (const icns::StoredPicture& picture : icns::storedPictures(*chunks))
    representations.push_back({picture.info->pixels, picture.rank,
                               [file, picture] { return icns::decodeStoredPicture(picture); }});
  return platform::Image::fromRepresentations(std::move(representations));
}

std::optional<platform::Image> decodePicture(std::span<const uint8_t> bytes) {
  std::optional<platform::RasterImage> picture = platform::decodePicture(bytes);
  if (!picture) return std::nullopt;
  return platform::Image::fromPicture(std::move(*picture));
}

std::optional<platform::Image> loadFile(const std::string& path) {
  // A file of no format the loader reads is refused from its first bytes, whatever its size.
  Result<std::vector<uint8_t>> head = platform::readFilePrefix(path, 16);
  if (!head.ok() || (!isContainer(head.value()) &&
                     platform::sniffFormat(head.value()) == platform::PictureFormat::kUnknown))
    return std::nullopt;
  Result<std::vector<uint8_t>> bytes = platform::readFile(path, platform::kLimits.maxInputBytes);
  if (!bytes.ok()) return std::nullopt;
  // The container's pictures decode from the bytes as read, without a copy.
  if (isContainer(bytes.value())) return decodeContainer(std::move(bytes.value()));
  return decodePicture(bytes.value());
}

}  // namespace

// Memory running out while loading means the input could not be loaded.
std::optional<platform::Image> loadBaseImage(const std::string& path) {
  try {
    return loadFile(path);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<platform::Image> decodeBaseImage(std::span<const uint8_t> bytes) {
  try {
    if (isContainer(bytes)) return decodeContainer({bytes.begin(), bytes.end()});
    return decodePicture(bytes);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}
