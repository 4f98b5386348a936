#pragma once
// File and process services. Errors carry the service's domain, code and description.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct IconError {
  std::string domain;
  int64_t code = 0;
  std::string description;
  bool operator==(const IconError&) const = default;
};

// A value or the error that prevented it.
template <class T>
class Result {
 public:
  Result(T value) : v_(std::move(value)) {}
  Result(IconError error) : v_(std::move(error)) {}
  bool ok() const { return v_.index() == 0; }
  T& value() { return std::get<0>(v_); }
  const T& value() const { return std::get<0>(v_); }
  const IconError& error() const { return std::get<1>(v_); }

 private:
  std::variant<T, IconError> v_;
};

namespace platform {

// The absolute form of path: a relative path is taken against the working directory. The text
// is not otherwise normalised.
std::string absolutePath(const std::string& path);
std::string joinPath(const std::string& directory, const std::string& name);
// The directory holding the item at an absolute path: "/" for an item at the root.
std::string parentDirectory(const std::string& path);

// A new, empty, uniquely named directory (mode 0700) for building a replacement of the item at
// `forItem`, in the system's temporary directory.
Result<std::string> makeScratchDirectory(const std::string& forItem);

// A new, empty, uniquely named directory beside path ("<path>.tmp-XXXXXX"), with the mode a new
// directory gets (0755 less the umask), for building a replacement of path.
Result<std::string> makeDirectoryBeside(const std::string& path);

// The directory exists afterwards, with any missing parents.
std::optional<IconError> makeDirectory(const std::string& path);

// Removes the item and everything in it; symbolic links are removed, never followed.
std::optional<IconError> removeItem(const std::string& path);

// Removes the item and everything in it when it goes out of scope (a failure to remove is
// ignored), unless released first.
class RemovalGuard {
 public:
  explicit RemovalGuard(std::string path) : path_(std::move(path)) {}
  ~RemovalGuard() {
    // Removing allocates; running out of memory here, perhaps while unwinding from the same
    // shortage, must not end the process.
    try {
      if (!path_.empty()) removeItem(path_);
    } catch (...) {
    }
  }
  RemovalGuard(const RemovalGuard&) = delete;
  RemovalGuard& operator=(const RemovalGuard&) = delete;
  void release() { path_.clear(); }

 private:
  std::string path_;
};

// Renames from to to, within one file system; an existing file at to is replaced.
std::optional<IconError> renameItem(const std::string& from, const std::string& to);

enum class ItemKind { kMissing, kRegularFile, kDirectory, kOther };
// What is at path; with followLinks unset a symbolic link is kOther.
ItemKind itemKind(const std::string& path, bool followLinks);

// Writes exactly these bytes to path (created or truncated; not atomic).
std::optional<IconError> writeFile(const std::string& path, std::span<const uint8_t> bytes);

// Writes bytes to a new temporary file beside path and renames it over path, so that path holds
// either its old content or all of the new bytes. The temporary file never outlives the call.
std::optional<IconError> replaceFile(const std::string& path, std::span<const uint8_t> bytes);

// The whole content of a regular file of at most maxBytes.
Result<std::vector<uint8_t>> readFile(const std::string& path, uint64_t maxBytes);
// The first bytes of a regular file, at most maxBytes of them.
Result<std::vector<uint8_t>> readFilePrefix(const std::string& path, size_t maxBytes);

struct ChildExit {
  int32_t status;  // exit status; 128 + signal number for a child ended by a signal
  // What the child wrote to its standard error, up to 16 MiB; read to the end of the pipe, or
  // only up to its exit when it exits with status 0.
  std::string standardError;
};

// Starts the executable with these arguments (no shell, argv[0] = path), its standard error on a
// pipe drained while it runs, standard input and output inherited, and waits for it to end.
Result<ChildExit> runChild(const std::string& executable,
                           const std::vector<std::string>& arguments);

// The directory holding the running executable, as an absolute path with links resolved.
std::optional<std::string> executableDirectory();

// Prepares the process for a run: a closed or broken standard error and a file-size limit
// surface as failed writes rather than signals, and /dev/null is opened on each of descriptors
// 0, 1 and 2 that is closed, so that no file opened later takes one of their numbers and
// receives what was meant for a standard stream.
void prepareProcess();

// Runs work with standard error pointed at /dev/null, for libraries that print messages of
// their own which a successful run must not show.
void withStandardErrorSilenced(const std::function<void()>& work);

// Writes the message to standard error in one write; a failure is not reported, as nothing
// could report it.
void writeStandardError(std::string_view message);

}  // namespace platform
