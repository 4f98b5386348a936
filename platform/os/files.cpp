#include "platform/os/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "platform/os/posix_error.h"

namespace platform {
namespace {

mode_t currentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

bool writeAll(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string absolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  std::error_code ec;
  const std::filesystem::path cwd = std::filesystem::current_path(ec);
  if (ec) return path;
  return path.empty() ? cwd.string() : joinPath(cwd.string(), path);
}

std::string joinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

std::string parentDirectory(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

Result<std::string> makeScratchDirectory(const std::string& forItem) {
  (void)forItem;  // the system's temporary directory serves any output location
  std::error_code ec;
  std::string base = std::filesystem::temp_directory_path(ec).string();
  if (ec || base.empty()) base = "/tmp";
  std::string templ = joinPath(base, "badgewright-XXXXXX");
  if (!::mkdtemp(templ.data()))
    return posixError(errno, "could not create a scratch directory in " + base);
  return templ;
}

Result<std::string> makeDirectoryBeside(const std::string& path) {
  std::string temp = path + ".tmp-XXXXXX";
  if (!::mkdtemp(temp.data()))
    return posixError(errno, "could not create a directory beside " + path);
  if (::chmod(temp.c_str(), 0755 & ~currentUmask()) != 0) {
    const int error = errno;
    ::rmdir(temp.c_str());
    return posixError(error, "could not create a directory beside " + path);
  }
  return temp;
}

std::optional<IconError> renameItem(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return posixError(errno, "could not create " + to);
  return std::nullopt;
}

ItemKind itemKind(const std::string& path, bool followLinks) {
  struct stat st;
  if ((followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0)
    return ItemKind::kMissing;
  if (S_ISREG(st.st_mode)) return ItemKind::kRegularFile;
  if (S_ISDIR(st.st_mode)) return ItemKind::kDirectory;
  return ItemKind::kOther;
}

std::optional<IconError> makeDirectory(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec) return posixError(ec.value(), "could not create directory " + path);
  return std::nullopt;
}

std::optional<IconError> removeItem(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  if (ec) return posixError(ec.value(), "could not remove " + path);
  return std::nullopt;
}

std::optional<IconError> writeFile(const std::string& path, std::span<const uint8_t> bytes) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (fd.get() < 0) return posixError(errno, "could not write " + path);
  if (!writeAll(fd.get(), bytes)) return posixError(errno, "could not write " + path);
  if (::close(fd.release()) != 0) return posixError(errno, "could not write " + path);
  return std::nullopt;
}

std::optional<IconError> replaceFile(const std::string& path, std::span<const uint8_t> bytes) {
  std::string temp = path + ".tmp-XXXXXX";
  Fd fd(::mkstemp(temp.data()));
  if (fd.get() < 0) return posixError(errno, "could not create a file beside " + path);
  int error = 0;
  if (::fchmod(fd.get(), 0666 & ~currentUmask()) != 0 || !writeAll(fd.get(), bytes) ||
      ::fsync(fd.get()) != 0)
    error = errno;
  if (::close(fd.release()) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return posixError(error, "could not write " + path);
  }
  return std::nullopt;
}

namespace {

// Reads up to `limit` bytes of a regular file; with `whole`, a larger file is an error.
Result<std::vector<uint8_t>> readRegularFile(const std::string& path, uint64_t limit, bool whole) {
  // Opened without blocking: opening a FIFO for reading would wait for a writer, and a device
  // may wait too. Only a regular file (or a link to one) is read.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) return posixError(errno, "could not open " + path);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return posixError(errno, "could not read " + path);
  if (!S_ISREG(st.st_mode)) return posixError(EINVAL, "not a regular file: " + path);
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  if (whole && static_cast<uint64_t>(st.st_size) > limit)
    return posixError(EFBIG, "too large: " + path);
  std::vector<uint8_t> bytes(
      static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(st.st_size), limit)));
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return posixError(errno, "could not read " + path);
    if (n == 0) break;  // the file shrank while being read
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace

Result<std::vector<uint8_t>> readFile(const std::string& path, uint64_t maxBytes) {
  return readRegularFile(path, maxBytes, true);
}

Result<std::vector<uint8_t>> readFilePrefix(const std::string& path, size_t maxBytes) {
  return readRegularFile(path, maxBytes, false);
}

}  // namespace platform
