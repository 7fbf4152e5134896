// The primitive families behind the facade. Every function takes device
// coordinates (logical + origin, as 64-bit values so nothing overflows) and a
// target that is already resolved; each clips once at its top.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gdi/blit_rows.h"
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

// The pieces of a line, for shapes that build on them: a one-pixel line with
// its end point excluded, and a wide segment (body and both ends).
void thinLine(const SpanPainter& painter, DevPoint a, DevPoint b);
// Row dy of the round end of a pen `width` wide, relative to its centre
// pixel: columns [lo, hi], none when lo > hi. Its rows lie within
// dy = -(width / 2 + 1) .. width / 2 + 1.
struct DiscRow {
  std::int64_t lo, hi;
};
DiscRow roundEndRow(int width, std::int64_t dy);
// True when the segment covered the whole clip (a later segment of the same
// path can change nothing). A path's segments after the first leave out
// their start's round end (`startCap` false): the previous segment's end
// painted the same pixels.
bool wideLine(const SpanPainter& painter, int width, DevPoint a, DevPoint b, bool startCap = true);

// A path drawn with a wide pen: segments joined end to start, the round end
// at each joint painted once (by the segment that ends there).
class WidePath {
 public:
  WidePath(const SpanPainter& painter, int width, DevPoint start)
      : painter_(&painter), width_(width), last_(start) {}
  // False once the path has covered the whole clip: nothing drawn after
  // that could change a pixel.
  bool lineTo(DevPoint p);
  bool covered() const { return covered_; }

 private:
  const SpanPainter* painter_;
  int width_;
  DevPoint last_;
  bool capped_ = false;  // the round end at last_ is painted
  bool covered_ = false;
};

// Shapes (shapes.cpp). Boxes are normalised by the callee.
void drawRectangle(const Target& t, const Stroke& s, const Fill& f, DevPoint a, DevPoint b);
void drawEllipse(const Target& t, const Stroke& s, const Fill& f, DevPoint a, DevPoint b);
void drawArc(const Target& t, const Stroke& s, DevPoint a, DevPoint b, DevPoint start,
             DevPoint end);
// Polygon takes the caller's logical points; the target's origin applies.
void drawPolygon(const Target& t, const Stroke& s, const Fill& f, const POINT* pts, std::size_t n);
// True when a wide pen covered the whole clip.
bool drawBeziers(const Target& t, const Stroke& s, const DevPoint* pts, std::size_t n);

// One polygon edge walked row by row: its column on the current row is
// q = ceil(N / D) for the exact numerator N, kept as N = q * D - r with
// 0 <= r < D, so each row costs two additions and a compare.
struct Edge {
  std::int64_t rowStart;  // first row (already clipped)
  std::int64_t rowEnd;    // one past the last row (already clipped)
  std::int64_t q;
  std::int64_t r;
  std::int64_t d;
  std::int64_t stepQ;
  std::int64_t stepR;

  // Branch-free: whether the remainder wraps follows the slope's digits,
  // which no predictor can guess.
  void step() { step(q, r, stepQ, stepR, d); }
  // The same on values held elsewhere (a walk that keeps them in locals).
  static void step(std::int64_t& q, std::int64_t& r, std::int64_t stepQ, std::int64_t stepR, std::int64_t d) {
    q += stepQ;
    r -= stepR;
    const std::int64_t wrap = r >> 63;  // -1 when r < 0
    r += d & wrap;
    q -= wrap;
  }
};
// The edge from p0 to p1 (fixed point, 1/scale pixel) over the rows of the
// clip whose sample line y * scale lies in [min y, max y); false when it
// crosses none (horizontal or outside the clip).
bool makeEdge(DevPoint p0, DevPoint p1, std::int64_t scale, const ClipRect& c, Edge* e);

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

// The operation of a raster-operation code; RopKind::Invalid for the codes
// we do not support.
RopKind ropKindOf(std::uint32_t rop);

}  // namespace gdi::detail
