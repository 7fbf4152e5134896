// How the kernels turn the shared pseudo-random sequence into coordinates,
// colours and sizes. Every value is one draw of forms::Rnd() (single
// precision, in [0, 1)); products and sums are formed in double precision
// from that single-precision value, and the result is converted to an
// integer only at the end, to the nearest integer with ties to even.
#pragma once

#include <array>
#include <cstdint>

#include "platform/forms/forms.h"
#include "platform/gdi/gdi.h"

namespace drawtests {

// The 16 colours by index. The kernels draw indices 0 to 14 only.
inline constexpr std::array<gdi::COLORREF, 16> kPalette = {
    gdi::RGB(0, 0, 0),       gdi::RGB(0, 0, 128),     gdi::RGB(0, 128, 0),   gdi::RGB(0, 128, 128),
    gdi::RGB(128, 0, 0),     gdi::RGB(128, 0, 128),   gdi::RGB(128, 128, 0), gdi::RGB(192, 192, 192),
    gdi::RGB(128, 128, 128), gdi::RGB(0, 0, 255),     gdi::RGB(0, 255, 0),   gdi::RGB(0, 255, 255),
    gdi::RGB(255, 0, 0),     gdi::RGB(255, 0, 255),   gdi::RGB(255, 255, 0), gdi::RGB(255, 255, 255)};

// (r x scale + offset) rounded. For the operands the kernels use (extents of
// a surface, 0 or more, and small constants) the result always fits a 32-bit
// integer, so the conversion never raises its overflow error here.
inline std::int32_t scaled(float r, double scale, double offset = 0.0) {
  return forms::roundToInt(static_cast<double>(r) * scale + offset);
}

// A coordinate within an extent: 0 to `extent` inclusive, so it can be one
// unit beyond the last column or row.
inline std::int32_t coordinateOf(float r, std::int32_t extent) { return scaled(r, extent); }

// A palette index: (r x 14) rounded, 0 to 14; entry 15 never occurs.
inline std::int32_t paletteIndexOf(float r) { return scaled(r, 14.0); }

// One coordinate of a curve's control point: ((a + b) / 2 + offset) rounded,
// where the sum a + b is a 32-bit integer and is halved in double precision,
// so the half keeps its .5. When the sum overflows, the assignment raises
// and is abandoned: the point keeps its value and the function returns
// false.
inline bool controlCoordinate(std::int32_t a, std::int32_t b, double offset, std::int32_t* out) {
  std::int32_t sum;
  if (__builtin_add_overflow(a, b, &sum)) return false;
  *out = forms::roundToInt(static_cast<double>(sum) / 2.0 + offset);
  return true;
}

// The next values of the shared sequence, one draw each.
inline std::int32_t nextCoordinate(std::int32_t extent) { return coordinateOf(forms::Rnd(), extent); }
inline gdi::COLORREF nextPaletteColour() {
  return kPalette[static_cast<std::size_t>(paletteIndexOf(forms::Rnd()))];
}

// The brush of a polygon or an ellipse: one draw chooses (r x 1) rounded, so
// 0 (a draw up to and including 0.5) is a solid brush of `colour` and 1 the
// stock hollow brush.
inline gdi::HGDIOBJ nextBrush(gdi::COLORREF colour) {
  const std::int32_t brushChoice = scaled(forms::Rnd(), 1.0);
  return brushChoice == 0 ? gdi::CreateSolidBrush(colour) : gdi::GetStockObject(gdi::NULL_BRUSH);
}

// The end of an iteration that drew with its own pen and brush: each is
// deselected (the DC's previous object selected back) and deleted, the pen
// first. A stock hollow brush is passed to DeleteObject too, to no effect.
inline void releasePenAndBrush(gdi::HDC dc, gdi::HGDIOBJ previousPen, gdi::HGDIOBJ pen,
                               gdi::HGDIOBJ previousBrush, gdi::HGDIOBJ brush) {
  gdi::SelectObject(dc, previousPen);
  gdi::DeleteObject(pen);
  gdi::SelectObject(dc, previousBrush);
  gdi::DeleteObject(brush);
}

}  // namespace drawtests
