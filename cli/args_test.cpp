#include "cli/args.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

Args parse(std::vector<const char*> tokens) {
  tokens.insert(tokens.begin(), "badgewright");
  return parseArgs(static_cast<int>(tokens.size()), tokens.data());
}

struct Case {
  const char* name;
  std::vector<const char*> tokens;
  Args expected;
};

TEST(ParseArgs, Table) {
  const std::optional<std::string> none;
  const std::vector<Case> cases = {
      {"nothing", {}, Args()},
      {"all four",
       {"--input", "App.icns", "--output", "B.icns", "--label", "3", "--color", "#FF0000"},
       Args("App.icns", "B.icns", "3", "#FF0000")},
      {"order free", {"--label", "x", "--output", "o", "--input", "i"}, Args("i", "o", "x")},
      {"value looks like an option", {"--input", "--output", "out.icns"}, Args("--output", none)},
      {"trailing label clears", {"--label", "7", "--label"}, Args(none, none, "")},
      {"trailing color keeps default", {"--color"}, Args()},
      {"trailing color keeps earlier",
       {"--color", "#000000", "--color"},
       Args(none, none, "", "#000000")},
      {"trailing input makes absent", {"--input", "a.icns", "--input"}, Args()},
      {"trailing output makes absent", {"--output", "a.icns", "--output"}, Args()},
      {"unknown consumes one", {"--verbose", "--input", "a.icns"}, Args("a.icns", none)},
      {"empty input is present", {"--input", ""}, Args("", none)},
      {"empty color", {"--color", ""}, Args(none, none, "", "")},
      {"case matters", {"--INPUT", "a.icns"}, Args()},
      {"no name=value", {"--input=a.icns"}, Args()},
      {"no prefix", {"--inp", "a.icns"}, Args()},
      {"repeat wins", {"--input", "a", "--input", "b"}, Args("b", none)},
      {"no end marker", {"--", "--input", "a"}, Args("a", none)},
      {"tilde kept", {"--output", "~/x.icns"}, Args(none, "~/x.icns")},
  };
  for (const Case& c : cases) EXPECT_EQ(parse(c.tokens), c.expected) << c.name;
}

TEST(ParseArgs, ProgramPathNeverExamined) {
  const char* argv[] = {"--input", "x"};
  EXPECT_EQ(parseArgs(2, argv), Args());
}

TEST(ParseArgs, IllFormedUtf8BecomesReplacementCharacters) {
  const Args a = parse({"--label",
                        "a\xFF"
                        "b\xE2\x82",
                        "--input", "\xC3\xA9"});
  EXPECT_EQ(a.label,
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
  EXPECT_EQ(a.input, "\xC3\xA9");
  // A file name is bytes: the paths keep theirs, so that the file named is the file used.
  const Args paths = parse({"--input", "caf\xE9.png", "--output", "out\xFF.icns"});
  EXPECT_EQ(paths.input, "caf\xE9.png");
  EXPECT_EQ(paths.output, "out\xFF.icns");
}

}  // namespace
