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
