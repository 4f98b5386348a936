#pragma once
// The drawing services: pictures, canvases, a drawing context, styled text, snapshots and PNG
// encoding.
#include "platform/codecs/codecs.h"
#include "platform/codecs/raster_image.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/drawing_context.h"
#include "platform/graphics/geometry.h"
#include "platform/graphics/image.h"
#include "platform/graphics/text.h"
