#pragma once
// Internal to the drawing services: the faces text is set in. The built-in face is Inter
// ExtraBold; characters it lacks come from the machine's fonts through fontconfig, which is only
// started when such a character appears.
// clang-format off
#include <ft2build.h>
#include FT_FREETYPE_H
// clang-format on
#include <hb.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/os/handle.h"

namespace platform {

// One face: FreeType for outlines and metrics, HarfBuzz for shaping, both in font units.
class FontFace {
 public:
  using FtFace = Handle<FT_FaceRec_, FT_Done_Face>;
  using HbBlob = Handle<hb_blob_t, hb_blob_destroy>;
  // Face `index` of the font file that both face and blob hold; nothing for a face that has
  // neither outlines nor colour bitmaps.
  static std::unique_ptr<FontFace> make(FtFace face, HbBlob blob, unsigned index);
  FT_Face ft() const { return face_.get(); }
  hb_font_t* hb() const { return hb_.get(); }
  // Metrics in font units. A face of colour bitmaps alone has them only from its tables, which
  // HarfBuzz reads; FreeType gives outline faces'.
  struct Metrics {
    double unitsPerEm, ascender, descender, lineGap;  // descender below the baseline is negative
  };
  const Metrics& metrics() const { return metrics_; }
  double unitsPerEm() const { return metrics_.unitsPerEm; }
  bool covers(char32_t cp) const { return FT_Get_Char_Index(face_.get(), cp) != 0; }
  bool coversAll(std::u32string_view cps) const;
  // Its glyphs are colour pictures (bitmaps or layers) rather than outlines to fill.
  bool colour() const { return FT_HAS_COLOR(face_.get()); }

 private:
  using HbFont = Handle<hb_font_t, hb_font_destroy>;
  FontFace(FtFace face, HbFont hb, Metrics metrics)
      : face_(std::move(face)), hb_(std::move(hb)), metrics_(metrics) {}
  FtFace face_;
  HbFont hb_;
  Metrics metrics_;
};

// The process's faces, loaded once.
class Fonts {
 public:
  static Fonts& instance();
  FT_Library library() const { return library_.get(); }
  // The built-in face; nullptr only when it cannot be loaded.
  FontFace* primary() const { return primary_.get(); }
  // The face to set one character with, given its visible code points: the built-in face when
  // it has them all, else the first machine font that does (a colour font first when the
  // character asks for emoji presentation), else the first that has the first code point, else
  // the built-in face (its missing-glyph shape).
  FontFace* faceFor(std::u32string_view cps, bool emoji);

 private:
  Fonts();
  ~Fonts();
  FontFace* findFallback(std::u32string_view cps, bool emoji);
  FontFace* load(const char* file, int index);

  Handle<FT_LibraryRec_, FT_Done_FreeType> library_;
  std::unique_ptr<FontFace> primary_;
  std::map<std::string, std::unique_ptr<FontFace>> byFile_;
  std::map<std::pair<std::u32string, bool>, FontFace*> byCharacter_;
  bool fontconfigReady_ = false;
};

}  // namespace platform
