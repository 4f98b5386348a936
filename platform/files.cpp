#include "platform/files.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

extern char** environ;

namespace platform {
namespace {

IconError posixError(int code, const std::string& what) {
  return IconError{"posix", code, what + ": " + std::strerror(code)};
}

// Closes the descriptor when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~Fd() { reset(); }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

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
  const mode_t mask = ::umask(0);
  ::umask(mask);
  int error = 0;
  if (::fchmod(fd.get(), 0666 & ~mask) != 0 || !writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0)
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
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return posixError(errno, "could not open " + path);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return posixError(errno, "could not read " + path);
  if (!S_ISREG(st.st_mode)) return posixError(EINVAL, "not a regular file: " + path);
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

Result<ChildExit> runChild(const std::string& executable,
                           const std::vector<std::string>& arguments) {
  int fds[2];
  if (::pipe(fds) != 0) return posixError(errno, "could not create a pipe");
  Fd readEnd(fds[0]), writeEnd(fds[1]);
  // Neither end may leak into the child beyond the dup2 onto its standard error.
  ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(executable.c_str()));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDERR_FILENO);
  pid_t pid;
  const int spawned =
      ::posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return posixError(spawned, "could not run " + executable);
  writeEnd.reset();
  // Drain the pipe while the child runs, so that a child writing more than the pipe holds
  // still finishes.
  ChildExit result{0, {}};
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
    if (n > 0) {
      result.standardError.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return posixError(errno, "could not wait for " + executable);
  }
  if (WIFEXITED(status))
    result.status = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.status = 128 + WTERMSIG(status);
  else
    result.status = -1;
  return result;
}

void ensureStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd)
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      const int opened = ::open("/dev/null", O_RDWR);
      if (opened >= 0 && opened != fd) ::close(opened);
    }
}

}  // namespace platform
