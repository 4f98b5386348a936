#include "platform/graphics/fonts.h"

#include <fontconfig/fontconfig.h>

#include "platform/graphics/embedded_font.h"

namespace platform {

std::unique_ptr<FontFace> FontFace::make(FtFace face, HbBlob blob, unsigned index) {
  if (!face || !FT_IS_SCALABLE(face.get()) || face->units_per_EM == 0) return nullptr;
  const Handle<hb_face_t, hb_face_destroy> hbFace(hb_face_create(blob.get(), index));
  HbFont hb(hb_font_create(hbFace.get()));
  hb_font_set_scale(hb.get(), face->units_per_EM, face->units_per_EM);
  return std::unique_ptr<FontFace>(new FontFace(std::move(face), std::move(hb)));
}

Fonts& Fonts::instance() {
  static Fonts fonts;
  return fonts;
}

Fonts::Fonts() {
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) != 0) return;
  library_.reset(lib);
  FT_Face face = nullptr;
  if (FT_New_Memory_Face(lib, kEmbeddedFont, static_cast<FT_Long>(kEmbeddedFontSize), 0, &face) !=
      0)
    return;
  primary_ =
      FontFace::make(FontFace::FtFace(face),
                     FontFace::HbBlob(hb_blob_create(reinterpret_cast<const char*>(kEmbeddedFont),
                                                     static_cast<unsigned>(kEmbeddedFontSize),
                                                     HB_MEMORY_MODE_READONLY, nullptr, nullptr)),
                     0);
}

Fonts::~Fonts() {
  byCodePoint_.clear();
  byFile_.clear();
  primary_.reset();
  if (fontconfigReady_) FcFini();
}

FontFace* Fonts::faceFor(char32_t cp) {
  if (!primary_ || primary_->covers(cp)) return primary_.get();
  auto it = byCodePoint_.find(cp);
  if (it == byCodePoint_.end()) it = byCodePoint_.emplace(cp, findFallback(cp)).first;
  return it->second ? it->second : primary_.get();
}

FontFace* Fonts::findFallback(char32_t cp) {
  if (!fontconfigReady_) {
    if (!FcInit()) return nullptr;
    fontconfigReady_ = true;
  }
  const Handle<FcPattern, FcPatternDestroy> pattern(FcPatternCreate());
  const Handle<FcCharSet, FcCharSetDestroy> chars(FcCharSetCreate());
  FcCharSetAddChar(chars.get(), cp);
  FcPatternAddCharSet(pattern.get(), FC_CHARSET, chars.get());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, FC_WEIGHT_HEAVY);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result;
  const Handle<FcFontSet, FcFontSetDestroy> set(
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
    const char* path = reinterpret_cast<const char*>(file);
    const std::string key = path + ("#" + std::to_string(index));
    auto it = byFile_.find(key);
    if (it == byFile_.end()) {
      FT_Face face = nullptr;
      std::unique_ptr<FontFace> loaded;
      if (FT_New_Face(library_.get(), path, index, &face) == 0)
        loaded =
            FontFace::make(FontFace::FtFace(face), FontFace::HbBlob(hb_blob_create_from_file(path)),
                           static_cast<unsigned>(index));
      it = byFile_.emplace(key, std::move(loaded)).first;
    }
    if (it->second && it->second->covers(cp)) return it->second.get();
  }
  return nullptr;
}

}  // namespace platform
