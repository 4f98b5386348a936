// The built executables under faults and changing conditions: unwritable or missing output
// directories, file-size limits, closed or broken standard error, the input as the output, runs
// racing for one output, hostile inputs, and runs in other places, times and users.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "icns/icns.h"
#include "tests/test_support.h"

namespace {

using testing_support::ProcessResult;
using testing_support::RunOptions;
using testing_support::TempDir;

std::string sample(const char* name) { return testing_support::sourceDir() + "/samples/" + name; }

// Runs badgewright on the arguments with a private temporary directory, which must be empty
// afterwards whatever happened.
ProcessResult badgewright(const std::vector<std::string>& arguments, RunOptions options = {},
                          const std::string& binary = testing_support::badgewrightBinary()) {
  TempDir tmp;
  ::chmod(tmp.path().c_str(), 0777);  // also usable by the unprivileged user of asNobody
  std::vector<std::string> argv = {binary};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  options.env.push_back("TMPDIR=" + tmp.path());
  ProcessResult result = testing_support::run(argv, options);
  EXPECT_TRUE(testing_support::listDirectory(tmp.path()).empty()) << "scratch left behind";
  return result;
}

std::vector<std::string> job(const std::string& input, const std::string& output) {
  return {"--input", input, "--output", output, "--label", "3", "--color", "#2563EB"};
}

// The chunk types of a container file; empty when it does not parse.
std::vector<uint32_t> chunkTypes(const std::string& path) {
  const auto bytes = testing_support::readBytes(path);
  const auto parsed = icns::parse(bytes);
  std::vector<uint32_t> types;
  if (auto* chunks = std::get_if<std::vector<icns::Chunk>>(&parsed))
    for (const auto& c : *chunks) types.push_back(c.type);
  return types;
}

std::string text(const std::string& path) {
  const auto bytes = testing_support::readBytes(path);
  return {bytes.begin(), bytes.end()};
}

TEST(Faults, OutputDirectoryMissingOrNotWritable) {
  TempDir dir;
  ::chmod(dir.path().c_str(), 0755);
  const auto missing = badgewright(job(sample("App.png"), dir / "absent/out.icns"));
  EXPECT_EQ(missing.status, 5);
  EXPECT_EQ(missing.err,
            "icns write failed: iconutil failed: iconutil: could not create a file beside " +
                dir / "absent/out.icns" + ": No such file or directory\n\n");
  EXPECT_TRUE(testing_support::listDirectory(dir.path()).empty());
}

TEST(Faults, OutputDirectoryNotWritable) {
  // Root may write anywhere, so the run drops to an unprivileged user, from copies of the
  // executables and the input that user can reach.
  const testing_support::UnprivilegedStage stage({sample("App.png")});
  if (const std::string reason = stage.unreachableReason(); !reason.empty()) GTEST_SKIP() << reason;
  TempDir dir;
  ::chmod(dir.path().c_str(), 0755);
  ::mkdir((dir / "locked").c_str(), 0555);
  RunOptions unprivileged;
  unprivileged.asNobody = true;
  const auto locked = badgewright(job(stage.file("App.png"), dir / "locked/out.icns"), unprivileged,
                                  stage.badgewright());
  EXPECT_EQ(locked.status, 5);
  EXPECT_EQ(locked.err,
            "icns write failed: iconutil failed: iconutil: could not create a file beside " +
                dir / "locked/out.icns" + ": Permission denied\n\n");
  EXPECT_EQ(testing_support::listDirectory(dir.path()), std::vector<std::string>{"locked"});
  EXPECT_TRUE(testing_support::listDirectory(dir / "locked").empty());
}

TEST(Faults, AnInputThatIsNoRegularFileIsRefusedAtOnce) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  ::mkdir((dir / "directory").c_str(), 0755);
  ::symlink(sample("App.png").c_str(), (dir / "link.png").c_str());
  const struct {
    std::string input;
    int status;
  } cases[] = {{dir / "fifo", 3},
               {dir / "directory", 3},
               {"/dev/null", 3},
               {"/dev/zero", 3},
               {dir / "link.png", 0}};
  for (const auto& c : cases) {
    RunOptions bounded;
    bounded.wallSeconds = 20;  // a run blocked in open() dies of SIGALRM and fails here
    const auto result = badgewright(job(c.input, dir / "out.icns"), bounded);
    EXPECT_EQ(result.status, c.status) << c.input << ": " << result.err;
  }
}

TEST(Faults, PathsKeepTheirBytes) {
  // A file name is bytes; one that is not UTF-8 names that file, not another.
  TempDir dir;
  const std::string input = dir / "caf\xE9.png", output = dir / "out\xE9.icns";
  testing_support::writeBytes(input, testing_support::readBytes(sample("App.png")));
  const auto result = badgewright(job(input, output));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(testing_support::listDirectory(dir.path()),
            (std::vector<std::string>{"caf\xE9.png", "out\xE9.icns"}));
  EXPECT_EQ(chunkTypes(output).size(), 10u);
  // Messages stay UTF-8: the path is shown with U+FFFD for the byte.
  const auto missing = badgewright(job(dir / "gone\xE9.png", output));
  EXPECT_EQ(missing.status, 3);
  EXPECT_EQ(missing.err, "could not load input: " + dir / "gone\xEF\xBF\xBD.png" + "\n");
}

TEST(Faults, FileSizeLimitLeavesAnExistingOutputAsItWas) {
  // The scratch PNGs reach 100 kB but not 300 kB; the container is over 300 kB.
  const struct {
    const char* name;
    long limit;
    std::string says;
  } cases[] = {
      {"while staging the pictures", 100'000, "icns write failed: could not write "},
      {"while writing the container", 300'000, "icns write failed: iconutil failed: iconutil: "},
  };
  for (const auto& c : cases) {
    TempDir dir;
    testing_support::writeText(dir / "out.icns", "precious");
    RunOptions limited;
    limited.fileSizeLimit = c.limit;
    const auto result = badgewright(job(sample("App.png"), dir / "out.icns"), limited);
    EXPECT_EQ(result.status, 5) << c.name;
    EXPECT_EQ(result.err.rfind(c.says, 0), 0u) << c.name << ": " << result.err;
    EXPECT_NE(result.err.find("File too large"), std::string::npos) << c.name;
    EXPECT_EQ(text(dir / "out.icns"), "precious") << c.name;
    EXPECT_EQ(testing_support::listDirectory(dir.path()), std::vector<std::string>{"out.icns"});
  }
}

TEST(Faults, ClosedOrBrokenStandardErrorKeepsTheStatus) {
  TempDir dir;
  using Stderr = RunOptions::Stderr;
  for (Stderr mode : {Stderr::kClosed, Stderr::kBrokenPipe}) {
    RunOptions options;
    options.stderrMode = mode;
    EXPECT_EQ(badgewright({}, options).status, 2);
    EXPECT_EQ(badgewright(job(dir / "missing.png", dir / "out.icns"), options).status, 3);
    EXPECT_EQ(badgewright(job(sample("App.png"), dir / "out.icns"), options).status, 0);
    EXPECT_EQ(chunkTypes(dir / "out.icns").size(), 10u);
  }
}

TEST(Faults, InputAsOutputWorksAndAFailedRunLeavesItIntact) {
  TempDir dir;
  const std::string icon = dir / "App.icns";
  const auto original = testing_support::readBytes(sample("App.icns"));
  testing_support::writeBytes(icon, original);
  // A failure after the base has loaded: the converter runs into the file-size limit.
  RunOptions limited;
  limited.fileSizeLimit = 300'000;
  EXPECT_EQ(badgewright(job(icon, icon), limited).status, 5);
  EXPECT_EQ(testing_support::readBytes(icon), original);

  EXPECT_EQ(badgewright(job(icon, icon)).status, 0);
  EXPECT_EQ(chunkTypes(icon).size(), 10u);
  EXPECT_NE(testing_support::readBytes(icon), original);
  EXPECT_EQ(testing_support::listDirectory(dir.path()), std::vector<std::string>{"App.icns"});
}

TEST(Faults, RunsRacingForOneOutputEachLeaveAWholeFile) {
  TempDir dir;
  const std::string output = dir / "out.icns";
  constexpr int kRuns = 4;
  ProcessResult results[kRuns];
  {
    std::vector<std::jthread> runs;
    for (int i = 0; i < kRuns; ++i)
      runs.emplace_back([&, i] { results[i] = badgewright(job(sample("App.png"), output)); });
  }
  for (const ProcessResult& r : results) {
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
  }
  // Every run writes the same bytes; whichever rename came last, the file is whole.
  TempDir other;
  ASSERT_EQ(badgewright(job(sample("App.png"), other / "alone.icns")).status, 0);
  EXPECT_EQ(testing_support::readBytes(output), testing_support::readBytes(other / "alone.icns"));
  EXPECT_EQ(testing_support::listDirectory(dir.path()), std::vector<std::string>{"out.icns"});
}

}  // namespace

namespace {

// The most a malformed file, or one declaring more than it holds, may cost.
constexpr long kHostilePeakKilobytes = 200 * 1024;
#ifdef BADGEWRIGHT_SANITIZED
constexpr bool kPeakIsOurs = false;  // the sanitizers' shadow memory would be counted too
#else
constexpr bool kPeakIsOurs = true;
#endif
constexpr long kHostileCpuSeconds = 5;

TEST(Limits, HostileFilesAreRefusedCheaply) {
  const std::string dir = std::string(FIXTURES_DIR) + "/hostile";
  const auto files = testing_support::listDirectory(dir);
  ASSERT_GE(files.size(), 20u);
  TempDir out;
  for (const std::string& name : files) {
    RunOptions limited;
    limited.cpuSeconds = kHostileCpuSeconds;  // beyond it the run dies of SIGXCPU and fails here
    const auto result = badgewright(job(dir + "/" + name, out / "out.icns"), limited);
    EXPECT_EQ(result.status, 3) << name;
    EXPECT_EQ(result.err, "could not load input: " + dir + "/" + name + "\n") << name;
    if (kPeakIsOurs) {
      EXPECT_LE(result.peakKilobytes, kHostilePeakKilobytes) << name;
    }
  }
  EXPECT_TRUE(testing_support::listDirectory(out.path()).empty());
}

TEST(Limits, RunningOutOfMemoryIsAFailureNeverAnAbort) {
  if (!kPeakIsOurs) GTEST_SKIP() << "the sanitizers reserve more address space than any limit here";
  bool failedAtLoad = false, succeeded = false;
  for (long mib = 40; mib <= 160; mib += 4) {
    TempDir out;
    RunOptions limited;
    limited.addressSpace = mib << 20;
    const auto result = badgewright(job(sample("App.png"), out / "out.icns"), limited);
    // Below some limit the dynamic loader cannot map the libraries and the tool never starts.
    if (result.err.find("error while loading shared libraries") != std::string::npos) continue;
    const std::string at = std::to_string(mib) + " MiB: ";
    if (result.status == 0) {
      EXPECT_EQ(result.err, "") << at;
      // A size that could not be drawn is left out, as any failed render is.
      const size_t entries = chunkTypes(out / "out.icns").size();
      EXPECT_TRUE(entries >= 1 && entries <= 10) << at << entries;
      succeeded |= entries == 10;
      continue;
    }
    failedAtLoad |= result.status == 3;
    EXPECT_TRUE(result.status == 3 || result.status == 4 || result.status == 5)
        << at << result.status << " " << result.err;
    // One message, of the run's own kinds, and no output.
    int messages = 0;
    for (const char* kind :
         {"could not load input: ", "no sizes rendered\n", "icns write failed: "})
      for (size_t at = result.err.find(kind); at != std::string::npos;
           at = result.err.find(kind, at + 1))
        ++messages;
    EXPECT_EQ(messages, 1) << at << result.err;
    EXPECT_TRUE(testing_support::listDirectory(out.path()).empty()) << at;
  }
  EXPECT_TRUE(failedAtLoad) << "no limit low enough to fail while loading";
  EXPECT_TRUE(succeeded) << "no limit high enough for a whole run";
}

TEST(Limits, ALargeFileOfNoKnownFormatIsRefusedFromItsFirstBytes) {
  TempDir dir;
  // 400 MB of zeros, sparse on disk.
  testing_support::writeText(dir / "big.bin", "");
  ASSERT_EQ(::truncate((dir / "big.bin").c_str(), 400l << 20), 0);
  const auto result = badgewright(job(dir / "big.bin", dir / "out.icns"));
  EXPECT_EQ(result.status, 3);
  if (kPeakIsOurs) {
    EXPECT_LE(result.peakKilobytes, kHostilePeakKilobytes);
  }
}

TEST(Limits, AGenuineLargePictureThatCompressesWellIsAccepted) {
  TempDir out;
  const auto result =
      badgewright(job(std::string(FIXTURES_DIR) + "/flat4096.png", out / "out.icns"));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(chunkTypes(out / "out.icns").size(), 10u);
}

}  // namespace

namespace {

TEST(Reproducible, SameInputsGiveTheSameBytesWhateverTheDirectoryTimeOrUser) {
  TempDir first, second;
  ::chmod(second.path().c_str(), 0777);
  testing_support::writeBytes(first / "App.png", testing_support::readBytes(sample("App.png")));
  RunOptions here;
  here.workingDirectory = first.path();
  here.env = {"TZ=UTC"};
  ASSERT_EQ(badgewright(job("App.png", "out.icns"), here).status, 0);
  // Another second, another directory and time zone, absolute paths, another user and copies
  // of the executables elsewhere.
  const testing_support::UnprivilegedStage stage({sample("App.png")});
  if (const std::string reason = stage.unreachableReason(); !reason.empty()) GTEST_SKIP() << reason;
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  RunOptions there;
  there.workingDirectory = second.path();
  there.env = {"TZ=Asia/Tokyo"};
  there.asNobody = true;
  const auto result =
      badgewright(job(stage.file("App.png"), second / "out.icns"), there, stage.badgewright());
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(testing_support::readBytes(first / "out.icns"),
            testing_support::readBytes(second / "out.icns"));
}

}  // namespace
