#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "platform/codecs/codecs.h"
#include "platform/os/handle.h"

namespace platform {
namespace {

struct Reader {
  std::span<const uint8_t> bytes;
  size_t pos = 0;
};

int readGif(GifFileType* gif, GifByteType* out, int n) {
  auto* r = static_cast<Reader*>(gif->UserData);
  const size_t take =
      std::min<size_t>(static_cast<size_t>(std::max(n, 0)), r->bytes.size() - r->pos);
  std::memcpy(out, r->bytes.data() + r->pos, take);
  r->pos += take;
  return static_cast<int>(take);
}

void closeGif(GifFileType* gif) {
  int error;
  DGifCloseFile(gif, &error);
}
using Gif = Handle<GifFileType, closeGif>;

}  // namespace

// The first frame, over a transparent logical screen.
std::optional<RasterImage> decodeGif(std::span<const uint8_t> bytes) {
  if (bytes.size() < 6 || std::memcmp(bytes.data(), "GIF", 3) != 0) return std::nullopt;
  Reader reader{bytes};
  int error = 0;
  Gif gif(DGifOpen(&reader, readGif, &error));
  if (!gif) return std::nullopt;
  int transparent = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType record;
    if (DGifGetRecordType(gif.get(), &record) != GIF_OK) return std::nullopt;
    if (record == TERMINATE_RECORD_TYPE) return std::nullopt;
    if (record == EXTENSION_RECORD_TYPE) {
      int code;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif.get(), &code, &ext) != GIF_OK) return std::nullopt;
      if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
        GraphicsControlBlock gcb;
        if (DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK) transparent = gcb.TransparentColor;
      }
      while (ext) {
        if (DGifGetExtensionNext(gif.get(), &ext) != GIF_OK) return std::nullopt;
      }
      continue;
    }
    if (record != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif.get()) != GIF_OK) return std::nullopt;
    const GifImageDesc& desc = gif->Image;
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map || desc.Width <= 0 || desc.Height <= 0 || desc.Left < 0 || desc.Top < 0)
      return std::nullopt;
    const int w = std::max(gif->SWidth, desc.Left + desc.Width);
    const int h = std::max(gif->SHeight, desc.Top + desc.Height);
    if (!plausibleSize(w, h, bytes.size())) return std::nullopt;
    // Transparent to begin with: the buffer starts zeroed.
    auto pixels = allocatePixels(w, h);
    if (!pixels) return std::nullopt;
    std::vector<GifPixelType> line(static_cast<size_t>(desc.Width));
    // Interlaced frames arrive in four passes.
    std::vector<int> order;
    if (desc.Interlace) {
      static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < desc.Height; y += kStep[pass]) order.push_back(y);
    } else {
      for (int y = 0; y < desc.Height; ++y) order.push_back(y);
    }
    for (int y : order) {
      if (DGifGetLine(gif.get(), line.data(), desc.Width) != GIF_OK) return std::nullopt;
      uint8_t* row = pixels.get() + (size_t(desc.Top + y) * w + desc.Left) * 4;
      for (int x = 0; x < desc.Width; ++x, row += 4) {
        const int index = line[x];
        if (index == transparent || index >= map->ColorCount) continue;
        const GifColorType c = map->Colors[index];
        row[0] = c.Red;
        row[1] = c.Green;
        row[2] = c.Blue;
        row[3] = 0xFF;
      }
    }
    return RasterImage(w, h, std::move(pixels));
  }
}

}  // namespace platform
