// The eight drawing kernels, each run whole (its own iteration count, the
// generator re-seeded with -5 before every run, as a test does), on the two
// surfaces the program draws on: a 1024x768 24-bit DIB section (the test
// buffer of the buffered mode, at screen size) and a view DC over a
// 1024x768 32-bit buffer (a window surface, as in direct mode, without the
// presents of a real window).
//
// `items_per_second` counts the kernel's primitives (characters, segments,
// curves, polygons, rectangles, ellipse-and-arc pairs, block transfers,
// stretched transfers); `rate` is the test's own figure, K / seconds, as
// the result label would show it for the kernel alone; `points` is what
// that rate earns towards the score (100 x rate / the test's reference
// rate).
//
//   make -C <build> -j2 kernels_bench
//   <build>/bench/kernels_bench --benchmark_filter='Rectangle'   # a subset
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/forms/forms.h"
#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"
#include "shell/complete_run.h"
#include "surfaces.h"
#include "tests/handlers.h"
#include "tests/kernels.h"
#include "tests/protocol.h"

namespace {

using namespace gdi;

using namespace bench;

// Primitives one run of the kernel draws.
double primitivesOf(int button, const drawtests::TestRow& row) {
  switch (button) {
    case 1: return static_cast<double>(row.iterations) * drawtests::kTextCharsPerSize;
    case 7: return 3.0 * row.iterations;  // three stretched transfers an iteration
    default: return row.iterations;
  }
}

void BM_Kernel(benchmark::State& state, int button, Kind kind) {
  const drawtests::TestRow& row = drawtests::TestRowOfButton(button);
  Surfaces& s = Surfaces::get();
  s.clear(kind);
  const HDC dc = s.dc(kind);
  // The text test draws on a transparent background, as its protocol sets.
  if (row.transparentBackground) SetBkMode(dc, TRANSPARENT);
  for (auto _ : state) {
    forms::Randomize(-5);
    row.kernel(drawtests::KernelArgs{dc, kWidth, kHeight, s.source(), row.iterations});
  }
  const double runs = static_cast<double>(state.iterations());
  state.SetItemsProcessed(static_cast<std::int64_t>(runs * primitivesOf(button, row)));
  state.counters["rate"] = benchmark::Counter(runs * row.numerator, benchmark::Counter::kIsRate);
  const double reference = shell::kReferenceRates[static_cast<std::size_t>(row.slot)];
  state.counters["points"] = benchmark::Counter(runs * row.numerator * 100.0 / reference, benchmark::Counter::kIsRate);
}

// Wall-clock time, as the peers are measured: the rate counters divide by it.
#define VEX2D_KERNEL(name, button)                                                                  \
  BENCHMARK_CAPTURE(BM_Kernel, name##_dib24, button, Kind::Dib24)                                   \
      ->Unit(benchmark::kMillisecond)                                                               \
      ->UseRealTime();                                                                              \
  BENCHMARK_CAPTURE(BM_Kernel, name##_view32, button, Kind::View32)->Unit(benchmark::kMillisecond)->UseRealTime()

VEX2D_KERNEL(Text, 1);
VEX2D_KERNEL(Line, 2);
VEX2D_KERNEL(Spline, 8);
VEX2D_KERNEL(Polygon, 3);
VEX2D_KERNEL(Rectangle, 4);
VEX2D_KERNEL(Ellipse, 5);
VEX2D_KERNEL(Blitting, 6);
VEX2D_KERNEL(Stretching, 7);

}  // namespace
