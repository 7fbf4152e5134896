// Benchmarks of the raster engine, one per primitive family, on the two kinds
// of surface the product draws on: a 1024x768 24-bit DIB section (the test
// buffer of the buffered mode) and a view DC over a 1024x768 32-bit buffer (a
// window surface, as in direct mode). memset and memcpy of the same buffers
// give the physical reference the fill and copy rates are read against.
//
// Every benchmark draws the way the benchmark's own tests do: random
// arguments from a fixed generator, and the objects created, selected,
// deselected and deleted around each call. The generator is seeded afresh at
// the start of every run, so two runs draw exactly the same calls.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/scoped.h"
#include "surfaces.h"

namespace {

using namespace gdi;

using namespace bench;

// 32-bit xorshift; a value is the top 24 bits over 2^24, in [0, 1).
class Rng {
 public:
  double operator()() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return static_cast<double>(s_ >> 8) * (1.0 / 16777216.0);
  }

 private:
  std::uint32_t s_ = 2463534242u;
};

// Rounded to the nearest integer, ties to even, as the tests round.
int rnd(double v) { return static_cast<int>(std::nearbyint(v)); }
int coord(Rng& g, int extent) { return rnd(g() * extent); }

COLORREF colour(Rng& g) {
  static constexpr COLORREF kPalette[16] = {
      RGB(0, 0, 0),       RGB(0, 0, 128),     RGB(0, 128, 0),   RGB(0, 128, 128),
      RGB(128, 0, 0),     RGB(128, 0, 128),   RGB(128, 128, 0), RGB(192, 192, 192),
      RGB(128, 128, 128), RGB(0, 0, 255),     RGB(0, 255, 0),   RGB(0, 255, 255),
      RGB(255, 0, 0),     RGB(255, 0, 255),   RGB(255, 255, 0), RGB(255, 255, 255)};
  return kPalette[rnd(g() * 14)];
}

int bytesPerPixelOf(Kind k) { return k == Kind::Dib24 ? 3 : 4; }

HDC prepare(Kind k) {
  Surfaces::get().clear(k);
  return Surfaces::get().dc(k);
}

void setPixelRate(benchmark::State& state, Kind k, double pixels) {
  state.counters["pixels"] = benchmark::Counter(pixels, benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<std::int64_t>(pixels * bytesPerPixelOf(k)));
}

// ---- lines -------------------------------------------------------------------

// width 0: the line test's mix of widths 1 to 6; otherwise that width.
void BM_Line(benchmark::State& state, Kind k) {
  const int fixedWidth = static_cast<int>(state.range(0));
  const HDC dc = prepare(k);
  Rng g;
  int cx = coord(g, kWidth), cy = coord(g, kHeight);
  MoveToEx(dc, cx, cy, nullptr);
  double pixels = 0;
  for (auto _ : state) {
    const COLORREF c = colour(g);
    const int width = fixedWidth == 0 ? rnd(g() * 5 + 1) : fixedWidth;
    const int x = coord(g, kWidth), y = coord(g, kHeight);
    const HPEN pen = CreatePen(PS_SOLID, width, c);
    const HGDIOBJ old = SelectObject(dc, pen);
    LineTo(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(pen);
    // The pixels of the body; the end caps of a wide pen are not counted.
    pixels += static_cast<double>(std::max(std::abs(x - cx), std::abs(y - cy))) * width;
    cx = x;
    cy = y;
  }
  state.SetItemsProcessed(state.iterations());
  setPixelRate(state, k, pixels);
}

// ---- rectangles ----------------------------------------------------------------

void BM_Rectangle(benchmark::State& state, Kind k) {
  const HDC dc = prepare(k);
  Rng g;
  double pixels = 0;
  for (auto _ : state) {
    const COLORREF c = colour(g);
    const int x1 = coord(g, kWidth), y1 = coord(g, kHeight);
    const int x2 = coord(g, kWidth), y2 = coord(g, kHeight);
    {
      // Created, selected, deselected and deleted around the one call.
      ScopedPenBrush objects(dc, 1, c, c);
      Rectangle(dc, x1, y1, x2, y2);
    }
    pixels += static_cast<double>(std::abs(x2 - x1)) * std::abs(y2 - y1);
  }
  state.SetItemsProcessed(state.iterations());
  setPixelRate(state, k, pixels);
}

// The whole surface with one Rectangle: its byte rate compares directly to
// memset of the same buffer.
void BM_RectangleFull(benchmark::State& state, Kind k) {
  const HDC dc = prepare(k);
  const HPEN pen = CreatePen(PS_SOLID, 1, RGB(10, 20, 30));
  const HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
  const HGDIOBJ oldPen = SelectObject(dc, pen);
  const HGDIOBJ oldBrush = SelectObject(dc, brush);
  for (auto _ : state) {
    Rectangle(dc, 0, 0, kWidth, kHeight);
    benchmark::ClobberMemory();
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(pen);
  DeleteObject(brush);
  state.SetItemsProcessed(state.iterations());
  setPixelRate(state, k, static_cast<double>(state.iterations()) * kWidth * kHeight);
}

// ---- polygons ------------------------------------------------------------------

void BM_Polygon(benchmark::State& state, Kind k) {
  const HDC dc = prepare(k);
  Rng g;
  POINT pts[13];
  for (auto _ : state) {
    const COLORREF c = colour(g);
    const int n = rnd(g() * 10 + 3);
    for (int i = 0; i < n; ++i) pts[i] = POINT{coord(g, kWidth), coord(g, kHeight)};
    const HPEN pen = CreatePen(PS_SOLID, 1, c);
    const HBRUSH brush = CreateSolidBrush(c);
    const HGDIOBJ oldPen = SelectObject(dc, pen);
    const HGDIOBJ oldBrush = SelectObject(dc, brush);
    Polygon(dc, pts, n);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
  }
  state.SetItemsProcessed(state.iterations());
}

// ---- ellipses and arcs ---------------------------------------------------------

void BM_Ellipse(benchmark::State& state, Kind k) {
  const HDC dc = prepare(k);
  Rng g;
  double pixels = 0;
  for (auto _ : state) {
    const COLORREF c = colour(g);
    const int x1 = coord(g, kWidth), y1 = coord(g, kHeight);
    const int x2 = coord(g, kWidth), y2 = coord(g, kHeight);
    {
      // Created, selected, deselected and deleted around the one call.
      ScopedPenBrush objects(dc, 1, c, c);
      Ellipse(dc, x1, y1, x2, y2);
    }
    pixels += 0.7853981633974483 * std::abs(x2 - x1) * std::abs(y2 - y1);
  }
  state.SetItemsProcessed(state.iterations());
  setPixelRate(state, k, pixels);
}

void BM_Arc(benchmark::State& state, Kind k) {
  const HDC dc = prepare(k);
  Rng g;
  for (auto _ : state) {
    const COLORREF c = colour(g);
    const int x1 = coord(g, kWidth), y1 = coord(g, kHeight);
    const int x2 = coord(g, kWidth), y2 = coord(g, kHeight);
    const int x3 = coord(g, kWidth), y3 = coord(g, kHeight);
    const int x4 = coord(g, kWidth), y4 = coord(g, kHeight);
    const HPEN pen = CreatePen(PS_SOLID, 1, c);
    const HGDIOBJ oldPen = SelectObject(dc, pen);
    Arc(dc, x1, y1, x2, y2, x3, y3, x4, y4);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
  }
  state.SetItemsProcessed(state.iterations());
}

// ---- Bezier curves -------------------------------------------------------------

// The spline test's curves: random ends, control points up to 100 pixels off
// the middle, pen widths 0 to 5.
void BM_PolyBezier(benchmark::State& state, Kind k) {
  const HDC dc = prepare(k);
  Rng g;
  POINT p[4] = {};
  for (auto _ : state) {
    const COLORREF c = colour(g);
    const int width = rnd(g() * 5);
    p[0] = POINT{coord(g, kWidth), coord(g, kHeight)};
    p[3] = POINT{coord(g, kWidth), coord(g, kHeight)};
    p[1].x = rnd((p[0].x + p[1].x) / 2.0 - g() * 100);
    p[1].y = rnd((p[0].y + p[1].y) / 2.0 - g() * 100);
    p[2].x = rnd((p[0].x + p[1].x) / 2.0 + g() * 100);
    p[2].y = rnd((p[0].y + p[1].y) / 2.0 + g() * 100);
    const HPEN pen = CreatePen(PS_SOLID, width, c);
    const HGDIOBJ oldPen = SelectObject(dc, pen);
    PolyBezier(dc, p, 4);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
  }
  state.SetItemsProcessed(state.iterations());
}

// ---- text ----------------------------------------------------------------------

HFONT createCellFont(int cellHeight) {
  // As the text test fills it: a positive height (the cell height), proof
  // quality, character precision, "Arial" padded with blanks after its zero.
  LOGFONTA lf{};
  lf.lfHeight = cellHeight;
  lf.lfQuality = PROOF_QUALITY;
  lf.lfOutPrecision = OUT_CHARACTER_PRECIS;
  std::memset(lf.lfFaceName, ' ', sizeof(lf.lfFaceName));
  std::memcpy(lf.lfFaceName, "Arial", 6);
  return CreateFontIndirectA(&lf);
}

// size 0: the text test's cycle of cell heights 8 to 107, a new font every
// 1000 characters; otherwise one font of that cell height.
void BM_Text(benchmark::State& state, Kind k) {
  const int fixedSize = static_cast<int>(state.range(0));
  const HDC dc = prepare(k);
  SetBkMode(dc, TRANSPARENT);
  Rng g;
  int size = fixedSize == 0 ? 8 : fixedSize;
  HFONT font = createCellFont(size);
  HGDIOBJ previous = SelectObject(dc, font);
  int drawn = 0;
  for (auto _ : state) {
    if (fixedSize == 0 && drawn == 1000) {
      SelectObject(dc, previous);
      DeleteObject(font);
      size = size == 107 ? 8 : size + 1;
      font = createCellFont(size);
      previous = SelectObject(dc, font);
      drawn = 0;
    }
    const COLORREF c = colour(g);
    const char ch = static_cast<char>(rnd(g() * 22 + 64));
    const int x = rnd(g() * kWidth - 20);
    const int y = rnd(g() * kHeight - 20);
    SetTextColor(dc, c);
    TextOutA(dc, x, y, &ch, 1);
    ++drawn;
  }
  SelectObject(dc, previous);
  DeleteObject(font);
  SetBkMode(dc, OPAQUE);
  state.SetItemsProcessed(state.iterations());
}

// ---- block transfers -----------------------------------------------------------

// Blocks of random size up to 500x500 from the 500x500 32-bit source.
void BM_BitBlt(benchmark::State& state, Kind k, DWORD rop) {
  const HDC dc = prepare(k);
  const HDC src = Surfaces::get().source();
  Rng g;
  double pixels = 0;
  for (auto _ : state) {
    const int w = rnd(g() * kSourceSize);
    const int h = rnd(g() * kSourceSize);
    const int x = rnd(g() * (kWidth - w));
    const int y = rnd(g() * (kHeight - h));
    BitBlt(dc, x, y, w, h, src, 0, 0, rop);
    pixels += static_cast<double>(w) * h;
  }
  state.SetItemsProcessed(state.iterations());
  setPixelRate(state, k, pixels);
}

// The whole source, copied: a clean row rate against memcpy.
void BM_BitBltFullSource(benchmark::State& state, Kind k) {
  const HDC dc = prepare(k);
  const HDC src = Surfaces::get().source();
  for (auto _ : state) {
    BitBlt(dc, 100, 100, kSourceSize, kSourceSize, src, 0, 0, SRCCOPY);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  setPixelRate(state, k, static_cast<double>(state.iterations()) * kSourceSize * kSourceSize);
}

// The stretch test's transfers: sources of 10 to 500 pixels a side, random
// destination sizes up to the surface, with the default stretch mode.
void BM_StretchBlt(benchmark::State& state, Kind k) {
  const HDC dc = prepare(k);
  const HDC src = Surfaces::get().source();
  Rng g;
  double pixels = 0;
  for (auto _ : state) {
    const int sw = rnd(g() * 490 + 10);
    const int sh = rnd(g() * 490 + 10);
    const int dx = rnd(g() * (kWidth - sw) - 10);
    const int dy = rnd(g() * (kHeight - sh) - 10);
    const int dw = rnd(g() * (kWidth - 10) + 10);
    const int dh = rnd(g() * (kHeight - 10) + 10);
    StretchBlt(dc, dx, dy, dw, dh, src, 0, 0, sw, sh, SRCCOPY);
    const int visibleW = std::min(dx + dw, kWidth) - std::max(dx, 0);
    const int visibleH = std::min(dy + dh, kHeight) - std::max(dy, 0);
    if (visibleW > 0 && visibleH > 0) pixels += static_cast<double>(visibleW) * visibleH;
  }
  state.SetItemsProcessed(state.iterations());
  setPixelRate(state, k, pixels);
}

// ---- objects -------------------------------------------------------------------

// What every line of the line test costs before it draws anything.
void BM_PenLifecycle(benchmark::State& state) {
  const HDC dc = Surfaces::get().dc(Kind::Dib24);
  Rng g;
  for (auto _ : state) {
    const HPEN pen = CreatePen(PS_SOLID, 1, colour(g));
    const HGDIOBJ old = SelectObject(dc, pen);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  state.SetItemsProcessed(state.iterations());
}

// ---- the physical reference ------------------------------------------------------

void BM_Memset(benchmark::State& state) {
  const std::size_t bpp = static_cast<std::size_t>(state.range(0));
  const std::size_t n = static_cast<std::size_t>(kWidth) * kHeight * bpp;
  std::vector<std::uint8_t> buffer(n, 1);
  int v = 0;
  for (auto _ : state) {
    std::memset(buffer.data(), ++v & 0xFF, n);
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
  state.counters["pixels"] = benchmark::Counter(static_cast<double>(state.iterations()) * kWidth * kHeight,
                                                benchmark::Counter::kIsRate);
}

void BM_Memcpy(benchmark::State& state) {
  const std::size_t bpp = static_cast<std::size_t>(state.range(0));
  const std::size_t n = static_cast<std::size_t>(kWidth) * kHeight * bpp;
  std::vector<std::uint8_t> from(n, 1), to(n, 2);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), n);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
  state.counters["pixels"] = benchmark::Counter(static_cast<double>(state.iterations()) * kWidth * kHeight,
                                                benchmark::Counter::kIsRate);
}

// ---- registration --------------------------------------------------------------

// Each family on both surfaces, with one named argument.
#define VEX2D_ON_BOTH_ARG(fn, name, value)                              \
  BENCHMARK_CAPTURE(fn, dib24, Kind::Dib24)->ArgName(name)->Arg(value)->UseRealTime(); \
  BENCHMARK_CAPTURE(fn, view32, Kind::View32)->ArgName(name)->Arg(value)->UseRealTime()

VEX2D_ON_BOTH_ARG(BM_Line, "width", 1);
VEX2D_ON_BOTH_ARG(BM_Line, "width", 5);
VEX2D_ON_BOTH_ARG(BM_Line, "width", 0);  // the line test's mix
BENCHMARK_CAPTURE(BM_Rectangle, dib24, Kind::Dib24)->UseRealTime();
BENCHMARK_CAPTURE(BM_Rectangle, view32, Kind::View32)->UseRealTime();
BENCHMARK_CAPTURE(BM_RectangleFull, dib24, Kind::Dib24)->UseRealTime();
BENCHMARK_CAPTURE(BM_RectangleFull, view32, Kind::View32)->UseRealTime();
BENCHMARK_CAPTURE(BM_Polygon, dib24, Kind::Dib24)->UseRealTime();
BENCHMARK_CAPTURE(BM_Polygon, view32, Kind::View32)->UseRealTime();
BENCHMARK_CAPTURE(BM_Ellipse, dib24, Kind::Dib24)->UseRealTime();
BENCHMARK_CAPTURE(BM_Ellipse, view32, Kind::View32)->UseRealTime();
BENCHMARK_CAPTURE(BM_Arc, dib24, Kind::Dib24)->UseRealTime();
BENCHMARK_CAPTURE(BM_Arc, view32, Kind::View32)->UseRealTime();
BENCHMARK_CAPTURE(BM_PolyBezier, dib24, Kind::Dib24)->UseRealTime();
BENCHMARK_CAPTURE(BM_PolyBezier, view32, Kind::View32)->UseRealTime();
VEX2D_ON_BOTH_ARG(BM_Text, "cell", 0);  // the text test's cycle 8..107
VEX2D_ON_BOTH_ARG(BM_Text, "cell", 8);
VEX2D_ON_BOTH_ARG(BM_Text, "cell", 107);
BENCHMARK_CAPTURE(BM_BitBlt, dib24_SRCCOPY, Kind::Dib24, SRCCOPY)->UseRealTime();
BENCHMARK_CAPTURE(BM_BitBlt, view32_SRCCOPY, Kind::View32, SRCCOPY)->UseRealTime();
BENCHMARK_CAPTURE(BM_BitBlt, dib24_SRCPAINT, Kind::Dib24, SRCPAINT)->UseRealTime();
BENCHMARK_CAPTURE(BM_BitBlt, view32_SRCPAINT, Kind::View32, SRCPAINT)->UseRealTime();
BENCHMARK_CAPTURE(BM_BitBlt, dib24_SRCINVERT, Kind::Dib24, SRCINVERT)->UseRealTime();
BENCHMARK_CAPTURE(BM_BitBlt, view32_SRCINVERT, Kind::View32, SRCINVERT)->UseRealTime();
BENCHMARK_CAPTURE(BM_BitBltFullSource, dib24, Kind::Dib24)->UseRealTime();
BENCHMARK_CAPTURE(BM_BitBltFullSource, view32, Kind::View32)->UseRealTime();
BENCHMARK_CAPTURE(BM_StretchBlt, dib24, Kind::Dib24)->UseRealTime();
BENCHMARK_CAPTURE(BM_StretchBlt, view32, Kind::View32)->UseRealTime();
BENCHMARK(BM_PenLifecycle)->UseRealTime();
BENCHMARK(BM_Memset)->ArgName("bpp")->Arg(3)->Arg(4)->UseRealTime();
BENCHMARK(BM_Memcpy)->ArgName("bpp")->Arg(3)->Arg(4)->UseRealTime();

}  // namespace
