// One-pixel and wide lines.
//
// One-pixel lines follow the integer Bresenham walk exactly as an unclipped
// line would, and clipping picks the sub-range of steps that lands inside the
// clip rectangle (computed in closed form), so a clipped line lights exactly
// the pixels of the unclipped one and a line across 2^32 pixels costs only
// its visible part.
//
// Wide lines (width > 1) are a four-point body filled with the polygon rule
// and a round disc at each end.
#include <algorithm>
#include <cmath>

#include "platform/gdi/draw.h"

namespace gdi::detail {

namespace {

// The minor-axis offset of step i of a Bresenham walk with major length M,
// minor length m and tie bias b: floor((2 m i + M - 1 + b) / (2 M)).
// Step i is the pixel the walk plots after i major steps.
__int128 minorOffset(__int128 i, __int128 M, __int128 m, int bias) {
  return floorDiv128(2 * m * i + M - 1 + bias, 2 * M);
}

// The first step whose minor offset is at least k.
__int128 firstStepWithOffset(__int128 k, __int128 M, __int128 m, int bias) {
  return ceilDiv128(2 * M * k - M + 1 - bias, 2 * m);
}

// Steps [lo, hi) of a walk from `start` in direction `dir` (+1 or -1) whose
// coordinate lies in [clipLo, clipHi).
void stepsInside(std::int64_t start, int dir, std::int64_t clipLo, std::int64_t clipHi,
                 __int128* lo, __int128* hi) {
  if (dir > 0) {
    *lo = static_cast<__int128>(clipLo) - start;
    *hi = static_cast<__int128>(clipHi) - start;
  } else {
    *lo = static_cast<__int128>(start) - clipHi + 1;
    *hi = static_cast<__int128>(start) - clipLo + 1;
  }
}

template <int Bpp>
void writePixel(std::uint8_t* p, std::uint32_t px) {
  if constexpr (Bpp == 3)
    storePixel24(p, px);
  else
    storePixel32(p, px);
}

// The unchecked walk: `count` pixels starting at `p`, stepping `majorStep`
// bytes along the major axis and `minorStep` bytes when the error says so.
template <int Bpp>
void walkUnchecked(std::uint8_t* p, std::int64_t count, std::ptrdiff_t majorStep,
                   std::ptrdiff_t minorStep, std::int64_t err, std::int64_t incMinor,
                   std::int64_t incBoth, int bias, std::uint32_t px) {
  for (; count > 0; --count) {
    writePixel<Bpp>(p, px);
    p += majorStep;
    if (err + bias > 0) {
      p += minorStep;
      err += incBoth;
    } else {
      err += incMinor;
    }
  }
}

}  // namespace

void thinLine(const SpanPainter& painter, DevPoint a, DevPoint b) {
  const Target& t = *painter.target;
  const ClipRect& c = t.clip;
  const std::int64_t dx = b.x - a.x;
  const std::int64_t dy = b.y - a.y;
  if (dx == 0 && dy == 0) return;
  if (dy == 0) {
    // Horizontal: [x0, x1) going right, x1+1 .. x0 going left.
    if (dx > 0)
      painter.span(a.y, a.x, b.x);
    else
      painter.span(a.y, b.x + 1, a.x + 1);
    return;
  }
  if (dx == 0) {
    if (a.x < c.left || a.x >= c.right) return;
    std::int64_t y0 = dy > 0 ? a.y : b.y + 1;
    std::int64_t y1 = dy > 0 ? b.y : a.y + 1;
    y0 = std::max<std::int64_t>(y0, c.top);
    y1 = std::min<std::int64_t>(y1, c.bottom);
    for (std::int64_t y = y0; y < y1; ++y)
      painter.pixelUnchecked(static_cast<std::int32_t>(a.x), static_cast<std::int32_t>(y));
    return;
  }

  const bool xMajor = (dx < 0 ? -dx : dx) > (dy < 0 ? -dy : dy);
  const std::int64_t majorStart = xMajor ? a.x : a.y;
  const std::int64_t minorStart = xMajor ? a.y : a.x;
  const std::int64_t majorDelta = xMajor ? dx : dy;
  const std::int64_t minorDelta = xMajor ? dy : dx;
  const int majorDir = majorDelta > 0 ? 1 : -1;
  const int minorDir = minorDelta > 0 ? 1 : -1;
  const std::int64_t M = majorDelta > 0 ? majorDelta : -majorDelta;
  const std::int64_t m = minorDelta > 0 ? minorDelta : -minorDelta;
  // Ties go to the smaller coordinate whichever way the line is drawn: when
  // the minor axis runs backwards a tie steps, otherwise it does not.
  const int bias = minorDir < 0 ? 1 : 0;

  // Steps inside the clip along the major axis, then along the minor axis.
  __int128 lo = 0, hi = M;
  __int128 a0, a1;
  stepsInside(majorStart, majorDir, xMajor ? c.left : c.top, xMajor ? c.right : c.bottom, &a0, &a1);
  lo = std::max(lo, a0);
  hi = std::min(hi, a1);
  __int128 k0, k1;
  stepsInside(minorStart, minorDir, xMajor ? c.top : c.left, xMajor ? c.bottom : c.right, &k0, &k1);
  lo = std::max(lo, firstStepWithOffset(k0, M, m, bias));
  hi = std::min(hi, firstStepWithOffset(k1, M, m, bias));
  if (lo >= hi) return;

  const __int128 k = minorOffset(lo, M, m, bias);
  const auto err = static_cast<std::int64_t>(2 * static_cast<__int128>(m) * (lo + 1) - M -
                                             2 * static_cast<__int128>(M) * k);
  const auto majorPos = static_cast<std::int64_t>(majorStart + majorDir * lo);
  const auto minorPos = static_cast<std::int64_t>(minorStart + minorDir * k);
  const auto x = static_cast<std::int32_t>(xMajor ? majorPos : minorPos);
  const auto y = static_cast<std::int32_t>(xMajor ? minorPos : majorPos);
  const int bpp = t.bpp();
  std::uint8_t* p = t.row(y) + static_cast<std::ptrdiff_t>(x) * bpp;
  const std::ptrdiff_t xStep = bpp;
  const std::ptrdiff_t yStep = t.stride;
  const std::ptrdiff_t majorStep = (xMajor ? xStep : yStep) * majorDir;
  const std::ptrdiff_t minorStep = (xMajor ? yStep : xStep) * minorDir;
  const auto count = static_cast<std::int64_t>(hi - lo);
  if (bpp == 3)
    walkUnchecked<3>(p, count, majorStep, minorStep, err, 2 * m, 2 * m - 2 * M, bias, painter.px);
  else
    walkUnchecked<4>(p, count, majorStep, minorStep, err, 2 * m, 2 * m - 2 * M, bias, painter.px);
}

// The round end of a wide pen around the pixel (cx, cy): the pixels (dx, dy)
// with (2dx + p)^2 + (2dy + p)^2 <= w(w - 1), p = 1 for even widths (the
// disc is centred on the pixel corner) and 0 for odd ones.
void penDisc(const SpanPainter& painter, DevPoint centre, int w) {
  const ClipRect& c = painter.target->clip;
  const std::int64_t r2 = static_cast<std::int64_t>(w) * (w - 1);
  const int p = (w % 2 == 0) ? 1 : 0;
  // Rows: (2dy + p)^2 <= r2 - p^2 (a row needs at least one column).
  const std::int64_t half = w / 2 + 1;
  std::int64_t dyLo = -half, dyHi = half;
  dyLo = std::max<std::int64_t>(dyLo, c.top - centre.y);
  dyHi = std::min<std::int64_t>(dyHi, c.bottom - 1 - centre.y);
  for (std::int64_t dy = dyLo; dy <= dyHi; ++dy) {
    const std::int64_t v = 2 * dy + p;
    const std::int64_t rest = r2 - v * v;
    if (rest < p * p) continue;
    // Largest u = 2dx + p with u^2 <= rest and u of the parity of p.
    auto u = static_cast<std::int64_t>(std::sqrt(static_cast<double>(rest)));
    while (u * u > rest) --u;
    while ((u + 1) * (u + 1) <= rest) ++u;
    if ((u - p) % 2 != 0) --u;
    // dx in [(-u - p) / 2, (u - p) / 2]
    const std::int64_t dxLo = (-u - p) / 2;
    const std::int64_t dxHi = (u - p) / 2;
    painter.spanClipX(static_cast<std::int32_t>(centre.y + dy), centre.x + dxLo, centre.x + dxHi + 1);
  }
}

namespace {

// Whether the round end around `centre` covers every pixel of the clip: the
// disc is convex, so it does when it holds the clip's four corner pixels.
bool discCoversClip(const ClipRect& c, DevPoint centre, int w) {
  const __int128 r2 = static_cast<__int128>(w) * (w - 1);
  const std::int64_t cw = c.right - c.left, ch = c.bottom - c.top;
  if (r2 < static_cast<__int128>(cw) * cw + static_cast<__int128>(ch) * ch) return false;
  const int p = (w % 2 == 0) ? 1 : 0;
  for (const std::int64_t x : {static_cast<std::int64_t>(c.left), static_cast<std::int64_t>(c.right) - 1})
    for (const std::int64_t y : {static_cast<std::int64_t>(c.top), static_cast<std::int64_t>(c.bottom) - 1}) {
      const __int128 u = 2 * (static_cast<__int128>(x) - centre.x) + p;
      const __int128 v = 2 * (static_cast<__int128>(y) - centre.y) + p;
      if (u * u + v * v > r2) return false;
    }
  return true;
}

}  // namespace

bool wideLine(const SpanPainter& painter, int w, DevPoint a, DevPoint b) {
  const ClipRect& c = painter.target->clip;
  // Nothing of a segment whose box, grown by the pen, misses the clip.
  const std::int64_t reach = w;
  if (std::max(a.x, b.x) + reach < c.left || std::min(a.x, b.x) - reach >= c.right ||
      std::max(a.y, b.y) + reach < c.top || std::min(a.y, b.y) - reach >= c.bottom)
    return false;
  if (a.x == b.x && a.y == b.y) return false;
  // A pen so wide that one of its round ends covers the whole clip paints
  // every visible pixel: one fill does it, and the caller may skip the rest
  // of a path, which could only paint the same colour again.
  if (discCoversClip(c, a, w) || discCoversClip(c, b, w)) {
    fillBox(painter, c.left, c.top, c.right, c.bottom);
    return true;
  }
  constexpr std::int64_t kScale = 256;
  const double dx = static_cast<double>(b.x - a.x);
  const double dy = static_cast<double>(b.y - a.y);
  const double len = std::sqrt(dx * dx + dy * dy);
  const double nx = -dy / len * (w * 0.5) * kScale;
  const double ny = dx / len * (w * 0.5) * kScale;
  const auto ox = static_cast<std::int64_t>(std::llround(nx));
  const auto oy = static_cast<std::int64_t>(std::llround(ny));
  const DevPoint body[4] = {{a.x * kScale + ox, a.y * kScale + oy},
                            {b.x * kScale + ox, b.y * kScale + oy},
                            {b.x * kScale - ox, b.y * kScale - oy},
                            {a.x * kScale - ox, a.y * kScale - oy}};
  fillPolygonFixed(painter, body, 4, kScale);
  penDisc(painter, a, w);
  penDisc(painter, b, w);
  return false;
}

void drawLine(const Target& t, const Stroke& s, DevPoint a, DevPoint b) {
  if (!s.visible) return;
  const SpanPainter painter(t, s.px);
  if (s.width <= 1) {
    thinLine(painter, a, b);
    return;
  }
  // Device coordinates stay below 2^33 and pens below 2^20 pixels, so the
  // fixed-point body of even the longest segment fits the polygon filler's
  // 64-bit walk; the filler and the discs only visit visible rows.
  wideLine(painter, s.width, a, b);
}

void drawPolyline(const Target& t, const Stroke& s, const DevPoint* pts, std::size_t n,
                  bool closed) {
  if (!s.visible || n < 2) return;
  for (std::size_t i = 0; i + 1 < n; ++i) drawLine(t, s, pts[i], pts[i + 1]);
  if (closed) drawLine(t, s, pts[n - 1], pts[0]);
}

}  // namespace gdi::detail
