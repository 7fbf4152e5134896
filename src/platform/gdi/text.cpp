// Fonts and text: fontconfig picks the face file, FreeType rasterises, and
// everything it produces is cached for the life of the process.
//
// Three caches, each filled only on a miss:
// - requests: (face name, bold, italic) as a LOGFONTA spells them -> face;
// - faces: one FT_Face per matched file and style, with its font-unit metrics
//   and a table of realisations indexed by pixel size;
// - realisations: one FT_Size per (face, ppem) with the GDI metrics and the
//   glyphs of the 256 Windows-1252 codes, rendered on first use and kept as
//   coverage plus runs (within a memory budget: beyond it, glyphs keep only
//   their metrics and are rasterised inside the clip on each use).
// So a font created for a size seen before costs two lookups, and drawing a
// cached glyph calls neither FreeType nor the allocator.
//
// The engine is single-threaded (as the handle table is); so are these caches.
#include "platform/gdi/text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace gdi::detail {

namespace fontcache {

// |lfHeight| beyond this is taken as this: nothing that large is useful, and
// it keeps every glyph bitmap and every sum of advances far from overflow.
constexpr std::int64_t kMaxHeight = 2000;
constexpr int kMaxPpem = 2000;
constexpr int kDefaultCellHeight = 16;  // lfHeight 0
constexpr int kGlyphCount = 256;

// Cached glyph bitmaps of all realisations together stay below this; glyphs
// beyond it (huge sizes) keep only their box and advance, and each use
// rasterises just the part of the outline inside the clip rectangle. The
// benchmark's 100 sizes need about 4 MiB.
constexpr std::size_t kDefaultGlyphCacheBudget = std::size_t{64} << 20;
std::size_t gGlyphCacheBudget = kDefaultGlyphCacheBudget;
// Distinct face-name requests remembered; beyond, new names are matched anew
// on each creation (only a program inventing names could get there).
constexpr std::size_t kMaxCachedRequests = 4096;

// The stock SYSTEM_FONT, reported even when no font file exists.
constexpr LONG kSystemAscent = 13;
constexpr LONG kSystemDescent = 3;
constexpr LONG kSystemAveCharWidth = 7;
constexpr LONG kSystemMaxCharWidth = 15;

// Windows-1252 0x80..0x9F; the five unassigned codes keep their C1 value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr std::uint32_t unicodeOf(unsigned char c) {
  return (c >= 0x80 && c < 0xA0) ? kCp1252High[c - 0x80] : c;
}

// round(a / b) for a >= 0, b > 0, ties away from zero.
constexpr std::int64_t roundDiv(std::int64_t a, std::int64_t b) { return (2 * a + b) / (2 * b); }

// A rendered glyph: its coverage bitmap and, per row, the runs of covered
// pixels, so drawing skips the uncovered pixels and writes the fully covered
// ones without blending. A run is packed as start (bits 0-15), length (bits
// 16-30) and a solid flag (bit 31: every pixel of the run has coverage 255).
constexpr std::uint32_t kRunSolid = 0x80000000u;

struct Glyph {
  std::vector<std::uint8_t> bits;   // rows x width coverage bytes, top row first
  std::vector<std::uint32_t> runs;  // rows + 1 row offsets into itself, then the runs
  std::int32_t left = 0;            // pen x to the first column
  std::int32_t top = 0;             // baseline up to the first row
  std::int32_t width = 0;
  std::int32_t rows = 0;
  std::int32_t advance = 0;         // hinted, whole pixels
  bool loaded = false;
  bool transient = false;           // over the budget: the box is the outline's, no bits
};

struct Face {
  FT_Face ft = nullptr;
  std::string file;        // the font file fontconfig gave
  bool symbolMap = false;  // the face has only a symbol cmap: codes live at U+F000
  bool embolden = false;   // fontconfig asks for synthetic bold
  bool oblique = false;    // fontconfig asks for synthetic italic
  bool bold = false;       // as requested: tmWeight 700
  bool italic = false;     // as requested: tmItalic
  // Font units.
  std::int64_t unitsPerEm = 2048;
  std::int64_t cellAscent = 0;   // usWinAscent
  std::int64_t cellDescent = 0;  // usWinDescent
  std::int64_t externalLeading = 0;
  std::int64_t aveCharWidth = 0;
  std::int64_t maxCharWidth = 0;
  BYTE pitchAndFamily = 0;
  std::vector<Realization*> byPpem;  // kMaxPpem + 1 entries once the first size is realised
};

// A request as a LOGFONTA spells it; the name is compared case-insensitively
// (fontconfig ignores case too) and holds no allocation, so a lookup is free.
struct RequestKey {
  std::array<char, LF_FACESIZE> name{};
  std::uint8_t length = 0;
  bool bold = false;
  bool italic = false;
  bool operator==(const RequestKey& o) const {
    return length == o.length && bold == o.bold && italic == o.italic &&
           std::memcmp(name.data(), o.name.data(), length) == 0;
  }
};

struct RequestKeyHash {
  std::size_t operator()(const RequestKey& k) const {
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint8_t i = 0; i < k.length; ++i) h = (h ^ static_cast<std::uint8_t>(k.name[i])) * 1099511628211ull;
    h = (h ^ (k.bold ? 1u : 0u) ^ (k.italic ? 2u : 0u)) * 1099511628211ull;
    return static_cast<std::size_t>(h);
  }
};

struct FontSystem {
  bool initTried = false;
  FcConfig* config = nullptr;
  FT_Library library = nullptr;
  std::unordered_map<RequestKey, Face*, RequestKeyHash> byRequest;  // null: nothing found
  std::map<std::string, Face*> byFile;  // file, index and style -> face
  std::vector<std::unique_ptr<Face>> faces;
  std::vector<std::unique_ptr<Realization>> realizations;
  bool systemTried = false;
  const Realization* system = nullptr;
  std::size_t cachedGlyphBytes = 0;
};

}  // namespace fontcache

struct Realization {
  fontcache::Face* face = nullptr;
  FT_Size size = nullptr;
  int ppem = 0;
  TEXTMETRICA tm{};
  // Filled on first use; logically part of the immutable realisation.
  mutable fontcache::Glyph glyphs[fontcache::kGlyphCount];
};

namespace fontcache {

namespace {

FontSystem& fonts() {
  static FontSystem* fs = new FontSystem();  // lives for the whole process
  return *fs;
}

// Fontconfig stores its patterns as self-relative offsets, which the leak
// checker of AddressSanitizer cannot follow: it reports the live
// configuration as leaked. Sanitizer builds therefore hand it back at exit;
// later requests find the caches (and fail cleanly for anything new).
#if defined(__SANITIZE_ADDRESS__)
#define VEX2D_RELEASE_FONTCONFIG_AT_EXIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEX2D_RELEASE_FONTCONFIG_AT_EXIT 1
#endif
#endif

#if defined(VEX2D_RELEASE_FONTCONFIG_AT_EXIT)
void releaseFontconfig() {
  FontSystem& fs = fonts();
  if (fs.config != nullptr) FcConfigDestroy(fs.config);
  fs.config = nullptr;
  FcFini();
}
#endif

// Fontconfig and FreeType start lazily: loading the configuration takes a
// while, and a program that draws no text should not pay for it.
bool ensureInit(FontSystem& fs) {
  if (!fs.initTried) {
    fs.initTried = true;
    fs.config = FcInitLoadConfigAndFonts();
    if (fs.config != nullptr && FT_Init_FreeType(&fs.library) != 0) fs.library = nullptr;
#if defined(VEX2D_RELEASE_FONTCONFIG_AT_EXIT)
    if (fs.config != nullptr) std::atexit(releaseFontconfig);
#endif
  }
  return fs.config != nullptr && fs.library != nullptr;
}

// Appends a Windows-1252 byte as UTF-8, the encoding fontconfig expects.
void appendUtf8(std::string& out, unsigned char c) {
  const std::uint32_t u = unicodeOf(c);
  if (u < 0x80) {
    out.push_back(static_cast<char>(u));
  } else if (u < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (u >> 6)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (u >> 12)));
    out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  }
}

// tmPitchAndFamily of a face: the pitch and technology bits, then the family
// from the PANOSE classification (sans serif styles are FF_SWISS).
BYTE pitchAndFamilyOf(FT_Face ft, const TT_OS2* os2) {
  constexpr BYTE kVariablePitch = 0x01, kVector = 0x02, kTrueType = 0x04;
  constexpr BYTE kRoman = 0x10, kSwiss = 0x20, kModern = 0x30, kScript = 0x40, kDecorative = 0x50;
  BYTE v = 0;
  const bool fixed = FT_IS_FIXED_WIDTH(ft);
  if (!fixed) v |= kVariablePitch;
  if (FT_IS_SCALABLE(ft)) v |= kVector;
  if (FT_IS_SFNT(ft)) v |= kTrueType;
  BYTE family = fixed ? kModern : kSwiss;
  if (os2 != nullptr) {
    const BYTE type = os2->panose[0];
    const BYTE serif = os2->panose[1];
    if (type == 3) {
      family = kScript;
    } else if (type == 4 || type == 5) {
      family = kDecorative;
    } else if (!fixed && type == 2) {
      // 2..10 are serif styles, 11..13 the sans styles.
      family = (serif >= 2 && serif <= 10) ? kRoman : kSwiss;
    }
  }
  return static_cast<BYTE>(v | family);
}

// Opens the matched file (or reuses the face already open for it).
Face* openFace(FontSystem& fs, FcPattern* match, bool bold, bool italic) {
  FcChar8* file = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch || file == nullptr) return nullptr;
  int index = 0;
  FcPatternGetInteger(match, FC_INDEX, 0, &index);
  FcBool embolden = FcFalse;
  FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
  FcMatrix* matrix = nullptr;
  const bool oblique =
      FcPatternGetMatrix(match, FC_MATRIX, 0, &matrix) == FcResultMatch && matrix != nullptr &&
      matrix->xy != 0.0;

  std::string key = reinterpret_cast<const char*>(file);
  key += '\n' + std::to_string(index) + (embolden ? "E" : "-") + (oblique ? "O" : "-") +
         (bold ? "B" : "-") + (italic ? "I" : "-");
  if (auto it = fs.byFile.find(key); it != fs.byFile.end()) return it->second;

  FT_Face ft = nullptr;
  if (FT_New_Face(fs.library, reinterpret_cast<const char*>(file), index, &ft) != 0) return nullptr;
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
  const TT_HoriHeader* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(ft, FT_SFNT_HHEA));
  if (os2 != nullptr && os2->version == 0xFFFFu) os2 = nullptr;  // a placeholder table
  if (!FT_IS_SCALABLE(ft) || ft->units_per_EM == 0) {
    FT_Done_Face(ft);
    return nullptr;
  }

  auto face = std::make_unique<Face>();
  face->ft = ft;
  face->file = reinterpret_cast<const char*>(file);
  if (FT_Select_Charmap(ft, FT_ENCODING_UNICODE) != 0)
    face->symbolMap = FT_Select_Charmap(ft, FT_ENCODING_MS_SYMBOL) == 0;
  face->embolden = embolden != FcFalse;
  face->oblique = oblique;
  face->bold = bold;
  face->italic = italic;
  face->unitsPerEm = ft->units_per_EM;
  // The cell is the Windows ascent and descent; faces without them fall back
  // to the horizontal header, then to the bounding box.
  if (os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
    face->cellAscent = os2->usWinAscent;
    face->cellDescent = os2->usWinDescent;
  } else if (ft->ascender - ft->descender > 0) {
    face->cellAscent = std::max<std::int64_t>(0, ft->ascender);
    face->cellDescent = std::max<std::int64_t>(0, -ft->descender);
  } else {
    face->cellAscent = std::max<std::int64_t>(0, ft->bbox.yMax);
    face->cellDescent = std::max<std::int64_t>(0, -ft->bbox.yMin);
  }
  if (face->cellAscent + face->cellDescent <= 0) face->cellAscent = face->unitsPerEm;
  // External leading: the line gap beyond the cell, as the hhea table sets it.
  if (hhea != nullptr) {
    const std::int64_t hheaHeight = std::int64_t{hhea->Ascender} - hhea->Descender;
    face->externalLeading = std::max<std::int64_t>(
        0, hhea->Line_Gap - ((face->cellAscent + face->cellDescent) - hheaHeight));
  }
  face->maxCharWidth = std::max<std::int64_t>(0, std::int64_t{ft->bbox.xMax} - ft->bbox.xMin);
  face->aveCharWidth = (os2 != nullptr && os2->xAvgCharWidth > 0) ? os2->xAvgCharWidth
                                                                  : face->unitsPerEm / 2;
  face->pitchAndFamily = pitchAndFamilyOf(ft, os2);

  Face* raw = face.get();
  fs.faces.push_back(std::move(face));
  fs.byFile.emplace(std::move(key), raw);
  return raw;
}

// Asks fontconfig for the best face of a family (UTF-8), null when it has
// none that FreeType can open as a scalable font.
Face* matchFace(FontSystem& fs, const std::string& family, bool bold, bool italic) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return nullptr;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(fs.config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(fs.config, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return nullptr;
  Face* face = openFace(fs, match, bold, italic);
  FcPatternDestroy(match);
  return face;
}

// The first face, in fontconfig's order of closeness to the request, that
// FreeType opens as a scalable font; null when there is none at all.
Face* anyFace(FontSystem& fs, const std::string& family, bool bold, bool italic) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return nullptr;
  if (!family.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcConfigSubstitute(fs.config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcFontSet* set = FcFontSort(fs.config, pattern, FcFalse, nullptr, &result);
  FcPatternDestroy(pattern);
  if (set == nullptr) return nullptr;
  Face* face = nullptr;
  for (int i = 0; i < set->nfont && face == nullptr; ++i) face = openFace(fs, set->fonts[i], bold, italic);
  FcFontSetDestroy(set);
  return face;
}

// The face for a LOGFONTA name, weight and italic flag; null when no font
// file can be found at all. Cached per request, misses included.
Face* faceFor(const char* faceName, std::size_t maxLength, bool bold, bool italic) {
  FontSystem& fs = fonts();
  RequestKey key;
  key.bold = bold;
  key.italic = italic;
  // The name ends at its zero byte; what follows it is padding.
  while (key.length < maxLength && key.length < LF_FACESIZE && faceName[key.length] != '\0') {
    const char c = faceName[key.length];
    key.name[key.length] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    ++key.length;
  }
  if (auto it = fs.byRequest.find(key); it != fs.byRequest.end()) return it->second;

  Face* face = nullptr;
  if (ensureInit(fs)) {
    std::string family;
    for (std::uint8_t i = 0; i < key.length; ++i) appendUtf8(family, static_cast<unsigned char>(faceName[i]));
    if (!family.empty()) face = matchFace(fs, family, bold, italic);
    // Fontconfig already falls back to its default family for an unknown
    // name; ask for sans-serif explicitly when that match was unusable.
    if (face == nullptr) face = matchFace(fs, "sans-serif", bold, italic);
    // Neither the face nor its substitute nor the default family opened (a
    // machine with bitmap fonts only, say): any font that opens will do.
    if (face == nullptr) face = anyFace(fs, family, bold, italic);
  }
  if (fs.byRequest.size() < kMaxCachedRequests) fs.byRequest.emplace(key, face);
  return face;
}

// GDI's ppem for a positive cell height (gdi-notes.md): the size whose
// rounded cell does not exceed the request. Ascent and descent, rounded one
// by one, can still add up to one pixel more (Liberation Sans at 50 gives 51).
int ppemForCell(const Face& face, std::int64_t cell) {
  const std::int64_t units = face.cellAscent + face.cellDescent;
  std::int64_t ppem = roundDiv(face.unitsPerEm * cell, units);
  if (roundDiv(units * ppem, face.unitsPerEm) > cell) --ppem;
  return static_cast<int>(std::clamp<std::int64_t>(ppem, 1, kMaxPpem));
}

int ppemFor(const Face& face, LONG lfHeight) {
  const std::int64_t h = lfHeight;  // 64-bit first: -INT_MIN must not overflow
  if (h == 0) return ppemForCell(face, kDefaultCellHeight);
  if (h > 0) return ppemForCell(face, std::min(h, kMaxHeight));
  return static_cast<int>(std::clamp<std::int64_t>(-h, 1, std::min<std::int64_t>(kMaxHeight, kMaxPpem)));
}

std::int64_t scaled(const Face& face, std::int64_t units, int ppem) {
  return roundDiv(units * ppem, face.unitsPerEm);
}

const Realization* realize(Face& face, int ppem) {
  if (face.byPpem.empty()) face.byPpem.assign(kMaxPpem + 1, nullptr);
  if (Realization* r = face.byPpem[static_cast<std::size_t>(ppem)]; r != nullptr) return r;

  FT_Size size = nullptr;
  if (FT_New_Size(face.ft, &size) != 0) return nullptr;
  if (FT_Activate_Size(size) != 0 || FT_Set_Pixel_Sizes(face.ft, 0, static_cast<FT_UInt>(ppem)) != 0) {
    FT_Done_Size(size);
    return nullptr;
  }
  auto r = std::make_unique<Realization>();
  r->face = &face;
  r->size = size;
  r->ppem = ppem;
  TEXTMETRICA& tm = r->tm;
  tm.tmAscent = static_cast<LONG>(scaled(face, face.cellAscent, ppem));
  tm.tmDescent = static_cast<LONG>(scaled(face, face.cellDescent, ppem));
  tm.tmHeight = tm.tmAscent + tm.tmDescent;
  tm.tmInternalLeading = tm.tmHeight - ppem;
  tm.tmExternalLeading = static_cast<LONG>(scaled(face, face.externalLeading, ppem));
  tm.tmAveCharWidth = static_cast<LONG>(scaled(face, face.aveCharWidth, ppem));
  tm.tmMaxCharWidth = static_cast<LONG>(scaled(face, face.maxCharWidth, ppem));
  tm.tmWeight = face.bold ? FW_BOLD : FW_NORMAL;
  tm.tmOverhang = 0;
  tm.tmDigitizedAspectX = 96;
  tm.tmDigitizedAspectY = 96;
  tm.tmFirstChar = 32;
  tm.tmLastChar = 255;
  tm.tmDefaultChar = 31;
  tm.tmBreakChar = 32;
  tm.tmItalic = face.italic ? 255 : 0;
  tm.tmUnderlined = 0;
  tm.tmStruckOut = 0;
  tm.tmPitchAndFamily = face.pitchAndFamily;
  tm.tmCharSet = 0;  // ANSI

  Realization* raw = r.get();
  fonts().realizations.push_back(std::move(r));
  face.byPpem[static_cast<std::size_t>(ppem)] = raw;
  return raw;
}

// Loads the outline of a code into the face's glyph slot at the
// realisation's size, hinted and with fontconfig's synthetic styles applied.
FT_GlyphSlot loadOutline(const Realization& real, unsigned char c) {
  const Face& face = *real.face;
  FT_Face ft = face.ft;
  if (FT_Activate_Size(real.size) != 0) return nullptr;
  const std::uint32_t code = unicodeOf(c);
  FT_UInt index = FT_Get_Char_Index(ft, face.symbolMap ? 0xF000u + code : code);
  if (index == 0 && face.symbolMap) index = FT_Get_Char_Index(ft, code);
  if (FT_Load_Glyph(ft, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return nullptr;
  FT_GlyphSlot slot = ft->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return nullptr;
  if (face.oblique) FT_GlyphSlot_Oblique(slot);
  if (face.embolden) FT_GlyphSlot_Embolden(slot);
  return slot;
}

// Fills a cache slot on first use: the advance, and the coverage with its
// runs while the cache budget lasts (else only the outline's pixel box). A
// glyph that fails to load or render stays empty.
void loadGlyph(const Realization& real, Glyph& g, unsigned char c) {
  g.loaded = true;
  FT_GlyphSlot slot = loadOutline(real, c);
  if (slot == nullptr) return;
  // Hinted advances are whole pixels already; rounding only guards odd fonts.
  g.advance = static_cast<std::int32_t>(std::clamp<FT_Pos>((slot->advance.x + 32) >> 6, 0, 8 * kMaxPpem));

  // The pixels the outline touches, as the renderer will size its bitmap.
  FT_BBox box;
  FT_Outline_Get_CBox(&slot->outline, &box);
  const std::int64_t left = box.xMin >> 6, right = (box.xMax + 63) >> 6;
  const std::int64_t bottom = box.yMin >> 6, top = (box.yMax + 63) >> 6;
  if (left >= right || bottom >= top) return;  // a blank such as the space
  FontSystem& fs = fonts();
  // The glyph stays out of the cache when its coverage alone would overflow
  // the budget, or when it is too wide for the runs (a column in 16 bits, a
  // length in 15); it keeps the outline's pixel box for clipping.
  auto makeTransient = [&] {
    g.bits.clear();
    g.runs.clear();
    g.transient = true;
    g.left = static_cast<std::int32_t>(std::clamp<std::int64_t>(left, -(1 << 20), 1 << 20));
    g.top = static_cast<std::int32_t>(std::clamp<std::int64_t>(top, -(1 << 20), 1 << 20));
    g.width = static_cast<std::int32_t>(std::min<std::int64_t>(right - left, 1 << 21));
    g.rows = static_cast<std::int32_t>(std::min<std::int64_t>(top - bottom, 1 << 21));
  };
  if (right - left > 16 * kMaxPpem || top - bottom > 16 * kMaxPpem ||
      fs.cachedGlyphBytes + static_cast<std::uint64_t>((right - left) * (top - bottom)) > gGlyphCacheBudget) {
    makeTransient();
    return;
  }

  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
  const FT_Bitmap& bm = slot->bitmap;
  const int width = static_cast<int>(bm.width);
  const int rows = static_cast<int>(bm.rows);
  if (width <= 0 || rows <= 0 || width > 16 * kMaxPpem || rows > 16 * kMaxPpem) return;
  if (bm.pixel_mode != FT_PIXEL_MODE_GRAY && bm.pixel_mode != FT_PIXEL_MODE_MONO) return;
  g.bits.resize(static_cast<std::size_t>(width) * rows);
  const int grays = bm.num_grays > 1 ? bm.num_grays : 256;
  // A negative pitch is an upward flow: the buffer starts with the bottom row.
  const unsigned char* first =
      bm.pitch < 0 ? bm.buffer - static_cast<std::ptrdiff_t>(bm.pitch) * (rows - 1) : bm.buffer;
  for (int y = 0; y < rows; ++y) {
    const unsigned char* src = first + static_cast<std::ptrdiff_t>(y) * bm.pitch;
    std::uint8_t* dst = g.bits.data() + static_cast<std::size_t>(y) * width;
    if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
      for (int x = 0; x < width; ++x) dst[x] = ((src[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
    } else if (grays == 256) {
      std::memcpy(dst, src, static_cast<std::size_t>(width));
    } else {
      for (int x = 0; x < width; ++x)
        dst[x] = static_cast<std::uint8_t>(std::min(255, src[x] * 255 / (grays - 1)));
    }
  }
  // Runs: maximal stretches of solid or of partial coverage, split at zeros.
  g.runs.resize(static_cast<std::size_t>(rows) + 1);
  for (int y = 0; y < rows; ++y) {
    g.runs[static_cast<std::size_t>(y)] = static_cast<std::uint32_t>(g.runs.size());
    const std::uint8_t* row = g.bits.data() + static_cast<std::size_t>(y) * width;
    int x = 0;
    while (x < width) {
      if (row[x] == 0) {
        ++x;
        continue;
      }
      const bool solid = row[x] == 255;
      int end = x + 1;
      while (end < width && row[end] != 0 && (row[end] == 255) == solid) ++end;
      g.runs.push_back(static_cast<std::uint32_t>(x) | (static_cast<std::uint32_t>(end - x) << 16) |
                       (solid ? kRunSolid : 0u));
      x = end;
    }
  }
  g.runs[static_cast<std::size_t>(rows)] = static_cast<std::uint32_t>(g.runs.size());
  const std::size_t bytes = g.bits.size() + g.runs.size() * sizeof(std::uint32_t);
  if (fs.cachedGlyphBytes + bytes > gGlyphCacheBudget) {
    makeTransient();  // the runs tipped it over
    g.bits.shrink_to_fit();
    g.runs.shrink_to_fit();
    return;
  }
  g.runs.shrink_to_fit();
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = width;
  g.rows = rows;
  fs.cachedGlyphBytes += bytes;
}

inline const Glyph& glyphOf(const Realization& real, unsigned char c) {
  Glyph& g = real.glyphs[c];
  if (!g.loaded) loadGlyph(real, g, c);
  return g;
}

TEXTMETRICA systemMetrics() {
  TEXTMETRICA tm{};
  tm.tmAscent = kSystemAscent;
  tm.tmDescent = kSystemDescent;
  tm.tmHeight = kSystemAscent + kSystemDescent;
  tm.tmInternalLeading = 3;
  tm.tmExternalLeading = 0;
  tm.tmAveCharWidth = kSystemAveCharWidth;
  tm.tmMaxCharWidth = kSystemMaxCharWidth;
  tm.tmWeight = FW_BOLD;
  tm.tmOverhang = 0;
  tm.tmDigitizedAspectX = 96;
  tm.tmDigitizedAspectY = 96;
  tm.tmFirstChar = 32;
  tm.tmLastChar = 255;
  tm.tmDefaultChar = 31;
  tm.tmBreakChar = 32;
  tm.tmItalic = 0;
  tm.tmUnderlined = 0;
  tm.tmStruckOut = 0;
  tm.tmPitchAndFamily = 0x21;  // variable pitch, FF_SWISS, a raster font
  tm.tmCharSet = 0;
  return tm;
}

// The text colour in the forms the blitter wants, computed once per call.
struct Ink {
  std::uint32_t px;          // 0x00RRGGBB
  std::uint32_t rb;          // red and blue alone
  std::uint32_t g;           // green alone
  std::uint64_t pattern[2];  // 24-bit: 8 bytes of b g r b g r ... from phase 0 and 1
};

Ink inkOf(std::uint32_t px) {
  Ink ink;
  ink.px = px;
  ink.rb = px & 0xFF00FFu;
  ink.g = px & 0x00FF00u;
  std::uint8_t bytes[10];
  for (int i = 0; i < 10; ++i) bytes[i] = static_cast<std::uint8_t>(px >> (8 * (i % 3)));
  std::memcpy(&ink.pattern[0], bytes, 8);
  std::memcpy(&ink.pattern[1], bytes + 1, 8);
  return ink;
}

// d + (c - d) * a / 255 for a partial coverage (1..254; full and zero
// coverage never reach here), within one unit: a is scaled to a weight of
// 0..256, and red with blue share one word in 16-bit lanes, green another.
inline std::uint32_t blendPixel(std::uint32_t d, const Ink& ink, std::uint32_t a) {
  const std::uint32_t w = a + (a >> 7);
  const std::uint32_t nw = 256 - w;
  const std::uint32_t rb = ((d & 0xFF00FFu) * nw + ink.rb * w + 0x800080u) >> 8;
  const std::uint32_t g = ((d & 0x00FF00u) * nw + ink.g * w + 0x008000u) >> 8;
  return (rb & 0xFF00FFu) | (g & 0x00FF00u);
}

inline void store64(std::uint8_t* p, std::uint64_t v) { std::memcpy(p, &v, 8); }

// Fills `count` pixels with the text colour.
template <int Bpp>
inline void solidRun(std::uint8_t* dst, std::int64_t count, const Ink& ink) {
  if constexpr (Bpp == 3) {
    if (count >= 3) {
      // 8-byte stores that advance two pixels at a time, and a last one that
      // ends exactly at the end of the run; it starts 3 * count - 8 bytes in,
      // which is always 1 past a pixel boundary.
      const std::int64_t bytes = 3 * count;
      for (std::int64_t i = 0; i + 8 <= bytes; i += 6) store64(dst + i, ink.pattern[0]);
      store64(dst + bytes - 8, ink.pattern[1]);
    } else {
      for (std::int64_t i = 0; i < count; ++i) Px24::store(dst + 3 * i, ink.px);
    }
  } else {
    for (std::int64_t i = 0; i < count; ++i) Px32::store(dst + 4 * i, ink.px);
  }
}

// Blends one glyph with its top-left at device (gx, gy). `ClipX`: the glyph
// crosses the left or right clip edge, so each run is clipped; otherwise
// only rows are.
template <int Bpp, bool ClipX>
void blitGlyphRows(const Target& t, const Glyph& g, std::int64_t gx, std::int64_t gy,
                   std::int64_t y0, std::int64_t y1, const Ink& ink) {
  const std::int64_t cx0 = t.clip.left, cx1 = t.clip.right;
  const std::uint32_t* runs = g.runs.data();
  for (std::int64_t y = y0; y < y1; ++y) {
    const std::size_t gyRow = static_cast<std::size_t>(y - gy);
    const std::uint8_t* cover = g.bits.data() + gyRow * static_cast<std::size_t>(g.width);
    std::uint8_t* row = t.row(static_cast<std::int32_t>(y));
    for (std::uint32_t k = runs[gyRow], kEnd = runs[gyRow + 1]; k < kEnd; ++k) {
      const std::uint32_t run = runs[k];
      std::int64_t a = run & 0xFFFFu;  // glyph columns [a, b)
      std::int64_t b = a + ((run >> 16) & 0x7FFFu);
      if constexpr (ClipX) {
        a = std::max(a, cx0 - gx);
        b = std::min(b, cx1 - gx);
        if (a >= b) continue;
      }
      std::uint8_t* dst = row + (gx + a) * Bpp;  // inside the clip by now
      if ((run & kRunSolid) != 0) {
        solidRun<Bpp>(dst, b - a, ink);
        continue;
      }
      for (std::int64_t i = a; i < b; ++i, dst += Bpp) {
        if constexpr (Bpp == 3)
          Px24::store(dst, blendPixel(Px24::load(dst), ink, cover[i]));
        else
          Px32::store(dst, blendPixel(Px32::load(dst), ink, cover[i]));
      }
    }
  }
}

template <int Bpp>
void blitGlyph(const Target& t, const Glyph& g, std::int64_t gx, std::int64_t gy, const Ink& ink) {
  if (gx >= t.clip.right || gx + g.width <= t.clip.left) return;
  const std::int64_t y0 = std::max<std::int64_t>(gy, t.clip.top);
  const std::int64_t y1 = std::min<std::int64_t>(gy + g.rows, t.clip.bottom);
  if (y0 >= y1) return;
  if (gx >= t.clip.left && gx + g.width <= t.clip.right)
    blitGlyphRows<Bpp, false>(t, g, gx, gy, y0, y1, ink);
  else
    blitGlyphRows<Bpp, true>(t, g, gx, gy, y0, y1, ink);
}

// A glyph over the cache budget: FreeType rasterises the outline straight
// into the target, only inside the clip rectangle, span by span. (FreeType's
// spans can differ from its bitmaps by a few levels in a few pixels; a glyph
// is drawn one way or the other for the life of the process.)
template <int Bpp>
struct SpanSink {
  const Target* t;
  const Ink* ink;
  std::int64_t pen;
  std::int64_t baseline;

  static void spans(int y, int count, const FT_Span* spans, void* user) {
    const SpanSink& k = *static_cast<const SpanSink*>(user);
    // Raster row y covers [y, y + 1) upwards from the baseline.
    const std::int64_t dy = k.baseline - 1 - y;
    if (dy < k.t->clip.top || dy >= k.t->clip.bottom) return;
    std::uint8_t* row = k.t->row(static_cast<std::int32_t>(dy));
    for (int i = 0; i < count; ++i) {
      const std::uint32_t a = spans[i].coverage;
      const std::int64_t x0 = std::max<std::int64_t>(k.pen + spans[i].x, k.t->clip.left);
      const std::int64_t x1 = std::min<std::int64_t>(k.pen + spans[i].x + spans[i].len, k.t->clip.right);
      if (a == 0 || x0 >= x1) continue;
      std::uint8_t* dst = row + x0 * Bpp;
      if (a == 255) {
        solidRun<Bpp>(dst, x1 - x0, *k.ink);
        continue;
      }
      for (std::int64_t x = x0; x < x1; ++x, dst += Bpp) {
        if constexpr (Bpp == 3)
          Px24::store(dst, blendPixel(Px24::load(dst), *k.ink, a));
        else
          Px32::store(dst, blendPixel(Px32::load(dst), *k.ink, a));
      }
    }
  }
};

template <int Bpp>
void drawTransient(const Target& t, const Realization& real, unsigned char c, const Glyph& g,
                   std::int64_t pen, std::int64_t baseline, const Ink& ink) {
  // The clip rectangle in raster coordinates (x from the pen, y up from the
  // baseline), cut down to the glyph's box so every value is small.
  const std::int64_t xMin = std::max<std::int64_t>(t.clip.left - pen, g.left - 1);
  const std::int64_t xMax = std::min<std::int64_t>(t.clip.right - pen, std::int64_t{g.left} + g.width + 1);
  const std::int64_t yMin = std::max<std::int64_t>(baseline - t.clip.bottom, std::int64_t{g.top} - g.rows - 1);
  const std::int64_t yMax = std::min<std::int64_t>(baseline - t.clip.top, std::int64_t{g.top} + 1);
  if (xMin >= xMax || yMin >= yMax) return;
  // Spans carry x as a 16-bit value.
  if (xMin < -32768 || xMax > 32767) return;
  FT_GlyphSlot slot = loadOutline(real, c);
  if (slot == nullptr) return;
  SpanSink<Bpp> sink{&t, &ink, pen, baseline};
  FT_Raster_Params params{};
  params.source = &slot->outline;
  params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
  params.gray_spans = &SpanSink<Bpp>::spans;
  params.user = &sink;
  params.clip_box = FT_BBox{static_cast<FT_Pos>(xMin), static_cast<FT_Pos>(yMin),
                            static_cast<FT_Pos>(xMax), static_cast<FT_Pos>(yMax)};
  FT_Outline_Render(fonts().library, &slot->outline, &params);
}

template <int Bpp>
void drawGlyphs(const Target& t, const Realization& real, std::int64_t x, std::int64_t baseline,
                const char* s, int n, std::uint32_t px) {
  const Ink ink = inkOf(px);
  std::int64_t pen = x;
  for (int i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const Glyph& g = glyphOf(real, c);
    const std::int64_t origin = pen;
    const std::int64_t gx = pen + g.left, gy = baseline - g.top;
    pen += g.advance;
    if (!g.transient) {
      if (!g.bits.empty()) blitGlyph<Bpp>(t, g, gx, gy, ink);
    } else if (gx - 1 < t.clip.right && gx + g.width + 1 > t.clip.left &&
               gy - 1 < t.clip.bottom && gy + g.rows + 1 > t.clip.top) {
      drawTransient<Bpp>(t, real, c, g, origin, baseline, ink);
    }
  }
}

std::int64_t advanceSum(const Realization& real, const char* s, int n) {
  std::int64_t w = 0;
  for (int i = 0; i < n; ++i) w += glyphOf(real, static_cast<unsigned char>(s[i])).advance;
  return w;
}

}  // namespace

}  // namespace fontcache

void setGlyphCacheBudget(std::size_t bytes) { fontcache::gGlyphCacheBudget = bytes; }

template <int Bpp>
void glyphRunUnchecked(const Target& t, const Realization& real, std::int64_t x, std::int64_t baseline,
                       const char* s, int n, std::uint32_t px) {
  fontcache::drawGlyphs<Bpp>(t, real, x, baseline, s, n, px);
}
template void glyphRunUnchecked<3>(const Target&, const Realization&, std::int64_t, std::int64_t, const char*, int,
                                   std::uint32_t);
template void glyphRunUnchecked<4>(const Target&, const Realization&, std::int64_t, std::int64_t, const char*, int,
                                   std::uint32_t);

using namespace fontcache;

const Realization* realizeFont(const LOGFONTA& lf) {
  const bool bold = lf.lfWeight > 550;  // FW_DONTCARE (0) is regular
  const bool italic = lf.lfItalic != 0;
  Face* face = faceFor(lf.lfFaceName, sizeof(lf.lfFaceName), bold, italic);
  if (face == nullptr) return nullptr;
  return realize(*face, ppemFor(*face, lf.lfHeight));
}

std::string fontFileFor(const char* faceName) {
  const Face* face = faceFor(faceName, std::strlen(faceName), false, false);
  return face != nullptr ? face->file : std::string();
}

std::string missingFontReason() {
  static constexpr char kArial[] = "Arial";
  if (faceFor(kArial, sizeof(kArial), false, false) != nullptr) return {};
  return "no usable font: fontconfig finds neither Arial nor its substitute Liberation Sans nor any other "
         "scalable font (the Debian package fonts-liberation2 provides Liberation Sans)";
}

const Realization* systemFontRealization() {
  FontSystem& fs = fonts();
  if (!fs.systemTried) {
    fs.systemTried = true;
    // The bold sans face at the largest size whose cell fits 13 + 3.
    static constexpr char kSans[] = "sans-serif";
    if (Face* face = faceFor(kSans, sizeof(kSans), true, false); face != nullptr) {
      int ppem = ppemForCell(*face, kSystemAscent + kSystemDescent);
      while (ppem > 1 && (scaled(*face, face->cellAscent, ppem) > kSystemAscent ||
                          scaled(*face, face->cellDescent, ppem) > kSystemDescent))
        --ppem;
      fs.system = realize(*face, ppem);
    }
  }
  return fs.system;
}

void fillTextMetrics(const Realization* real, bool isSystemFont, TEXTMETRICA* tm) {
  if (isSystemFont)
    *tm = systemMetrics();
  else if (real != nullptr)
    *tm = real->tm;
  else
    *tm = TEXTMETRICA{};
}

SIZE textExtent(const Realization* real, bool isSystemFont, const char* s, int n) {
  if (n < 0 || (n > 0 && s == nullptr)) n = 0;
  std::int64_t width = 0;
  LONG height = 0;
  if (real != nullptr) {
    width = advanceSum(*real, s, n);
    height = real->tm.tmHeight;
  } else if (isSystemFont) {
    // No font file: the reported metrics still describe a layout.
    width = static_cast<std::int64_t>(n) * kSystemAveCharWidth;
  }
  if (isSystemFont) height = kSystemAscent + kSystemDescent;
  const std::int64_t cx = std::min<std::int64_t>(width, std::numeric_limits<LONG>::max());
  return SIZE{static_cast<LONG>(cx), height};
}

void drawText(const Target& target, const Realization* real, bool isSystemFont, std::int64_t x,
              std::int64_t y, const char* s, int n, std::uint32_t textPx, bool opaque,
              std::uint32_t bkPx) {
  if (real == nullptr || s == nullptr || n <= 0 || target.clip.empty()) return;
  // Advances are below 2^14 and n below 2^31, so pen positions move less than
  // 2^45 from x, and glyphs are below 2^15 pixels: text that starts farther
  // out than 2^50 cannot reach an int32 clip rectangle, and nearer in no
  // position computed below can overflow.
  constexpr std::int64_t kFar = std::int64_t{1} << 50;
  if (x < -kFar || x > kFar || y < -kFar || y > kFar) return;
  const LONG ascent = isSystemFont ? kSystemAscent : real->tm.tmAscent;
  const LONG height = isSystemFont ? kSystemAscent + kSystemDescent : real->tm.tmHeight;
  if (opaque) {
    const std::int64_t width = advanceSum(*real, s, n);
    fillBox(SpanPainter(target, bkPx), x, y, x + width, y + height);
  }
  const std::uint32_t px = textPx & 0xFFFFFFu;
  target.kernels->glyphRun(target, *real, x, y + ascent, s, n, px);
}

}  // namespace gdi::detail

namespace gdi {

std::string missingFontReason() { return detail::missingFontReason(); }

}  // namespace gdi
