#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>

#include "platform/os/files.h"
#include "platform/os/handle.h"
#include "platform/os/posix_error.h"

extern char** environ;

namespace platform {
namespace {

// How often a child whose pipe stays quiet is checked for having exited, and how long the pipe
// of a failed child is read after it has exited.
constexpr int kExitCheckMs = 50;
constexpr auto kExitedWait = std::chrono::seconds(2);
// Text a child writes beyond this is read and dropped.
constexpr size_t kMaxKept = size_t(16) << 20;

}  // namespace

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
  if (const int failed = posix_spawn_file_actions_init(&actions))
    return posixError(failed, "could not run " + executable);
  int spawned;
  pid_t pid;
  {
    const Handle<posix_spawn_file_actions_t, posix_spawn_file_actions_destroy> owner(&actions);
    spawned = posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDERR_FILENO);
    if (spawned == 0)
      spawned = ::posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), environ);
  }
  if (spawned != 0) return posixError(spawned, "could not run " + executable);
  // A child is never left running unwaited for: an early way out (memory running out while its
  // text is kept, say) ends it and reaps it.
  struct Reaper {
    pid_t pid;
    bool reaped = false;
    ~Reaper() {
      if (reaped) return;
      ::kill(pid, SIGKILL);
      while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
  } reaper{pid};
  writeEnd.reset();
  // Drain the pipe while the child runs, so that a child writing more than the pipe holds
  // still finishes. The pipe ends when every holder of its write end has closed it, which a
  // process the child left behind may never do: once the child has exited, a success ends the
  // reading at once, and a failure gets kExitedWait more to deliver the rest of its message.
  ChildExit result{0, {}};
  char buffer[65536];
  int status = 0;
  bool exited = false;
  auto exitedAt = std::chrono::steady_clock::time_point();
  for (;;) {
    if (!exited) {
      const pid_t done = ::waitpid(pid, &status, WNOHANG);
      if (done < 0 && errno != EINTR) {
        reaper.reaped = true;
        return posixError(errno, "could not wait for " + executable);
      }
      exited = done == pid;
      reaper.reaped = exited;
      if (exited) exitedAt = std::chrono::steady_clock::now();
    }
    if (exited && WIFEXITED(status) && WEXITSTATUS(status) == 0) break;
    if (exited && std::chrono::steady_clock::now() - exitedAt > kExitedWait) break;
    pollfd readable{readEnd.get(), POLLIN, 0};
    const int ready = ::poll(&readable, 1, exited ? 10 : kExitCheckMs);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    const ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
    if (n > 0)
      result.standardError.append(
          buffer, std::min(static_cast<size_t>(n),
                           kMaxKept - std::min(kMaxKept, result.standardError.size())));
    else if (n == 0 || errno != EINTR)
      break;
  }
  while (!exited && ::waitpid(pid, &status, 0) < 0) {
    if (errno == EINTR) continue;
    reaper.reaped = true;  // there is no child left to end
    return posixError(errno, "could not wait for " + executable);
  }
  reaper.reaped = true;
  if (WIFEXITED(status))
    result.status = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.status = 128 + WTERMSIG(status);
  else
    result.status = -1;
  return result;
}

void writeStandardError(std::string_view message) {
  [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, message.data(), message.size());
}

void withStandardErrorSilenced(const std::function<void()>& work) {
  std::fflush(stderr);
  Fd saved(::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3));
  Fd null(::open("/dev/null", O_WRONLY | O_CLOEXEC));
  const bool silenced =
      saved.get() >= 0 && null.get() >= 0 && ::dup2(null.get(), STDERR_FILENO) >= 0;
  work();
  if (silenced) {
    std::fflush(stderr);
    ::dup2(saved.get(), STDERR_FILENO);
  }
}

void prepareProcess() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  // An ignored SIGCHLD, inherited from the parent, would reap the converter before its status
  // could be read.
  std::signal(SIGCHLD, SIG_DFL);
  for (int fd = 0; fd <= 2; ++fd)
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      const int opened = ::open("/dev/null", O_RDWR);
      if (opened >= 0 && opened != fd) ::close(opened);
    }
}

}  // namespace platform
