#include "iconset/write_icns.h"

#include "iconset/convert.h"

std::string iconsetFileName(int size, int scale) {
  const std::string points = std::to_string(size / scale);
  return "icon_" + points + "x" + points + (scale == 2 ? "@2x" : "") + ".png";
}

namespace {

// Removes the scratch directory when it goes out of scope; a failure to remove is ignored.
class ScratchGuard {
 public:
  explicit ScratchGuard(std::string path) : path_(std::move(path)) {}
  ~ScratchGuard() { platform::removeItem(path_); }
  ScratchGuard(const ScratchGuard&) = delete;
  ScratchGuard& operator=(const ScratchGuard&) = delete;

 private:
  std::string path_;
};

}  // namespace

std::optional<IconError> writeIcnsWith(const std::vector<RenderedEntry>& cgImages,
                                       const std::string& outputPath,
                                       const std::string& converter) {
  const std::string outputLocation = platform::absolutePath(outputPath);
  Result<std::string> scratchDirectory = platform::makeScratchDirectory(outputLocation);
  if (!scratchDirectory.ok()) return scratchDirectory.error();
  const std::string iconsetDirectory = platform::joinPath(scratchDirectory.value(), "icon.iconset");
  if (auto error = platform::makeDirectory(iconsetDirectory)) return error;
  ScratchGuard guard(scratchDirectory.value());

  for (const RenderedEntry& entry : cgImages) {
    const std::string file =
        platform::joinPath(iconsetDirectory, iconsetFileName(entry.size, entry.scale));
    // One pixel per point: the nominal size is the pixel size, for 2x entries too.
    const platform::Size nominal{double(entry.size), double(entry.size)};
    std::optional<std::vector<uint8_t>> png = platform::encodePng(entry.image, nominal);
    if (!png) return IconError{"icns", 1, "PNG encode failed"};
    if (auto error = platform::writeFile(file, *png)) return error;
  }
  return convertIconset(converter, iconsetDirectory, outputPath);
}

std::optional<IconError> writeIcns(const std::vector<RenderedEntry>& cgImages,
                                   const std::string& outputPath) {
  return writeIcnsWith(cgImages, outputPath, converterPath());
}
