#include "render/badge_text.h"

#include <gtest/gtest.h>

namespace {

TEST(BadgeText, Table) {
  const struct {
    const char* label;
    BadgeText expected;
  } cases[] = {
      {"7", {"7", 0.62}},
      {"12", {"12", 0.45}},
      {"123456", {"123456", 0.45}},
      {"work", {"W", 0.62}},
      {"\xC3\xA9t\xC3\xA9", {"\xC3\x89", 0.62}},  // é -> É
      {"\xC3\x9F"
       "x",
       {"SS", 0.62}},  // ß -> SS
      {"1a", {"1", 0.62}},
      {" 12", {" ", 0.62}},
      {"\xC2\xBD", {"\xC2\xBD", 0.62}},                  // ½ numeric, one character
      {"\xD9\xA3\xD9\xA4", {"\xD9\xA3\xD9\xA4", 0.45}},  // Arabic-Indic 3 4
      {"\xE2\x85\xBB", {"\xE2\x85\xBB", 0.62}},          // small Roman numeral twelve stays
      {"\xE4\xB8\x89\xE5\x8D\x81", {"\xE4\xB8\x89\xE5\x8D\x81", 0.45}},  // CJK numerals
      {"\xE2\x91\xA0", {"\xE2\x91\xA0", 0.62}},                          // circled digit one
      {"e\xCC\x81"
       "cole",
       {"E\xCC\x81", 0.62}},  // first character is a cluster
      {"\xEF\xAC\x81"
       "ne",
       {"FI", 0.62}},      // ﬁ ligature uppercases to two
      {"i", {"I", 0.62}},  // no Turkish dotted capital
      {"3\xEF\xB8\x8F\xE2\x83\xA3", {"3\xEF\xB8\x8F\xE2\x83\xA3", 0.62}},  // keycap 3: one cluster
  };
  for (const auto& c : cases) EXPECT_EQ(badgeText(c.label), c.expected) << c.label;
}

}  // namespace
