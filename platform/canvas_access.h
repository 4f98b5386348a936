#pragma once
// Internal to the drawing services: raw access to a canvas's premultiplied float pixels.
#include "platform/drawing.h"

namespace platform {

struct CanvasPixels {
  int size;
  float* data;  // RGBA premultiplied, rows top to bottom
};
CanvasPixels canvasPixels(Canvas& canvas);

}  // namespace platform
