#include "platform/unicode/unicode.h"

#include <unicode/brkiter.h>
#include <unicode/ubidi.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utext.h>

#include <memory>

#include "platform/os/handle.h"

namespace platform {
namespace {

// Length of the well-formed sequence starting at s[i], or 0 when ill-formed. On 0, *bad gives
// the length of the maximal subpart to replace with one U+FFFD (at least 1).
size_t sequenceLength(std::string_view s, size_t i, size_t* bad) {
  const auto at = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = at(i);
  *bad = 1;
  if (b0 < 0x80) return 1;
  size_t need;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 3;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  for (size_t k = 1; k < need; ++k) {
    if (i + k >= s.size()) return 0;
    const unsigned char b = at(i + k);
    if (b < (k == 1 ? lo : 0x80) || b > (k == 1 ? hi : 0xBF)) return 0;
    *bad = k + 1;
  }
  return need;
}

char32_t decodeAt(std::string_view s, size_t i, size_t len) {
  const auto b = [&](size_t k) {
    return static_cast<char32_t>(static_cast<unsigned char>(s[i + k]));
  };
  switch (len) {
    case 1:
      return b(0);
    case 2:
      return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3:
      return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    default:
      return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
  }
}

bool isTrimmed(char32_t cp) {
  if ((cp >= 0x09 && cp <= 0x0D) || cp == 0x85) return true;
  return (U_GET_GC_MASK(static_cast<UChar32>(cp)) & U_GC_Z_MASK) != 0;
}

}  // namespace

std::string decodeUtf8Lossy(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    size_t bad;
    const size_t len = sequenceLength(bytes, i, &bad);
    if (len == 0) {
      out += "\xEF\xBF\xBD";
      i += bad;
    } else {
      out.append(bytes.substr(i, len));
      i += len;
    }
  }
  return out;
}

bool isValidUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    size_t bad;
    const size_t len = sequenceLength(bytes, i, &bad);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

char32_t codePointAt(std::string_view text, size_t at) {
  if (at >= text.size()) return 0xFFFD;
  size_t bad;
  const size_t len = sequenceLength(text, at, &bad);
  return len ? decodeAt(text, at, len) : 0xFFFD;
}

std::vector<char32_t> codePoints(std::string_view text) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < text.size();) {
    size_t bad;
    const size_t len = sequenceLength(text, i, &bad);
    if (len == 0) {
      out.push_back(0xFFFD);
      i += bad;
    } else {
      out.push_back(decodeAt(text, i, len));
      i += len;
    }
  }
  return out;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string trimWhitespaceAndNewlines(std::string_view text) {
  // Walk code points from each end; the text is well-formed, so boundaries are exact.
  size_t begin = 0, end = text.size();
  while (begin < end) {
    size_t bad;
    const size_t len = sequenceLength(text, begin, &bad);
    if (len == 0 || !isTrimmed(decodeAt(text, begin, len))) break;
    begin += len;
  }
  while (end > begin) {
    size_t start = end - 1;
    while (start > begin && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    size_t bad;
    const size_t len = sequenceLength(text, start, &bad);
    if (len != end - start || !isTrimmed(decodeAt(text, start, len))) break;
    end = start;
  }
  return std::string(text.substr(begin, end - begin));
}

std::vector<std::string_view> graphemeClusters(std::string_view text) {
  std::vector<std::string_view> out;
  if (text.empty()) return out;
  UErrorCode status = U_ZERO_ERROR;
  const Handle<UText, utext_close> ut(
      utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status));
  std::unique_ptr<icu::BreakIterator> it(
      icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status) || !it) {
    // Without ICU data every code point stands alone; never reached with a working ICU.
    for (size_t i = 0; i < text.size();) {
      size_t bad, len = sequenceLength(text, i, &bad);
      if (len == 0) len = 1;
      out.push_back(text.substr(i, len));
      i += len;
    }
    return out;
  }
  it->setText(ut.get(), status);
  int32_t prev = it->first();
  for (int32_t next = it->next(); next != icu::BreakIterator::DONE; next = it->next()) {
    out.push_back(text.substr(static_cast<size_t>(prev), static_cast<size_t>(next - prev)));
    prev = next;
  }
  return out;
}

bool isNumericCodePoint(char32_t cp) {
  const int32_t type = u_getIntPropertyValue(static_cast<UChar32>(cp), UCHAR_NUMERIC_TYPE);
  return type == U_NT_DECIMAL || type == U_NT_DIGIT || type == U_NT_NUMERIC;
}

std::string uppercaseCodePoint(char32_t cp) {
  UChar src[2];
  int32_t srcLen = 0;
  U16_APPEND_UNSAFE(src, srcLen, static_cast<UChar32>(cp));
  UChar dst[16];
  UErrorCode status = U_ZERO_ERROR;
  // The root locale gives the language-independent full mapping.
  const int32_t n = u_strToUpper(dst, 16, src, srcLen, "", &status);
  std::string out;
  if (U_FAILURE(status)) {
    appendUtf8(out, cp);
    return out;
  }
  for (int32_t i = 0; i < n;) {
    UChar32 c;
    U16_NEXT(dst, i, n, c);
    appendUtf8(out, static_cast<char32_t>(c));
  }
  return out;
}

bool isInvisibleCodePoint(char32_t cp) {
  const auto c = static_cast<UChar32>(cp);
  const int8_t type = u_charType(c);
  return type == U_CONTROL_CHAR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR ||
         u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT);
}

bool asksForEmojiPresentation(char32_t cp) {
  const auto c = static_cast<UChar32>(cp);
  return cp == 0xFE0F || u_hasBinaryProperty(c, UCHAR_EMOJI_PRESENTATION) ||
         u_hasBinaryProperty(c, UCHAR_REGIONAL_INDICATOR) ||
         u_hasBinaryProperty(c, UCHAR_EMOJI_MODIFIER);
}

std::vector<BidiRun> bidiRuns(std::string_view text) {
  if (text.empty()) return {};
  // ICU works on UTF-16; byteAt maps each UTF-16 unit back to the byte its code point starts at.
  std::u16string units;
  std::vector<size_t> byteAt;
  for (size_t i = 0; i < text.size();) {
    size_t bad;
    size_t len = sequenceLength(text, i, &bad);
    const char32_t cp = len ? decodeAt(text, i, len) : 0xFFFD;
    if (len == 0) len = bad;
    const size_t before = units.size();
    if (cp >= 0x10000) {
      units.push_back(static_cast<char16_t>(0xD7C0 + (cp >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(cp));
    }
    byteAt.insert(byteAt.end(), units.size() - before, i);
    i += len;
  }
  byteAt.push_back(text.size());
  const std::vector<BidiRun> whole = {{0, text.size(), false}};
  UErrorCode status = U_ZERO_ERROR;
  const Handle<UBiDi, ubidi_close> bidi(
      ubidi_openSized(static_cast<int32_t>(units.size()), 0, &status));
  if (U_FAILURE(status)) return whole;
  ubidi_setPara(bidi.get(), units.data(), static_cast<int32_t>(units.size()), UBIDI_DEFAULT_LTR,
                nullptr, &status);
  const int32_t count = ubidi_countRuns(bidi.get(), &status);
  if (U_FAILURE(status)) return whole;
  std::vector<BidiRun> runs;
  for (int32_t r = 0; r < count; ++r) {
    int32_t start = 0, length = 0;
    const UBiDiDirection direction = ubidi_getVisualRun(bidi.get(), r, &start, &length);
    runs.push_back({byteAt[static_cast<size_t>(start)], byteAt[static_cast<size_t>(start + length)],
                    direction == UBIDI_RTL});
  }
  return runs;
}

}  // namespace platform
