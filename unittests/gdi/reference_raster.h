// A plain, per-pixel reference rasteriser for lines, wide pens, rectangles
// and polygons. It tests every pixel of its image against the geometric rule
// (no spans, no clipping arithmetic, no incremental walks), so it is slow and
// obviously right; the engine's optimised kernels are compared against it on
// seeded random call streams.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"

namespace gditest {

struct RefPoint {
  std::int64_t x;
  std::int64_t y;
};

class RefImage {
 public:
  RefImage(int width, int height, gdi::COLORREF fill);

  int width() const { return width_; }
  int height() const { return height_; }
  gdi::COLORREF at(int x, int y) const { return px_[static_cast<std::size_t>(y) * width_ + x]; }
  void set(int x, int y, gdi::COLORREF c);

  // One-pixel line from a (included) to b (excluded).
  void thinLine(RefPoint a, RefPoint b, gdi::COLORREF c);
  // Wide round-capped segment: the body quad and a disc at each end.
  void wideLine(RefPoint a, RefPoint b, int width, gdi::COLORREF c);
  // Fills [l, r) x [t, b) (no normalisation).
  void fillBox(std::int64_t l, std::int64_t t, std::int64_t r, std::int64_t b, gdi::COLORREF c);
  // Even-odd fill of a polygon in units of 1/scale pixel.
  void fillPolygon(const std::vector<RefPoint>& pts, std::int64_t scale, gdi::COLORREF c);
  // The Rectangle call: outline with a one-pixel or wide pen (penWidth 0 for
  // none) and the interior with a brush (hasBrush false for hollow).
  void rectangle(RefPoint a, RefPoint b, int penWidth, gdi::COLORREF pen, bool hasBrush,
                 gdi::COLORREF brush);
  // The Polygon call.
  void polygon(const std::vector<RefPoint>& pts, int penWidth, gdi::COLORREF pen, bool hasBrush,
               gdi::COLORREF brush);

 private:
  void disc(RefPoint centre, int width, gdi::COLORREF c);
  int width_;
  int height_;
  std::vector<gdi::COLORREF> px_;
};

}  // namespace gditest
