#include "platform/os/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/test_support.h"

namespace {

using testing_support::TempDir;

std::string script(const TempDir& dir, const std::string& body) {
  const std::string path = dir / "child.sh";
  testing_support::writeText(path, "#!/bin/sh\n" + body, true);
  return path;
}

TEST(RunChild, StatusAndStandardError) {
  TempDir dir;
  const struct {
    const char* body;
    int32_t status;
    std::string err;
  } cases[] = {
      {"exit 0\n", 0, ""},
      {"printf 'bad thing\\n' >&2; exit 1\n", 1, "bad thing\n"},
      {"head -c 3000000 /dev/zero | tr '\\0' x >&2; exit 2\n", 2, std::string(3000000, 'x')},
      {"kill -TERM $$\n", 128 + 15, ""},
      {"printf '%s' \"$1|$2\" >&2; exit 4\n", 4, "a b|"},
  };
  for (const auto& c : cases) {
    const auto result = platform::runChild(script(dir, c.body), {"a b", ""});
    ASSERT_TRUE(result.ok()) << c.body;
    const platform::ChildExit& exit = result.value();
    EXPECT_EQ(exit.status, c.status) << c.body;
    EXPECT_EQ(exit.standardError.size(), c.err.size()) << c.body;
    EXPECT_TRUE(exit.standardError == c.err) << c.body;
  }
}

TEST(RunChild, LaunchErrors) {
  TempDir dir;
  testing_support::writeText(dir / "plain", "not executable");
  for (const std::string& path : {dir / "missing", dir / "plain", dir.path()}) {
    const auto result = platform::runChild(path, {});
    ASSERT_FALSE(result.ok()) << path;
    EXPECT_EQ(result.error().domain, "posix");
    EXPECT_NE(result.error().description.find(path), std::string::npos);
  }
}

TEST(Files, ScratchDirectoriesAreNewPrivateAndDistinct) {
  const auto a = platform::makeScratchDirectory("/x/out.icns");
  const auto b = platform::makeScratchDirectory("/x/out.icns");
  ASSERT_TRUE(a.ok() && b.ok());
  const Result<std::string>&ra = a, &rb = b;
  EXPECT_NE(ra.value(), rb.value());
  struct stat st;
  ASSERT_EQ(::stat(ra.value().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(testing_support::listDirectory(ra.value()).empty());
  EXPECT_FALSE(platform::removeItem(ra.value()));
  EXPECT_FALSE(platform::removeItem(rb.value()));
  EXPECT_FALSE(testing_support::exists(ra.value()));
}

TEST(Files, ParentDirectories) {
  // An executable at the root has "/" for its directory, never an empty one: its converter must
  // be "/iconutil", not a bare name looked up in the working directory.
  EXPECT_EQ(platform::parentDirectory("/badgewright"), "/");
  EXPECT_EQ(platform::joinPath(platform::parentDirectory("/badgewright"), "iconutil"), "/iconutil");
  EXPECT_EQ(platform::parentDirectory("/usr/bin/badgewright"), "/usr/bin");
  const auto here = platform::executableDirectory();
  ASSERT_TRUE(here);
  EXPECT_EQ(here->front(), '/');
}

TEST(Files, WritesAndReplacements) {
  TempDir dir;
  const std::vector<uint8_t> data = {1, 2, 3};
  EXPECT_FALSE(platform::writeFile(dir / "f", data));
  EXPECT_EQ(testing_support::readBytes(dir / "f"), data);
  const auto error = platform::writeFile(dir / "no/such/dir/f", data);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain, "posix");
  EXPECT_EQ(error->code, ENOENT);

  testing_support::writeText(dir / "out", "old");
  EXPECT_FALSE(platform::replaceFile(dir / "out", data));
  EXPECT_EQ(testing_support::readBytes(dir / "out"), data);
  EXPECT_EQ(testing_support::listDirectory(dir.path()), (std::vector<std::string>{"f", "out"}));
  EXPECT_TRUE(platform::replaceFile(dir / "missing/out", data));

  EXPECT_EQ(platform::absolutePath("/a/b"), "/a/b");
  EXPECT_EQ(platform::absolutePath("b").front(), '/');
  EXPECT_FALSE(platform::readFile(dir / "f", 2).ok());
  EXPECT_FALSE(platform::readFile(dir.path(), 100).ok());
}

TEST(Files, ItemKindsAndDirectoriesBuiltBesideAnItem) {
  TempDir dir;
  testing_support::writeText(dir / "file", "x");
  ::symlink("file", (dir / "link").c_str());
  ::mkfifo((dir / "fifo").c_str(), 0600);
  using platform::ItemKind;
  const struct {
    const char* name;
    bool follow;
    ItemKind kind;
  } cases[] = {{"file", false, ItemKind::kRegularFile}, {"link", false, ItemKind::kOther},
               {"link", true, ItemKind::kRegularFile},  {"fifo", true, ItemKind::kOther},
               {"", true, ItemKind::kDirectory},        {"absent", true, ItemKind::kMissing}};
  for (const auto& c : cases)
    EXPECT_EQ(platform::itemKind(dir / c.name, c.follow), c.kind) << c.name << " " << c.follow;

  const mode_t old = ::umask(027);
  const auto beside = platform::makeDirectoryBeside(dir / "App.iconset");
  ::umask(old);
  ASSERT_TRUE(beside.ok()) << beside.error().description;
  const Result<std::string>& made = beside;
  EXPECT_EQ(made.value().rfind(dir / "App.iconset.tmp-", 0), 0u) << made.value();
  struct stat st;
  ASSERT_EQ(::stat(made.value().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0750u);
  EXPECT_FALSE(platform::renameItem(made.value(), dir / "App.iconset"));
  EXPECT_EQ(platform::itemKind(dir / "App.iconset", false), ItemKind::kDirectory);
  const auto refused = platform::renameItem(dir / "absent", dir / "other");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->code, ENOENT);
  EXPECT_FALSE(platform::makeDirectoryBeside(dir / "no/such/App.iconset").ok());
}

}  // namespace
