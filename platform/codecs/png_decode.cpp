#include <png.h>

#include <csetjmp>
#include <cstring>

#include "platform/codecs/codecs.h"
#include "platform/codecs/png_decode_fast.h"
#include "platform/os/handle.h"

namespace platform {
namespace {

struct Reader {
  std::span<const uint8_t> bytes;
  size_t pos = 0;
};

void readBytes(png_structp png, png_bytep out, size_t n) {
  auto* r = static_cast<Reader*>(png_get_io_ptr(png));
  if (n > r->bytes.size() - r->pos) png_error(png, "truncated");
  std::memcpy(out, r->bytes.data() + r->pos, n);
  r->pos += n;
}

void quietWarning(png_structp, png_const_charp) {}
void fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// Runs every libpng call behind one setjmp; state lives in *out, outside this frame, so nothing
// with a destructor is skipped or left indeterminate by the longjmp.
struct PngState {
  PixelBuffer pixels;
  std::vector<png_bytep> rows;
  png_uint_32 width = 0, height = 0;
};

bool readPng(png_structp png, png_infop info, size_t fileBytes, PngState* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_user_limits(png, kLimits.maxPictureEdge, kLimits.maxPictureEdge);
  png_set_chunk_malloc_max(png, kLimits.maxPngChunkBytes);
  // Ancillary chunks with bad checksums are skipped rather than fatal, as viewers do.
  png_set_crc_action(png, PNG_CRC_DEFAULT, PNG_CRC_QUIET_USE);
  png_read_info(png, info);
  const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  if (!plausibleSize(w, h, fileBytes)) return false;
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != size_t(w) * 4) return false;
  out->pixels = allocatePixels(static_cast<int>(w), static_cast<int>(h));
  if (!out->pixels) return false;
  out->rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y) out->rows[y] = out->pixels.get() + size_t(y) * w * 4;
  png_read_image(png, out->rows.data());
  out->width = w;
  out->height = h;
  return true;
}

// libpng's read state: the read struct and its info struct, destroyed together.
struct PngRead {
  png_structp png = nullptr;
  png_infop info = nullptr;
};
void destroyPngRead(PngRead* read) { png_destroy_read_struct(&read->png, &read->info, nullptr); }

}  // namespace

std::optional<RasterImage> decodePng(std::span<const uint8_t> bytes) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) return std::nullopt;
  FastPng fast = tryDecodePngFast(bytes);
  if (fast.outcome == FastPng::kDecoded) return std::move(fast.image);
  if (fast.outcome == FastPng::kBroken) return std::nullopt;
  PngRead read;
  const Handle<PngRead, destroyPngRead> owner(&read);
  read.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, quietWarning);
  if (!read.png) return std::nullopt;
  read.info = png_create_info_struct(read.png);
  if (!read.info) return std::nullopt;
  Reader reader{bytes};
  png_set_read_fn(read.png, &reader, readBytes);
  PngState state;
  if (!readPng(read.png, read.info, bytes.size(), &state)) return std::nullopt;
  return RasterImage(static_cast<int>(state.width), static_cast<int>(state.height),
                     std::move(state.pixels));
}

std::optional<PixelSize> checkPng(std::span<const uint8_t> bytes) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) return std::nullopt;
  const FastPng fast = tryCheckPngFast(bytes);
  if (fast.outcome == FastPng::kDecoded) return PixelSize{fast.width, fast.height};
  if (fast.outcome == FastPng::kBroken) return std::nullopt;
  const std::optional<RasterImage> image = decodePng(bytes);
  if (!image) return std::nullopt;
  return PixelSize{image->width(), image->height()};
}

}  // namespace platform
