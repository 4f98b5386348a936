#include "fuzz/targets.h"

#include <cmath>
#include <string>
#include <vector>

#include "cli/args.h"
#include "icns/icns.h"
#include "icns/stored_pictures.h"
#include "input/load_base.h"
#include "render/color.h"
#include "render/render_icon.h"

namespace fuzzing {
namespace {

// A broken invariant ends the process, so the fuzzer records the input.
void require(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

void icnsCodec(std::span<const uint8_t> data) {
  auto parsed = icns::parse(data);
  auto* chunks = std::get_if<std::vector<icns::Chunk>>(&parsed);
  if (!chunks) return;
  for (const icns::StoredPicture& image : icns::storedPictures(*chunks)) {
    if (auto picture = icns::decodeStoredPicture(image))
      require(picture->width() == image.info->pixels && picture->height() == image.info->pixels);
  }
  const std::vector<uint8_t> again = icns::write(*chunks);
  auto reparsed = icns::parse(again);
  auto* back = std::get_if<std::vector<icns::Chunk>>(&reparsed);
  require(back && back->size() == chunks->size());
  for (size_t i = 0; i < chunks->size(); ++i) {
    require((*back)[i].type == (*chunks)[i].type);
    require(std::equal((*back)[i].data.begin(), (*back)[i].data.end(), (*chunks)[i].data.begin(),
                       (*chunks)[i].data.end()));
  }
}

void imageLoader(std::span<const uint8_t> data) {
  std::optional<platform::Image> image = decodeBaseImage(data);
  if (!image) return;
  // Every stored picture a size would use is decoded; drawing, which is the same code for any
  // picture, is left out for large ones so that the decoders get most of the time.
  for (int size : {16, 33, 64, 1024}) {
    const std::optional<platform::RasterImage> source = image->pictureFor(size);
    require(source.has_value());
    if (size > 64 || source->width() > 512 || source->height() > 512) continue;
    if (auto picture = renderIcon(*image, size, "7", Color{0.1, 0.2, 0.3, 1}))
      require(picture->width() == size && picture->height() == size);
  }
}

void colorParser(std::span<const uint8_t> data) {
  const Color c =
      colorFromHex(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
  for (double v : {c.red, c.green, c.blue, c.alpha}) require(std::isfinite(v) && v >= 0 && v <= 1);
}

void optionParser(std::span<const uint8_t> data) {
  std::vector<std::string> words(1, "badgewright");
  std::string current;
  for (uint8_t b : data) {
    if (b == 0) {
      words.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(b));
    }
  }
  words.push_back(current);
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  argv.push_back(nullptr);
  const Args args = parseArgs(static_cast<int>(words.size()), argv.data());
  require(!args.input || args.input->size() <= data.size() * 3);
}

}  // namespace fuzzing
