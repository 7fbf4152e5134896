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
#include <string>
#include <utility>

#include "platform/forms/forms.h"
#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"
#include "surfaces.h"
#include "tests/handlers.h"
#include "tests/kernels.h"
#include "tests/protocol.h"
#include "tests/registry.h"

namespace {

using namespace gdi;

using namespace bench;

void BM_Kernel(benchmark::State& state, const drawtests::TestEntry& test, Kind kind) {
  const drawtests::TestRow& row = *test.row;
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
  state.SetItemsProcessed(static_cast<std::int64_t>(runs * row.iterations * test.primitivesPerIteration));
  state.counters["rate"] = benchmark::Counter(runs * row.numerator, benchmark::Counter::kIsRate);
  const double reference = test.referenceRate;
  state.counters["points"] = benchmark::Counter(runs * row.numerator * 100.0 / reference, benchmark::Counter::kIsRate);
}

// Each test of the registry on both surfaces, in the complete run's order,
// on wall-clock time as the peers are measured: the rate counters divide by
// it.
const bool kRegistered = [] {
  for (const drawtests::TestEntry& t : drawtests::kTests)
    for (const auto& [suffix, kind] : {std::pair{"_dib24", Kind::Dib24}, std::pair{"_view32", Kind::View32}})
      benchmark::RegisterBenchmark((std::string("BM_Kernel/") + t.name + suffix).c_str(), BM_Kernel, t, kind)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
  return true;
}();

}  // namespace
