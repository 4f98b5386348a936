#include "iconutil/iconutil.h"

#include <array>
#include <new>
#include <optional>

#include "icns/icns.h"
#include "icns/icon_set.h"
#include "icns/stored_pictures.h"
#include "platform/codecs/codecs.h"
#include "platform/os/files.h"
#include "platform/unicode/unicode.h"

namespace {

const char kUsage[] =
    "usage: iconutil -c icns [-o file.icns] dir.iconset | iconutil -c iconset [-o dir.iconset] "
    "file.icns";

bool endsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string stripTrailingSlashes(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

IconutilOutcome fail(const std::string& message) { return {1, "iconutil: " + message + "\n"}; }

// The icon-set entries in the order Apple's converter writes their chunks.
std::array<const icns::IconSetEntry*, icns::kIconSet.size()> inChunkOrder() {
  std::array<const icns::IconSetEntry*, icns::kIconSet.size()> out{};
  for (const icns::IconSetEntry& entry : icns::kIconSet) out[entry.chunkOrder] = &entry;
  return out;
}

IconutilOutcome toIcns(const std::string& inputArg, std::optional<std::string> output) {
  const std::string input = stripTrailingSlashes(inputArg);
  if (!endsWith(input, ".iconset")) return fail(input + ": not an .iconset directory");
  if (platform::itemKind(input, true) != platform::ItemKind::kDirectory)
    return fail(input + ": no such icon-set directory");
  if (!output) output = input.substr(0, input.size() - 8) + ".icns";

  std::vector<std::vector<uint8_t>> payloads;
  std::vector<uint32_t> types;
  for (const icns::IconSetEntry* entry : inChunkOrder()) {
    const std::string path = platform::joinPath(input, entry->fileName());
    // Only regular files count; symbolic links are not followed.
    if (platform::itemKind(path, false) != platform::ItemKind::kRegularFile) continue;
    Result<std::vector<uint8_t>> bytes =
        platform::readFile(path, platform::kLimits.maxIconsetFileBytes);
    if (!bytes.ok()) return fail(bytes.error().description);
    // ARGB types hold the pixels themselves: small PNG entries are drawn scrambled by some
    // readers. The others hold the PNG file unchanged.
    const bool argb = icns::typeInfo(entry->type)->coding == icns::Coding::kArgb;
    std::optional<platform::RasterImage> picture;
    std::optional<platform::PixelSize> size;
    if (argb) {
      picture = platform::decodePng(bytes.value());
      if (picture) size = platform::PixelSize{picture->width(), picture->height()};
    } else {
      size = platform::checkPng(bytes.value());
    }
    if (!size) return fail(path + ": not a valid PNG file");
    if (size->width != entry->size || size->height != entry->size)
      return fail(path + ": is " + std::to_string(size->width) + "x" +
                  std::to_string(size->height) + " pixels, expected " +
                  std::to_string(entry->size) + "x" + std::to_string(entry->size));
    if (argb)
      payloads.push_back(icns::encodeArgb(picture->rgba(), entry->size));
    else
      payloads.push_back(std::move(bytes.value()));
    types.push_back(entry->type);
  }
  if (payloads.empty()) return fail(input + ": iconset contains no image resources");
  std::vector<icns::Chunk> chunks;
  for (size_t i = 0; i < payloads.size(); ++i) chunks.push_back({types[i], payloads[i]});
  const std::vector<uint8_t> container = icns::write(chunks);
  if (container.empty()) return fail(input + ": images too large for one container");
  if (auto error = platform::replaceFile(*output, container)) return fail(error->description);
  return {0, ""};
}

// The icon-set name of a stored picture's type.
std::string nameFor(const icns::TypeInfo& info) {
  const icns::IconSetEntry* entry = icns::iconSetEntryFor(info.type);
  return entry ? entry->fileName() : icns::iconsetFileName(info.pixels, 1);
}

IconutilOutcome toIconset(const std::string& input, std::optional<std::string> output) {
  if (!output) {
    const std::string base = endsWith(input, ".icns") ? input.substr(0, input.size() - 5) : input;
    output = base + ".iconset";
  }
  *output = stripTrailingSlashes(*output);
  Result<std::vector<uint8_t>> bytes = platform::readFile(input, platform::kLimits.maxInputBytes);
  if (!bytes.ok()) return fail(bytes.error().description);
  auto parsed = icns::parse(bytes.value());
  if (parsed.index() != 0)
    return fail(input + ": " + std::string(icns::describe(std::get<1>(parsed))));
  if (platform::itemKind(*output, false) != platform::ItemKind::kMissing)
    return fail(*output + ": already exists");

  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (const icns::StoredPicture& stored : icns::storedPictures(std::get<0>(parsed))) {
    const std::string name = nameFor(*stored.info);
    bool taken = false;
    for (const auto& f : files) taken = taken || f.first == name;
    if (taken) continue;
    std::optional<platform::RasterImage> picture = icns::decodeStoredPicture(stored);
    if (!picture) continue;
    auto png = platform::encodePng(*picture, picture->width(), picture->height());
    if (!png) return fail(input + ": could not encode " + name);
    files.emplace_back(name, std::move(*png));
  }
  if (files.empty()) return fail(input + ": no image could be decoded");

  Result<std::string> temp = platform::makeDirectoryBeside(*output);
  if (!temp.ok()) return fail(temp.error().description);
  platform::RemovalGuard guard(temp.value());
  for (const auto& [name, png] : files) {
    if (auto error = platform::writeFile(platform::joinPath(temp.value(), name), png))
      return fail(error->description);
  }
  if (auto error = platform::renameItem(temp.value(), *output)) return fail(error->description);
  guard.release();
  return {0, ""};
}

IconutilOutcome convert(const std::vector<std::string>& arguments) {
  std::optional<std::string> mode, output, input;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if ((a == "-c" || a == "--convert") && i + 1 < arguments.size()) {
      mode = arguments[++i];
    } else if ((a == "-o" || a == "--output") && i + 1 < arguments.size()) {
      output = arguments[++i];
    } else if (!a.empty() && a[0] != '-' && !input) {
      input = a;
    } else {
      return {1, std::string(kUsage) + "\n"};
    }
  }
  if (!mode || !input) return {1, std::string(kUsage) + "\n"};
  if (*mode == "icns") return toIcns(*input, output);
  if (*mode == "iconset") return toIconset(*input, output);
  return fail("unknown conversion type: " + *mode);
}

}  // namespace

IconutilOutcome runIconutil(const std::vector<std::string>& arguments) {
  // Memory running out is a failure like any other; what was built beside the output is gone.
  try {
    return convert(arguments);
  } catch (const std::bad_alloc&) {
    return fail("not enough memory");
  }
}

int iconutilMain(int argc, const char* const* argv) {
  platform::prepareProcess();
  try {
    const IconutilOutcome outcome = runIconutil({argv + 1, argv + argc});
    if (!outcome.message.empty())
      platform::writeStandardError(platform::decodeUtf8Lossy(outcome.message));
    return outcome.status;
  } catch (const std::bad_alloc&) {
    platform::writeStandardError("iconutil: not enough memory\n");
    return 1;
  }
}
