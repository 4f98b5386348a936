#include "platform/graphics/fonts.h"

#include <fontconfig/fontconfig.h>

#include "platform/graphics/embedded_font.h"
#include "platform/os/files.h"

namespace platform {

std::unique_ptr<FontFace> FontFace::make(FtFace face, HbBlob blob, unsigned index) {
  if (!face) return nullptr;
  const bool outlines = FT_IS_SCALABLE(face.get());
  if (!outlines && !(FT_HAS_COLOR(face.get()) && FT_HAS_FIXED_SIZES(face.get()))) return nullptr;
  const Handle<hb_face_t, hb_face_destroy> hbFace(hb_face_create(blob.get(), index));
  const unsigned upem = outlines ? face->units_per_EM : hb_face_get_upem(hbFace.get());
  if (upem == 0) return nullptr;
  HbFont hb(hb_font_create(hbFace.get()));
  hb_font_set_scale(hb.get(), static_cast<int>(upem), static_cast<int>(upem));
  Metrics metrics{double(upem), double(face->ascender), double(face->descender),
                  double(face->height - face->ascender + face->descender)};
  if (!outlines) {
    hb_font_extents_t extents{};
    hb_font_get_h_extents(hb.get(), &extents);
    metrics = {double(upem), double(extents.ascender), double(extents.descender),
               double(extents.line_gap)};
  }
  return std::unique_ptr<FontFace>(new FontFace(std::move(face), std::move(hb), metrics));
}

bool FontFace::coversAll(std::u32string_view cps) const {
  for (char32_t cp : cps)
    if (!covers(cp)) return false;
  return true;
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
  byCharacter_.clear();
  byFile_.clear();
  primary_.reset();
  if (fontconfigReady_) FcFini();
}

FontFace* Fonts::faceFor(std::u32string_view cps, bool emoji) {
  if (!primary_ || cps.empty() || (!emoji && primary_->coversAll(cps))) return primary_.get();
  const auto key = std::make_pair(std::u32string(cps), emoji);
  auto it = byCharacter_.find(key);
  if (it == byCharacter_.end()) {
    FontFace* found = findFallback(cps, emoji);
    if (!found && emoji && primary_->coversAll(cps)) found = primary_.get();
    if (!found && cps.size() > 1) found = faceFor(cps.substr(0, 1), false);
    it = byCharacter_.emplace(key, found).first;
  }
  return it->second ? it->second : primary_.get();
}

FontFace* Fonts::load(const char* file, int index) {
  const std::string key = file + ("#" + std::to_string(index));
  auto it = byFile_.find(key);
  if (it == byFile_.end()) {
    FT_Face face = nullptr;
    std::unique_ptr<FontFace> loaded;
    if (FT_New_Face(library_.get(), file, index, &face) == 0)
      loaded =
          FontFace::make(FontFace::FtFace(face), FontFace::HbBlob(hb_blob_create_from_file(file)),
                         static_cast<unsigned>(index));
    it = byFile_.emplace(key, std::move(loaded)).first;
  }
  return it->second.get();
}

FontFace* Fonts::findFallback(std::u32string_view cps, bool emoji) {
  // Fontconfig prints its own messages, about a missing or broken configuration for one, which
  // a successful run must not show; without a configuration it finds no fonts, and the built-in
  // face still sets every character it has.
  if (!fontconfigReady_) {
    withStandardErrorSilenced([&] { fontconfigReady_ = FcInit(); });
    if (!fontconfigReady_) return nullptr;
  }
  const Handle<FcPattern, FcPatternDestroy> pattern(FcPatternCreate());
  const Handle<FcCharSet, FcCharSetDestroy> chars(FcCharSetCreate());
  for (char32_t cp : cps) FcCharSetAddChar(chars.get(), cp);
  FcPatternAddCharSet(pattern.get(), FC_CHARSET, chars.get());
  FcPatternAddString(pattern.get(), FC_FAMILY,
                     reinterpret_cast<const FcChar8*>(emoji ? "emoji" : "sans-serif"));
  // The heaviest weight there is: fallback glyphs stay as bold as the built-in face.
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, FC_WEIGHT_EXTRABLACK);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  if (emoji) FcPatternAddBool(pattern.get(), FC_COLOR, FcTrue);
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result;
  Handle<FcFontSet, FcFontSetDestroy> set;
  withStandardErrorSilenced(
      [&] { set.reset(FcFontSort(nullptr, pattern.get(), FcTrue, nullptr, &result)); });
  if (!set) return nullptr;
  // With emoji presentation asked for, colour fonts are tried first.
  for (int pass = emoji ? 0 : 1; pass < 2; ++pass)
    for (int i = 0; i < set->nfont; ++i) {
      const FcPattern* font = set->fonts[i];
      FcCharSet* fontChars = nullptr;
      FcChar8* file = nullptr;
      FcBool colour = FcFalse;
      int index = 0;
      if (FcPatternGetCharSet(font, FC_CHARSET, 0, &fontChars) != FcResultMatch ||
          FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch)
        continue;
      FcPatternGetBool(font, FC_COLOR, 0, &colour);
      if (pass == 0 && !colour) continue;
      bool all = true;
      for (char32_t cp : cps) all = all && FcCharSetHasChar(fontChars, cp);
      if (!all) continue;
      FcPatternGetInteger(font, FC_INDEX, 0, &index);
      FontFace* face = load(reinterpret_cast<const char*>(file), index);
      if (face && face->coversAll(cps)) return face;
    }
  return nullptr;
}

}  // namespace platform
