#include "render/color.h"

#include <gtest/gtest.h>

namespace {

constexpr Color kFallback{0.15, 0.39, 0.92, 1.0};
Color rgb(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0, 1.0}; }

TEST(ColorFromHex, Table) {
  const struct {
    const char* text;
    Color expected;
  } cases[] = {
      {"2563eb", rgb(37, 99, 235)},
      {"#2563eb", rgb(37, 99, 235)},
      {"#2563EB", rgb(37, 99, 235)},
      {" #2563EB\n", rgb(37, 99, 235)},
      {"\t\v\f\r #2563EB \xC2\x85\xE2\x80\xA8\xE2\x80\xA9\xE3\x80\x80\xC2\xA0", rgb(37, 99, 235)},
      {"", kFallback},
      {" \t\n ", kFallback},
      {"#", kFallback},
      {"#FFF", kFallback},
      {"##2563EB", kFallback},
      {"# 2563EB", kFallback},
      {"#GG0000", kFallback},
      {"0x2563", kFallback},
      {"\xEF\xBC\x92\xEF\xBC\x95\xEF\xBC\x96\xEF\xBC\x93\xEF\xBC\xA5\xEF\xBC\xA2", kFallback},
      {"+000FF", rgb(0, 0, 255)},
      {"#+000FF", rgb(0, 0, 255)},
      {"+FFFFF", rgb(15, 255, 255)},
      {"-00000", rgb(0, 0, 0)},
      {"-00001", kFallback},
      {"#000000", rgb(0, 0, 0)},
      {"#FFFFFF", rgb(255, 255, 255)},
      {"++0000", kFallback},
      {"0000+0", kFallback},
      {"2563EB\xE2\x80\x8B", kFallback},  // zero-width space is not trimmed: seven characters
      {"#2563EB\xCC\x81", kFallback},     // six characters (B with an accent is one), not all ASCII
      {"#2563EBA", kFallback},
  };
  for (const auto& c : cases) EXPECT_EQ(colorFromHex(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ColorFromHex, LengthCountsUserPerceivedCharacters) {
  // Five characters, one of them E plus a combining accent: the length test fails first.
  EXPECT_EQ(colorFromHex("2563E\xCC\x81"), kFallback);
  // A space inside is not trimmed.
  EXPECT_EQ(colorFromHex("25 3EB"), kFallback);
}

TEST(ColorFromHex, FallbackIsNotTheDefaultBlue) {
  EXPECT_NE(colorFromHex("#2563EB"), kFallback);
  EXPECT_NEAR(colorFromHex("#2563EB").red, 0.1451, 1e-4);
}

}  // namespace
