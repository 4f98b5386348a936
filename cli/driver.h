#pragma once
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/args.h"
#include "iconset/rendered_entry.h"
#include "platform/graphics/image.h"
#include "platform/os/files.h"
#include "render/color.h"

struct SizeEntry {
  int size;
  int scale;
};

// The run's state, set in this order: args after parsing, the rest once the base has loaded.
extern Args args;
extern Color badgeColor;
extern const std::array<SizeEntry, 10> sizes;
extern std::vector<RenderedEntry> rendered;

// The pieces the driver calls; main uses the real ones, tests small fakes.
struct Pipeline {
  std::function<std::optional<platform::Image>(const std::string& path)> loadBase;
  std::function<std::optional<platform::RasterImage>(const platform::Image& base, int size,
                                                     const std::string& label, const Color& badge)>
      render;
  std::function<std::optional<IconError>(const std::vector<RenderedEntry>& cgImages,
                                         const std::string& outputPath)>
      write;
};
Pipeline realPipeline();

// How a run ends: the exit status and the message for standard error (empty for none).
struct Outcome {
  int status;
  std::string message;
};

// Runs the whole job on the parsed arguments in the global `args`. Entries that share a pixel
// size get one rendered picture: the renderer depends on nothing but its arguments.
Outcome runDriver(const Pipeline& pipeline);

// The process entry: parses argv, runs, writes the message to standard error in one write.
int badgewrightMain(int argc, const char* const* argv);
