#include "cli/driver.h"

#include <algorithm>
#include <new>

#include "icns/icon_set.h"
#include "iconset/write_icns.h"
#include "input/load_base.h"
#include "platform/unicode/unicode.h"
#include "render/render_icon.h"

namespace {

// The icon-set table as (size, scale) pairs, in its order.
constexpr std::array<SizeEntry, 10> sizeEntries() {
  std::array<SizeEntry, 10> out{};
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = {icns::kIconSet[i].size, icns::kIconSet[i].scale};
  return out;
}

}  // namespace

Args args;
Color badgeColor;
const std::array<SizeEntry, 10> sizes = sizeEntries();
std::vector<RenderedEntry> rendered;

Pipeline realPipeline() {
  return Pipeline{loadBaseImage,
                  [](const platform::Image& base, int size, const std::string& label,
                     const Color& badge) { return renderIcon(base, size, label, badge); },
                  writeIcns};
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
    const auto same = std::find_if(rendered.begin(), rendered.end(),
                                   [&](const RenderedEntry& r) { return r.size == entry.size; });
    std::optional<platform::RasterImage> image =
        same != rendered.end() ? same->image
                               : pipeline.render(*base, entry.size, args.label, badgeColor);
    if (image) rendered.push_back({entry.size, entry.scale, std::move(*image)});
  }
  if (rendered.empty()) return {4, "no sizes rendered\n"};
  if (std::optional<IconError> error = pipeline.write(rendered, *args.output))
    return {5, "icns write failed: " + error->description + "\n"};
  return {0, ""};
}

int badgewrightMain(int argc, const char* const* argv) {
  platform::prepareProcess();
  // Each stage turns memory running out into its own failure; what is left is the driver's own
  // bookkeeping, which cannot finish the run either.
  try {
    args = parseArgs(argc, argv);
    const Outcome outcome = runDriver(realPipeline());
    // Messages are UTF-8; a path given in other bytes is shown with U+FFFD in their place.
    if (!outcome.message.empty())
      platform::writeStandardError(platform::decodeUtf8Lossy(outcome.message));
    return outcome.status;
  } catch (const std::bad_alloc&) {
    platform::writeStandardError("icns write failed: not enough memory\n");
    return 5;
  }
}
