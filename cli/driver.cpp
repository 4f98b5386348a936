#include "cli/driver.h"

#include <unistd.h>

#include <csignal>
#include <memory>

#include "iconset/write_icns.h"
#include "render/render_icon.h"

Args args;
Color badgeColor;
const std::array<SizeEntry, 10> sizes = {{{16, 1},
                                          {32, 2},
                                          {32, 1},
                                          {64, 2},
                                          {128, 1},
                                          {256, 2},
                                          {256, 1},
                                          {512, 2},
                                          {512, 1},
                                          {1024, 2}}};
std::vector<RenderedEntry> rendered;

Pipeline realPipeline() {
  // Entries that share a pixel size come one after the other; renderIcon depends on nothing but
  // its arguments, so the picture last made is given again when they repeat.
  struct Last {
    const platform::Image* base = nullptr;
    int size = 0;
    std::string label;
    Color badge;
    std::optional<platform::RasterImage> image;
  };
  auto last = std::make_shared<Last>();
  return Pipeline{[](const std::string& path) { return platform::Image::load(path); },
                  [last](const platform::Image& base, int size, const std::string& label,
                         const Color& badge) -> std::optional<platform::RasterImage> {
                    if (last->image && last->base == &base && last->size == size &&
                        last->label == label && last->badge == badge)
                      return last->image;
                    std::optional<platform::RasterImage> image =
                        renderIcon(base, size, label, badge);
                    if (image) *last = {&base, size, label, badge, image};
                    return image;
                  },
                  [](const std::vector<RenderedEntry>& entries, const std::string& output) {
                    return writeIcns(entries, output);
                  }};
}

Outcome runDriver(const Pipeline& pipeline) {
  if (!args.input || !args.output)
    return {2,
            "usage: badgewright --input <base.icns> --output <out.icns> --label <text> --color "
            "<#RRGGBB>\n"};
  const std::optional<platform::Image> base = pipeline.loadBase(*args.input);
  if (!base) return {3, "could not load input: " + *args.input + "\n"};
  badgeColor = colorFromHex(args.color);
  rendered.clear();
  for (const SizeEntry& entry : sizes) {
    std::optional<platform::RasterImage> image =
        pipeline.render(*base, entry.size, args.label, badgeColor);
    if (image) rendered.push_back({entry.size, entry.scale, std::move(*image)});
  }
  if (rendered.empty()) return {4, "no sizes rendered\n"};
  if (std::optional<IconError> error = pipeline.write(rendered, *args.output))
    return {5, "icns write failed: " + error->description + "\n"};
  return {0, ""};
}

int badgewrightMain(int argc, const char* const* argv) {
  // A closed or broken standard error must not kill the process, and a file-size limit must
  // surface as a write error rather than a signal.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  platform::ensureStandardStreams();
  args = parseArgs(argc, argv);
  const Outcome outcome = runDriver(realPipeline());
  if (!outcome.message.empty()) {
    // One write of the whole message; its result is not checked, as nothing could report it.
    [[maybe_unused]] const ssize_t n =
        ::write(STDERR_FILENO, outcome.message.data(), outcome.message.size());
  }
  return outcome.status;
}
