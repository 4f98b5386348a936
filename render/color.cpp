#include "render/color.h"

#include <cstdint>
#include <optional>
#include <string>

#include "platform/unicode/unicode.h"

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Unsigned 32-bit base-16 parse with an optional leading sign, byte by byte.
std::optional<uint32_t> parseHex32(std::string_view s) {
  bool negative = false;
  size_t i = 0;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    i = 1;
  }
  if (i == s.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < s.size(); ++i) {
    const int digit = hexDigit(s[i]);
    if (digit < 0) return std::nullopt;
    value = negative ? value * 16 - digit : value * 16 + digit;
    if (value < 0 || value > 0xFFFFFFFFll) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

}  // namespace

Color colorFromHex(std::string_view text) {
  std::string hex = platform::trimWhitespaceAndNewlines(text);
  if (!hex.empty() && hex[0] == '#') hex.erase(0, 1);
  std::optional<uint32_t> value;
  if (platform::graphemeClusters(hex).size() == 6) value = parseHex32(hex);
  if (!value) return Color{0.15, 0.39, 0.92, 1.0};
  const uint32_t v = *value;
  return Color{((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0, 1.0};
}
