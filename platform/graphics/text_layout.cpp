// Text measuring and drawing: HarfBuzz shapes, FreeType supplies outlines and rasterises them.
#include "platform/graphics/text_layout.h"

// clang-format off
#include <ft2build.h>
#include FT_OUTLINE_H
// clang-format on

#include <algorithm>
#include <cmath>

#include "platform/codecs/limits.h"
#include "platform/graphics/resample.h"
#include "platform/graphics/text.h"
#include "platform/os/handle.h"
#include "platform/unicode/unicode.h"

namespace platform {

TextLine layoutLine(const std::string& text, double pointSize) {
  TextLine line;
  Fonts& fonts = Fonts::instance();
  FontFace* primary = fonts.primary();
  if (!primary) return line;
  const auto addMetrics = [&](FontFace* face) {
    const FontFace::Metrics& m = face->metrics();
    const double scale = pointSize / m.unitsPerEm;
    line.ascent = std::max(line.ascent, m.ascender * scale);
    line.descent = std::max(line.descent, -m.descender * scale);
    line.gap = std::max(line.gap, m.lineGap * scale);
  };
  addMetrics(primary);

  // The characters in visual order: directional runs left to right, and within each run
  // consecutive characters set with the same face, in reverse for a right-to-left run. A
  // character with nothing visible stays with the face before it.
  struct Run {
    FontFace* face;
    size_t begin, end;
    bool rightToLeft;
  };
  const std::vector<std::string_view> clusters = graphemeClusters(text);
  std::vector<Run> runs;
  for (const BidiRun& directional : bidiRuns(text)) {
    const size_t first = runs.size();
    for (std::string_view whole : clusters) {
      // A character the directional runs split (a Hebrew letter with a Devanagari vowel sign,
      // say) is set in pieces, each in its own run.
      const size_t start = static_cast<size_t>(whole.data() - text.data());
      const size_t begin = std::max(start, directional.begin);
      const size_t end = std::min(start + whole.size(), directional.end);
      if (begin >= end) continue;
      const std::string_view cluster = std::string_view(text).substr(begin, end - begin);
      std::u32string visible;
      bool emoji = false;
      for (char32_t cp : codePoints(cluster)) {
        if (!isInvisibleCodePoint(cp)) visible.push_back(cp);
        emoji = emoji || asksForEmojiPresentation(cp);
      }
      FontFace* face = visible.empty() ? (runs.size() > first ? runs.back().face : primary)
                                       : fonts.faceFor(visible, emoji);
      if (runs.size() > first && runs.back().face == face && runs.back().end == begin)
        runs.back().end = end;
      else
        runs.push_back({face, begin, end, directional.rightToLeft});
    }
    if (directional.rightToLeft) std::reverse(runs.begin() + first, runs.end());
  }

  const Handle<hb_buffer_t, hb_buffer_destroy> buffer(hb_buffer_create());
  double pen = 0;
  for (const Run& run : runs) {
    if (run.face != primary) addMetrics(run.face);
    hb_buffer_clear_contents(buffer.get());
    hb_buffer_add_utf8(buffer.get(), text.data(), static_cast<int>(text.size()),
                       static_cast<unsigned>(run.begin), static_cast<int>(run.end - run.begin));
    hb_buffer_set_direction(buffer.get(), run.rightToLeft ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_guess_segment_properties(buffer.get());
    hb_shape(run.face->hb(), buffer.get(), nullptr, 0);
    unsigned n = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer.get(), &n);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer.get(), &n);
    const double scale = pointSize / run.face->unitsPerEm();
    // HarfBuzz gives the glyphs of a right-to-left run in visual order already.
    for (unsigned g = 0; g < n; ++g) {
      const bool visible = !isInvisibleCodePoint(codePointAt(text, info[g].cluster));
      line.glyphs.push_back({run.face, info[g].codepoint, pen + pos[g].x_offset * scale,
                             pos[g].y_offset * scale, visible});
      pen += pos[g].x_advance * scale;
    }
  }
  line.width = pen;
  line.pointSize = pointSize;
  return line;
}

namespace {

struct SpanTarget {
  CanvasPixels px;
  Pixel4 color;
};

void blendSpans(int y, int count, const FT_Span* spans, void* user) {
  auto* target = static_cast<SpanTarget*>(user);
  const int s = target->px.size;
  const int row = s - 1 - y;
  if (row < 0 || row >= s) return;
  for (int n = 0; n < count; ++n) {
    const float c = spans[n].coverage / 255.f;
    const int x0 = std::max(0, static_cast<int>(spans[n].x));
    const int x1 = std::min(s, spans[n].x + static_cast<int>(spans[n].len));
    uint16_t* dst = target->px.data + (static_cast<size_t>(row) * s + x0) * 4;
    for (int x = x0; x < x1; ++x, dst += 4) blendPixel(dst, target->color, c);
  }
}

}  // namespace

Font heavySystemFont(double pointSize) { return Font{pointSize}; }

Size measureText(const StyledText& text) {
  const TextLine line = layoutLine(text.text, text.font.pointSize);
  return {line.width, line.ascent + line.descent + line.gap};
}

// A colour glyph, false when it has no colour picture: its bitmap from the smallest strike at least
// the size (the largest when none is), or for a scalable colour face rendered at the size, scaled
// into place by the picture resampler. Colour glyphs keep their own colours.
bool drawColourGlyph(CanvasPixels px, const FontFace& face, unsigned glyph, double ox, double oy,
                     double pointSize) {
  const FT_Face ft = face.ft();
  if (FT_HAS_FIXED_SIZES(ft) && !FT_IS_SCALABLE(ft)) {
    int best = 0;
    for (int i = 1; i < ft->num_fixed_sizes; ++i) {
      const double size = ft->available_sizes[i].y_ppem / 64.0;
      const double chosen = ft->available_sizes[best].y_ppem / 64.0;
      if ((chosen < pointSize && size > chosen) || (size >= pointSize && size < chosen)) best = i;
    }
    if (FT_Select_Size(ft, best) != 0) return false;
  } else if (FT_Set_Pixel_Sizes(ft, 0,
                                static_cast<FT_UInt>(std::clamp(std::lround(pointSize), 1l,
                                                                long(kLimits.maxPictureEdge)))) !=
             0) {
    return false;
  }
  if (FT_Load_Glyph(ft, glyph, FT_LOAD_COLOR) != 0) return false;
  if (ft->glyph->format != FT_GLYPH_FORMAT_BITMAP &&
      FT_Render_Glyph(ft->glyph, FT_RENDER_MODE_NORMAL) != 0)
    return false;
  const FT_Bitmap& bitmap = ft->glyph->bitmap;
  const int w = static_cast<int>(bitmap.width), h = static_cast<int>(bitmap.rows);
  if (bitmap.pixel_mode != FT_PIXEL_MODE_BGRA || ft->size->metrics.y_ppem == 0) return false;
  if (w < 1 || h < 1) return true;  // nothing to show, as for a space
  PixelBuffer pixels = allocatePixels(w, h);
  if (!pixels) return true;
  // FreeType's colour bitmaps are premultiplied BGRA.
  for (int y = 0; y < h; ++y) {
    const uint8_t* in = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
    uint8_t* out = pixels.get() + static_cast<size_t>(y) * w * 4;
    for (int x = 0; x < w; ++x, in += 4, out += 4) {
      const int a = in[3];
      if (a == 0) continue;
      for (int c = 0; c < 3; ++c)
        out[c] = static_cast<uint8_t>(std::min(255, (in[2 - c] * 255 + a / 2) / a));
      out[3] = static_cast<uint8_t>(a);
    }
  }
  Pyramid pyramid(RasterImage(w, h, std::move(pixels)));
  const double scale = pointSize / ft->size->metrics.y_ppem;
  const double left = ox + ft->glyph->bitmap_left * scale, top = oy + ft->glyph->bitmap_top * scale;
  drawPicture(px, pyramid, Rect{left, top - h * scale, w * scale, h * scale});
  return true;
}

void drawLine(CanvasPixels px, const TextLine& line, double startX, double baseline, Pixel4 color) {
  SpanTarget target{px, color};
  const int s = target.px.size;
  // Outlines are placed in 26.6 fixed point; anything that far outside the canvas is skipped.
  constexpr double kLimit = 1 << 20;
  for (const PlacedGlyph& glyph : line.glyphs) {
    if (!glyph.visible) continue;
    const FT_Face face = glyph.face->ft();
    // A glyph of a colour face without a colour picture (an outline the font also holds) is
    // filled like any other.
    if (glyph.face->colour() && drawColourGlyph(px, *glyph.face, glyph.glyph, startX + glyph.x,
                                                baseline + glyph.y, line.pointSize))
      continue;
    if (FT_Load_Glyph(face, glyph.glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP))
      continue;
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) continue;
    const double scale = line.pointSize / glyph.face->unitsPerEm();
    const double ox = startX + glyph.x, oy = baseline + glyph.y;
    if (std::fabs(ox) > kLimit || std::fabs(oy) > kLimit ||
        scale * glyph.face->unitsPerEm() > kLimit)
      continue;
    FT_Outline& outline = face->glyph->outline;
    for (int p = 0; p < outline.n_points; ++p) {
      outline.points[p].x = std::lround((ox + outline.points[p].x * scale) * 64);
      outline.points[p].y = std::lround((oy + outline.points[p].y * scale) * 64);
    }
    FT_BBox box;
    FT_Outline_Get_CBox(&outline, &box);
    if (box.xMax <= 0 || box.yMax <= 0 || box.xMin >= s * 64 || box.yMin >= s * 64) continue;
    FT_Raster_Params params{};
    params.source = &outline;
    params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
    params.gray_spans = blendSpans;
    params.user = &target;
    params.clip_box = {0, 0, s, s};
    FT_Outline_Render(Fonts::instance().library(), &outline, &params);
  }
}

}  // namespace platform
