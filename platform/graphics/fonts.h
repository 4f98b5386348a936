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

#include "platform/os/handle.h"

namespace platform {

// One face: FreeType for outlines and metrics, HarfBuzz for shaping, both in font units.
class FontFace {
 public:
  using FtFace = Handle<FT_FaceRec_, FT_Done_Face>;
  using HbBlob = Handle<hb_blob_t, hb_blob_destroy>;
  // Face `index` of the font file that both face and blob hold; nothing for a face that is not
  // scalable.
  static std::unique_ptr<FontFace> make(FtFace face, HbBlob blob, unsigned index);
  FT_Face ft() const { return face_.get(); }
  hb_font_t* hb() const { return hb_.get(); }
  double unitsPerEm() const { return face_->units_per_EM; }
  bool covers(char32_t cp) const { return FT_Get_Char_Index(face_.get(), cp) != 0; }

 private:
  using HbFont = Handle<hb_font_t, hb_font_destroy>;
  FontFace(FtFace face, HbFont hb) : face_(std::move(face)), hb_(std::move(hb)) {}
  FtFace face_;
  HbFont hb_;
};

// The process's faces, loaded once.
class Fonts {
 public:
  static Fonts& instance();
  FT_Library library() const { return library_.get(); }
  // The built-in face; nullptr only when it cannot be loaded.
  FontFace* primary() const { return primary_.get(); }
  // The face to set this character with: the built-in one when it has the code point, else the
  // first machine font that does, else the built-in one (its missing-glyph shape).
  FontFace* faceFor(char32_t cp);

 private:
  Fonts();
  ~Fonts();
  FontFace* findFallback(char32_t cp);

  Handle<FT_LibraryRec_, FT_Done_FreeType> library_;
  std::unique_ptr<FontFace> primary_;
  std::map<std::string, std::unique_ptr<FontFace>> byFile_;
  std::map<char32_t, FontFace*> byCodePoint_;
  bool fontconfigReady_ = false;
};

}  // namespace platform
