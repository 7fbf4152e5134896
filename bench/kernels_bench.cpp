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
// the result label would show it for the kernel alone.
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
#include "tests/handlers.h"
#include "tests/kernels.h"
#include "tests/protocol.h"

namespace {

using namespace gdi;

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

enum class Kind { Dib24, View32 };

HBITMAP createDib24(int width, int height, void** bits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  return CreateDIBSection(0, &bi, DIB_RGB_COLORS, bits, 0, 0);
}

// The surfaces live for the whole process, so that no run pays for first
// touches of fresh pages.
class Surfaces {
 public:
  static Surfaces& get() {
    static Surfaces s;
    return s;
  }
  HDC dc(Kind k) const { return k == Kind::Dib24 ? dib24_ : view32_; }
  HDC source() const { return source_; }

  // White, as the buffer of a buffered test starts.
  void clear(Kind k) const {
    const RECT all{0, 0, kWidth, kHeight};
    FillRect(dc(k), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }

 private:
  Surfaces() {
    void* bits = nullptr;
    dib24_ = CreateCompatibleDC(0);
    SelectObject(dib24_, createDib24(kWidth, kHeight, &bits));

    viewPixels_.reset(static_cast<std::uint32_t*>(std::malloc(static_cast<std::size_t>(kWidth) * kHeight * 4)));
    const PixelView v{reinterpret_cast<std::uint8_t*>(viewPixels_.get()), kWidth * 4, kWidth, kHeight,
                      PixelFormat::Xrgb32};
    view32_ = CreateViewDC(v, POINT{0, 0}, RECT{0, 0, kWidth, kHeight});

    // The 500x500 source of the block transfers, with colour in every byte
    // so that OR and exclusive OR have work to do.
    void* src = nullptr;
    source_ = CreateCompatibleDC(0);
    SelectObject(source_, createDib24(drawtests::kSourcePictureSize, drawtests::kSourcePictureSize, &src));
    if (dib24_ == 0 || view32_ == 0 || source_ == 0 || bits == nullptr || src == nullptr) {
      std::fprintf(stderr, "kernels_bench: could not create the surfaces\n");
      std::exit(1);
    }
    const std::size_t stride = ((drawtests::kSourcePictureSize * 24 + 31) / 32) * 4;
    auto* p = static_cast<std::uint8_t*>(src);
    for (std::size_t y = 0; y < static_cast<std::size_t>(drawtests::kSourcePictureSize); ++y)
      for (std::size_t i = 0; i < stride; ++i) p[y * stride + i] = static_cast<std::uint8_t>((i * 7 + y * 13) ^ (i >> 3));
  }

  struct FreeDeleter {
    void operator()(std::uint32_t* p) const { std::free(p); }
  };
  HDC dib24_ = 0;
  std::unique_ptr<std::uint32_t, FreeDeleter> viewPixels_;
  HDC view32_ = 0;
  HDC source_ = 0;
};

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
}

#define VEX2D_KERNEL(name, button)                                                                     \
  BENCHMARK_CAPTURE(BM_Kernel, name##_dib24, button, Kind::Dib24)->Unit(benchmark::kMillisecond);   \
  BENCHMARK_CAPTURE(BM_Kernel, name##_view32, button, Kind::View32)->Unit(benchmark::kMillisecond)

VEX2D_KERNEL(Text, 1);
VEX2D_KERNEL(Line, 2);
VEX2D_KERNEL(Spline, 8);
VEX2D_KERNEL(Polygon, 3);
VEX2D_KERNEL(Rectangle, 4);
VEX2D_KERNEL(Ellipse, 5);
VEX2D_KERNEL(Blitting, 6);
VEX2D_KERNEL(Stretching, 7);

}  // namespace
