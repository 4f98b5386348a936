// Text measuring and drawing: HarfBuzz shapes, FreeType supplies outlines and rasterises them.
#include "platform/graphics/text_layout.h"

// clang-format off
#include <ft2build.h>
#include FT_OUTLINE_H
// clang-format on

#include <algorithm>
#include <cmath>

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
    const double scale = pointSize / face->unitsPerEm();
    const FT_Face ft = face->ft();
    line.ascent = std::max(line.ascent, ft->ascender * scale);
    line.descent = std::max(line.descent, -ft->descender * scale);
    line.gap = std::max(line.gap, (ft->height - ft->ascender + ft->descender) * scale);
  };
  addMetrics(primary);

  // Runs of consecutive characters set with the same face.
  struct Run {
    FontFace* face;
    size_t begin, end;
  };
  std::vector<Run> runs;
  for (std::string_view cluster : graphemeClusters(text)) {
    const size_t begin = static_cast<size_t>(cluster.data() - text.data());
    FontFace* face = fonts.faceFor(codePoints(cluster).front());
    if (!runs.empty() && runs.back().face == face && runs.back().end == begin)
      runs.back().end = begin + cluster.size();
    else
      runs.push_back({face, begin, begin + cluster.size()});
  }

  const Handle<hb_buffer_t, hb_buffer_destroy> buffer(hb_buffer_create());
  double pen = 0;
  for (const Run& run : runs) {
    if (run.face != primary) addMetrics(run.face);
    hb_buffer_clear_contents(buffer.get());
    hb_buffer_add_utf8(buffer.get(), text.data(), static_cast<int>(text.size()),
                       static_cast<unsigned>(run.begin), static_cast<int>(run.end - run.begin));
    hb_buffer_guess_segment_properties(buffer.get());
    hb_shape(run.face->hb(), buffer.get(), nullptr, 0);
    unsigned n = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer.get(), &n);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer.get(), &n);
    const double scale = pointSize / run.face->unitsPerEm();
    for (unsigned g = 0; g < n; ++g) {
      line.glyphs.push_back(
          {run.face, info[g].codepoint, pen + pos[g].x_offset * scale, pos[g].y_offset * scale});
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

void drawLine(CanvasPixels px, const TextLine& line, double startX, double baseline, Pixel4 color) {
  SpanTarget target{px, color};
  const int s = target.px.size;
  // Outlines are placed in 26.6 fixed point; anything that far outside the canvas is skipped.
  constexpr double kLimit = 1 << 20;
  for (const PlacedGlyph& glyph : line.glyphs) {
    const FT_Face face = glyph.face->ft();
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
