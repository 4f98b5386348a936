#include "iconset/write_icns.h"

#include <new>

#include "icns/icon_set.h"
#include "iconset/convert.h"
#include "platform/codecs/codecs.h"

namespace {

std::optional<IconError> stageAndConvert(const std::vector<RenderedEntry>& cgImages,
                                         const std::string& outputPath,
                                         const std::string& converter) {
  const std::string outputLocation = platform::absolutePath(outputPath);
  Result<std::string> scratchDirectory = platform::makeScratchDirectory(outputLocation);
  if (!scratchDirectory.ok()) return scratchDirectory.error();
  // Removed on every way out, also when the icon-set directory cannot be made in it.
  const platform::RemovalGuard guard(scratchDirectory.value());
  const std::string iconsetDirectory = platform::joinPath(scratchDirectory.value(), "icon.iconset");
  if (auto error = platform::makeDirectory(iconsetDirectory)) return error;

  const RenderedEntry* previous = nullptr;
  std::optional<std::vector<uint8_t>> png;
  for (const RenderedEntry& entry : cgImages) {
    const std::string file =
        platform::joinPath(iconsetDirectory, icns::iconsetFileName(entry.size, entry.scale));
    if (!previous || !previous->image.sharesPixelsWith(entry.image) ||
        previous->size != entry.size) {
      // One pixel per point: the nominal size is the pixel size, for 2x entries too.
      png = platform::encodePng(entry.image, entry.size, entry.size);
      if (!png) return IconError{"icns", 1, "PNG encode failed"};
    }
    previous = &entry;
    if (auto error = platform::writeFile(file, *png)) return error;
  }
  return convertIconset(converter, iconsetDirectory, outputPath);
}

}  // namespace

std::optional<IconError> writeIcnsWith(const std::vector<RenderedEntry>& cgImages,
                                       const std::string& outputPath,
                                       const std::string& converter) {
  // Memory running out is a failure like any other; the scratch directory's guard has removed
  // it by the time this returns.
  try {
    return stageAndConvert(cgImages, outputPath, converter);
  } catch (const std::bad_alloc&) {
    return IconError{"icns", 1, "not enough memory"};
  }
}

std::optional<IconError> writeIcns(const std::vector<RenderedEntry>& cgImages,
                                   const std::string& outputPath) {
  return writeIcnsWith(cgImages, outputPath, converterPath());
}
