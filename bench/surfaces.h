// The surfaces every benchmark draws on: a 1024x768 24-bit DIB section (the
// buffer of the buffered mode), a view DC over a 1024x768 32-bit buffer (a
// window surface, as in direct mode), and a 500x500 blit source in the
// format the program's source picture has: the persistent image of a
// picture box, which takes the format of the screen (32 bits, top-down).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/simd.h"

namespace bench {

// The instruction-set level the kernels ran at (VEX2D_SIMD chooses it), in
// the context block of every report.
inline const bool kSimdContext =
    (benchmark::AddCustomContext("simd", std::string(gdi::activeSimdLevelName())), true);

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kSourceSize = 500;

enum class Kind { Dib24, View32 };

inline gdi::HBITMAP createDib(int width, int height, int bits, void** pixels) {
  gdi::BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(gdi::BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = static_cast<gdi::WORD>(bits);
  bi.bmiHeader.biCompression = gdi::BI_RGB;
  return gdi::CreateDIBSection(0, &bi, gdi::DIB_RGB_COLORS, pixels, 0, 0);
}

// The surfaces live for the whole process: creating them per benchmark would
// only add page faults to the first iterations.
class Surfaces {
 public:
  static Surfaces& get() {
    static Surfaces s;
    return s;
  }

  gdi::HDC dc(Kind k) const { return k == Kind::Dib24 ? dib24_ : view32_; }
  gdi::HDC source() const { return source_; }

  // White, as the buffer of a buffered test starts, so that every benchmark
  // starts from the same pixels.
  void clear(Kind k) const {
    const gdi::RECT all{0, 0, kWidth, kHeight};
    gdi::FillRect(dc(k), &all, static_cast<gdi::HBRUSH>(gdi::GetStockObject(gdi::WHITE_BRUSH)));
  }

 private:
  Surfaces() {
    void* bits = nullptr;
    dib24_ = gdi::CreateCompatibleDC(0);
    gdi::SelectObject(dib24_, createDib(kWidth, kHeight, 24, &bits));

    // Rows an odd number of cache lines apart, as a window's back buffer.
    const std::size_t viewStride = static_cast<std::size_t>(((kWidth * 4 + 63) / 64) | 1) * 64;
    viewPixels_.reset(static_cast<std::uint32_t*>(std::aligned_alloc(64, viewStride * kHeight)));
    const gdi::PixelView v{reinterpret_cast<std::uint8_t*>(viewPixels_.get()),
                           static_cast<std::ptrdiff_t>(viewStride), kWidth, kHeight, gdi::PixelFormat::Xrgb32};
    view32_ = gdi::CreateViewDC(v, gdi::POINT{0, 0}, gdi::RECT{0, 0, kWidth, kHeight});

    // The blit source: colour in every colour byte, so that OR and XOR have
    // real work to do, and 0 in the top bytes, as the engine writes them.
    void* src = nullptr;
    source_ = gdi::CreateCompatibleDC(0);
    gdi::SelectObject(source_, createDib(kSourceSize, -kSourceSize, 32, &src));
    if (dib24_ == 0 || view32_ == 0 || source_ == 0 || bits == nullptr || src == nullptr) {
      std::fprintf(stderr, "bench: could not create the surfaces\n");
      std::exit(1);
    }
    const std::size_t stride = static_cast<std::size_t>(kSourceSize) * 4;
    auto* p = static_cast<std::uint8_t*>(src);
    for (std::size_t y = 0; y < static_cast<std::size_t>(kSourceSize); ++y)
      for (std::size_t i = 0; i < stride; ++i)
        p[y * stride + i] = (i & 3) == 3 ? 0 : static_cast<std::uint8_t>((i * 7 + y * 13) ^ (i >> 3));
  }

  struct FreeDeleter {
    void operator()(std::uint32_t* p) const { std::free(p); }
  };
  gdi::HDC dib24_ = 0;
  std::unique_ptr<std::uint32_t, FreeDeleter> viewPixels_;
  gdi::HDC view32_ = 0;
  gdi::HDC source_ = 0;
};

}  // namespace bench
