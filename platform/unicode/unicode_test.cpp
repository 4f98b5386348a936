#include "platform/unicode/unicode.h"

#include <gtest/gtest.h>

namespace {

#define R "\xEF\xBF\xBD"

TEST(DecodeUtf8Lossy, ReplacesMaximalSubparts) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"abc", "abc"},
      {"\xC3\xA9", "\xC3\xA9"},
      {"\xFF", R},
      {"\xE2\x82", R},  // truncated three-byte sequence: one U+FFFD
      {"\xE2\x82"
       "a",
       R "a"},
      {"\xC0\xAF", R R},              // overlong: each byte
      {"\xED\xA0\x80", R R R},        // surrogate
      {"\xF4\x90\x80\x80", R R R R},  // above U+10FFFF: the lead alone, then each byte
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::decodeUtf8Lossy(c.in), c.out);
    EXPECT_EQ(platform::isValidUtf8(c.in), c.in == c.out);
  }
}

TEST(TrimWhitespaceAndNewlines, OnlyTheEnds) {
  EXPECT_EQ(platform::trimWhitespaceAndNewlines("\xE2\x80\x83 a b\t\n"), "a b");
  EXPECT_EQ(platform::trimWhitespaceAndNewlines("\xE2\x80\x8B"
                                                "a"),
            "\xE2\x80\x8B"
            "a");
  EXPECT_EQ(platform::trimWhitespaceAndNewlines(" \n\t"), "");
}

TEST(GraphemeClusters, ExtendedClusters) {
  EXPECT_EQ(platform::graphemeClusters("e\xCC\x81"
                                       "a")
                .size(),
            2u);
  EXPECT_EQ(platform::graphemeClusters("\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7").size(), 1u);  // flag
  EXPECT_EQ(platform::graphemeClusters("\r\n").size(), 1u);
  EXPECT_TRUE(platform::graphemeClusters("").empty());
}

}  // namespace

namespace {

TEST(BidiRuns, VisualOrderWithTheParagraphDirectionFromTheText) {
  struct Run {
    size_t begin, end;
    bool rtl;
    bool operator==(const Run&) const = default;
  };
  const struct {
    const char* text;
    std::vector<Run> runs;
  } cases[] = {
      {"abc", {{0, 3, false}}},
      {"", {}},
      // Arabic-Indic digits alone: no strong character, so a left-to-right line of digits.
      {"\xD9\xA1\xD9\xA2", {{0, 4, false}}},
      // Hebrew: one right-to-left run.
      {"\xD7\xA9\xD7\x9C", {{0, 4, true}}},
      // Hebrew then European digits: the paragraph is right to left, so the digits stand left.
      {"\xD7\xA9 12", {{3, 5, false}, {0, 3, true}}},
      // Latin then Hebrew: left to right, the Hebrew run after.
      {"ab \xD7\xA9\xD7\x9C", {{0, 3, false}, {3, 7, true}}},
  };
  for (const auto& c : cases) {
    std::vector<Run> got;
    for (const platform::BidiRun& r : platform::bidiRuns(c.text))
      got.push_back({r.begin, r.end, r.rightToLeft});
    EXPECT_EQ(got, c.runs) << c.text;
  }
}

TEST(InvisibleCodePoints, ControlsIgnorablesAndSeparators) {
  for (char32_t cp :
       {0x09u, 0x0Au, 0x0Du, 0x01u, 0x7Fu, 0x200Bu, 0x200Du, 0xFE0Fu, 0x2028u, 0x2029u, 0xADu})
    EXPECT_TRUE(platform::isInvisibleCodePoint(cp)) << std::hex << uint32_t(cp);
  for (char32_t cp : {0x20u, 0x41u, 0x661u, 0x4E09u, 0x1F680u, 0x20E3u})
    EXPECT_FALSE(platform::isInvisibleCodePoint(cp)) << std::hex << uint32_t(cp);
}

}  // namespace
