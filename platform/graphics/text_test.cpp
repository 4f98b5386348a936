// Text as the badge sets it: digits of every script in their logical order, characters from the
// machine's fonts rather than missing-glyph boxes, emoji in colour and as one glyph.
#include "platform/graphics/text.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/graphics/drawing.h"
#include "platform/graphics/text_layout.h"

namespace {

using platform::RasterImage;

constexpr int kCanvas = 256;
constexpr double kPointSize = 90;

// The text drawn in white on a transparent canvas, its line starting at x.
RasterImage drawn(const std::string& text, double x) {
  auto canvas = platform::Canvas::create(kCanvas);
  const platform::StyledText styled{text, platform::heavySystemFont(kPointSize), {1, 1, 1, 1}};
  const platform::Size size = platform::measureText(styled);
  platform::DrawingContext(*canvas).drawText(styled, {x, 60, size.width, size.height});
  return *platform::snapshot(*canvas);
}

double width(const std::string& text) {
  return platform::measureText({text, platform::heavySystemFont(kPointSize), {1, 1, 1, 1}}).width;
}

uint8_t alphaAt(const RasterImage& image, size_t pixel) { return image.rgba()[pixel * 4 + 3]; }

// The share of `part`'s ink that `whole` has at the same pixels.
double inkShared(const RasterImage& part, const RasterImage& whole) {
  size_t ink = 0, shared = 0;
  for (size_t p = 0; p < size_t(kCanvas) * kCanvas; ++p) {
    if (alphaAt(part, p) < 128) continue;
    ++ink;
    shared += alphaAt(whole, p) >= 96;
  }
  return ink ? double(shared) / ink : 0;
}

size_t inkPixels(const RasterImage& image) {
  size_t ink = 0;
  for (size_t p = 0; p < size_t(kCanvas) * kCanvas; ++p) ink += alphaAt(image, p) >= 128;
  return ink;
}

TEST(Text, DigitsOfEveryScriptReadInTheirLogicalOrder) {
  const struct {
    const char* first;
    const char* second;
  } cases[] = {
      {"\xD9\xA1", "\xD9\xA2"},  // Arabic-Indic 1 2
      {"\xD9\xA3", "\xD9\xA4"},  // Arabic-Indic 3 4
      {"\xDB\xB1", "\xDB\xB2"},  // extended Arabic-Indic 1 2
      {"1", "2"},
  };
  for (const auto& c : cases) {
    const std::string both = std::string(c.first) + c.second;
    const RasterImage line = drawn(both, 20);
    // Each digit drawn alone where it should stand: the first at the start of the line, the
    // second one advance further right.
    EXPECT_GT(inkShared(drawn(c.first, 20), line), 0.97) << both;
    EXPECT_GT(inkShared(drawn(c.second, 20 + width(c.first)), line), 0.97) << both;
  }
}

TEST(Text, CharactersTheBuiltInFaceLacksComeFromTheMachinesFonts) {
  // An unassigned code point has no face anywhere: the built-in face's missing-glyph box.
  const RasterImage box = drawn("\xCD\xB8", 40);
  ASSERT_GT(inkPixels(box), 500u);
  const char* labels[] = {
      "\xE4\xB8\x89",                          // CJK numeral three
      "\xEF\xBC\x91",                          // full-width 1
      "\xED\x95\x9C",                          // Hangul syllable
      "\xE1\x84\x92\xE1\x85\xA1\xE1\x86\xAB",  // the same syllable as a jamo sequence
      "\xE3\x81\x82",                          // hiragana
      "\xD9\xA3",                              // Arabic-Indic 3
      "\xD7\xA9",                              // Hebrew shin
      "\xF0\x9F\x9A\x80",                      // rocket
  };
  for (const char* label : labels) {
    const RasterImage glyph = drawn(label, 40);
    EXPECT_GT(inkPixels(glyph), 300u) << label;
    EXPECT_LT(inkShared(box, glyph), 0.8) << label << " looks like the missing-glyph box";
  }
}

TEST(Text, EmojiDrawInColourAsOneGlyph) {
  const char* labels[] = {
      "\xF0\x9F\x9A\x80",                  // rocket
      "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7",  // flag of France: two regional indicators
      "3\xEF\xB8\x8F\xE2\x83\xA3",         // keycap 3
      "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD",  // thumbs up, medium skin tone
  };
  for (const char* label : labels) {
    const platform::TextLine line = platform::layoutLine(label, kPointSize);
    int shown = 0;
    for (const platform::PlacedGlyph& g : line.glyphs) shown += g.visible;
    EXPECT_EQ(shown, 1) << label;
    // Drawn in white, an outline glyph could only be white; a colour glyph has hues.
    const RasterImage image = drawn(label, 40);
    int coloured = 0;
    for (size_t p = 0; p < size_t(kCanvas) * kCanvas; ++p) {
      const uint8_t* px = image.rgba().data() + p * 4;
      coloured +=
          px[3] > 200 && std::max({px[0], px[1], px[2]}) - std::min({px[0], px[1], px[2]}) > 60;
    }
    EXPECT_GT(coloured, 200) << label;
  }
}

TEST(Text, ACharacterSplitByDirectionKeepsEveryPart) {
  // A Hebrew letter with a Devanagari vowel sign is one character in two directional runs.
  const platform::TextLine line = platform::layoutLine("\xD7\x90\xE0\xA4\xBE", kPointSize);
  EXPECT_EQ(line.glyphs.size(), 2u);
}

TEST(Text, InvisibleCharactersDrawNothing) {
  const char* labels[] = {"\t", "\n", "\r\n", "\x01", "\xE2\x80\x8B", "\xE2\x80\xA8", "\xC2\xAD"};
  for (const char* label : labels) EXPECT_EQ(inkPixels(drawn(label, 40)), 0u) << int(label[0]);
}

}  // namespace
