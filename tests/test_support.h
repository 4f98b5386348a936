#pragma once
// Helpers shared by the tests: scratch directories, files, child processes and pictures.
#include <png.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/graphics/drawing.h"

namespace testing_support {

// A fresh directory removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::vector<uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void writeText(const std::string& path, const std::string& text, bool executable = false);
bool exists(const std::string& path);
std::vector<std::string> listDirectory(const std::string& path);

struct ProcessResult {
  // Exit status, or 128 + signal; -1 when the program never started, with the reason in err.
  int status = -1;
  std::string out, err;
  long peakKilobytes = 0;  // the child's peak resident memory
};
struct RunOptions {
  std::vector<std::string> env;  // "NAME=value" entries added to the environment
  std::string workingDirectory;
  long fileSizeLimit = -1;  // bytes, for RLIMIT_FSIZE; -1 leaves it alone
  long cpuSeconds = -1;     // RLIMIT_CPU; -1 leaves it alone
  long addressSpace = -1;   // bytes, for RLIMIT_AS; -1 leaves it alone
  int wallSeconds = -1;     // the child is ended by SIGALRM after this long; -1: no limit
  enum class Stderr { kCaptured, kClosed, kBrokenPipe } stderrMode = Stderr::kCaptured;
  bool asNobody = false;  // when run as root, drop to user and group 65534 first
};
// Runs argv[0] with the arguments. A failure to start it (a limit, a user change, the working
// directory or execve itself) gives status -1 and "could not start: ..." with errno's text in err.
ProcessResult run(const std::vector<std::string>& argv, const RunOptions& options);
ProcessResult run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                  const std::string& workingDirectory = "");

// Copies of the built executables, and of the files given, in a fresh directory every user can
// reach: runs with asNobody need them, as the build and source trees may sit in a private home
// directory.
class UnprivilegedStage {
 public:
  explicit UnprivilegedStage(const std::vector<std::string>& files = {});
  std::string badgewright() const { return dir_ / "badgewright"; }
  // The copy of a staged file, by its base name.
  std::string file(const std::string& name) const { return dir_ / name; }
  // Why user 65534 cannot reach the stage (a directory above it is not searchable by all), or
  // empty when it can.
  std::string unreachableReason() const;

 private:
  TempDir dir_;
};

// Straight-alpha RGBA pictures for tests.
platform::RasterImage makePicture(int width, int height,
                                  uint32_t (*pixel)(int x, int y, int w, int h));
platform::RasterImage solidPicture(int width, int height, uint8_t r, uint8_t g, uint8_t b,
                                   uint8_t a);
struct Rgba {
  int r, g, b, a;
};
// The pixel at canvas coordinates (x, y), origin bottom-left.
Rgba pixelAt(const platform::RasterImage& image, int x, int yUp);

// PNG files through libpng's full interface, for pictures our own encoder does not write.
struct LibpngOptions {
  int depth = 8;
  int colorType = PNG_COLOR_TYPE_RGBA;
  bool interlace = false;
  std::vector<png_color> palette;
  std::vector<uint8_t> trns;
  bool allFilters = false;  // try every filter on every row
  size_t bufferSize = 0;    // the size of each IDAT chunk when set
};
// rows hold the packed samples of each row.
std::vector<uint8_t> libpngWrite(int width, int height,
                                 const std::vector<std::vector<uint8_t>>& rows,
                                 const LibpngOptions& options);
// RGBA pixels as libpng's simplified reader gives them; empty when it cannot read the file.
std::vector<uint8_t> libpngReadRgba(std::span<const uint8_t> file);

std::string badgewrightBinary();
std::string iconutilBinary();
std::string sourceDir();

}  // namespace testing_support
