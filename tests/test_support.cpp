#include "tests/test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace testing_support {

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "bw-test-XXXXXX").string();
  if (!::mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests may leave read-only directories behind; make them removable first.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    if (it->is_directory(ec)) ::chmod(it->path().c_str(), 0700);
  std::filesystem::remove_all(path_, ec);
}

std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void writeText(const std::string& path, const std::string& text, bool executable) {
  {
    std::ofstream out(path, std::ios::binary);
    out << text;
  }
  if (executable) ::chmod(path.c_str(), 0755);
}

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> listDirectory(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(path, ec))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

ProcessResult run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                  const std::string& workingDirectory) {
  RunOptions options;
  options.env = env;
  options.workingDirectory = workingDirectory;
  return run(argv, options);
}

ProcessResult run(const std::vector<std::string>& argv, const RunOptions& options) {
  using Stderr = RunOptions::Stderr;
  int out[2], err[2], failure[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0 || ::pipe2(failure, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) environment.push_back(*e);
  for (const std::string& e : options.env) environment.push_back(e);
  std::vector<char*> envp, args;
  for (auto& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // A broken pipe: the read end is closed before the child can write.
  if (options.stderrMode == Stderr::kBrokenPipe) ::close(err[0]);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    if (options.stderrMode == Stderr::kClosed)
      ::close(2);
    else
      ::dup2(err[1], 2);
    ::close(out[0]);
    if (options.stderrMode != Stderr::kBrokenPipe) ::close(err[0]);
    ::close(out[1]);
    ::close(err[1]);
    ::close(failure[0]);
    // What failed and errno go up the failure pipe, which execve closes on success.
    const auto fail = [&](const char* what) {
      const int code = errno;
      char message[256];
      const int n = std::snprintf(message, sizeof message, "could not start: %s: %s", what,
                                  std::strerror(code));
      [[maybe_unused]] const ssize_t written =
          ::write(failure[1], message, static_cast<size_t>(std::max(n, 0)));
      ::_exit(127);
    };
    // The child starts with SIGPIPE at its default, as a shell would give it.
    ::signal(SIGPIPE, SIG_DFL);
    if (options.fileSizeLimit >= 0) {
      const rlimit limit{rlim_t(options.fileSizeLimit), rlim_t(options.fileSizeLimit)};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) fail("setrlimit");
    }
    if (options.cpuSeconds >= 0) {
      const rlimit limit{rlim_t(options.cpuSeconds), rlim_t(options.cpuSeconds)};
      if (::setrlimit(RLIMIT_CPU, &limit) != 0) fail("setrlimit");
    }
    if (options.addressSpace >= 0) {
      const rlimit limit{rlim_t(options.addressSpace), rlim_t(options.addressSpace)};
      if (::setrlimit(RLIMIT_AS, &limit) != 0) fail("setrlimit");
    }
    if (options.wallSeconds >= 0) ::alarm(static_cast<unsigned>(options.wallSeconds));
    if (options.asNobody && ::geteuid() == 0) {
      // Supplementary groups first: root's would otherwise stay with the child.
      if (::setgroups(0, nullptr) != 0) fail("setgroups");
      if (::setgid(65534) != 0) fail("setgid");
      if (::setuid(65534) != 0) fail("setuid");
    }
    if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0)
      fail(options.workingDirectory.c_str());
    ::execve(args[0], args.data(), envp.data());
    fail(args[0]);
  }
  ::close(out[1]);
  ::close(err[1]);
  ::close(failure[1]);
  ProcessResult result;
  const bool captureErr = options.stderrMode == Stderr::kCaptured;
  if (!captureErr && options.stderrMode == Stderr::kClosed) ::close(err[0]);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {captureErr ? err[0] : -1, POLLIN, 0}};
  int open = captureErr ? 2 : 1;
  char buffer[65536];
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
      }
    }
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.peakKilobytes = usage.ru_maxrss;
  char message[256];
  const ssize_t n = ::read(failure[0], message, sizeof message);
  ::close(failure[0]);
  if (n > 0) {
    result.status = -1;
    result.err = std::string(message, static_cast<size_t>(n));
  }
  return result;
}

UnprivilegedStage::UnprivilegedStage(const std::vector<std::string>& files) {
  ::chmod(dir_.path().c_str(), 0755);
  std::vector<std::string> copies = {badgewrightBinary(), iconutilBinary()};
  copies.insert(copies.end(), files.begin(), files.end());
  for (const std::string& from : copies) {
    const std::string to = dir_ / std::filesystem::path(from).filename().string();
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    ::chmod(to.c_str(), 0755);
  }
}

std::string UnprivilegedStage::unreachableReason() const {
  for (std::filesystem::path p = dir_.path(); p != p.parent_path(); p = p.parent_path()) {
    struct stat st;
    const std::string parent = p.parent_path().string();
    if (::stat(parent.c_str(), &st) != 0 || (st.st_mode & S_IXOTH) == 0)
      return parent + " is not searchable by other users";
  }
  return "";
}

platform::RasterImage makePicture(int width, int height,
                                  uint32_t (*pixel)(int x, int y, int w, int h)) {
  auto data = platform::allocatePixels(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t v = pixel(x, y, width, height);  // 0xRRGGBBAA
      uint8_t* p = data.get() + (size_t(y) * width + x) * 4;
      p[0] = uint8_t(v >> 24);
      p[1] = uint8_t(v >> 16);
      p[2] = uint8_t(v >> 8);
      p[3] = uint8_t(v);
    }
  return platform::RasterImage(width, height, std::move(data));
}

platform::RasterImage solidPicture(int width, int height, uint8_t r, uint8_t g, uint8_t b,
                                   uint8_t a) {
  auto data = platform::allocatePixels(width, height);
  for (size_t i = 0; i < size_t(width) * height; ++i) {
    data[i * 4] = r;
    data[i * 4 + 1] = g;
    data[i * 4 + 2] = b;
    data[i * 4 + 3] = a;
  }
  return platform::RasterImage(width, height, std::move(data));
}

Rgba pixelAt(const platform::RasterImage& image, int x, int yUp) {
  const int row = image.height() - 1 - yUp;
  const uint8_t* p = image.rgba().data() + (size_t(row) * image.width() + x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

std::vector<uint8_t> libpngWrite(int width, int height,
                                 const std::vector<std::vector<uint8_t>>& rows,
                                 const LibpngOptions& options) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, size_t n) {
        auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        v->insert(v->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, width, height, options.depth, options.colorType,
               options.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!options.palette.empty())
    png_set_PLTE(png, info, options.palette.data(), int(options.palette.size()));
  if (!options.trns.empty())
    png_set_tRNS(png, info, options.trns.data(), int(options.trns.size()), nullptr);
  if (options.allFilters) png_set_filter(png, 0, PNG_ALL_FILTERS);
  if (options.bufferSize) png_set_compression_buffer_size(png, options.bufferSize);
  png_write_info(png, info);
  std::vector<png_bytep> pointers;
  for (auto& r : rows) pointers.push_back(const_cast<png_bytep>(r.data()));
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> libpngReadRgba(std::span<const uint8_t> file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return {};
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
  return pixels;
}

std::string badgewrightBinary() { return BADGEWRIGHT_BIN; }
std::string iconutilBinary() { return ICONUTIL_BIN; }
std::string sourceDir() { return SOURCE_DIR; }

}  // namespace testing_support
