#pragma once
// Unicode text services on ICU. Text is UTF-8 in std::string throughout.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Decodes bytes as UTF-8; every maximal ill-formed subsequence becomes U+FFFD.
std::string decodeUtf8Lossy(std::string_view bytes);

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);

// Removes whitespace and newlines at both ends, code point by code point: general category Z,
// U+0009..U+000D and U+0085.
std::string trimWhitespaceAndNewlines(std::string_view text);

// Splits well-formed UTF-8 into user-perceived characters (extended grapheme clusters).
std::vector<std::string_view> graphemeClusters(std::string_view text);

// The code point starting at byte `at` of UTF-8 text; U+FFFD where the bytes are ill-formed or
// `at` is past the end.
char32_t codePointAt(std::string_view text, size_t at);

// The code points of well-formed UTF-8.
std::vector<char32_t> codePoints(std::string_view text);

// Appends the UTF-8 form of one code point.
void appendUtf8(std::string& out, char32_t cp);

// Numeric_Type of the code point is Decimal, Digit or Numeric.
bool isNumericCodePoint(char32_t cp);

// Full Unicode uppercase mapping of one code point, without language or context rules.
std::string uppercaseCodePoint(char32_t cp);

// The code point has no visible glyph of its own: a control, a default-ignorable code point, or
// a line or paragraph separator.
bool isInvisibleCodePoint(char32_t cp);

// A character holding this code point asks for emoji (colour) presentation: an emoji that
// defaults to it, the emoji variation selector, a regional indicator or a skin-tone modifier.
bool asksForEmojiPresentation(char32_t cp);

// One directional run of a line: bytes [begin, end) of the text.
struct BidiRun {
  size_t begin, end;
  bool rightToLeft;
};

// The runs of well-formed UTF-8 text set on one line, in visual order from left to right, by
// the Unicode bidirectional algorithm. The paragraph direction is that of the first strong
// character, left to right when there is none (a label of digits alone).
std::vector<BidiRun> bidiRuns(std::string_view text);

}  // namespace platform
