#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <set>
#include <vector>

#include "gdi/support.h"

namespace gditest {
namespace {

using PixelSet = std::set<std::pair<int, int>>;

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kPen = RGB(200, 0, 0);
const COLORREF kBrush = RGB(0, 0, 200);

PixelSet ofColour(const Dib& dib, COLORREF c) {
  PixelSet s;
  for (int y = 0; y < dib.height(); ++y)
    for (int x = 0; x < dib.width(); ++x)
      if (dib.at(x, y) == c) s.insert({x, y});
  return s;
}

PixelSet box(int l, int t, int r, int b) {
  PixelSet s;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x) s.insert({x, y});
  return s;
}

PixelSet minus(PixelSet a, const PixelSet& b) {
  for (const auto& p : b) a.erase(p);
  return a;
}

TEST(Rectangle, OutlineAndFillFollowTheBoxRules) {
  struct Case {
    int x1, y1, x2, y2;
    PixelSet pen, brush;
  } cases[] = {
      {2, 3, 9, 8, minus(box(2, 3, 9, 8), box(3, 4, 8, 7)), box(3, 4, 8, 7)},
      {9, 8, 2, 3, minus(box(2, 3, 9, 8), box(3, 4, 8, 7)), box(3, 4, 8, 7)},  // unordered corners
      {9, 3, 2, 8, minus(box(2, 3, 9, 8), box(3, 4, 8, 7)), box(3, 4, 8, 7)},
      {4, 4, 5, 5, {}, {}},                                                    // 1x1 draws nothing
      {4, 4, 4, 9, {}, {}},                                                    // zero width
      {4, 2, 5, 7, box(4, 2, 5, 7), {}},                                       // one column
      {1, 5, 8, 6, box(1, 5, 8, 6), {}},                                       // one row
      {3, 3, 5, 5, box(3, 3, 5, 5), {}},                                       // 2x2: all border
      {-5, -5, 20, 20, minus(box(0, 0, 16, 12), box(0, 0, 0, 0)), {}},         // covers the surface
  };
  for (int bits : {24, 32}) {
    Dib dib(16, 12, bits);
    for (const Case& c : cases) {
      dib.clear(kWhite);
      {
        PenBrush pb(dib.dc(), 1, kPen, kBrush);
        Rectangle(dib.dc(), c.x1, c.y1, c.x2, c.y2);
      }
      // The last case's outline lies outside; everything visible is brush.
      const bool covering = c.x1 == -5;
      EXPECT_EQ(ofColour(dib, kPen), covering ? PixelSet{} : c.pen)
          << bits << " (" << c.x1 << "," << c.y1 << ")-(" << c.x2 << "," << c.y2 << ")\n" << dib.picture();
      EXPECT_EQ(ofColour(dib, kBrush), covering ? box(0, 0, 16, 12) : c.brush)
          << bits << " (" << c.x1 << "," << c.y1 << ")-(" << c.x2 << "," << c.y2 << ")\n" << dib.picture();
    }
  }
}

TEST(Rectangle, NullPenAndHollowBrush) {
  Dib dib(16, 12);
  {
    // Without a pen the filled area is one pixel narrower and shorter.
    PenBrush pb(dib.dc(), 1, kPen, kBrush, false, true);
    Rectangle(dib.dc(), 2, 3, 9, 8);
  }
  EXPECT_EQ(ofColour(dib, kBrush), box(2, 3, 8, 7));
  dib.clear(kWhite);
  {
    PenBrush pb(dib.dc(), 1, kPen, kBrush, true);
    Rectangle(dib.dc(), 2, 3, 9, 8);
  }
  EXPECT_EQ(ofColour(dib, kBrush), PixelSet{});
  EXPECT_EQ(ofColour(dib, kPen), minus(box(2, 3, 9, 8), box(3, 4, 8, 7)));
}

TEST(Rectangle, WidePenIsCentredOnTheOutline) {
  Dib dib(24, 20);
  PenBrush pb(dib.dc(), 3, kPen, kBrush);
  Rectangle(dib.dc(), 5, 5, 18, 15);
  // The pen reaches one pixel outside and inside of the one-pixel outline.
  EXPECT_EQ(dib.at(11, 3), kWhite);
  EXPECT_EQ(dib.at(11, 4), kPen);
  EXPECT_EQ(dib.at(11, 6), kPen);
  EXPECT_EQ(dib.at(11, 7), kBrush);
  EXPECT_EQ(dib.at(18, 10), kPen);  // right outline column 17, plus one
  EXPECT_EQ(dib.at(19, 10), kWhite);
}

// 8-connected ring check: every outline pixel has an outline neighbour on
// both sides, so the outline is closed.
bool closedRing(const PixelSet& ring) {
  for (const auto& [x, y] : ring) {
    int n = 0;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if ((dx || dy) && ring.count({x + dx, y + dy})) ++n;
    if (n < 2) return false;
  }
  return true;
}

TEST(Ellipse, SymmetricGapFreeAndInsideItsBox) {
  Dib dib(40, 32);
  for (int w = 3; w <= 36; w += 1) {
    for (int h : {3, 4, 5, 8, 13, 20, 29}) {
      dib.clear(kWhite);
      const int l = 2, t = 1, r = l + w, b = t + h;
      {
        PenBrush pb(dib.dc(), 1, kPen, kBrush);
        Ellipse(dib.dc(), r, b, l, t);  // corners in either order
      }
      const PixelSet pen = ofColour(dib, kPen);
      const PixelSet brush = ofColour(dib, kBrush);
      SCOPED_TRACE(::testing::Message() << w << "x" << h << "\n" << dib.picture());
      ASSERT_FALSE(pen.empty());
      for (const auto& [x, y] : pen) {
        ASSERT_TRUE(x >= l && x < r && y >= t && y < b) << x << "," << y;
        ASSERT_TRUE(pen.count({l + r - 1 - x, y})) << "mirror x of " << x << "," << y;
        ASSERT_TRUE(pen.count({x, t + b - 1 - y})) << "mirror y of " << x << "," << y;
      }
      // The box's extreme rows and columns are reached.
      bool left = false, right = false, top = false, bottom = false;
      for (const auto& [x, y] : pen) left |= x == l, right |= x == r - 1, top |= y == t, bottom |= y == b - 1;
      EXPECT_TRUE(left && right && top && bottom);
      if (w >= 5 && h >= 5) {
        EXPECT_TRUE(closedRing(pen));
      }
      // The interior is inside the outline: every brush row is bounded by
      // outline pixels on both sides.
      for (const auto& [x, y] : brush) {
        bool l1 = false, r1 = false;
        for (int k = l; k < x; ++k) l1 |= pen.count({k, y}) > 0;
        for (int k = x + 1; k < r; ++k) r1 |= pen.count({k, y}) > 0;
        ASSERT_TRUE(l1 && r1) << "brush pixel " << x << "," << y << " escapes";
      }
      if (w >= 5 && h >= 5) {
        EXPECT_FALSE(brush.empty());
      }
    }
  }
}

// The outer pixels of every row from the rule itself, by trying every
// column: in doubled units centred on the box (A = w - 1, B = h - 1), a row
// at height Y reaches out to the largest X of A's parity for which X - 1 lies
// within the curve on that row or X lies within it one row further in
// (X^2 B^2 + Y^2 A^2 <= A^2 B^2).
TEST(Ellipse, RowsReachTheColumnsOfThePlainRule) {
  auto within = [](std::int64_t X, std::int64_t Y, std::int64_t A, std::int64_t B) {
    return X * X * B * B + Y * Y * A * A <= A * A * B * B;
  };
  Dib dib(48, 40);
  for (int w = 3; w <= 44; ++w) {
    for (int h = 3; h <= 44; h += (h < 12 ? 1 : 5)) {
      // Boxes from above the surface too: the walk starts mid-curve there.
      const int l = 2, t = h > 30 ? -7 : 1, r = l + w, b = t + h;
      dib.clear(kWhite);
      {
        PenBrush pb(dib.dc(), 1, kPen, kBrush);
        Ellipse(dib.dc(), l, t, r, b);
      }
      const std::int64_t A = w - 1, B = h - 1;
      for (int y = std::max(t, 0); y < std::min(b, 40); ++y) {
        std::int64_t Y = 2 * y - (t + b - 1);
        if (Y < 0) Y = -Y;
        std::int64_t best = A & 1;
        for (std::int64_t X = A & 1; X <= A; X += 2)
          if (X <= 1 || Y <= 1 || within(X - 1, Y, A, B) || within(X, Y - 1, A, B)) best = X;
        const int left = static_cast<int>((-best + l + r - 1) / 2);
        const int right = static_cast<int>((best + l + r - 1) / 2);
        ASSERT_NE(dib.at(left, y), kWhite) << w << "x" << h << " row " << y << "\n" << dib.picture();
        ASSERT_NE(dib.at(right, y), kWhite) << w << "x" << h << " row " << y << "\n" << dib.picture();
        if (left > 0) {
          ASSERT_EQ(dib.at(left - 1, y), kWhite) << w << "x" << h << " row " << y;
        }
        ASSERT_EQ(dib.at(right + 1, y), kWhite) << w << "x" << h << " row " << y << "\n" << dib.picture();
      }
    }
  }
}

TEST(Ellipse, ThinBoxesDrawAsRectangles) {
  for (const auto& [l, t, r, b] : std::vector<std::array<int, 4>>{{2, 2, 4, 10}, {2, 2, 12, 4}, {3, 3, 4, 9}, {1, 5, 13, 6}}) {
    Dib a(16, 12), e(16, 12);
    {
      PenBrush pb(a.dc(), 1, kPen, kBrush);
      Rectangle(a.dc(), l, t, r, b);
    }
    {
      PenBrush pb(e.dc(), 1, kPen, kBrush);
      Ellipse(e.dc(), l, t, r, b);
    }
    EXPECT_EQ(a.hash(), e.hash()) << l << "," << t << "," << r << "," << b << "\n" << e.picture();
  }
}

TEST(Arc, EqualRadialsDrawTheWholeOutline) {
  for (int bits : {24, 32}) {
    Dib arc(40, 32, bits), ellipse(40, 32, bits);
    {
      PenBrush pb(ellipse.dc(), 1, kPen, kBrush, true);
      Ellipse(ellipse.dc(), 3, 2, 35, 27);
    }
    {
      PenBrush pb(arc.dc(), 1, kPen, kBrush);  // Arc never fills, whatever the brush
      MoveToEx(arc.dc(), 7, 7, nullptr);
      Arc(arc.dc(), 3, 2, 35, 27, 0, 0, 0, 0);
      POINT cp;
      MoveToEx(arc.dc(), 0, 0, &cp);
      EXPECT_EQ(cp.x, 7);  // the current position is neither used nor changed
      EXPECT_EQ(cp.y, 7);
    }
    EXPECT_EQ(arc.hash(), ellipse.hash()) << arc.picture();
  }
}

TEST(Arc, QuarterArcsStayInTheirQuadrant) {
  // Counter-clockwise from the right (3 o'clock) radial to the top (12 o'clock).
  Dib dib(40, 32);
  PenBrush pb(dib.dc(), 1, kPen, kBrush);
  Arc(dib.dc(), 4, 4, 36, 28, 100, 16, 20, -100);
  const PixelSet pen = ofColour(dib, kPen);
  ASSERT_FALSE(pen.empty());
  for (const auto& [x, y] : pen) {
    EXPECT_GE(x, 19) << x << "," << y;
    EXPECT_LE(y, 16) << x << "," << y;
  }
  EXPECT_TRUE(pen.count({35, 15}) || pen.count({35, 16}));  // starts at the right
  EXPECT_TRUE(pen.count({19, 4}) || pen.count({20, 4}));    // ends at the top
}

// Point-in-polygon by the even-odd rule at integer sample points, with the
// left/top-inside convention: count edges whose half-open y range contains y
// and whose crossing x (rounded up) is at or left of the sample.
bool insideEvenOdd(const std::vector<POINT>& p, int x, int y) {
  bool in = false;
  for (std::size_t i = 0; i < p.size(); ++i) {
    POINT a = p[i], b = p[(i + 1) % p.size()];
    if (a.y == b.y) continue;
    if (a.y > b.y) std::swap(a, b);
    if (y < a.y || y >= b.y) continue;
    // crossing column = ceil(a.x + (y - a.y) (b.x - a.x) / (b.y - a.y))
    const std::int64_t num = static_cast<std::int64_t>(a.x) * (b.y - a.y) + static_cast<std::int64_t>(y - a.y) * (b.x - a.x);
    const std::int64_t den = b.y - a.y;
    std::int64_t col = num / den;
    if (num % den != 0 && num > 0) ++col;
    if (col <= x) in = !in;
  }
  return in;
}

TEST(Polygon, FillMatchesTheEvenOddReferenceOnRandomPolygons) {
  Rng rng(7);
  for (int bits : {24, 32}) {
    Dib dib(16, 12, bits);
    for (int iteration = 0; iteration < 3000; ++iteration) {
      const int n = rng.range(3, 9);
      std::vector<POINT> pts(static_cast<std::size_t>(n));
      for (POINT& p : pts) p = POINT{rng.range(-4, 20), rng.range(-4, 16)};
      dib.clear(kWhite);
      {
        PenBrush pb(dib.dc(), 1, kPen, kBrush, false, true);  // fill only
        Polygon(dib.dc(), pts.data(), n);
      }
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
          const bool want = insideEvenOdd(pts, x, y);
          ASSERT_EQ(dib.at(x, y) == kBrush, want)
              << "call " << iteration << " pixel " << x << "," << y << "\n" << dib.picture();
        }
    }
  }
}

TEST(Polygon, OutlineCoversOneMoreRowAndColumnThanRectangle) {
  Dib dib(16, 12);
  const POINT square[] = {{2, 3}, {9, 3}, {9, 8}, {2, 8}};
  {
    PenBrush pb(dib.dc(), 1, kPen, kBrush);
    Polygon(dib.dc(), square, 4);
  }
  EXPECT_EQ(ofColour(dib, kPen), minus(box(2, 3, 10, 9), box(3, 4, 9, 8)));
  EXPECT_EQ(ofColour(dib, kBrush), box(3, 4, 9, 8));
}

TEST(Polygon, SelfIntersectingStarLeavesItsCentreEmpty) {
  Dib dib(40, 40);
  const POINT star[] = {{20, 2}, {31, 36}, {2, 14}, {38, 14}, {9, 36}};
  {
    PenBrush pb(dib.dc(), 1, kPen, kBrush, false, true);
    Polygon(dib.dc(), star, 5);
  }
  EXPECT_EQ(dib.at(20, 20), kWhite);   // the pentagon in the middle is crossed twice
  EXPECT_EQ(dib.at(20, 8), kBrush);    // the top point is filled
}

TEST(Polygon, DegenerateAndHugePolygons) {
  Dib dib(16, 12);
  PenBrush pb(dib.dc(), 2, kPen, kBrush);
  const POINT one[] = {{5, 5}};
  EXPECT_FALSE(Polygon(dib.dc(), one, 1));
  EXPECT_FALSE(Polygon(dib.dc(), nullptr, 5));
  EXPECT_FALSE(Polygon(dib.dc(), one, -3));
  const POINT two[] = {{1, 1}, {10, 8}};
  Polygon(dib.dc(), two, 2);
  const POINT same[] = {{4, 4}, {4, 4}, {4, 4}, {4, 4}};
  Polygon(dib.dc(), same, 4);
  const POINT huge[] = {{INT_MIN, INT_MIN}, {INT_MAX, INT_MIN}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MAX}};
  Polygon(dib.dc(), huge, 4);
  EXPECT_EQ(ofColour(dib, kBrush).size(), 16u * 12u);  // the huge square covers everything
  std::vector<POINT> many(10000);
  Rng rng(3);
  for (POINT& p : many) p = POINT{rng.range(-30, 45), rng.range(-30, 40)};
  Polygon(dib.dc(), many.data(), static_cast<int>(many.size()));
}

TEST(PolyBezier, StraightCurveIsTheLineToLine) {
  for (int bits : {24, 32}) {
    Dib curve(40, 32, bits), line(40, 32, bits);
    {
      PenBrush pb(line.dc(), 1, kPen, kBrush);
      MoveToEx(line.dc(), 3, 5, nullptr);
      LineTo(line.dc(), 33, 26);
    }
    {
      PenBrush pb(curve.dc(), 1, kPen, kBrush);
      const POINT pts[] = {{3, 5}, {13, 12}, {23, 19}, {33, 26}};
      MoveToEx(curve.dc(), 1, 1, nullptr);
      EXPECT_TRUE(PolyBezier(curve.dc(), pts, 4));
      POINT cp;
      MoveToEx(curve.dc(), 0, 0, &cp);
      EXPECT_EQ(cp.x, 1);
      EXPECT_EQ(cp.y, 1);
    }
    EXPECT_EQ(curve.hash(), line.hash()) << curve.picture() << "\n" << line.picture();
  }
}

TEST(PolyBezier, CurvesAreConnectedAndStayNearTheirHull) {
  Dib dib(64, 48);
  Rng rng(11);
  for (int i = 0; i < 200; ++i) {
    POINT pts[4];
    for (POINT& p : pts) p = POINT{rng.range(0, 63), rng.range(0, 47)};
    dib.clear(kWhite);
    {
      PenBrush pb(dib.dc(), 1, kPen, kBrush);
      PolyBezier(dib.dc(), pts, 4);
    }
    const PixelSet ink = ofColour(dib, kPen);
    if (pts[0].x == pts[3].x && pts[0].y == pts[3].y) continue;
    EXPECT_TRUE(ink.count({pts[0].x, pts[0].y})) << "start pixel missing";
    int minX = 64, maxX = -1, minY = 48, maxY = -1;
    for (const POINT& p : pts) minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    for (const auto& [x, y] : ink) {
      EXPECT_TRUE(x >= minX - 1 && x <= maxX + 1 && y >= minY - 1 && y <= maxY + 1) << x << "," << y;
      // Connected: a neighbour exists unless the curve is a single pixel.
      int n = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) n += (dx || dy) && ink.count({x + dx, y + dy});
      if (ink.size() > 1) {
        EXPECT_GE(n, 1) << x << "," << y;
      }
    }
  }
}

TEST(PolyBezier, APenWiderThanTheSurfaceCoversItOnceAndStops) {
  // Thousands of long curves with a pen far wider than the surface: the
  // first round end that covers the clip paints everything, and the rest of
  // the call can change nothing.
  std::vector<POINT> pts(3 * 3333 + 1);
  Rng rng(5);
  for (POINT& p : pts) p = POINT{rng.range(-100000, 100000), rng.range(-100000, 100000)};
  pts[0] = POINT{8, 6};
  for (const int width : {40, 1 << 20}) {
    Dib dib(16, 12);
    PenBrush pb(dib.dc(), width, kPen, kBrush);
    EXPECT_TRUE(PolyBezier(dib.dc(), pts.data(), static_cast<DWORD>(pts.size())));
    EXPECT_EQ(ofColour(dib, kPen), box(0, 0, 16, 12)) << "width " << width;
  }
  // A pen that is wide, but not wide enough for one end to cover the
  // surface, still draws its segments the ordinary way.
  Dib dib(16, 12);
  PenBrush pb(dib.dc(), 8, kPen, kBrush);
  const POINT one[] = {{0, 6}, {5, 6}, {10, 6}, {15, 6}};
  PolyBezier(dib.dc(), one, 4);
  EXPECT_EQ(dib.at(8, 0), kWhite);
  EXPECT_EQ(dib.at(8, 6), kPen);
}

TEST(PolyBezier, RejectsBadCountsAndSurvivesHugeCurves) {
  Dib dib(16, 12);
  PenBrush pb(dib.dc(), 3, kPen, kBrush);
  const POINT pts[] = {{INT_MIN, 0}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MIN}, {INT_MAX, 6},
                       {5, 5},       {INT_MIN, 7},       {7, INT_MAX},       {8, 8}};
  EXPECT_FALSE(PolyBezier(dib.dc(), pts, 3));
  EXPECT_FALSE(PolyBezier(dib.dc(), pts, 5));
  EXPECT_FALSE(PolyBezier(dib.dc(), nullptr, 4));
  EXPECT_TRUE(PolyBezier(dib.dc(), pts, 7));
}

}  // namespace
}  // namespace gditest
