// Fonts and text: fontconfig picks the face file, FreeType rasterises.
//
// A realisation is one face at one pixel size with its metrics and a lazily
// filled glyph cache. Realisations live as long as the engine, as GDI keeps
// its realised fonts, so creating and deleting a font handle per iteration
// costs a cache lookup, not a rasterisation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/gdi/raster.h"

namespace gdi::detail {

struct Realization;

// The realisation that best matches `lf`, or null when no font file at all is
// available (then text draws nothing and font creation fails).
const Realization* realizeFont(const LOGFONTA& lf);

// The font file that a regular face of this name is drawn from, as
// fontconfig matched it; "" when there is none.
std::string fontFileFor(const char* faceName);

// Empty when text can be drawn; otherwise one line that says which font is
// missing and which Debian package provides it.
std::string missingFontReason();

// The stock SYSTEM_FONT: cell height 16 (ascent 13, descent 3), bold. Null
// when no font file is available; its metrics are reported even then.
const Realization* systemFontRealization();

// Fills `tm` for a realisation; `real` may be null only for the system font
// (its fixed metrics are reported).
void fillTextMetrics(const Realization* real, bool isSystemFont, TEXTMETRICA* tm);

// Width of the string in pixels (sum of advances) and the cell height.
SIZE textExtent(const Realization* real, bool isSystemFont, const char* s, int n);

// The memory budget of the cached glyph bitmaps of all realisations (64 MiB
// unless changed). Glyphs beyond it are rasterised on every use; the fuzzer
// lowers the budget so that its short runs reach them.
void setGlyphCacheBudget(std::size_t bytes);

// Draws `n` Windows-1252 characters with the top-left of the first cell at
// device (x, y). With `opaque`, the text box is filled with `bkPx` first.
void drawText(const Target& target, const Realization* real, bool isSystemFont, std::int64_t x,
              std::int64_t y, const char* s, int n, std::uint32_t textPx, bool opaque,
              std::uint32_t bkPx);

}  // namespace gdi::detail
