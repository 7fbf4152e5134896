// One-pixel and wide lines.
//
// One-pixel lines follow the integer Bresenham walk exactly as an unclipped
// line would, and clipping picks the sub-range of steps that lands inside the
// clip rectangle (computed in closed form), so a clipped line lights exactly
// the pixels of the unclipped one and a line across 2^32 pixels costs only
// its visible part.
//
// Wide lines (width > 1) are a four-point body filled with the polygon rule
// and a round disc at each end, painted in one pass down their rows.
#include <algorithm>
#include <cmath>

#include "platform/gdi/draw.h"

namespace gdi::detail {

namespace {

// The minor-axis offset of step i of a Bresenham walk with major length M,
// minor length m and tie bias b: floor((2 m i + M - 1 + b) / (2 M)).
// Step i is the pixel the walk plots after i major steps.
// T is __int128, or std::int64_t when the operands are small enough.
template <typename T>
T minorOffset(T i, T M, T m, int bias) {
  if constexpr (sizeof(T) == 8)
    return floorDiv(2 * m * i + M - 1 + bias, 2 * M);
  else
    return floorDiv128(2 * m * i + M - 1 + bias, 2 * M);
}

// The first step whose minor offset is at least k.
template <typename T>
T firstStepWithOffset(T k, T M, T m, int bias) {
  if constexpr (sizeof(T) == 8)
    return ceilDiv(2 * M * k - M + 1 - bias, 2 * m);
  else
    return ceilDiv128(2 * M * k - M + 1 - bias, 2 * m);
}

// Steps [lo, hi) of a walk from `start` in direction `dir` (+1 or -1) whose
// coordinate lies in [clipLo, clipHi).
template <typename T>
void stepsInside(std::int64_t start, int dir, std::int64_t clipLo, std::int64_t clipHi, T* lo, T* hi) {
  if (dir > 0) {
    *lo = static_cast<T>(clipLo) - start;
    *hi = static_cast<T>(clipHi) - start;
  } else {
    *lo = static_cast<T>(start) - clipHi + 1;
    *hi = static_cast<T>(start) - clipLo + 1;
  }
}

// Steps [lo, hi) of the walk that land inside the clip, and the minor
// offset and error term at step lo.
template <typename T>
bool visibleSteps(std::int64_t majorStart, std::int64_t minorStart, int majorDir, int minorDir,
                  std::int64_t M, std::int64_t m, int bias, bool xMajor, const ClipRect& c,
                  std::int64_t* first, std::int64_t* count, std::int64_t* minorAtFirst, std::int64_t* err) {
  // Steps inside the clip along the major axis, then along the minor axis.
  T lo = 0, hi = M;
  T a0, a1;
  stepsInside<T>(majorStart, majorDir, xMajor ? c.left : c.top, xMajor ? c.right : c.bottom, &a0, &a1);
  lo = std::max(lo, a0);
  hi = std::min(hi, a1);
  T k0, k1;
  stepsInside<T>(minorStart, minorDir, xMajor ? c.top : c.left, xMajor ? c.bottom : c.right, &k0, &k1);
  lo = std::max(lo, firstStepWithOffset<T>(k0, M, m, bias));
  hi = std::min(hi, firstStepWithOffset<T>(k1, M, m, bias));
  if (lo >= hi) return false;
  const T k = minorOffset<T>(lo, M, m, bias);
  *err = static_cast<std::int64_t>(2 * static_cast<T>(m) * (lo + 1) - M - 2 * static_cast<T>(M) * k);
  *first = static_cast<std::int64_t>(lo);
  *count = static_cast<std::int64_t>(hi - lo);
  *minorAtFirst = static_cast<std::int64_t>(k);
  return true;
}

template <int Bpp>
void writePixel(std::uint8_t* p, std::uint32_t px) {
  if constexpr (Bpp == 3)
    Px24::store(p, px);
  else
    Px32::store(p, px);
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

// The visible steps of a clipped walk (count 0 when none), in 64-bit
// arithmetic when the operands allow it.
void visibleStepsOf(DevPoint a, DevPoint b, std::int64_t majorStart, std::int64_t minorStart, int majorDir,
                    int minorDir, std::int64_t M, std::int64_t m, int bias, bool xMajor, const ClipRect& c,
                    std::int64_t* lo, std::int64_t* count, std::int64_t* k, std::int64_t* err) {
  // With coordinates below 2^29 (and a clip inside 32 bits) every product
  // of the clipping arithmetic stays below 2^62.
  constexpr std::int64_t kSmall = std::int64_t{1} << 29;
  const bool small = M < kSmall && std::max({std::abs(a.x), std::abs(a.y), std::abs(b.x), std::abs(b.y)}) < kSmall;
  const bool visible =
      small ? visibleSteps<std::int64_t>(majorStart, minorStart, majorDir, minorDir, M, m, bias, xMajor, c, lo,
                                         count, k, err)
            : visibleSteps<__int128>(majorStart, minorStart, majorDir, minorDir, M, m, bias, xMajor, c, lo,
                                     count, k, err);
  if (!visible) *count = 0;
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
    // One walk down the column through the kernel table: a major step of one
    // row and never a minor one.
    if (y0 < y1)
      t.kernels->walkLine(t.row(static_cast<std::int32_t>(y0)) + a.x * t.kernels->bpp, y1 - y0, t.stride, 0, -1,
                          0, 0, 0, painter.px);
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

  std::int64_t lo, count, k, err;
  const bool inside = a.x >= c.left && a.x < c.right && a.y >= c.top && a.y < c.bottom && b.x >= c.left &&
                      b.x < c.right && b.y >= c.top && b.y < c.bottom;
  if (inside) {
    // Every step lands inside the clip: the walk from its start.
    lo = 0;
    count = M;
    k = 0;
    err = 2 * m - M;
  } else {
    visibleStepsOf(a, b, majorStart, minorStart, majorDir, minorDir, M, m, bias, xMajor, c, &lo, &count, &k,
                   &err);
    if (count == 0) return;
  }
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
  t.kernels->walkLine(p, count, majorStep, minorStep, err, 2 * m, 2 * m - 2 * M, bias, painter.px);
}

template <int Bpp>
void walkLineUnchecked(std::uint8_t* p, std::int64_t count, std::ptrdiff_t majorStep, std::ptrdiff_t minorStep,
                       std::int64_t err, std::int64_t incMinor, std::int64_t incBoth, int bias, std::uint32_t px) {
  walkUnchecked<Bpp>(p, count, majorStep, minorStep, err, incMinor, incBoth, bias, px);
}
template void walkLineUnchecked<3>(std::uint8_t*, std::int64_t, std::ptrdiff_t, std::ptrdiff_t, std::int64_t,
                                   std::int64_t, std::int64_t, int, std::uint32_t);
template void walkLineUnchecked<4>(std::uint8_t*, std::int64_t, std::ptrdiff_t, std::ptrdiff_t, std::int64_t,
                                   std::int64_t, std::int64_t, int, std::uint32_t);

namespace {

// The round end of a wide pen around the pixel (cx, cy): the pixels (dx, dy)
// with (2dx + p)^2 + (2dy + p)^2 <= w(w - 1), p = 1 for even widths (the
// disc is centred on the pixel corner) and 0 for odd ones.
DiscRow discRow(std::int64_t w, std::int64_t dy) {
  const std::int64_t r2 = w * (w - 1);
  const std::int64_t p = (w % 2 == 0) ? 1 : 0;
  const std::int64_t v = 2 * dy + p;
  const std::int64_t rest = r2 - v * v;
  if (rest < p * p) return {1, 0};
  // Largest u = 2dx + p with u^2 <= rest and u of the parity of p.
  auto u = static_cast<std::int64_t>(std::sqrt(static_cast<double>(rest)));
  while (u * u > rest) --u;
  while ((u + 1) * (u + 1) <= rest) ++u;
  if ((u - p) % 2 != 0) --u;
  return {(-u - p) / 2, (u - p) / 2};
}

// The rows of the round ends of every width up to kTableWidth, worked out
// once: wide segments are drawn by the hundred thousand, each with two ends.
constexpr int kTableWidth = 64;
constexpr int kTableRows = kTableWidth + 3;  // dy = -(w/2+1) .. w/2+1 fits

struct DiscTable {
  std::int8_t lo[kTableWidth + 1][kTableRows];
  std::int8_t hi[kTableWidth + 1][kTableRows];
  DiscTable() {
    for (int w = 2; w <= kTableWidth; ++w) {
      const int half = w / 2 + 1;
      for (int dy = -half; dy <= half; ++dy) {
        const DiscRow r = discRow(w, dy);
        lo[w][dy + half] = static_cast<std::int8_t>(r.lo);
        hi[w][dy + half] = static_cast<std::int8_t>(r.hi);
      }
    }
  }
};

const DiscTable& discTable() {
  static const DiscTable table;
  return table;
}

// The rows of one width's round end, from the table or worked out row by row.
class Disc {
 public:
  explicit Disc(int w) : w_(w), half_(w / 2 + 1), table_(w <= kTableWidth ? &discTable() : nullptr) {}
  std::int64_t half() const { return half_; }
  DiscRow row(std::int64_t dy) const {
    if (table_ == nullptr) return discRow(w_, dy);
    const auto i = static_cast<std::size_t>(dy + half_);
    return {table_->lo[w_][i], table_->hi[w_][i]};
  }

 private:
  int w_;
  std::int64_t half_;
  const DiscTable* table_;
};

}  // namespace

DiscRow roundEndRow(int width, std::int64_t dy) {
  const Disc disc(width);
  if (dy < -disc.half() || dy > disc.half()) return {1, 0};
  return disc.row(dy);
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

// Spans [x0, x1) of one row; the few pieces of a wide segment on a row,
// merged where they overlap or touch, so each pixel is written once.
struct RowPieces {
  std::int64_t x0[6], x1[6];
  int n = 0;
  void add(std::int64_t a, std::int64_t b) {
    int i = n++;
    for (; i > 0 && x0[i - 1] > a; --i) x0[i] = x0[i - 1], x1[i] = x1[i - 1];
    x0[i] = a;
    x1[i] = b;
  }
  void paint(const SpanPainter& painter, std::int32_t y) const {
    std::int64_t a = x0[0], b = x1[0];
    for (int i = 1; i < n; ++i) {
      if (x0[i] <= b) {
        b = std::max(b, x1[i]);
        continue;
      }
      painter.spanClipX(y, a, b);
      a = x0[i];
      b = x1[i];
    }
    painter.spanClipX(y, a, b);
  }
};

// Rows [y0, y1) of a convex body crossed by edges l and r: the span between
// the two crossings on each row. The walk runs on plain locals (a copied
// Edge stayed in memory, 5 % more instructions), so nothing goes through
// memory from one row to the next, and short
// spans (the rows of steep segments) are stored in place.
template <int Bpp>
void bodyBandOf(const SpanPainter& painter, std::int64_t y0, std::int64_t y1, Edge& l, Edge& r) {
  const Target& t = *painter.target;
  const std::int64_t clipL = t.clip.left, clipR = t.clip.right;
  const FillRowFn fill = painter.fill;
  std::uint8_t* row = t.row(static_cast<std::int32_t>(y0));
  const std::ptrdiff_t stride = t.stride;
  std::int64_t lq = l.q, lr = l.r, rq = r.q, rr = r.r;
  const std::int64_t lStepQ = l.stepQ, lStepR = l.stepR, ld = l.d;
  const std::int64_t rStepQ = r.stepQ, rStepR = r.stepR, rd = r.d;
  for (std::int64_t y = y0; y < y1; ++y, row += stride) {
    const std::int64_t a = std::max(std::min(lq, rq), clipL);
    const std::int64_t b = std::min(std::max(lq, rq), clipR);
    if (b - a > 0 && b - a <= kShortSpan<Bpp>)
      fillShortSpan<Bpp>(row + a * Bpp, static_cast<std::int32_t>(b - a), painter.pattern);
    else if (a < b)
      fill(row, static_cast<std::int32_t>(a), static_cast<std::int32_t>(b), painter.pattern);
    Edge::step(lq, lr, lStepQ, lStepR, ld);
    Edge::step(rq, rr, rStepQ, rStepR, rd);
  }
  l.q = lq, l.r = lr, r.q = rq, r.r = rr;
}

void bodyBand(const SpanPainter& painter, std::int64_t y0, std::int64_t y1, Edge& l, Edge& r) {
  painter.target->kernels->bodyBand(painter, y0, y1, l, r);
}

// Rows [y0, y1) where the round end around `end` touches the row, and the
// body crosses it between edges l and r (both null when it does not): one
// span where the two pieces overlap or touch, two otherwise.
void endBand(const SpanPainter& painter, std::int64_t y0, std::int64_t y1, Edge* l, Edge* r, DevPoint end,
             const Disc& disc) {
  for (std::int64_t y = y0; y < y1; ++y) {
    const auto row = static_cast<std::int32_t>(y);
    const DiscRow d = disc.row(y - end.y);
    const bool round = d.lo <= d.hi;
    const std::int64_t d0 = end.x + d.lo, d1 = end.x + d.hi + 1;
    if (l != nullptr) {
      const std::int64_t b0 = std::min(l->q, r->q), b1 = std::max(l->q, r->q);
      l->step();
      r->step();
      if (b0 < b1) {
        if (!round) {
          painter.spanClipX(row, b0, b1);
        } else if (d0 <= b1 && b0 <= d1) {
          painter.spanClipX(row, std::min(b0, d0), std::max(b1, d1));
        } else {
          painter.spanClipX(row, b0, b1);
          painter.spanClipX(row, d0, d1);
        }
        continue;
      }
    }
    if (round) painter.spanClipX(row, d0, d1);
  }
}

// The edges of a segment's body (fixed point, 1/256 pixel) that cross rows
// of the clip; the same walk as makeEdge. Opposite sides are parallel, so
// each pair shares its slope, and with 256 a power of two the row bounds
// are shifts: three divisions fewer per edge, which matters for the many
// short segments of a curve.
int bodyEdges(const DevPoint body[4], const ClipRect& c, Edge* out) {
  constexpr std::int64_t kSmall = std::int64_t{1} << 29;
  bool small = c.bottom < (std::int64_t{1} << 20) && c.top > -(std::int64_t{1} << 20);
  for (int i = 0; i < 4; ++i)
    small = small && body[i].x > -kSmall && body[i].x < kSmall && body[i].y > -kSmall && body[i].y < kSmall;
  int n = 0;
  if (!small) {
    for (int i = 0; i < 4; ++i)
      if (makeEdge(body[i], body[(i + 1) % 4], 256, c, &out[n])) ++n;
    return n;
  }
  for (int pair = 0; pair < 2; ++pair) {
    DevPoint p0 = body[pair], p1 = body[pair + 1];
    if (p0.y == p1.y) continue;  // both sides of the pair are horizontal
    if (p0.y > p1.y) std::swap(p0, p1);
    const std::int64_t dy = p1.y - p0.y, dx = p1.x - p0.x;
    const std::int64_t d = dy * 256, step = dx * 256;
    std::int64_t stepQ = step / d;
    if (stepQ * d > step) --stepQ;
    const std::int64_t stepR = step - stepQ * d;
    for (const int side : {pair, pair + 2}) {
      DevPoint e0 = body[side], e1 = body[(side + 1) % 4];
      if (e0.y > e1.y) std::swap(e0, e1);
      // ceil(v / 256) = -floor(-v / 256)
      const std::int64_t start = std::max<std::int64_t>(-((-e0.y) >> 8), c.top);
      const std::int64_t end = std::min<std::int64_t>(-((-e1.y) >> 8), c.bottom);
      if (start >= end) continue;
      const std::int64_t num = e0.x * dy + (start * 256 - e0.y) * dx;
      std::int64_t q = num / d;
      if (q * d < num) ++q;
      out[n++] = Edge{start, end, q, q * d - num, d, stepQ, stepR};
    }
  }
  return n;
}

}  // namespace

template <int Bpp>
void bodyBandUnchecked(const SpanPainter& painter, std::int64_t y0, std::int64_t y1, Edge& l, Edge& r) {
  bodyBandOf<Bpp>(painter, y0, y1, l, r);
}
template void bodyBandUnchecked<3>(const SpanPainter&, std::int64_t, std::int64_t, Edge&, Edge&);
template void bodyBandUnchecked<4>(const SpanPainter&, std::int64_t, std::int64_t, Edge&, Edge&);

bool wideLine(const SpanPainter& painter, int w, DevPoint a, DevPoint b, bool startCap) {
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
  if ((startCap && discCoversClip(c, a, w)) || discCoversClip(c, b, w)) {
    fillBox(painter, c.left, c.top, c.right, c.bottom);
    return true;
  }
  // The body: the segment's four-point outline in fixed point, filled with
  // the polygon rule. It is convex, so each row crosses two of its edges.
  constexpr std::int64_t kScale = 256;
  const double dx = static_cast<double>(b.x - a.x);
  const double dy = static_cast<double>(b.y - a.y);
  const double len = std::sqrt(dx * dx + dy * dy);
  const double nx = -dy / len * (w * 0.5) * kScale;
  const double ny = dx / len * (w * 0.5) * kScale;
  const auto ox = roundHalfAway(nx);
  const auto oy = roundHalfAway(ny);
  const DevPoint body[4] = {{a.x * kScale + ox, a.y * kScale + oy},
                            {b.x * kScale + ox, b.y * kScale + oy},
                            {b.x * kScale - ox, b.y * kScale - oy},
                            {a.x * kScale - ox, a.y * kScale - oy}};
  Edge edges[4];
  const int n = bodyEdges(body, c, edges);
  std::int64_t y0 = c.bottom, y1 = c.top;
  for (int i = 0; i < n; ++i) {
    y0 = std::min(y0, edges[i].rowStart);
    y1 = std::max(y1, edges[i].rowEnd);
  }
  // The round ends, and the rows they add.
  const Disc disc(w);
  const DevPoint* ends[2] = {startCap ? &a : nullptr, &b};
  for (const DevPoint* e : ends) {
    if (e == nullptr) continue;
    y0 = std::min(y0, std::max<std::int64_t>(e->y - disc.half(), c.top));
    y1 = std::max(y1, std::min<std::int64_t>(e->y + disc.half() + 1, c.bottom));
  }
  // The rows fall into bands between the rows where an edge starts or ends
  // or a round end begins or stops; within a band the same edges cross every
  // row and the same round ends touch it or none does.
  // Every edge starts and ends on the row of a corner: ceil(y / 256).
  std::int64_t marks[8];
  int m = 0;
  for (const DevPoint& v : body) marks[m++] = -((-v.y) >> 8);
  for (const DevPoint* e : ends) {
    if (e == nullptr) continue;
    marks[m++] = e->y - disc.half();
    marks[m++] = e->y + disc.half() + 1;
  }
  for (std::int64_t ya = y0, yb; ya < y1; ya = yb) {
    yb = y1;
    for (int i = 0; i < m; ++i)
      if (marks[i] > ya && marks[i] < yb) yb = marks[i];
    Edge* active[4];
    int crossings = 0;
    for (int i = 0; i < n; ++i)
      if (edges[i].rowStart <= ya && ya < edges[i].rowEnd) active[crossings++] = &edges[i];
    bool capRows = false;
    for (const DevPoint* e : ends)
      if (e != nullptr && ya <= e->y + disc.half() && ya >= e->y - disc.half()) capRows = true;
    if (!capRows) {
      // The body alone: a convex outline crosses a row twice or not at all,
      // and the span runs from the smaller crossing to the larger.
      if (crossings == 2) {
        bodyBand(painter, ya, yb, *active[0], *active[1]);
      } else {
        for (std::int64_t y = ya; y < yb; ++y)
          for (int i = 0; i < crossings; ++i) active[i]->step();
      }
      continue;
    }
    if (ends[0] == nullptr && (crossings == 0 || crossings == 2)) {
      // A path's later segments: the body and one round end.
      endBand(painter, ya, yb, crossings == 2 ? active[0] : nullptr, crossings == 2 ? active[1] : nullptr,
              b, disc);
      continue;
    }
    for (std::int64_t y = ya; y < yb; ++y) {
      RowPieces pieces;
      if (crossings >= 2) {
        std::int64_t left = active[0]->q, right = left;
        for (int i = 1; i < crossings; ++i) {
          left = std::min(left, active[i]->q);
          right = std::max(right, active[i]->q);
        }
        if (left < right) pieces.add(left, right);
      }
      for (const DevPoint* e : ends) {
        if (e == nullptr || y < e->y - disc.half() || y > e->y + disc.half()) continue;
        const DiscRow r = disc.row(y - e->y);
        if (r.lo <= r.hi) pieces.add(e->x + r.lo, e->x + r.hi + 1);
      }
      if (pieces.n > 0) pieces.paint(painter, static_cast<std::int32_t>(y));
      for (int i = 0; i < crossings; ++i) active[i]->step();
    }
  }
  return false;
}

bool WidePath::lineTo(DevPoint p) {
  if (covered_) return false;
  if (p.x == last_.x && p.y == last_.y) return true;  // a zero-length segment draws nothing
  // A segment that misses the clip draws no round end, but its ends lie
  // outside the clip too, so the next segment need not paint its start.
  covered_ = wideLine(*painter_, width_, last_, p, !capped_);
  capped_ = true;
  last_ = p;
  return !covered_;
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

}  // namespace gdi::detail
