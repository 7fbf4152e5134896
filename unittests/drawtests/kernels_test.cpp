// The eight kernels on small surfaces: their calls and random draws, the
// conversion rules, determinism, and the cases their descriptions call out.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "drawtests/support.h"
#include "platform/forms/forms.h"
#include "platform/gdi/engine.h"
#include "tests/draws.h"
#include "tests/kernels.h"

namespace {

using namespace gdi;
using drawtest::Dib;
using drawtest::WindowSurface;
using drawtests::kPalette;

// The first `n` values of the sequence after re-seeding with -5.
std::vector<float> sequence(std::size_t n) {
  forms::Randomize(-5);
  std::vector<float> v(n);
  for (float& r : v) r = forms::Rnd();
  return v;
}

std::int32_t roundEven(double v) { return static_cast<std::int32_t>(std::nearbyint(v)); }

TEST(DrawConversions, RoundingRangesAndPalette) {
  constexpr float kLargest = 1.0f - 1.0f / 16777216.0f;  // the largest value below 1
  struct Case {
    const char* what;
    std::int32_t got, expected;
  } cases[] = {
      {"a coordinate reaches the extent", drawtests::coordinateOf(kLargest, 64), 64},
      {"a coordinate of exactly .5 rounds to even 0", drawtests::coordinateOf(0.5f / 64, 64), 0},
      {"a coordinate of exactly 1.5 rounds to even 2", drawtests::coordinateOf(1.5f / 64, 64), 2},
      {"the largest draw gives palette entry 14", drawtests::paletteIndexOf(kLargest), 14},
      {"the smallest draw gives palette entry 0", drawtests::paletteIndexOf(0.0f), 0},
      {"a brush draw of 0.5 gives the solid brush", drawtests::scaled(0.5f, 1.0), 0},
      {"a line width of 3.5 rounds to 4", drawtests::scaled(0.5f, 5.0, 1.0), 4},
      {"a curve width of 2.5 rounds to 2", drawtests::scaled(0.5f, 5.0), 2},
      // The single-precision 0.1 lies just above 0.1: in double precision the
      // product is above 0.5 and rounds up; a product formed in single
      // precision would be exactly 0.5 and round to 0.
      {"products are formed in double precision", drawtests::scaled(0.1f, 5.0), 1},
      {"vertex counts stop at 13", drawtests::scaled(kLargest, 10.0, 3.0), 13},
      {"a character code stops at 86", drawtests::scaled(kLargest, 22.0, 64.0), 86},
      {"20 is subtracted after the multiplication", drawtests::scaled(0.5f, 41.0, -20.0), 0},
      {"a source block of 10.5 rounds to 10", drawtests::scaled(0.5f / 490, 490.0, 10.0), 10},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;

  // Control points: the 32-bit sum is halved in double precision, so the
  // half keeps its .5, and only the result is rounded.
  struct Control {
    std::int32_t a, b;
    double offset;
    bool fits;
    std::int32_t expected;
  } controls[] = {
      {3, 4, 0.0, true, 4},          // 3.5 rounds to even 4
      {3, 4, -0.25, true, 3},        // 3.25
      {1, 0, 0.0, true, 0},          // the first curve: half of p1 alone, 0.5 to even 0
      {5, 0, -0.5, true, 2},         // 2.0
      {-7, 2, 100.0 * 0.5, true, 48},  // -2.5 + 50 = 47.5, to even 48
      {INT_MAX, 1, 0.0, false, 77},  // the sum overflows: the point keeps its value
  };
  for (const Control& c : controls) {
    std::int32_t out = 77;
    EXPECT_EQ(drawtests::controlCoordinate(c.a, c.b, c.offset, &out), c.fits) << c.a << " + " << c.b;
    EXPECT_EQ(out, c.expected) << c.a << " + " << c.b << " offset " << c.offset;
  }

  // The palette as the tests know it: spot checks against the colour table.
  EXPECT_EQ(kPalette[1], RGB(0, 0, 128));
  EXPECT_EQ(kPalette[6], RGB(128, 128, 0));
  EXPECT_EQ(kPalette[7], RGB(192, 192, 192));
  EXPECT_EQ(kPalette[8], RGB(128, 128, 128));
  EXPECT_EQ(kPalette[9], RGB(0, 0, 255));
  EXPECT_EQ(kPalette[14], RGB(255, 255, 0));
  EXPECT_EQ(kPalette[15], RGB(255, 255, 255));
}

// ---- calls and draws -----------------------------------------------------------

using RunKernel = void (*)(HDC dc, std::int32_t W, std::int32_t H, HDC source, std::int32_t iterations);

struct Expected {
  CallCounts calls{};
  std::uint64_t draws = 0;
  void add(Fn f, std::uint64_t n) { calls[static_cast<std::size_t>(f)] += n; }
};

struct KernelCase {
  const char* name;
  RunKernel run;
  std::int32_t iterations;       // the test's own count
  std::int32_t quickIterations;  // enough to show a difference between runs
  // What a run of `n` iterations must call and draw; it may replay the
  // sequence (after the kernel has run) for the choices the draws make.
  Expected (*expect)(std::int32_t n);
};

const KernelCase kKernels[] = {
    {"Line", [](HDC dc, std::int32_t W, std::int32_t H, HDC, std::int32_t n) { drawtests::LineKernel(dc, W, H, n); },
     150000, 3001,
     [](std::int32_t n) {
       Expected e;
       e.add(Fn::MoveToEx, 1);
       e.add(Fn::CreatePen, n);
       e.add(Fn::SelectObject, 2ull * n);
       e.add(Fn::LineTo, n);
       e.add(Fn::DeleteObject, n);
       e.draws = 2 + 4ull * n;
       return e;
     }},
    {"Text", [](HDC dc, std::int32_t W, std::int32_t H, HDC, std::int32_t n) { drawtests::TextKernel(dc, W, H, n); },
     100, 7,
     [](std::int32_t sizes) {
       Expected e;
       e.add(Fn::GetTextMetricsA, sizes);
       e.add(Fn::CreateFontIndirectA, sizes);
       e.add(Fn::SelectObject, 2ull * sizes);
       e.add(Fn::SetTextColor, 1000ull * sizes);
       e.add(Fn::TextOutA, 1000ull * sizes);
       e.add(Fn::DeleteObject, sizes);
       e.draws = 4000ull * sizes;
       return e;
     }},
    {"Spline", [](HDC dc, std::int32_t W, std::int32_t H, HDC, std::int32_t n) { drawtests::SplineKernel(dc, W, H, n); },
     100000, 3001,
     [](std::int32_t n) {
       Expected e;
       e.add(Fn::CreatePen, n);
       e.add(Fn::SelectObject, 2ull * n);
       e.add(Fn::PolyBezier, n);
       e.add(Fn::DeleteObject, n);
       e.draws = 10ull * n;
       return e;
     }},
    {"Polygon", [](HDC dc, std::int32_t W, std::int32_t H, HDC, std::int32_t n) { drawtests::PolygonKernel(dc, W, H, n); },
     5000, 501,
     [](std::int32_t n) {
       Expected e;
       forms::Randomize(-5);
       std::uint64_t solid = 0;
       for (std::int32_t i = 0; i < n; ++i) {
         forms::Rnd();  // colour
         if (roundEven(forms::Rnd()) == 0) ++solid;
         const std::int32_t vertices = roundEven(static_cast<double>(forms::Rnd()) * 10 + 3);
         EXPECT_GE(vertices, 3);
         EXPECT_LE(vertices, 13);
         for (std::int32_t j = 0; j < 2 * vertices; ++j) forms::Rnd();
         e.draws += 3 + 2ull * static_cast<std::uint64_t>(vertices);
       }
       e.add(Fn::CreatePen, n);
       e.add(Fn::CreateSolidBrush, solid);
       e.add(Fn::GetStockObject, n - solid);
       e.add(Fn::SelectObject, 4ull * n);
       e.add(Fn::Polygon, n);
       e.add(Fn::DeleteObject, 2ull * n);
       return e;
     }},
    {"Rectangle",
     [](HDC dc, std::int32_t W, std::int32_t H, HDC, std::int32_t n) { drawtests::RectangleKernel(dc, W, H, n); },
     200000, 3001,
     [](std::int32_t n) {
       Expected e;
       e.add(Fn::CreatePen, n);
       e.add(Fn::CreateSolidBrush, n);
       e.add(Fn::SelectObject, 4ull * n);
       e.add(Fn::Rectangle, n);
       e.add(Fn::DeleteObject, 2ull * n);
       e.draws = 5ull * n;
       return e;
     }},
    {"Ellipse", [](HDC dc, std::int32_t W, std::int32_t H, HDC, std::int32_t n) { drawtests::EllipseKernel(dc, W, H, n); },
     10000, 1001,
     [](std::int32_t n) {
       Expected e;
       const std::vector<float> v = sequence(10ull * n);
       std::uint64_t solid = 0;
       for (std::int32_t i = 0; i < n; ++i) solid += roundEven(v[10ull * i + 1]) == 0;
       e.add(Fn::CreatePen, n);
       e.add(Fn::CreateSolidBrush, solid);
       e.add(Fn::GetStockObject, n - solid);
       e.add(Fn::SelectObject, 4ull * n);
       e.add(Fn::Ellipse, n);
       e.add(Fn::Arc, n);
       e.add(Fn::DeleteObject, 2ull * n);
       e.draws = 10ull * n;
       return e;
     }},
    {"Blitting",
     [](HDC dc, std::int32_t W, std::int32_t H, HDC src, std::int32_t n) { drawtests::BlitKernel(dc, W, H, src, n); },
     50000, 1001,
     [](std::int32_t n) {
       Expected e;
       e.add(Fn::BitBlt, n);
       e.draws = 4ull * n;
       return e;
     }},
    {"Stretching",
     [](HDC dc, std::int32_t W, std::int32_t H, HDC src, std::int32_t n) { drawtests::StretchKernel(dc, W, H, src, n); },
     3000, 301,
     [](std::int32_t n) {
       Expected e;
       e.add(Fn::StretchBlt, 3ull * n);
       e.draws = 6ull * n;
       return e;
     }},
};

class SourcePicture {
 public:
  SourcePicture() : dib_(drawtests::kSourcePictureSize, drawtests::kSourcePictureSize) {
    drawtest::paintSourcePattern(dib_, drawtests::kSourcePictureSize, drawtests::kSourcePictureSize);
  }
  HDC dc() const { return dib_.dc(); }

 private:
  Dib dib_;
};

TEST(KernelCounts, EachKernelMakesItsCallsAndDrawsAndLeavesTheDcAsItFoundIt) {
  const SourcePicture source;
  for (const KernelCase& k : kKernels) {
    SCOPED_TRACE(k.name);
    Dib surface(64, 48);
    // Objects of the DC's own, which every kernel must select back.
    const HPEN pen = CreatePen(PS_SOLID, 3, RGB(1, 2, 3));
    const HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    LOGFONTA lf{};
    lf.lfHeight = 12;
    std::strcpy(lf.lfFaceName, "Arial");
    const HFONT font = CreateFontIndirectA(&lf);
    const HGDIOBJ oldPen = SelectObject(surface.dc(), pen);
    const HGDIOBJ oldBrush = SelectObject(surface.dc(), brush);
    const HGDIOBJ oldFont = SelectObject(surface.dc(), font);
    const std::size_t handles = liveHandleCount();

    forms::Randomize(-5);
    const CallCounts before = callCounts();
    const std::uint64_t draws = forms::rndDrawCount();
    k.run(surface.dc(), 64, 48, source.dc(), k.iterations);
    const CallCounts after = callCounts();
    const std::uint64_t drawn = forms::rndDrawCount() - draws;
    // Nothing created in an iteration survives it.
    EXPECT_EQ(liveHandleCount(), handles);

    const Expected e = k.expect(k.iterations);
    for (std::size_t f = 0; f < kFnCount; ++f)
      EXPECT_EQ(after[f] - before[f], e.calls[f]) << fnName(static_cast<Fn>(f));
    EXPECT_EQ(drawn, e.draws);

    EXPECT_EQ(SelectObject(surface.dc(), oldPen), pen);
    EXPECT_EQ(SelectObject(surface.dc(), oldBrush), brush);
    EXPECT_EQ(SelectObject(surface.dc(), oldFont), font);
    DeleteObject(pen);
    DeleteObject(brush);
    DeleteObject(font);
  }
}

TEST(KernelDeterminism, TheSameSeedDrawsTheSamePixelsOnBothKindsOfSurface) {
  const SourcePicture source;
  for (const KernelCase& k : kKernels) {
    SCOPED_TRACE(k.name);
    auto onDib = [&](int seed) {
      Dib surface(64, 48);
      forms::Randomize(seed);
      k.run(surface.dc(), 64, 48, source.dc(), k.quickIterations);
      return surface.hash();
    };
    auto onWindow = [&](int seed) {
      WindowSurface surface(64, 48);
      forms::Randomize(seed);
      k.run(surface.dc(), 64, 48, source.dc(), k.quickIterations);
      return surface.hash();
    };
    // A second run draws what the first drew: no state of a run (a curve's
    // control point, the raster-operation cycle) carries into the next.
    const std::uint64_t first = onDib(-5);
    EXPECT_EQ(onDib(-5), first);
    EXPECT_EQ(onWindow(-5), onWindow(-5));
    // The hash does see the drawing.
    EXPECT_NE(onDib(-6), first);
    EXPECT_NE(first, Dib(64, 48).hash());
  }
}

TEST(KernelExtents, EmptyAndOnePixelExtentsDrawWithoutLeaks) {
  const SourcePicture source;
  for (const KernelCase& k : kKernels) {
    SCOPED_TRACE(k.name);
    for (const std::int32_t extent : {0, 1}) {
      Dib surface(1, 1);
      const std::size_t handles = liveHandleCount();
      forms::Randomize(-5);
      const std::uint64_t draws = forms::rndDrawCount();
      k.run(surface.dc(), extent, extent, source.dc(), k.quickIterations);
      const std::uint64_t drawn = forms::rndDrawCount() - draws;
      EXPECT_EQ(drawn, k.expect(k.quickIterations).draws) << extent;
      EXPECT_EQ(liveHandleCount(), handles) << extent;
    }
  }
}

// ---- single kernels --------------------------------------------------------------

TEST(LineKernel, ThePolylineStartsAtTheFirstTwoDrawsAndEndsAtTheLastPoint) {
  constexpr std::int32_t W = 64, H = 48;
  for (const std::int32_t segments : {0, 1, 5}) {
    Dib surface(W, H);
    forms::Randomize(-5);
    drawtests::LineKernel(surface.dc(), W, H, segments);
    POINT position{-1, -1};
    MoveToEx(surface.dc(), 0, 0, &position);
    // x0, y0, then colour, width, x, y for every segment.
    const std::vector<float> v = sequence(2 + 4ull * segments);
    const std::size_t last = segments == 0 ? 0 : 2 + 4ull * (segments - 1) + 2;
    EXPECT_EQ(position.x, roundEven(static_cast<double>(v[last]) * W)) << segments;
    EXPECT_EQ(position.y, roundEven(static_cast<double>(v[last + 1]) * H)) << segments;
  }
}

TEST(TextKernel, TheFontDescriptionIsFilledFieldByField) {
  LOGFONTA font;
  std::memset(&font, 0xAB, sizeof font);
  font.lfWeight = 0;  // as in the zero-filled record of a run
  TEXTMETRICA metrics{};
  metrics.tmPitchAndFamily = 0x22;
  metrics.tmCharSet = 0xEE;
  drawtests::FillFontDescription(font, 57, metrics);
  EXPECT_EQ(font.lfHeight, 57);
  EXPECT_EQ(font.lfWidth, 0);
  EXPECT_EQ(font.lfEscapement, 0);
  EXPECT_EQ(font.lfOrientation, 0);
  EXPECT_EQ(font.lfWeight, FW_DONTCARE);
  EXPECT_EQ(font.lfPitchAndFamily, 0x22);
  EXPECT_EQ(font.lfCharSet, 0xEE);
  EXPECT_EQ(font.lfQuality, PROOF_QUALITY);
  EXPECT_EQ(font.lfItalic, 0);
  EXPECT_EQ(font.lfUnderline, 0);
  EXPECT_EQ(font.lfStrikeOut, 0);
  EXPECT_EQ(font.lfOutPrecision, OUT_CHARACTER_PRECIS);
  EXPECT_EQ(font.lfClipPrecision, CLIP_DEFAULT_PRECIS);
  const std::string face(font.lfFaceName, sizeof font.lfFaceName);
  EXPECT_EQ(face, std::string("Arial") + '\0' + std::string(26, ' '));
}

TEST(TextKernel, CharactersStartUpToTwentyUnitsBeforeTheExtent) {
  // With extents of 30 a character starts at -20 to 10 in x and y. At the
  // first size (cells 8 high, glyphs no wider) nothing can reach column 22
  // or row 20; a position that did not subtract the 20 would reach 38.
  Dib surface(60, 60);
  SetBkMode(surface.dc(), TRANSPARENT);
  forms::Randomize(-5);
  drawtests::TextKernel(surface.dc(), 30, 30, 1);
  int changed = 0, beyond = 0;
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 60; ++x) {
      const std::uint8_t* p = surface.at(x, y);
      if (p[0] == 255 && p[1] == 255 && p[2] == 255) continue;
      ++changed;
      if (x >= 22 || y >= 20) ++beyond;
    }
  }
  EXPECT_GT(changed, 100);
  EXPECT_EQ(beyond, 0);
}

TEST(SplineKernel, CurvesFollowTheDrawsAndCarryTheSecondControlPoint) {
  constexpr std::int32_t W = 64, H = 48, kCurves = 4;
  Dib kernel(W, H), reference(W, H);
  // A run before leaves its last control point behind; the next run starts
  // from zero again. (Later curves forget it: each halves its influence.)
  forms::Randomize(11);
  drawtests::SplineKernel(Dib(W, H).dc(), W, H, 7);
  forms::Randomize(-5);
  drawtests::SplineKernel(kernel.dc(), W, H, kCurves);

  const std::vector<float> v = sequence(10ull * kCurves);
  auto at = [&](std::size_t i) { return static_cast<double>(v[i]); };
  POINT p[4] = {};
  for (std::size_t c = 0; c < kCurves; ++c) {
    const std::size_t b = 10 * c;
    const HPEN pen = CreatePen(PS_SOLID, roundEven(at(b + 1) * 5), kPalette[static_cast<std::size_t>(roundEven(at(b) * 14))]);
    const HGDIOBJ old = SelectObject(reference.dc(), pen);
    p[0] = POINT{roundEven(at(b + 2) * W), roundEven(at(b + 3) * H)};
    p[3] = POINT{roundEven(at(b + 4) * W), roundEven(at(b + 5) * H)};
    p[1].x = roundEven((p[0].x + p[1].x) / 2.0 - at(b + 6) * 100);
    p[1].y = roundEven((p[0].y + p[1].y) / 2.0 - at(b + 7) * 100);
    p[2].x = roundEven((p[0].x + p[1].x) / 2.0 + at(b + 8) * 100);
    p[2].y = roundEven((p[0].y + p[1].y) / 2.0 + at(b + 9) * 100);
    PolyBezier(reference.dc(), p, 4);
    SelectObject(reference.dc(), old);
    DeleteObject(pen);
  }
  EXPECT_EQ(kernel.hash(), reference.hash());
  EXPECT_NE(kernel.hash(), Dib(W, H).hash());
}

// The blocks of a blitting run as the draws give them, applied byte by byte
// to a white surface: OR, copy, exclusive OR, again and again.
std::vector<std::uint8_t> blitReference(std::int32_t W, std::int32_t H, std::int32_t blocks, const Dib& source) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(W) * H * 3, 255);
  const std::vector<float> v = sequence(4ull * blocks);
  for (std::int32_t i = 0; i < blocks; ++i) {
    const std::int32_t w = roundEven(static_cast<double>(v[4ull * i]) * 500);
    const std::int32_t h = roundEven(static_cast<double>(v[4ull * i + 1]) * 500);
    const std::int32_t x = roundEven(static_cast<double>(v[4ull * i + 2]) * (W - w));
    const std::int32_t y = roundEven(static_cast<double>(v[4ull * i + 3]) * (H - h));
    for (std::int32_t sy = 0; sy < h; ++sy) {
      for (std::int32_t sx = 0; sx < w; ++sx) {
        const std::int32_t dx = x + sx, dy = y + sy;
        if (dx < 0 || dy < 0 || dx >= W || dy >= H) continue;
        std::uint8_t* d = &out[(static_cast<std::size_t>(dy) * W + dx) * 3];
        const std::uint8_t* s = source.at(sx, sy);
        for (int c = 0; c < 3; ++c) {
          switch (i % 3) {
            case 0: d[c] = static_cast<std::uint8_t>(d[c] | s[c]); break;
            case 1: d[c] = s[c]; break;
            default: d[c] = static_cast<std::uint8_t>(d[c] ^ s[c]); break;
          }
        }
      }
    }
  }
  return out;
}

TEST(BlitKernel, TheOperationCycleStartsWithOrThenCopyThenExclusiveOr) {
  Dib source(500, 500);
  drawtest::paintSourcePattern(source, 500, 500);
  // 64 x 48 is narrower and lower than nearly every block, so W - w is
  // negative and blocks start left of or above the surface; 700 x 60 is
  // wider than any block.
  const struct {
    std::int32_t W, H;
  } surfaces[] = {{64, 48}, {700, 60}};
  for (const auto& s : surfaces) {
    for (const std::int32_t blocks : {1, 2, 3, 7}) {
      SCOPED_TRACE(testing::Message() << s.W << "x" << s.H << ", " << blocks << " blocks");
      Dib surface(s.W, s.H);
      forms::Randomize(-5);
      drawtests::BlitKernel(surface.dc(), s.W, s.H, source.dc(), blocks);
      const std::vector<std::uint8_t> expected = blitReference(s.W, s.H, blocks, source);
      std::size_t wrong = 0;
      for (std::int32_t y = 0; y < s.H; ++y)
        wrong += std::memcmp(surface.at(0, y), &expected[static_cast<std::size_t>(y) * s.W * 3], static_cast<std::size_t>(s.W) * 3) != 0;
      EXPECT_EQ(wrong, 0u) << "rows that differ";
      if (blocks == 1) {
        // An OR block over the white buffer leaves it white.
        EXPECT_EQ(surface.hash(), Dib(s.W, s.H).hash());
      }
    }
  }
}

TEST(StretchKernel, EveryIterationEndsAsOneCopyOfTheStretchedBlock) {
  Dib source(500, 500);
  drawtest::paintSourcePattern(source, 500, 500);
  const struct {
    std::int32_t W, H;
  } surfaces[] = {{64, 48}, {300, 200}};
  // On the narrow surface most destinations lie left of it (dx is at most
  // -10 there); 40 iterations put some on it.
  constexpr std::int32_t kIterations = 40;
  for (const auto& s : surfaces) {
    SCOPED_TRACE(testing::Message() << s.W << "x" << s.H);
    Dib kernel(s.W, s.H, RGB(10, 20, 30)), reference(s.W, s.H, RGB(10, 20, 30));
    forms::Randomize(-5);
    drawtests::StretchKernel(kernel.dc(), s.W, s.H, source.dc(), kIterations);
    const std::vector<float> v = sequence(6ull * kIterations);
    auto at = [&](std::size_t i) { return static_cast<double>(v[i]); };
    for (std::size_t i = 0; i < kIterations; ++i) {
      const std::size_t b = 6 * i;
      const std::int32_t sw = roundEven(at(b) * 490 + 10), sh = roundEven(at(b + 1) * 490 + 10);
      StretchBlt(reference.dc(), roundEven(at(b + 2) * (s.W - sw) - 10), roundEven(at(b + 3) * (s.H - sh) - 10),
                 roundEven(at(b + 4) * (s.W - 10) + 10), roundEven(at(b + 5) * (s.H - 10) + 10), source.dc(), 0, 0,
                 sw, sh, SRCCOPY);
    }
    EXPECT_EQ(kernel.hash(), reference.hash());
    EXPECT_NE(kernel.hash(), Dib(s.W, s.H, RGB(10, 20, 30)).hash());
  }
}

}  // namespace
