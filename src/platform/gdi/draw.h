// The primitive families behind the facade. Every function takes device
// coordinates (logical + origin, as 64-bit values so nothing overflows) and a
// target that is already resolved; each clips once at its top.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gdi/raster.h"

namespace gdi::detail {

struct DevPoint {
  std::int64_t x;
  std::int64_t y;
};

// How outlines are drawn: nothing, a one-pixel line, or a wide round-capped pen.
struct Stroke {
  bool visible = false;
  int width = 1;
  std::uint32_t px = 0;
};

// How interiors are filled: nothing (hollow brush) or a solid colour.
struct Fill {
  bool visible = false;
  std::uint32_t px = 0;
};

// Lines (lines.cpp).
void drawLine(const Target& t, const Stroke& s, DevPoint a, DevPoint b);
// A polyline of n points; `closed` adds the segment back to the first point.
void drawPolyline(const Target& t, const Stroke& s, const DevPoint* pts, std::size_t n, bool closed);

// The pieces of a line, for shapes that build on them: a one-pixel line with
// its end point excluded, the round end of a wide pen around a pixel, and a
// wide segment (body and both ends).
void thinLine(const SpanPainter& painter, DevPoint a, DevPoint b);
void penDisc(const SpanPainter& painter, DevPoint centre, int width);
// True when the segment covered the whole clip (a later segment of the same
// path can change nothing).
bool wideLine(const SpanPainter& painter, int width, DevPoint a, DevPoint b);

// Shapes (shapes.cpp). Boxes are normalised by the callee.
void drawRectangle(const Target& t, const Stroke& s, const Fill& f, DevPoint a, DevPoint b);
void drawEllipse(const Target& t, const Stroke& s, const Fill& f, DevPoint a, DevPoint b);
void drawArc(const Target& t, const Stroke& s, DevPoint a, DevPoint b, DevPoint start,
             DevPoint end);
// Polygon takes the caller's logical points; the target's origin applies.
void drawPolygon(const Target& t, const Stroke& s, const Fill& f, const POINT* pts, std::size_t n);
// True when a wide pen covered the whole clip.
bool drawBeziers(const Target& t, const Stroke& s, const DevPoint* pts, std::size_t n);

// Fills a polygon given in fixed point (units of 1/scale pixel) with the
// even-odd rule, sampling integer pixel positions (pixel (x, y) is filled when
// the point (x, y) is inside; left and top edges inside).
void fillPolygonFixed(const SpanPainter& p, const DevPoint* pts, std::size_t n, std::int64_t scale);

// Block transfers (blit.cpp). `src` may alias `dst`.
struct BlitRect {
  std::int64_t x;
  std::int64_t y;
  std::int64_t w;
  std::int64_t h;
};
void bitBlt(const Target& dst, BlitRect d, const Target* src, std::int64_t sx, std::int64_t sy,
            std::uint32_t rop);
void stretchBlt(const Target& dst, BlitRect d, const Target* src, BlitRect s, std::uint32_t rop,
                int stretchMode);

// True for the raster operations that read the source.
bool ropUsesSource(std::uint32_t rop);
bool ropSupported(std::uint32_t rop);

}  // namespace gdi::detail
