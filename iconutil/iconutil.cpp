#include "iconutil/iconutil.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "icns/icns.h"
#include "iconset/write_icns.h"
#include "platform/codecs.h"
#include "platform/files.h"

namespace {

constexpr uint64_t kMaxPngBytes = 64u << 20;
constexpr uint64_t kMaxIcnsBytes = 512u << 20;
const char kUsage[] =
    "usage: iconutil -c icns [-o file.icns] dir.iconset | iconutil -c iconset [-o dir.iconset] "
    "file.icns";

struct Slot {
  const char* name;
  int pixels;
  uint32_t type;
};

// The icon-set files in the order Apple's converter writes their chunks.
constexpr Slot kSlots[] = {
    {"icon_32x32@2x.png", 64, icns::fourcc("ic12")},
    {"icon_128x128.png", 128, icns::fourcc("ic07")},
    {"icon_128x128@2x.png", 256, icns::fourcc("ic13")},
    {"icon_256x256.png", 256, icns::fourcc("ic08")},
    {"icon_16x16.png", 16, icns::fourcc("ic04")},
    {"icon_256x256@2x.png", 512, icns::fourcc("ic14")},
    {"icon_512x512.png", 512, icns::fourcc("ic09")},
    {"icon_32x32.png", 32, icns::fourcc("ic05")},
    {"icon_512x512@2x.png", 1024, icns::fourcc("ic10")},
    {"icon_16x16@2x.png", 32, icns::fourcc("ic11")},
};

bool endsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string stripTrailingSlashes(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

IconutilOutcome fail(const std::string& message) { return {1, "iconutil: " + message + "\n"}; }

IconutilOutcome toIcns(const std::string& inputArg, std::optional<std::string> output) {
  const std::string input = stripTrailingSlashes(inputArg);
  if (!endsWith(input, ".iconset")) return fail(input + ": not an .iconset directory");
  struct stat st;
  if (::stat(input.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return fail(input + ": no such icon-set directory");
  if (!output) output = input.substr(0, input.size() - 8) + ".icns";

  std::vector<std::vector<uint8_t>> payloads;
  std::vector<uint32_t> types;
  // Files already checked, by content: icon sets hold the same picture under two names.
  std::vector<std::pair<std::vector<uint8_t>, platform::Size>> checked;
  for (const Slot& slot : kSlots) {
    const std::string path = platform::joinPath(input, slot.name);
    // Only regular files count; symbolic links are not followed.
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    Result<std::vector<uint8_t>> bytes = platform::readFile(path, kMaxPngBytes);
    if (!bytes.ok()) return fail(bytes.error().description);
    // 16 and 32 px at 1x go in as ARGB: small PNG entries are drawn scrambled by some readers.
    const bool argb = slot.pixels <= 32 && slot.type != icns::fourcc("ic11");
    std::optional<platform::RasterImage> picture;
    std::optional<platform::Size> size;
    if (argb) {
      picture = platform::decodePng(bytes.value());
      if (picture) size = platform::Size{double(picture->width()), double(picture->height())};
    } else {
      for (const auto& [content, pixelSize] : checked)
        if (content == bytes.value()) size = pixelSize;
      if (!size && (size = platform::checkPng(bytes.value())))
        checked.emplace_back(bytes.value(), *size);
    }
    if (!size) return fail(path + ": not a valid PNG file");
    const int width = static_cast<int>(size->width), height = static_cast<int>(size->height);
    if (width != slot.pixels || height != slot.pixels)
      return fail(path + ": is " + std::to_string(width) + "x" + std::to_string(height) +
                  " pixels, expected " + std::to_string(slot.pixels) + "x" +
                  std::to_string(slot.pixels));
    if (argb)
      payloads.push_back(icns::encodeArgb(picture->rgba(), slot.pixels));
    else
      payloads.push_back(std::move(bytes.value()));
    types.push_back(slot.type);
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
  static constexpr struct {
    uint32_t type;
    int size, scale;
  } kRetina[] = {{icns::fourcc("ic11"), 32, 2},
                 {icns::fourcc("ic12"), 64, 2},
                 {icns::fourcc("ic13"), 256, 2},
                 {icns::fourcc("ic14"), 512, 2},
                 {icns::fourcc("ic10"), 1024, 2}};
  for (const auto& r : kRetina)
    if (r.type == info.type) return iconsetFileName(r.size, r.scale);
  return iconsetFileName(info.pixels, 1);
}

IconutilOutcome toIconset(const std::string& input, std::optional<std::string> output) {
  if (!output) {
    const std::string base = endsWith(input, ".icns") ? input.substr(0, input.size() - 5) : input;
    output = base + ".iconset";
  }
  *output = stripTrailingSlashes(*output);
  Result<std::vector<uint8_t>> bytes = platform::readFile(input, kMaxIcnsBytes);
  if (!bytes.ok()) return fail(bytes.error().description);
  auto parsed = icns::parse(bytes.value());
  if (parsed.index() != 0)
    return fail(input + ": " + std::string(icns::describe(std::get<1>(parsed))));
  struct stat st;
  if (::lstat(output->c_str(), &st) == 0) return fail(*output + ": already exists");

  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (const platform::IcnsImage& image : platform::icnsImages(std::get<0>(parsed))) {
    const std::string name = nameFor(*image.info);
    bool taken = false;
    for (const auto& f : files) taken = taken || f.first == name;
    if (taken) continue;
    std::optional<platform::RasterImage> picture = platform::decodeIcnsImage(image);
    if (!picture) continue;
    auto png = platform::encodePng(*picture, {double(picture->width()), double(picture->height())});
    if (!png) return fail(input + ": could not encode " + name);
    files.emplace_back(name, std::move(*png));
  }
  if (files.empty()) return fail(input + ": no image could be decoded");

  std::string temp = *output + ".tmp-XXXXXX";
  if (!::mkdtemp(temp.data()))
    return fail("could not create a directory beside " + *output + ": " + std::strerror(errno));
  for (const auto& [name, png] : files) {
    if (auto error = platform::writeFile(platform::joinPath(temp, name), png)) {
      platform::removeItem(temp);
      return fail(error->description);
    }
  }
  ::chmod(
      temp.c_str(), 0755 & ~[] {
        mode_t m = ::umask(0);
        ::umask(m);
        return m;
      }());
  if (::rename(temp.c_str(), output->c_str()) != 0) {
    const int error = errno;
    platform::removeItem(temp);
    return fail("could not create " + *output + ": " + std::strerror(error));
  }
  return {0, ""};
}

}  // namespace

IconutilOutcome runIconutil(const std::vector<std::string>& arguments) {
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

int iconutilMain(int argc, const char* const* argv) {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  platform::ensureStandardStreams();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  const IconutilOutcome outcome = runIconutil(arguments);
  if (!outcome.message.empty()) {
    [[maybe_unused]] const ssize_t n =
        ::write(STDERR_FILENO, outcome.message.data(), outcome.message.size());
  }
  return outcome.status;
}
