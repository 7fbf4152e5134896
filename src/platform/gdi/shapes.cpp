// Filled and outlined shapes: polygons, rectangles, ellipses, arcs and
// Bezier curves.
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "platform/gdi/draw.h"

namespace gdi::detail {

// ---- polygon fill ----------------------------------------------------------

namespace {

// Reused between calls: a polygon of 10000 points grows them once.
std::vector<Edge>& edgeScratch() {
  static std::vector<Edge> v;
  return v;
}
std::vector<Edge>& activeScratch() {
  static std::vector<Edge> v;
  return v;
}

// The exact walk in the integer type T: 64 bits whenever the operands are
// small enough that no product can overflow, 128 bits otherwise.
template <typename T>
void setupEdge(DevPoint p0, DevPoint p1, std::int64_t scale, std::int64_t start, Edge* e) {
  const T dy = static_cast<T>(p1.y) - p0.y;
  const T dx = static_cast<T>(p1.x) - p0.x;
  const T d = dy * scale;
  const T num = static_cast<T>(p0.x) * dy + (static_cast<T>(start) * scale - p0.y) * dx;
  T q = num / d;  // d > 0: the ceiling is the truncation, or one more
  if (q * d < num) ++q;
  const T step = dx * scale;
  T stepQ = step / d;
  if (stepQ * d > step) --stepQ;
  e->d = static_cast<std::int64_t>(d);
  e->q = static_cast<std::int64_t>(q);
  e->r = static_cast<std::int64_t>(q * d - num);
  e->stepQ = static_cast<std::int64_t>(stepQ);
  e->stepR = static_cast<std::int64_t>(step - stepQ * d);
}

}  // namespace

bool makeEdge(DevPoint p0, DevPoint p1, std::int64_t scale, const ClipRect& c, Edge* e) {
  if (p0.y == p1.y) return false;  // horizontal edges do not cross a row
  if (p0.y > p1.y) std::swap(p0, p1);
  // Rows whose sample line y * scale lies in [p0.y, p1.y): top inside,
  // bottom outside.
  const std::int64_t rowTop = ceilDiv(p0.y, scale);
  const std::int64_t rowBottom = ceilDiv(p1.y, scale);
  const std::int64_t start = std::max<std::int64_t>(rowTop, c.top);
  const std::int64_t end = std::min<std::int64_t>(rowBottom, c.bottom);
  if (start >= end) return false;
  e->rowStart = start;
  e->rowEnd = end;
  // Coordinates below 2^29 (and a scale of at most 2^8) keep every product
  // below 2^62.
  constexpr std::int64_t kSmall = std::int64_t{1} << 29;
  auto small = [](std::int64_t v) { return v > -kSmall && v < kSmall; };
  if (scale <= 256 && small(p0.x) && small(p0.y) && small(p1.x) && small(p1.y) && small(start * scale))
    setupEdge<std::int64_t>(p0, p1, scale, start, e);
  else
    setupEdge<__int128>(p0, p1, scale, start, e);
  return true;
}

namespace {

template <typename GetPoint>
void fillEdges(const SpanPainter& painter, std::size_t n, std::int64_t scale, GetPoint&& point) {
  if (n < 3) return;
  const ClipRect& c = painter.target->clip;
  std::vector<Edge>& edges = edgeScratch();
  edges.clear();
  for (std::size_t i = 0; i < n; ++i) {
    Edge e;
    if (makeEdge(point(i), point(i + 1 == n ? 0 : i + 1), scale, c, &e)) edges.push_back(e);
  }
  if (edges.size() < 2) return;
  std::sort(edges.begin(), edges.end(),
            [](const Edge& a, const Edge& b) { return a.rowStart < b.rowStart; });

  // The active edges are kept by value, ordered by column: from one row to
  // the next the order rarely changes, so the insertion sort is a pass of
  // compares, and the walk touches one contiguous array.
  std::vector<Edge>& active = activeScratch();
  active.clear();
  if (active.capacity() < edges.size()) active.reserve(edges.size());
  std::size_t next = 0;
  std::int64_t y = edges[0].rowStart;
  while (next < edges.size() || !active.empty()) {
    if (active.empty() && edges[next].rowStart > y) y = edges[next].rowStart;
    while (next < edges.size() && edges[next].rowStart == y) active.push_back(edges[next++]);
    Edge* e = active.data();
    const std::size_t count = active.size();
    if (count > 32) {
      // Many edges can start on one row in any order: keep the cost
      // n log n there.
      std::sort(e, e + count, [](const Edge& a, const Edge& b) { return a.q < b.q; });
    }
    for (std::size_t i = 1; i < count; ++i) {
      if (e[i - 1].q <= e[i].q) continue;
      const Edge v = e[i];
      std::size_t j = i;
      for (; j > 0 && e[j - 1].q > v.q; --j) e[j] = e[j - 1];
      e[j] = v;
    }
    // Even-odd: spans between the first and second crossing, the third and
    // the fourth, and so on.
    const auto row = static_cast<std::int32_t>(y);
    for (std::size_t i = 0; i + 1 < count; i += 2) painter.spanClipX(row, e[i].q, e[i + 1].q);
    ++y;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i) {
      if (e[i].rowEnd <= y) continue;
      if (kept != i) e[kept] = e[i];
      e[kept++].step();
    }
    active.resize(kept);
  }
}

}  // namespace

void drawPolygon(const Target& t, const Stroke& s, const Fill& f, const POINT* pts, std::size_t n) {
  auto point = [&t, pts](std::size_t i) {
    return DevPoint{pts[i].x + t.originX, pts[i].y + t.originY};
  };
  if (f.visible) fillEdges(SpanPainter(t, f.px), n, 1, point);
  if (s.visible && n >= 2) {
    // The closed outline on top: every vertex is lit.
    for (std::size_t i = 0; i < n; ++i) drawLine(t, s, point(i), point(i + 1 == n ? 0 : i + 1));
  }
}

// ---- rectangles ------------------------------------------------------------

namespace {

struct Box {
  std::int64_t l, t, r, b;
};

Box normalised(DevPoint a, DevPoint b) {
  return Box{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

// A one-pixel border and its interior in one pass down the rows, so each
// row's border pixels are written while its cache lines are at hand (a
// second pass for the side columns would fetch every row again).
void framedBox(const Target& t, const Stroke& s, const Fill& f, const Box& k) {
  const ClipRect& c = t.clip;
  const std::int64_t y0 = std::max<std::int64_t>(k.t, c.top);
  const std::int64_t y1 = std::min<std::int64_t>(k.b, c.bottom);
  const std::int64_t x0 = std::max<std::int64_t>(k.l, c.left);
  const std::int64_t x1 = std::min<std::int64_t>(k.r, c.right);
  if (y0 >= y1 || x0 >= x1) return;
  if (k.r - k.l == 1 && k.b - k.t == 1) return;  // a single pixel has no border
  const SpanPainter pen(t, s.px);
  const SpanPainter brush(t, f.px);
  const bool leftSide = k.l >= c.left && k.l < c.right;
  const bool rightSide = k.r - 1 > k.l && k.r - 1 >= c.left && k.r - 1 < c.right;
  const std::int64_t in0 = std::max<std::int64_t>(k.l + 1, c.left);
  const std::int64_t in1 = std::min<std::int64_t>(k.r - 1, c.right);
  // A brush of the pen's colour makes every row one span (the rectangle
  // test draws so): one call through the kernel table a row, not three.
  const bool oneColour = f.visible && f.px == s.px;
  for (auto y = static_cast<std::int32_t>(y0); y < y1; ++y) {
    if (oneColour || y == k.t || y == k.b - 1) {
      pen.spanUnchecked(y, static_cast<std::int32_t>(x0), static_cast<std::int32_t>(x1));
      continue;
    }
    if (leftSide) pen.pixelUnchecked(static_cast<std::int32_t>(k.l), y);
    if (f.visible && in0 < in1)
      brush.spanUnchecked(y, static_cast<std::int32_t>(in0), static_cast<std::int32_t>(in1));
    if (rightSide) pen.pixelUnchecked(static_cast<std::int32_t>(k.r - 1), y);
  }
}

void wideClosed(const Target& t, const Stroke& s, const DevPoint* pts, std::size_t n) {
  const SpanPainter p(t, s.px);
  WidePath path(p, s.width, pts[0]);
  for (std::size_t i = 1; i <= n && path.lineTo(pts[i == n ? 0 : i]); ++i) {
  }
}

}  // namespace

void drawRectangle(const Target& t, const Stroke& s, const Fill& f, DevPoint a, DevPoint b) {
  const Box k = normalised(a, b);
  if (k.l == k.r || k.t == k.b) return;
  if (!s.visible) {
    // Without a pen the filled area is one pixel narrower and shorter.
    if (f.visible) fillBox(SpanPainter(t, f.px), k.l, k.t, k.r - 1, k.b - 1);
    return;
  }
  if (s.width <= 1) {
    framedBox(t, s, f, k);
    return;
  }
  if (f.visible) fillBox(SpanPainter(t, f.px), k.l + 1, k.t + 1, k.r - 1, k.b - 1);
  const DevPoint corners[4] = {{k.l, k.t}, {k.r - 1, k.t}, {k.r - 1, k.b - 1}, {k.l, k.b - 1}};
  wideClosed(t, s, corners, 4);
}

// ---- ellipses and arcs -----------------------------------------------------

namespace {

constexpr std::int64_t kNoPixel = std::numeric_limits<std::int64_t>::min() / 4;

// The rows of the ellipse inscribed in [l, r) x [t, b), in doubled
// coordinates centred on the box: X = 2x - (l + r - 1), Y = 2y - (t + b - 1).
// The exact curve X^2 / A^2 + Y^2 / B^2 = 1 (A = w - 1, B = h - 1) passes
// through the centres of the box's extreme pixels. A row's outer pixel is the
// farther of the pixel nearest to the curve on that row and the last column
// whose nearest row is this one, so flat and steep parts both reach the box
// edges, and rows mirror exactly about both axes. Needs w, h >= 3.
class EllipseRows {
 public:
  explicit EllipseRows(const Box& k)
      : k_(k), a_(k.r - k.l - 1), b_(k.b - k.t - 1), parity_(a_ & 1) {
    // Exact integer tests while the products fit; beyond that (boxes wider
    // than 2^26) long double is close enough for anything that can be seen.
    exact_ = a_ <= (1 << 26) && b_ <= (1 << 26);
    // Up to 2^15 every product of the test fits 64 bits.
    small_ = a_ <= (1 << 15) && b_ <= (1 << 15);
    if (exact_) {
      a2_ = static_cast<__int128>(a_) * a_;
      b2_ = static_cast<__int128>(b_) * b_;
      a2b2_ = a2_ * b2_;
    }
    b2d_ = static_cast<double>(b_) * static_cast<double>(b_);
    aOverB_ = static_cast<double>(a_) / static_cast<double>(b_);
  }

  // Outer X (>= 0, of the parity of A) of row y, or kNoPixel outside the box.
  // It is the largest X up to A whose pixel reaches the curve: X - 1 lies
  // within the curve on this row, or X lies within it one row further in.
  std::int64_t extent(std::int64_t y) const {
    if (y < k_.t || y >= k_.b) return kNoPixel;
    std::int64_t Y = 2 * y - (k_.t + k_.b - 1);
    if (Y < 0) Y = -Y;
    if (!exact_) return estimate(Y);
    if (Y <= 1) return a_;
    const std::int64_t rowView = largestWithin(Y, 1 - parity_) + 1;
    const std::int64_t columnView = largestWithin(Y - 1, parity_);
    return std::max({rowView, columnView, parity_});
  }

  std::int64_t toX(std::int64_t X) const { return (X + k_.l + k_.r - 1) / 2; }

 private:
  long double curveX(std::int64_t Yv) const {
    const long double r = static_cast<long double>(Yv) / static_cast<long double>(b_);
    const long double rest = 1.0L - r * r;
    return rest <= 0 ? 0.0L : static_cast<long double>(a_) * std::sqrt(rest);
  }
  // Beyond the exact range: the farther of the row's and the column's
  // reach, from the curve itself.
  std::int64_t estimate(std::int64_t Y) const {
    const long double rowReach = curveX(Y) + 1.0L;
    const long double columnReach = Y <= 1 ? static_cast<long double>(a_) : curveX(Y - 1);
    std::int64_t X = static_cast<std::int64_t>(std::max(rowReach, columnReach));
    X = std::min(X, a_);
    if (((X - parity_) & 1) != 0) --X;
    if (X < parity_) X = parity_;
    return X;
  }
  // X^2 B^2 + Yv^2 A^2 <= A^2 B^2: X lies on or inside the curve at height Yv.
  bool within(std::int64_t X, std::int64_t Yv) const {
    if (small_) {
      const auto a2 = static_cast<std::int64_t>(a2_), b2 = static_cast<std::int64_t>(b2_);
      return X * X * b2 + Yv * Yv * a2 <= static_cast<std::int64_t>(a2b2_);
    }
    return static_cast<__int128>(X) * X * b2_ + static_cast<__int128>(Yv) * Yv * a2_ <= a2b2_;
  }
  // The largest Z of the given parity with within(Z, Yv), or a negative
  // value when there is none: from the curve in double precision, then
  // corrected by the exact test.
  //
  // Rows come in order, so the answer for the previous row of the same
  // parity is usually a step or two away: the walk starts there, and only
  // where the curve runs flat (many steps from one row to the next) does it
  // start from the square root instead.
  std::int64_t largestWithin(std::int64_t Yv, std::int64_t parity) const {
    Last& last = last_[parity];
    std::int64_t Z;
    const bool near = last.valid && (Yv == last.Yv + 2 || Yv == last.Yv - 2);
    if (!near || !walk(last.Z, Yv, 8, &Z)) {
      const double rest = b2d_ - static_cast<double>(Yv) * static_cast<double>(Yv);
      Z = rest <= 0 ? 0 : static_cast<std::int64_t>(aOverB_ * std::sqrt(rest));
      Z = std::min(Z, a_);
      if (((Z - parity) & 1) != 0) --Z;
      walk(Z, Yv, std::numeric_limits<std::int64_t>::max(), &Z);
    }
    last = Last{true, Yv, Z};
    return Z;
  }
  // From `Z` (of the answer's parity) to the answer, in at most `limit`
  // steps.
  bool walk(std::int64_t Z, std::int64_t Yv, std::int64_t limit, std::int64_t* out) const {
    std::int64_t n = 0;
    while (Z + 2 <= a_ && within(Z + 2, Yv)) {
      Z += 2;
      if (++n > limit) return false;
    }
    while (Z >= 0 && !within(Z, Yv)) {
      Z -= 2;
      if (++n > limit) return false;
    }
    *out = Z;
    return true;
  }
  struct Last {
    bool valid = false;
    std::int64_t Yv = 0;
    std::int64_t Z = 0;
  };
  mutable Last last_[2];

  Box k_;
  std::int64_t a_, b_, parity_;
  bool exact_ = true;
  bool small_ = true;
  __int128 a2_ = 0, b2_ = 0, a2b2_ = 0;  // the exact tests' products
  double b2d_, aOverB_;
};

// Walks the visible rows of an ellipse and hands each row's outline and
// interior (as x ranges, right end excluded) to the callbacks. The outline
// of a row reaches inward far enough to touch the next row's outline, so the
// outline has no gaps.
template <typename OnOutline, typename OnInterior>
void ellipseRows(const Box& k, const ClipRect& c, OnOutline&& outline, OnInterior&& interior) {
  const EllipseRows e(k);
  const std::int64_t y0 = std::max<std::int64_t>(k.t, c.top);
  const std::int64_t y1 = std::min<std::int64_t>(k.b, c.bottom);
  if (y0 >= y1) return;
  std::int64_t prev = e.extent(y0 - 1);
  std::int64_t cur = e.extent(y0);
  for (std::int64_t y = y0; y < y1; ++y) {
    const std::int64_t next = e.extent(y + 1);
    if (cur != kNoPixel) {
      const std::int64_t nb = std::min(prev, next);
      const std::int64_t low = nb == kNoPixel ? -cur : std::max(-cur, std::min(cur, nb + 2));
      // Right part [low, cur] and left part [-cur, -low] in doubled units.
      const std::int64_t xl0 = e.toX(-cur), xl1 = e.toX(-low) + 1;
      const std::int64_t xr0 = e.toX(low), xr1 = e.toX(cur) + 1;
      if (xl1 >= xr0) {
        outline(y, xl0, xr1);
      } else {
        outline(y, xl0, xl1);
        interior(y, xl1, xr0);
        outline(y, xr0, xr1);
      }
    }
    prev = cur;
    cur = next;
  }
}

// Points on the ellipse of box k, for wide outlines (stroked as a closed
// polyline). `from` and `sweep` are angles in radians, counter-clockwise
// with y up.
template <typename Emit>
void ellipsePath(const Box& k, double from, double sweep, Emit&& emit) {
  const double cx = (static_cast<double>(k.l) + static_cast<double>(k.r - 1)) * 0.5;
  const double cy = (static_cast<double>(k.t) + static_cast<double>(k.b - 1)) * 0.5;
  const double rx = static_cast<double>(k.r - 1 - k.l) * 0.5;
  const double ry = static_cast<double>(k.b - 1 - k.t) * 0.5;
  const double perimeter = 2.0 * 3.14159265358979 * std::sqrt((rx * rx + ry * ry) * 0.5);
  const int steps = static_cast<int>(std::clamp(perimeter * std::fabs(sweep) / 6.2832 / 3.0, 8.0, 2048.0));
  for (int i = 0; i <= steps; ++i) {
    const double a = from + sweep * i / steps;
    emit(DevPoint{roundHalfAway(cx + rx * std::cos(a)), roundHalfAway(cy - ry * std::sin(a))});
  }
}

// The outline of an ellipse or arc with a wide pen.
void widePath(const SpanPainter& sp, int width, const Box& k, double from, double sweep) {
  std::optional<WidePath> path;
  ellipsePath(k, from, sweep, [&](DevPoint p) {
    if (path)
      path->lineTo(p);
    else
      path.emplace(sp, width, p);
  });
}

}  // namespace

void drawEllipse(const Target& t, const Stroke& s, const Fill& f, DevPoint a, DevPoint b) {
  Box k = normalised(a, b);
  if (k.l == k.r || k.t == k.b) return;
  if (!s.visible) {
    // As with rectangles, no pen means a figure one pixel smaller.
    --k.r;
    --k.b;
    if (!f.visible || k.l == k.r || k.t == k.b) return;
    const SpanPainter fp(t, f.px);
    if (k.r - k.l <= 2 || k.b - k.t <= 2) {
      fillBox(fp, k.l, k.t, k.r, k.b);
      return;
    }
    auto all = [&fp](std::int64_t y, std::int64_t x0, std::int64_t x1) { fp.span(y, x0, x1); };
    ellipseRows(k, t.clip, all, all);
    return;
  }
  if (k.r - k.l <= 2 || k.b - k.t <= 2) {
    drawRectangle(t, s, f, a, b);
    return;
  }
  const SpanPainter fp(t, f.px);
  const SpanPainter sp(t, s.px);
  const bool thin = s.width <= 1;
  ellipseRows(
      k, t.clip,
      [&](std::int64_t y, std::int64_t x0, std::int64_t x1) {
        if (thin) sp.span(y, x0, x1);
      },
      [&](std::int64_t y, std::int64_t x0, std::int64_t x1) {
        if (f.visible) fp.span(y, x0, x1);
      });
  if (!thin) widePath(sp, s.width, k, 0.0, 2.0 * 3.14159265358979);
}

void drawArc(const Target& t, const Stroke& s, DevPoint a, DevPoint b, DevPoint start,
             DevPoint end) {
  if (!s.visible) return;
  const Box k = normalised(a, b);
  if (k.l == k.r || k.t == k.b) return;
  // Radials are directions from the centre; only their angle matters. A
  // radial at the centre points at the rightmost point.
  const double cx = static_cast<double>(k.l) + static_cast<double>(k.r - k.l) / 2.0;
  const double cy = static_cast<double>(k.t) + static_cast<double>(k.b - k.t) / 2.0;
  auto angleOf = [cx, cy](DevPoint p) {
    const double dx = static_cast<double>(p.x) - cx, dy = cy - static_cast<double>(p.y);
    if (dx == 0.0 && dy == 0.0) return 0.0;
    return std::atan2(dy, dx);
  };
  constexpr double kTwoPi = 2.0 * 3.14159265358979323846;
  const double a0 = angleOf(start);
  double sweep = angleOf(end) - a0;
  while (sweep <= 0.0) sweep += kTwoPi;  // equal radials: the whole ellipse
  const bool whole = sweep >= kTwoPi - 1e-12;
  const SpanPainter sp(t, s.px);

  if (s.width > 1) {
    widePath(sp, s.width, k, a0, sweep);
    return;
  }
  // One-pixel arc: the outline pixels of the ellipse whose angle lies on the
  // counter-clockwise sweep from the start radial.
  auto onSweep = [&](std::int64_t x, std::int64_t y) {
    if (whole) return true;
    double d = std::atan2(cy - (static_cast<double>(y) + 0.5), (static_cast<double>(x) + 0.5) - cx) - a0;
    while (d < 0.0) d += kTwoPi;
    while (d >= kTwoPi) d -= kTwoPi;
    return d <= sweep;
  };
  auto emit = [&](std::int64_t y, std::int64_t x0, std::int64_t x1) {
    if (y < t.clip.top || y >= t.clip.bottom) return;
    x0 = std::max<std::int64_t>(x0, t.clip.left);
    x1 = std::min<std::int64_t>(x1, t.clip.right);
    if (whole) {
      if (x0 < x1) sp.spanUnchecked(static_cast<std::int32_t>(y), static_cast<std::int32_t>(x0), static_cast<std::int32_t>(x1));
      return;
    }
    for (std::int64_t x = x0; x < x1; ++x)
      if (onSweep(x, y)) sp.pixelUnchecked(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
  };
  if (k.r - k.l <= 2 || k.b - k.t <= 2) {
    // Too thin for an ellipse: the border of the box stands in for it.
    const Box edges[4] = {{k.l, k.t, k.r, k.t + 1}, {k.l, k.b - 1, k.r, k.b},
                          {k.l, k.t + 1, k.l + 1, k.b - 1}, {k.r - 1, k.t + 1, k.r, k.b - 1}};
    for (const Box& e : edges) {
      const std::int64_t y0 = std::max<std::int64_t>(e.t, t.clip.top);
      const std::int64_t y1 = std::min<std::int64_t>(e.b, t.clip.bottom);
      for (std::int64_t y = y0; y < y1; ++y) emit(y, e.l, e.r);
    }
    return;
  }
  ellipseRows(k, t.clip, emit, [](std::int64_t, std::int64_t, std::int64_t) {});
}

// ---- Bezier curves ---------------------------------------------------------

namespace {

struct Cubic {
  double x[4];
  double y[4];
  int depth;
};

}  // namespace

bool drawBeziers(const Target& t, const Stroke& s, const DevPoint* pts, std::size_t n) {
  if (!s.visible || n < 4) return false;
  const SpanPainter sp(t, s.px);
  const ClipRect& c = t.clip;
  const double reach = s.width + 2.0;
  // Flattened points are joined as a polyline with the line rules: each
  // segment starts at the previous segment's end, which it excludes.
  // A wide pen's path keeps its own end point and knows when it has
  // covered the clip; a one-pixel pen's end point is `last`.
  WidePath path(sp, s.width, pts[0]);
  DevPoint last = pts[0];
  auto lineTo = [&](DevPoint p) {
    if (s.width > 1) {
      path.lineTo(p);
      return;
    }
    if (p.x == last.x && p.y == last.y) return;
    thinLine(sp, last, p);
    last = p;
  };
  const auto covered = [&path] { return path.covered(); };
  for (std::size_t base = 0; base + 3 < n && !covered(); base += 3) {
    // Each curve starts at the previous one's end point.
    // Recursive midpoint subdivision on an explicit stack: each level halves
    // the curve, so 24 levels bound the work even for curves across 2^32
    // pixels, and parts whose control hull misses the clip are not split.
    // The part at hand stays in `q`; a split keeps the first half there and
    // sets the second half aside on the stack.
    Cubic stack[32];
    int top = 0;
    Cubic q{{static_cast<double>(pts[base].x), static_cast<double>(pts[base + 1].x),
             static_cast<double>(pts[base + 2].x), static_cast<double>(pts[base + 3].x)},
            {static_cast<double>(pts[base].y), static_cast<double>(pts[base + 1].y),
             static_cast<double>(pts[base + 2].y), static_cast<double>(pts[base + 3].y)},
            0};
    while (!covered()) {
      const double minX = std::min(std::min(q.x[0], q.x[1]), std::min(q.x[2], q.x[3]));
      const double maxX = std::max(std::max(q.x[0], q.x[1]), std::max(q.x[2], q.x[3]));
      const double minY = std::min(std::min(q.y[0], q.y[1]), std::min(q.y[2], q.y[3]));
      const double maxY = std::max(std::max(q.y[0], q.y[1]), std::max(q.y[2], q.y[3]));
      const bool offClip = maxX + reach < c.left || minX - reach >= c.right ||
                           maxY + reach < c.top || minY - reach >= c.bottom;
      // Flat enough: both control points within half a pixel of the points
      // a third and two thirds along the chord.
      const double e1x = q.x[1] - (2.0 * q.x[0] + q.x[3]) / 3.0;
      const double e1y = q.y[1] - (2.0 * q.y[0] + q.y[3]) / 3.0;
      const double e2x = q.x[2] - (q.x[0] + 2.0 * q.x[3]) / 3.0;
      const double e2y = q.y[2] - (q.y[0] + 2.0 * q.y[3]) / 3.0;
      const double dev = std::max(std::max(std::fabs(e1x), std::fabs(e1y)), std::max(std::fabs(e2x), std::fabs(e2y)));
      if (offClip || dev <= 0.5 || q.depth >= 24) {
        lineTo(DevPoint{roundHalfAway(q.x[3]), roundHalfAway(q.y[3])});
        if (top == 0) break;
        q = stack[--top];
        continue;
      }
      Cubic& r = stack[top++];  // the second half is drawn after the first
      r.depth = ++q.depth;
      for (int axis = 0; axis < 2; ++axis) {
        double* v = axis == 0 ? q.x : q.y;
        double* rv = axis == 0 ? r.x : r.y;
        const double m01 = (v[0] + v[1]) * 0.5, m12 = (v[1] + v[2]) * 0.5, m23 = (v[2] + v[3]) * 0.5;
        const double m012 = (m01 + m12) * 0.5, m123 = (m12 + m23) * 0.5;
        const double mid = (m012 + m123) * 0.5;
        rv[0] = mid, rv[1] = m123, rv[2] = m23, rv[3] = v[3];
        v[1] = m01, v[2] = m012, v[3] = mid;
      }
    }
    // The curve ends exactly on its end point, whatever the rounding of the
    // flattened points.
    lineTo(pts[base + 3]);
  }
  return covered();
}

}  // namespace gdi::detail
