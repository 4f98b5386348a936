// jpeglib.h needs size_t and FILE declared first.
// clang-format off
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "platform/codecs/codecs.h"
#include "platform/os/handle.h"

namespace platform {
namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  jpeg_progress_mgr progress;
  jmp_buf jump;
};

void fail(j_common_ptr cinfo) { longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }

// Warnings are quiet, except that entropy-coded data ending early or out of step fails the file:
// the library would go on to make up every missing row.
void onMessage(j_common_ptr cinfo, int level) {
  const int code = cinfo->err->msg_code;
  if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC))
    fail(cinfo);
}

// The memory the library may take for a file of fileBytes. With no backing store, a picture
// needing more is refused before the memory is taken.
long memoryAllowed(size_t fileBytes) {
  return static_cast<long>(
      std::max<uint64_t>(kLimits.jpegMemoryBase,
                         std::min<uint64_t>(fileBytes, 1u << 30) * kLimits.jpegMemoryPerFileByte));
}

void onProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kLimits.maxJpegScans)
    fail(cinfo);
}

uint32_t readU(const uint8_t* p, int n, bool little) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v |= uint32_t(p[little ? i : n - 1 - i]) << (8 * i);
  return v;
}

// The EXIF orientation (1..8) from an APP1 payload, or 1.
int exifOrientation(const uint8_t* data, size_t size) {
  if (size < 14 || std::memcmp(data, "Exif\0\0", 6) != 0) return 1;
  const uint8_t* tiff = data + 6;
  const size_t n = size - 6;
  bool little;
  if (tiff[0] == 'I' && tiff[1] == 'I')
    little = true;
  else if (tiff[0] == 'M' && tiff[1] == 'M')
    little = false;
  else
    return 1;
  const uint32_t ifd = readU(tiff + 4, 4, little);
  if (ifd > n - 2 || ifd < 8) return 1;
  const uint32_t count = readU(tiff + ifd, 2, little);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = size_t(ifd) + 2 + size_t(i) * 12;
    if (entry + 12 > n) return 1;
    if (readU(tiff + entry, 2, little) == 0x0112) {
      const uint32_t v = readU(tiff + entry + 8, 2, little);
      return v >= 1 && v <= 8 ? static_cast<int>(v) : 1;
    }
  }
  return 1;
}

struct JpegState {
  PixelBuffer pixels;
  int width = 0, height = 0, orientation = 1;
};

bool readJpeg(jpeg_decompress_struct* cinfo, ErrorManager* err, std::span<const uint8_t> bytes,
              JpegState* out) {
  if (setjmp(err->jump)) return false;
  jpeg_create_decompress(cinfo);
  err->progress = {};
  err->progress.progress_monitor = onProgress;
  cinfo->progress = &err->progress;
  cinfo->mem->max_memory_to_use = memoryAllowed(bytes.size());
  jpeg_mem_src(cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
  if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;
  if (!plausibleSize(cinfo->image_width, cinfo->image_height, bytes.size())) return false;
  for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next)
    if (m->marker == JPEG_APP0 + 1) {
      out->orientation = exifOrientation(m->data, m->data_length);
      break;
    }
  const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
  jpeg_start_decompress(cinfo);
  const int w = static_cast<int>(cinfo->output_width), h = static_cast<int>(cinfo->output_height);
  if (cinfo->output_components != 4) return false;
  out->pixels = allocatePixels(w, h);
  if (!out->pixels) return false;
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = out->pixels.get() + size_t(cinfo->output_scanline) * w * 4;
    jpeg_read_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_decompress(cinfo);
  if (cmyk) {
    // Adobe writes inverted CMYK, which is what libjpeg hands back for both colour spaces.
    uint8_t* p = out->pixels.get();
    for (size_t i = 0; i < size_t(w) * h; ++i, p += 4) {
      const int k = p[3];
      for (int ch = 0; ch < 3; ++ch) p[ch] = static_cast<uint8_t>((p[ch] * k + 127) / 255);
      p[3] = 0xFF;
    }
  }
  out->width = w;
  out->height = h;
  return true;
}

// Applies an EXIF orientation so that the picture is upright.
RasterImage orient(RasterImage image, int orientation) {
  if (orientation <= 1) return image;
  const int w = image.width(), h = image.height();
  const bool swap = orientation >= 5;
  const int ow = swap ? h : w, oh = swap ? w : h;
  auto out = allocatePixels(ow, oh);
  if (!out) return image;
  const uint32_t* in = reinterpret_cast<const uint32_t*>(image.rgba().data());
  uint32_t* o = reinterpret_cast<uint32_t*>(out.get());
  for (int y = 0; y < oh; ++y)
    for (int x = 0; x < ow; ++x) {
      int sx, sy;
      switch (orientation) {
        case 2:
          sx = w - 1 - x;
          sy = y;
          break;
        case 3:
          sx = w - 1 - x;
          sy = h - 1 - y;
          break;
        case 4:
          sx = x;
          sy = h - 1 - y;
          break;
        case 5:
          sx = y;
          sy = x;
          break;
        case 6:
          sx = y;
          sy = h - 1 - x;
          break;
        case 7:
          sx = w - 1 - y;
          sy = h - 1 - x;
          break;
        default:
          sx = w - 1 - y;
          sy = x;
          break;  // 8
      }
      o[size_t(y) * ow + x] = in[size_t(sy) * w + sx];
    }
  return RasterImage(ow, oh, std::move(out));
}

}  // namespace

std::optional<RasterImage> decodeJpeg(std::span<const uint8_t> bytes) {
  if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8) return std::nullopt;
  // Zeroed, so that destroying it is safe even if creating it failed.
  jpeg_decompress_struct cinfo{};
  const Handle<jpeg_decompress_struct, jpeg_destroy_decompress> owner(&cinfo);
  ErrorManager err;
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = fail;
  err.base.emit_message = onMessage;
  JpegState state;
  if (!readJpeg(&cinfo, &err, bytes, &state)) return std::nullopt;
  return orient(RasterImage(state.width, state.height, std::move(state.pixels)), state.orientation);
}

}  // namespace platform
