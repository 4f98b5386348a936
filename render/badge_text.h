#pragma once
#include <string>
#include <string_view>

// What the badge shows for a non-empty label, and the font size as a fraction of the disc.
struct BadgeText {
  std::string text;
  double fontFactor;
  bool operator==(const BadgeText&) const = default;
};

// A label whose every character starts with a numeric code point is shown whole (factor 0.45
// from two characters on, else 0.62); any other label shows its first character, uppercased code
// point by code point, at 0.62.
BadgeText badgeText(std::string_view label);
