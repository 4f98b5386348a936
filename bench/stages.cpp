// Stage timings of one run, from the real code, in process: decode, scale, badge, encode and
// container. Each stage is run `repeats` times on fresh state; the median and range are printed.
// Also prints the bytes the run's pictures take as PNG here and with libpng at zlib level 6.
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cli/driver.h"
#include "icns/icon_set.h"
#include "iconset/write_icns.h"
#include "iconutil/iconutil.h"
#include "input/load_base.h"
#include "platform/os/files.h"
#include "render/render_icon.h"

namespace {

double millisecondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

struct Figure {
  double median, min, max;
};

Figure measure(int repeats, const std::function<void()>& setup, const std::function<void()>& work) {
  std::vector<double> ms;
  for (int i = 0; i < repeats; ++i) {
    setup();
    ms.push_back(millisecondsOf(work));
  }
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.front(), ms.back()};
}

void print(const char* stage, Figure f) {
  std::printf("  %-44s %7.2f ms  (%.2f .. %.2f)\n", stage, f.median, f.min, f.max);
}

size_t libpngZlib6Bytes(const platform::RasterImage& image) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return 0;
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, size_t n) {
        auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        v->insert(v->end(), data, data + n);
      },
      nullptr);
  png_set_compression_level(png, 6);
  png_set_IHDR(png, info, image.width(), image.height(), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_pHYs(png, info, 2835, 2835, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (int y = 0; y < image.height(); ++y)
    png_write_row(png, image.rgba().data() + size_t(y) * image.width() * 4);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: stages <base image> <scratch dir> [repeats]\n");
    return 2;
  }
  const std::string input = argv[1], scratch = argv[2];
  const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 15;
  const Color badge = colorFromHex("#2563EB");

  std::optional<platform::Image> base;
  const auto decodeAll = [&] {
    base = loadBaseImage(input);
    for (const SizeEntry& e : sizes) base->pictureFor(e.size);
  };
  decodeAll();
  if (!base) {
    std::fprintf(stderr, "stages: cannot load %s\n", input.c_str());
    return 3;
  }
  std::vector<RenderedEntry> pictures;
  const auto renderAll = [&](const char* label) {
    pictures.clear();
    for (const SizeEntry& e : sizes)
      if (auto image = renderIcon(*base, e.size, label, badge))
        pictures.push_back({e.size, e.scale, std::move(*image)});
  };
  std::printf("%s\n", input.c_str());
  print("decode (load, every picture the sizes use)", measure(
                                                          repeats, [] {}, decodeAll));
  // A fresh base each time, so the halvings are built as in a real run.
  print("scale (ten renders, empty label)", measure(repeats, decodeAll, [&] { renderAll(""); }));
  print("scale and badge (ten renders, label \"3\")",
        measure(repeats, decodeAll, [&] { renderAll("3"); }));

  size_t ourBytes = 0, zlibBytes = 0;
  print("encode (ten PNGs)", measure(
                                 repeats, [] {},
                                 [&] {
                                   ourBytes = 0;
                                   for (const auto& p : pictures)
                                     ourBytes +=
                                         platform::encodePng(p.image, p.size, p.size)->size();
                                 }));
  for (const auto& p : pictures) zlibBytes += libpngZlib6Bytes(p.image);

  const std::string output = platform::joinPath(scratch, "stages.icns");
  print("write (stage ten PNGs, run the converter)",
        measure(
            repeats, [] {}, [&] { writeIcns(pictures, output); }));
  const std::string iconset = platform::joinPath(scratch, "stages.iconset");
  platform::removeItem(iconset);
  platform::makeDirectory(iconset);
  for (const auto& p : pictures)
    platform::writeFile(platform::joinPath(iconset, icns::iconsetFileName(p.size, p.scale)),
                        *platform::encodePng(p.image, p.size, p.size));
  print("container (iconutil -c icns, in process)",
        measure(
            repeats, [] {},
            [&] {
              runIconutil({"-c", "icns", "-o", output, iconset});
            }));
  const auto icns = platform::readFile(output, 64u << 20);
  std::printf("  ten PNGs: %zu bytes here, %zu with libpng at zlib level 6 (ratio %.3f)\n",
              ourBytes, zlibBytes, double(ourBytes) / zlibBytes);
  if (icns.ok()) {
    // The container adds an 8-byte header and 8 bytes per entry to the ten pictures.
    const size_t reference = zlibBytes + 8 + 8 * pictures.size();
    std::printf("  .icns: %zu bytes; ten zlib-6 PNGs in a container: %zu (ratio %.3f)\n",
                icns.value().size(), reference, double(icns.value().size()) / reference);
  }
  return 0;
}
