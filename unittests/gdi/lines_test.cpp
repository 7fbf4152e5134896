#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "gdi/support.h"
#include "platform/gdi/draw.h"
#include "platform/gdi/raster.h"

namespace gditest {
namespace {

using PixelSet = std::set<std::pair<int, int>>;

__int128 ceilDiv(__int128 a, __int128 b) {
  __int128 q = a / b;
  if (a % b != 0 && ((a < 0) == (b < 0))) ++q;
  return q;
}

// The pixels a one-pixel line must light inside [0, w) x [0, h), from the
// geometric rule alone: along the major axis, every step from the start
// (included) to the end (excluded); across it, the pixel nearest to the
// exact line, an exact tie going to the smaller coordinate.
PixelSet expectedLine(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, int w, int h) {
  PixelSet out;
  const std::int64_t dx = x1 - x0, dy = y1 - y0;
  if (dx == 0 && dy == 0) return out;
  const bool xMajor = (dx < 0 ? -dx : dx) > (dy < 0 ? -dy : dy);
  const std::int64_t major = xMajor ? (dx < 0 ? -dx : dx) : (dy < 0 ? -dy : dy);
  const int dir = (xMajor ? dx : dy) > 0 ? 1 : -1;
  const std::int64_t minorDelta = xMajor ? dy : dx;
  const std::int64_t lo = 0, hi = xMajor ? w : h;
  for (std::int64_t m = lo; m < hi; ++m) {
    const std::int64_t i = (m - (xMajor ? x0 : y0)) * dir;
    if (i < 0 || i >= major) continue;
    // nearest, ties to the smaller: ceil(exact - 1/2)
    const __int128 off = ceilDiv(static_cast<__int128>(2) * minorDelta * i - major, static_cast<__int128>(2) * major);
    const __int128 minor = (xMajor ? y0 : x0) + off;
    const int x = static_cast<int>(xMajor ? m : static_cast<std::int64_t>(minor));
    const int y = static_cast<int>(xMajor ? static_cast<std::int64_t>(minor) : m);
    if (!xMajor && (minor < 0 || minor >= w)) continue;
    if (xMajor && (minor < 0 || minor >= h)) continue;
    out.insert({x, y});
  }
  return out;
}

std::string describe(const PixelSet& s, int w, int h) {
  std::string out;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) out += s.count({x, y}) ? '#' : '.';
    out += '\n';
  }
  return out;
}

PixelSet drawThin(Dib& dib, int x0, int y0, int x1, int y1) {
  dib.clear(RGB(255, 255, 255));
  PenBrush pb(dib.dc(), 1, RGB(0, 0, 0), RGB(0, 0, 0));
  MoveToEx(dib.dc(), x0, y0, nullptr);
  LineTo(dib.dc(), x1, y1);
  return dib.inked();
}

TEST(ThinLine, ExplicitCases) {
  struct Case {
    int x0, y0, x1, y1;
    PixelSet pixels;
  } cases[] = {
      {2, 3, 6, 3, {{2, 3}, {3, 3}, {4, 3}, {5, 3}}},              // right: end excluded
      {6, 3, 2, 3, {{6, 3}, {5, 3}, {4, 3}, {3, 3}}},              // left: x1+1 .. x0
      {4, 1, 4, 4, {{4, 1}, {4, 2}, {4, 3}}},                      // down
      {4, 4, 4, 1, {{4, 4}, {4, 3}, {4, 2}}},                      // up
      {0, 0, 4, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},              // ties go up
      {4, 2, 0, 0, {{4, 2}, {3, 1}, {2, 1}, {1, 0}}},              // same ties drawn backwards
      {0, 0, 2, 4, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},              // y-major ties go left
      {2, 4, 0, 0, {{2, 4}, {1, 3}, {1, 2}, {0, 1}}},
      {1, 1, 4, 4, {{1, 1}, {2, 2}, {3, 3}}},                      // diagonal
      {5, 5, 5, 5, {}},                                            // zero length draws nothing
  };
  for (int bits : {24, 32}) {
    Dib dib(16, 12, bits);
    for (const Case& c : cases) {
      const PixelSet got = drawThin(dib, c.x0, c.y0, c.x1, c.y1);
      EXPECT_EQ(got, c.pixels) << bits << "-bit line (" << c.x0 << "," << c.y0 << ")-(" << c.x1 << ","
                               << c.y1 << ")\n"
                               << dib.picture();
    }
  }
}

TEST(ThinLine, EveryShortLineFollowsTheNearestPixelRule) {
  Dib dib(16, 12);
  // All lines between points of a grid that reaches past every edge.
  for (int x0 = -2; x0 <= 17; x0 += 3)
    for (int y0 = -2; y0 <= 13; y0 += 3)
      for (int x1 = -3; x1 <= 18; x1 += 2)
        for (int y1 = -3; y1 <= 14; y1 += 2) {
          const PixelSet got = drawThin(dib, x0, y0, x1, y1);
          const PixelSet want = expectedLine(x0, y0, x1, y1, 16, 12);
          ASSERT_EQ(got, want) << "line (" << x0 << "," << y0 << ")-(" << x1 << "," << y1 << ")\ngot:\n"
                               << describe(got, 16, 12) << "want:\n"
                               << describe(want, 16, 12);
        }
}

TEST(ThinLine, ClippedLinesLightThePixelsOfTheUnclippedLine) {
  // End points far outside: the visible pixels must be those of the whole
  // line, not of a line re-rounded at the clip edges.
  const int big = INT_MAX, small = INT_MIN;
  const struct {
    int x0, y0, x1, y1;
  } cases[] = {
      {-1000000007, 3, 1000000009, 9},   {big, small, small, big},      {small, small, big, big},
      {-5, -7, 1000003, 700001},         {20, -1000000, -3, 1000000},   {big, 5, small, 6},
      {7, big, 8, small},                {-123456789, -98765432, 29, 11}, {15, 11, small, big},
  };
  for (int bits : {24, 32}) {
    Dib dib(16, 12, bits);
    for (const auto& c : cases) {
      const PixelSet got = drawThin(dib, c.x0, c.y0, c.x1, c.y1);
      const PixelSet want = expectedLine(c.x0, c.y0, c.x1, c.y1, 16, 12);
      EXPECT_EQ(got, want) << "line (" << c.x0 << "," << c.y0 << ")-(" << c.x1 << "," << c.y1 << ")\ngot:\n"
                           << describe(got, 16, 12) << "want:\n"
                           << describe(want, 16, 12);
    }
  }
}

TEST(ThinLine, CurrentPositionMovesToTheEndPoint) {
  Dib dib(16, 12);
  POINT previous{-1, -1};
  EXPECT_TRUE(MoveToEx(dib.dc(), 3, 4, &previous));
  EXPECT_EQ(previous.x, 0);  // a new DC starts at (0, 0)
  EXPECT_EQ(previous.y, 0);
  LineTo(dib.dc(), 9, 7);
  MoveToEx(dib.dc(), 0, 0, &previous);
  EXPECT_EQ(previous.x, 9);
  EXPECT_EQ(previous.y, 7);
  // A polyline of LineTo calls lights every vertex but the last.
  dib.clear(RGB(255, 255, 255));
  MoveToEx(dib.dc(), 1, 1, nullptr);
  LineTo(dib.dc(), 5, 1);
  LineTo(dib.dc(), 5, 5);
  EXPECT_EQ(dib.at(1, 1), RGB(0, 0, 0));
  EXPECT_EQ(dib.at(5, 1), RGB(0, 0, 0));
  EXPECT_EQ(dib.at(5, 5), RGB(255, 255, 255));
}

// Row spans (dy: dx range) of the round end of each pen width.
struct DiscRow {
  int dy, dxLo, dxHi;
};
const std::vector<std::vector<DiscRow>> kDiscs = {
    /* 2 */ {{-1, -1, 0}, {0, -1, 0}},
    /* 3 */ {{-1, 0, 0}, {0, -1, 1}, {1, 0, 0}},
    /* 4 */ {{-2, -1, 0}, {-1, -2, 1}, {0, -2, 1}, {1, -1, 0}},
    /* 5 */ {{-2, -1, 1}, {-1, -2, 2}, {0, -2, 2}, {1, -2, 2}, {2, -1, 1}},
    /* 6 */ {{-3, -1, 0}, {-2, -2, 1}, {-1, -3, 2}, {0, -3, 2}, {1, -2, 1}, {2, -1, 0}},
};

gdi::detail::Target targetOf(const Dib& dib) {
  PixelView v;
  EXPECT_TRUE(GetDCPixels(dib.dc(), &v));
  gdi::detail::Target t;
  t.top = v.top;
  t.stride = v.stride;
  t.format = v.format;
  t.kernels = &gdi::detail::pixelKernels(v.format, gdi::activeSimdLevel());
  t.clip = {0, 0, v.width, v.height};
  return t;
}

TEST(WidePen, RoundEndsHaveTheRowsOfEachWidth) {
  for (int w = 2; w <= 6; ++w) {
    PixelSet got, want;
    for (int dy = -(w / 2 + 1); dy <= w / 2 + 1; ++dy) {
      const gdi::detail::DiscRow r = gdi::detail::roundEndRow(w, dy);
      for (std::int64_t dx = r.lo; dx <= r.hi; ++dx) got.insert({7 + static_cast<int>(dx), 6 + dy});
    }
    for (const DiscRow& r : kDiscs[static_cast<std::size_t>(w - 2)])
      for (int dx = r.dxLo; dx <= r.dxHi; ++dx) want.insert({7 + dx, 6 + r.dy});
    EXPECT_EQ(got, want) << "width " << w << "\n" << describe(got, 16, 12);
  }
}

TEST(WidePen, AxisAlignedBodiesCoverTheirWidth) {
  Dib dib(24, 20);
  for (int w = 2; w <= 6; ++w) {
    for (bool horizontal : {true, false}) {
      for (bool reversed : {false, true}) {
        dib.clear(RGB(255, 255, 255));
        PenBrush pb(dib.dc(), w, RGB(0, 0, 0), RGB(0, 0, 0));
        int x0 = 3, y0 = 10, x1 = 20, y1 = 10;
        if (!horizontal) std::swap(x0, y0), std::swap(x1, y1), x0 = 10, x1 = 10, y0 = 3, y1 = 17;
        if (reversed) std::swap(x0, x1), std::swap(y0, y1);
        MoveToEx(dib.dc(), x0, y0, nullptr);
        LineTo(dib.dc(), x1, y1);
        // Across the middle of the segment: exactly [c - w/2, c - w/2 + w).
        for (int k = 0; k < 20; ++k) {
          const bool inked = horizontal ? dib.at(11, k) != RGB(255, 255, 255) : dib.at(k, 10) != RGB(255, 255, 255);
          const bool want = k >= 10 - w / 2 && k < 10 - w / 2 + w;
          EXPECT_EQ(inked, want) << "width " << w << (horizontal ? " horizontal" : " vertical") << " at " << k
                                 << "\n" << dib.picture();
        }
        // Both end points are covered by the round ends.
        EXPECT_NE(dib.at(x0, y0), RGB(255, 255, 255));
        EXPECT_NE(dib.at(x1, y1), RGB(255, 255, 255));
      }
    }
  }
}

TEST(WidePen, DiagonalSegmentsAreSolidAndSymmetric) {
  // A wide diagonal drawn either way lights the same pixels, with no holes
  // along its centre line.
  Dib dib(24, 24);
  for (int w = 2; w <= 6; ++w) {
    dib.clear(RGB(255, 255, 255));
    {
      PenBrush pb(dib.dc(), w, RGB(0, 0, 0), RGB(0, 0, 0));
      MoveToEx(dib.dc(), 3, 4, nullptr);
      LineTo(dib.dc(), 19, 15);
    }
    const PixelSet forward = dib.inked();
    dib.clear(RGB(255, 255, 255));
    {
      PenBrush pb(dib.dc(), w, RGB(0, 0, 0), RGB(0, 0, 0));
      MoveToEx(dib.dc(), 19, 15, nullptr);
      LineTo(dib.dc(), 3, 4);
    }
    EXPECT_EQ(dib.inked(), forward) << "width " << w;
    for (int x = 3; x <= 19; ++x) {
      const int y = 4 + (x - 3) * 11 / 16;
      EXPECT_TRUE(forward.count({x, y})) << "hole at " << x << "," << y << " width " << w << "\n" << dib.picture();
    }
  }
}

TEST(WidePen, HugeWidthsAndCoordinatesStayInside) {
  Dib dib(16, 12);
  for (int w : {2, 7, 1000, INT_MAX, INT_MIN}) {
    PenBrush pb(dib.dc(), w, RGB(0, 0, 255), RGB(0, 0, 0));
    MoveToEx(dib.dc(), INT_MIN, INT_MIN, nullptr);
    LineTo(dib.dc(), INT_MAX, INT_MAX);
    LineTo(dib.dc(), INT_MIN, 5);
    LineTo(dib.dc(), 8, 6);
  }
  // A pen wider than the surface across its middle covers all of it.
  EXPECT_EQ(dib.inked().size(), 16u * 12u);
}

// A path with a wide pen paints each joint's round end once; that must light
// exactly the pixels of its segments drawn one by one with both ends, also
// where segments have zero length, miss the clip or end outside it.
TEST(WidePen, PathsLightThePixelsOfTheirSegmentsDrawnAlone) {
  std::uint32_t seed = 12345;
  auto next = [&seed](int lo, int hi) {
    seed = seed * 1664525u + 1013904223u;
    return lo + static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(hi - lo + 1));
  };
  for (int bits : {24, 32}) {
    Dib path(40, 30, bits), alone(40, 30, bits);
    for (int round = 0; round < 300; ++round) {
      path.clear(RGB(255, 255, 255));
      alone.clear(RGB(255, 255, 255));
      gdi::detail::Target tp = targetOf(path), ta = targetOf(alone);
      // A clip inside the surface, sometimes the whole of it.
      const gdi::detail::ClipRect clip{next(0, 8), next(0, 8), next(32, 40), next(22, 30)};
      tp.clip = ta.clip = clip;
      const int w = next(2, 12);
      std::vector<gdi::detail::DevPoint> pts;
      const int count = next(2, 8);
      for (int i = 0; i < count; ++i) {
        if (i > 0 && next(0, 4) == 0)
          pts.push_back(pts.back());  // a zero-length segment
        else
          pts.push_back({next(-20, 60), next(-20, 50)});
      }
      const gdi::detail::SpanPainter pp(tp, 0), pa(ta, 0);
      gdi::detail::WidePath wide(pp, w, pts[0]);
      for (std::size_t i = 1; i < pts.size(); ++i) {
        wide.lineTo(pts[i]);
        gdi::detail::wideLine(pa, w, pts[i - 1], pts[i]);
      }
      ASSERT_EQ(path.inked(), alone.inked()) << "round " << round << ", width " << w << "\npath:\n"
                                            << path.picture() << "segments:\n" << alone.picture();
    }
  }
}

}  // namespace
}  // namespace gditest
