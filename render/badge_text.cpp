#include "render/badge_text.h"

#include <algorithm>

#include "platform/unicode/unicode.h"

BadgeText badgeText(std::string_view label) {
  const std::vector<std::string_view> characters = platform::graphemeClusters(label);
  const bool numeric =
      !characters.empty() && std::all_of(characters.begin(), characters.end(), [](auto c) {
        return platform::isNumericCodePoint(platform::codePoints(c).front());
      });
  if (numeric) return {std::string(label), characters.size() >= 2 ? 0.45 : 0.62};
  std::string initial;
  if (!characters.empty())
    for (char32_t cp : platform::codePoints(characters.front()))
      initial += platform::uppercaseCodePoint(cp);
  return {initial, 0.62};
}
