#pragma once
#include "platform/codecs/raster_image.h"

// One rendered variant: its edge in pixels, its density (1 or 2) and the picture.
struct RenderedEntry {
  int size;
  int scale;
  platform::RasterImage image;
};
