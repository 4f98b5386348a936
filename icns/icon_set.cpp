#include "icns/icon_set.h"

namespace icns {

std::string iconsetFileName(int size, int scale) {
  const std::string points = std::to_string(size / scale);
  return "icon_" + points + "x" + points + (scale == 2 ? "@2x" : "") + ".png";
}

const IconSetEntry* iconSetEntryFor(uint32_t type) {
  for (const IconSetEntry& entry : kIconSet)
    if (entry.type == type) return &entry;
  return nullptr;
}

}  // namespace icns
