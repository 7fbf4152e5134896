#include "gdi/reference_raster.h"

#include <algorithm>
#include <cmath>

namespace gditest {

namespace {

__int128 ceilDiv(__int128 a, __int128 b) {
  __int128 q = a / b;
  if (a % b != 0 && ((a < 0) == (b < 0))) ++q;
  return q;
}

}  // namespace

RefImage::RefImage(int width, int height, gdi::COLORREF fill)
    : width_(width), height_(height), px_(static_cast<std::size_t>(width) * height, fill) {}

void RefImage::set(int x, int y, gdi::COLORREF c) {
  if (x >= 0 && x < width_ && y >= 0 && y < height_) px_[static_cast<std::size_t>(y) * width_ + x] = c;
}

void RefImage::thinLine(RefPoint a, RefPoint b, gdi::COLORREF c) {
  const std::int64_t dx = b.x - a.x, dy = b.y - a.y;
  if (dx == 0 && dy == 0) return;
  const bool xMajor = std::llabs(dx) > std::llabs(dy);
  const std::int64_t major = xMajor ? std::llabs(dx) : std::llabs(dy);
  const int dir = (xMajor ? dx : dy) > 0 ? 1 : -1;
  // Every pixel is tested: is it the one the line lights in its column (or
  // row)? Nearest to the exact line, ties to the smaller coordinate.
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const std::int64_t m = xMajor ? x : y;
      const std::int64_t i = (m - (xMajor ? a.x : a.y)) * dir;
      if (i < 0 || i >= major) continue;
      const __int128 off = ceilDiv(static_cast<__int128>(2) * (xMajor ? dy : dx) * i - major, static_cast<__int128>(2) * major);
      const __int128 minor = (xMajor ? a.y : a.x) + off;
      if (minor == (xMajor ? y : x)) set(x, y, c);
    }
}

void RefImage::disc(RefPoint centre, int w, gdi::COLORREF c) {
  const std::int64_t p = w % 2 == 0 ? 1 : 0;
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const __int128 u = 2 * (static_cast<__int128>(x) - centre.x) + p;
      const __int128 v = 2 * (static_cast<__int128>(y) - centre.y) + p;
      if (u * u + v * v <= static_cast<__int128>(w) * (w - 1)) set(x, y, c);
    }
}

void RefImage::wideLine(RefPoint a, RefPoint b, int w, gdi::COLORREF c) {
  if (a.x == b.x && a.y == b.y) return;
  constexpr std::int64_t s = 256;
  const double dx = static_cast<double>(b.x - a.x), dy = static_cast<double>(b.y - a.y);
  const double len = std::sqrt(dx * dx + dy * dy);
  const std::int64_t ox = std::llround(-dy / len * (w * 0.5) * s);
  const std::int64_t oy = std::llround(dx / len * (w * 0.5) * s);
  fillPolygon({{a.x * s + ox, a.y * s + oy}, {b.x * s + ox, b.y * s + oy}, {b.x * s - ox, b.y * s - oy},
               {a.x * s - ox, a.y * s - oy}},
              s, c);
  disc(a, w, c);
  disc(b, w, c);
}

void RefImage::fillBox(std::int64_t l, std::int64_t t, std::int64_t r, std::int64_t b, gdi::COLORREF c) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x)
      if (x >= l && x < r && y >= t && y < b) set(x, y, c);
}

void RefImage::fillPolygon(const std::vector<RefPoint>& pts, std::int64_t scale, gdi::COLORREF c) {
  const std::size_t n = pts.size();
  if (n < 3) return;
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      // Crossings of the edges on this sample row at or left of the sample.
      bool in = false;
      const __int128 ys = static_cast<__int128>(y) * scale, xs = static_cast<__int128>(x) * scale;
      for (std::size_t i = 0; i < n; ++i) {
        RefPoint p0 = pts[i], p1 = pts[(i + 1) % n];
        if (p0.y == p1.y) continue;
        if (p0.y > p1.y) std::swap(p0, p1);
        if (ys < p0.y || ys >= p1.y) continue;
        const __int128 num = static_cast<__int128>(p0.x) * (p1.y - p0.y) + (ys - p0.y) * (p1.x - p0.x);
        if (num <= xs * (p1.y - p0.y)) in = !in;
      }
      if (in) set(x, y, c);
    }
}

void RefImage::rectangle(RefPoint a, RefPoint b, int penWidth, gdi::COLORREF pen, bool hasBrush,
                         gdi::COLORREF brush) {
  const std::int64_t l = std::min(a.x, b.x), r = std::max(a.x, b.x);
  const std::int64_t t = std::min(a.y, b.y), bo = std::max(a.y, b.y);
  if (l == r || t == bo) return;
  if (penWidth == 0) {
    if (hasBrush) fillBox(l, t, r - 1, bo - 1, brush);
    return;
  }
  if (hasBrush) fillBox(l + 1, t + 1, r - 1, bo - 1, brush);
  const RefPoint corners[4] = {{l, t}, {r - 1, t}, {r - 1, bo - 1}, {l, bo - 1}};
  for (int i = 0; i < 4; ++i) {
    if (penWidth == 1)
      thinLine(corners[i], corners[(i + 1) % 4], pen);
    else
      wideLine(corners[i], corners[(i + 1) % 4], penWidth, pen);
  }
}

void RefImage::polygon(const std::vector<RefPoint>& pts, int penWidth, gdi::COLORREF pen, bool hasBrush,
                       gdi::COLORREF brush) {
  if (hasBrush) fillPolygon(pts, 1, brush);
  if (penWidth == 0 || pts.size() < 2) return;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const RefPoint a = pts[i], b = pts[(i + 1) % pts.size()];
    if (penWidth == 1)
      thinLine(a, b, pen);
    else
      wideLine(a, b, penWidth, pen);
  }
}

}  // namespace gditest
