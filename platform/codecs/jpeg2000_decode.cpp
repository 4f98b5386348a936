#include <openjpeg.h>

#include <algorithm>
#include <cstring>

#include "platform/codecs/codecs.h"
#include "platform/os/handle.h"

namespace platform {
namespace {

struct MemoryStream {
  std::span<const uint8_t> bytes;
  size_t pos = 0;
};

OPJ_SIZE_T readStream(void* buffer, OPJ_SIZE_T n, void* user) {
  auto* s = static_cast<MemoryStream*>(user);
  const size_t left = s->bytes.size() - s->pos;
  if (left == 0) return static_cast<OPJ_SIZE_T>(-1);
  n = std::min<OPJ_SIZE_T>(n, left);
  std::memcpy(buffer, s->bytes.data() + s->pos, n);
  s->pos += n;
  return n;
}

OPJ_OFF_T skipStream(OPJ_OFF_T n, void* user) {
  auto* s = static_cast<MemoryStream*>(user);
  if (n < 0) return -1;
  const size_t step = std::min<size_t>(static_cast<size_t>(n), s->bytes.size() - s->pos);
  s->pos += step;
  return static_cast<OPJ_OFF_T>(step);
}

OPJ_BOOL seekStream(OPJ_OFF_T n, void* user) {
  auto* s = static_cast<MemoryStream*>(user);
  if (n < 0 || static_cast<uint64_t>(n) > s->bytes.size()) return OPJ_FALSE;
  s->pos = static_cast<size_t>(n);
  return OPJ_TRUE;
}

void quiet(const char*, void*) {}

using Stream = Handle<opj_stream_t, opj_stream_destroy>;
using Codec = Handle<opj_codec_t, opj_destroy_codec>;
using Image = Handle<opj_image_t, opj_image_destroy>;

uint8_t to8(int v, const opj_image_comp_t& c) {
  if (c.sgnd) v += 1 << (c.prec - 1);
  const int max = (1 << c.prec) - 1;
  v = std::clamp(v, 0, max);
  return static_cast<uint8_t>((v * 255 + max / 2) / max);
}

}  // namespace

std::optional<RasterImage> decodeJpeg2000(std::span<const uint8_t> bytes) {
  static constexpr uint8_t kJp2[12] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
  OPJ_CODEC_FORMAT format;
  if (bytes.size() >= 12 && std::memcmp(bytes.data(), kJp2, 12) == 0)
    format = OPJ_CODEC_JP2;
  else if (bytes.size() >= 4 && bytes[0] == 0xFF && bytes[1] == 0x4F && bytes[2] == 0xFF &&
           bytes[3] == 0x51)
    format = OPJ_CODEC_J2K;
  else
    return std::nullopt;

  MemoryStream memory{bytes};
  Stream stream(opj_stream_default_create(OPJ_TRUE));
  if (!stream) return std::nullopt;
  opj_stream_set_user_data(stream.get(), &memory, nullptr);
  opj_stream_set_user_data_length(stream.get(), bytes.size());
  opj_stream_set_read_function(stream.get(), readStream);
  opj_stream_set_skip_function(stream.get(), skipStream);
  opj_stream_set_seek_function(stream.get(), seekStream);

  Codec codec(opj_create_decompress(format));
  if (!codec) return std::nullopt;
  opj_set_info_handler(codec.get(), quiet, nullptr);
  opj_set_warning_handler(codec.get(), quiet, nullptr);
  opj_set_error_handler(codec.get(), quiet, nullptr);
  opj_dparameters_t params;
  opj_set_default_decoder_parameters(&params);
  if (!opj_setup_decoder(codec.get(), &params)) return std::nullopt;

  opj_image_t* raw = nullptr;
  const bool header = opj_read_header(stream.get(), codec.get(), &raw);
  const Image image(raw);
  if (!header) return std::nullopt;
  const uint32_t w = image->x1 - image->x0, h = image->y1 - image->y0;
  if (image->x1 <= image->x0 || image->y1 <= image->y0 || w > kLimits.maxJpeg2000Edge ||
      h > kLimits.maxJpeg2000Edge || image->numcomps < 1 || image->numcomps > 4)
    return std::nullopt;
  if (!opj_decode(codec.get(), stream.get(), image.get()) ||
      !opj_end_decompress(codec.get(), stream.get()))
    return std::nullopt;
  for (uint32_t c = 0; c < image->numcomps; ++c) {
    const opj_image_comp_t& comp = image->comps[c];
    if (!comp.data || comp.w != w || comp.h != h || comp.prec < 1 || comp.prec > 16)
      return std::nullopt;
  }
  auto pixels = allocatePixels(static_cast<int>(w), static_cast<int>(h));
  if (!pixels) return std::nullopt;
  const int n = static_cast<int>(image->numcomps);
  const bool grey = n <= 2;
  for (size_t i = 0; i < size_t(w) * h; ++i) {
    uint8_t* p = pixels.get() + i * 4;
    const auto comp = [&](int c) { return to8(image->comps[c].data[i], image->comps[c]); };
    p[0] = comp(0);
    p[1] = grey ? p[0] : comp(1);
    p[2] = grey ? p[0] : comp(2);
    p[3] = n == 2 ? comp(1) : n == 4 ? comp(3) : 0xFF;
  }
  return RasterImage(static_cast<int>(w), static_cast<int>(h), std::move(pixels));
}

}  // namespace platform
