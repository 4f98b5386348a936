// Text measuring and drawing: HarfBuzz shapes, FreeType supplies outlines and rasterises them.
// The built-in face is Inter ExtraBold; characters it lacks come from the machine's fonts
// through fontconfig, which is only started when such a character appears.
#include <fontconfig/fontconfig.h>
// clang-format off
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
// clang-format on
#include <hb.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "platform/canvas_access.h"
#include "platform/drawing.h"
#include "platform/embedded_font.h"
#include "platform/text.h"

namespace platform {
namespace {

struct FtLibraryDeleter {
  void operator()(FT_Library lib) const { FT_Done_FreeType(lib); }
};
struct FtFaceDeleter {
  void operator()(FT_Face face) const { FT_Done_Face(face); }
};
struct HbFontDeleter {
  void operator()(hb_font_t* font) const { hb_font_destroy(font); }
};
struct HbBufferDeleter {
  void operator()(hb_buffer_t* buffer) const { hb_buffer_destroy(buffer); }
};
struct FcPatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct FcFontSetDeleter {
  void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
struct FcCharSetDeleter {
  void operator()(FcCharSet* c) const { FcCharSetDestroy(c); }
};

using FtLibrary = std::unique_ptr<std::remove_pointer_t<FT_Library>, FtLibraryDeleter>;

// One face: FreeType for outlines and metrics, HarfBuzz for shaping, both in font units.
class FontFace {
 public:
  // Takes ownership of raw; blob holds the same font file for HarfBuzz.
  static std::unique_ptr<FontFace> fromFace(FT_Face raw, hb_blob_t* blob, unsigned index) {
    std::unique_ptr<std::remove_pointer_t<FT_Face>, FtFaceDeleter> face(raw);
    hb_face_t* hbFace = hb_face_create(blob, index);
    hb_blob_destroy(blob);
    std::unique_ptr<hb_font_t, HbFontDeleter> hb(hb_font_create(hbFace));
    hb_face_destroy(hbFace);
    if (!FT_IS_SCALABLE(raw) || raw->units_per_EM == 0) return nullptr;
    hb_font_set_scale(hb.get(), raw->units_per_EM, raw->units_per_EM);
    return std::unique_ptr<FontFace>(new FontFace(std::move(face), std::move(hb)));
  }
  FT_Face ft() const { return face_.get(); }
  hb_font_t* hb() const { return hb_.get(); }
  double unitsPerEm() const { return face_->units_per_EM; }
  bool covers(char32_t cp) const { return FT_Get_Char_Index(face_.get(), cp) != 0; }

 private:
  FontFace(std::unique_ptr<std::remove_pointer_t<FT_Face>, FtFaceDeleter> face,
           std::unique_ptr<hb_font_t, HbFontDeleter> hb)
      : face_(std::move(face)), hb_(std::move(hb)) {}
  std::unique_ptr<std::remove_pointer_t<FT_Face>, FtFaceDeleter> face_;
  std::unique_ptr<hb_font_t, HbFontDeleter> hb_;
};

class Fonts {
 public:
  static Fonts& instance() {
    static Fonts fonts;
    return fonts;
  }
  FT_Library library() const { return library_.get(); }

  // The face to set this character with: the built-in one when it has the first code point,
  // else the first machine font that does, else the built-in one (its missing-glyph shape).
  FontFace* faceFor(char32_t cp) {
    if (!primary_ || primary_->covers(cp)) return primary_.get();
    auto it = byCodePoint_.find(cp);
    if (it == byCodePoint_.end()) it = byCodePoint_.emplace(cp, findFallback(cp)).first;
    return it->second ? it->second : primary_.get();
  }
  FontFace* primary() const { return primary_.get(); }

 private:
  Fonts() {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) return;
    library_.reset(lib);
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(lib, kEmbeddedFont, static_cast<FT_Long>(kEmbeddedFontSize), 0, &face) ==
        0)
      primary_ = FontFace::fromFace(face,
                                    hb_blob_create(reinterpret_cast<const char*>(kEmbeddedFont),
                                                   static_cast<unsigned>(kEmbeddedFontSize),
                                                   HB_MEMORY_MODE_READONLY, nullptr, nullptr),
                                    0);
  }
  ~Fonts() {
    byCodePoint_.clear();
    byFile_.clear();
    primary_.reset();
    if (fontconfigReady_) FcFini();
  }

  FontFace* findFallback(char32_t cp) {
    if (!fontconfigReady_) {
      if (!FcInit()) return nullptr;
      fontconfigReady_ = true;
    }
    std::unique_ptr<FcPattern, FcPatternDeleter> pattern(FcPatternCreate());
    std::unique_ptr<FcCharSet, FcCharSetDeleter> chars(FcCharSetCreate());
    FcCharSetAddChar(chars.get(), cp);
    FcPatternAddCharSet(pattern.get(), FC_CHARSET, chars.get());
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, FC_WEIGHT_HEAVY);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result;
    std::unique_ptr<FcFontSet, FcFontSetDeleter> set(
        FcFontSort(nullptr, pattern.get(), FcTrue, nullptr, &result));
    if (!set) return nullptr;
    for (int i = 0; i < set->nfont; ++i) {
      FcCharSet* fontChars = nullptr;
      FcChar8* file = nullptr;
      int index = 0;
      if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &fontChars) != FcResultMatch ||
          !FcCharSetHasChar(fontChars, cp) ||
          FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch)
        continue;
      FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
      const std::string key = reinterpret_cast<const char*>(file) + ("#" + std::to_string(index));
      auto it = byFile_.find(key);
      if (it == byFile_.end()) {
        FT_Face face = nullptr;
        std::unique_ptr<FontFace> loaded;
        if (FT_New_Face(library_.get(), reinterpret_cast<const char*>(file), index, &face) == 0)
          loaded = FontFace::fromFace(face,
                                      hb_blob_create_from_file(reinterpret_cast<const char*>(file)),
                                      static_cast<unsigned>(index));
        it = byFile_.emplace(key, std::move(loaded)).first;
      }
      if (it->second && it->second->covers(cp)) return it->second.get();
    }
    return nullptr;
  }

  FtLibrary library_;
  std::unique_ptr<FontFace> primary_;
  std::map<std::string, std::unique_ptr<FontFace>> byFile_;
  std::map<char32_t, FontFace*> byCodePoint_;
  bool fontconfigReady_ = false;
};

struct PlacedGlyph {
  FontFace* face;
  unsigned glyph;
  double x, y;  // pen position in points from the line start, on the baseline, y up
};

struct Line {
  std::vector<PlacedGlyph> glyphs;
  double width = 0, ascent = 0, descent = 0, gap = 0;
};

Line layoutLine(const std::string& text, double pointSize) {
  Line line;
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

  std::unique_ptr<hb_buffer_t, HbBufferDeleter> buffer(hb_buffer_create());
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
  return line;
}

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

Font systemFont(double pointSize, FontWeight weight) { return Font{pointSize, weight}; }

Size measureText(const StyledText& text) {
  const Line line = layoutLine(text.text, text.font.pointSize);
  return {line.width, line.ascent + line.descent + line.gap};
}

void DrawingContext::drawText(const StyledText& text, Rect rect) {
  const Line line = layoutLine(text.text, text.font.pointSize);
  const double startX =
      text.alignment == TextAlignment::kCentered ? rect.x + (rect.width - line.width) / 2 : rect.x;
  const double baseline = rect.y + rect.height - line.ascent;
  SpanTarget target{canvasPixels(*canvas_),
                    {static_cast<float>(text.color.red * text.color.alpha),
                     static_cast<float>(text.color.green * text.color.alpha),
                     static_cast<float>(text.color.blue * text.color.alpha),
                     static_cast<float>(text.color.alpha)}};
  const int s = target.px.size;
  // Outlines are placed in 26.6 fixed point; anything that far outside the canvas is skipped.
  constexpr double kLimit = 1 << 20;
  for (const PlacedGlyph& glyph : line.glyphs) {
    const FT_Face face = glyph.face->ft();
    if (FT_Load_Glyph(face, glyph.glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP))
      continue;
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) continue;
    const double scale = text.font.pointSize / glyph.face->unitsPerEm();
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
