// Raster internals shared by the primitive families: the drawing target of
// one call (pixels, clip, origin) and the span writers for both formats.
//
// Everything named `...Unchecked` trusts its caller to have clipped.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include <immintrin.h>

#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/pixel_traits.h"
#include "platform/gdi/simd.h"

namespace gdi::detail {

// Device-space clip rectangle, right and bottom excluded; always inside the
// pixel view it belongs to.
struct ClipRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  bool empty() const { return left >= right || top >= bottom; }
  bool contains(std::int64_t x, std::int64_t y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct PixelKernels;

// What one drawing call draws into: resolved once at the top of the call,
// with the kernels of its format at the active instruction-set level.
struct Target {
  std::uint8_t* top = nullptr;
  std::ptrdiff_t stride = 0;
  PixelFormat format = PixelFormat::Xrgb32;
  ClipRect clip;
  std::int64_t originX = 0;  // logical + origin = device
  std::int64_t originY = 0;
  const PixelKernels* kernels = nullptr;

  std::uint8_t* row(std::int32_t y) const { return top + static_cast<std::ptrdiff_t>(y) * stride; }
  int bpp() const { return bytesPerPixel(format); }
};

// COLORREF (0x00BBGGRR) to the pixel value both formats store little-endian:
// 0x00RRGGBB, whose low three bytes are blue, green, red.
constexpr std::uint32_t packColor(COLORREF c) {
  return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
constexpr COLORREF unpackColor(std::uint32_t px) {
  return ((px >> 16) & 0xFFu) | (px & 0xFF00u) | ((px & 0xFFu) << 16);
}

// One colour ready for the span writers: for 24-bit rows 128 bytes of the
// repeat of its three bytes, built once per drawing call.
struct FillPattern {
  alignas(32) std::uint8_t bytes[128];
  std::uint32_t px;
  explicit FillPattern(std::uint32_t pixel);
};

// A store of S bytes that ends where a run of whole 24-bit pixels ends
// starts S bytes before it, at pattern phase (-S) mod 3.
constexpr std::size_t phaseOfEnd(std::size_t storeBytes) { return (3 - storeBytes % 3) % 3; }
inline constexpr std::size_t kPhaseEnd4 = phaseOfEnd(4), kPhaseEnd8 = phaseOfEnd(8);
inline constexpr std::size_t kPhaseEnd16 = phaseOfEnd(16), kPhaseEnd32 = phaseOfEnd(32);

// Spans of at most kShortSpan<Bpp> pixels, stored in place: a call through
// a row writer costs more than these few pixels. 32-bit: two overlapping
// 16-byte stores, or single pixels below 4. 24-bit: two overlapping 16-,
// 8- or 4-byte stores from the pattern, or one pixel.
template <int Bpp>
inline constexpr std::int32_t kShortSpan = Bpp == 4 ? 8 : 10;

template <int Bpp>
inline void fillShortSpan(std::uint8_t* p, std::int32_t n, const FillPattern& pat) {
  if constexpr (Bpp == 4) {
    if (n >= 4) {
      const __m128i v = _mm_set1_epi32(static_cast<int>(pat.px));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + static_cast<std::ptrdiff_t>(n) * 4 - 16), v);
      return;
    }
    for (std::int32_t i = 0; i < n; ++i) Px32::store(p + i * 4, pat.px);
  } else {
    const std::ptrdiff_t bytes = static_cast<std::ptrdiff_t>(n) * 3;
    if (n >= 6) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_load_si128(reinterpret_cast<const __m128i*>(pat.bytes)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + bytes - 16),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(pat.bytes + kPhaseEnd16)));
    } else if (n >= 3) {
      std::memcpy(p, pat.bytes, 8);
      std::memcpy(p + bytes - 8, pat.bytes + kPhaseEnd8, 8);
    } else if (n == 2) {
      std::memcpy(p, pat.bytes, 4);
      std::memcpy(p + 2, pat.bytes + kPhaseEnd4, 4);
    } else if (n == 1) {
      Px24::store(p, pat.px);
    }
  }
}

// Fills pixels [x0, x1) of one row with the pattern's colour.
using FillRowFn = void (*)(std::uint8_t* row, std::int32_t x0, std::int32_t x1, const FillPattern& p);


struct Edge;
struct SpanPainter;
struct Realization;

// The kernels of one pixel format at one instruction-set level, chosen once
// when a drawing call resolves its target: the primitive families reach the
// pixels through these and never ask the format again per span or pixel.
// The families' own per-format kernels live in their files (lines.cpp,
// text.cpp) and are collected here.
struct PixelKernels {
  PixelFormat format;
  int bpp;
  SimdLevel level;
  FillRowFn fillRow;  // spans of any length
  std::uint32_t (*loadPixel)(const std::uint8_t* p);
  void (*storePixel)(std::uint8_t* p, std::uint32_t px);
  // The one-pixel line walk: `count` pixels from `p`, a major step each and
  // a minor step when the Bresenham error says so.
  void (*walkLine)(std::uint8_t* p, std::int64_t count, std::ptrdiff_t majorStep, std::ptrdiff_t minorStep,
                   std::int64_t err, std::int64_t incMinor, std::int64_t incBoth, int bias, std::uint32_t px);
  // Rows [y0, y1) of a convex band between two edges.
  void (*bodyBand)(const SpanPainter& painter, std::int64_t y0, std::int64_t y1, Edge& l, Edge& r);
  // A run of glyphs of one realised font, blended in the text colour.
  void (*glyphRun)(const Target& t, const Realization& real, std::int64_t x, std::int64_t baseline,
                   const char* s, int n, std::uint32_t px);
};

// The table of a format at a level; a level this processor lacks gives the
// scalar one.
const PixelKernels& pixelKernels(PixelFormat f, SimdLevel level);

// The families' per-format kernels (Bpp 3 or 4), for the table.
template <int Bpp>
void walkLineUnchecked(std::uint8_t* p, std::int64_t count, std::ptrdiff_t majorStep, std::ptrdiff_t minorStep,
                       std::int64_t err, std::int64_t incMinor, std::int64_t incBoth, int bias, std::uint32_t px);
template <int Bpp>
void bodyBandUnchecked(const SpanPainter& painter, std::int64_t y0, std::int64_t y1, Edge& l, Edge& r);
template <int Bpp>
void glyphRunUnchecked(const Target& t, const Realization& real, std::int64_t x,
                       std::int64_t baseline, const char* s, int n, std::uint32_t px);

// A span sink bound to one target and colour: the primitive families emit
// device-space spans through it. `span` clips in x against the target's clip
// (the caller has already clipped y).
struct SpanPainter {
  const Target* target;
  FillRowFn fill;
  std::uint32_t px;
  FillPattern pattern;
  int bpp;

  SpanPainter(const Target& t, std::uint32_t pixel)
      : target(&t), fill(t.kernels->fillRow), px(pixel), pattern(pixel), bpp(t.kernels->bpp) {}

  // Device-space span [x0, x1) on row y; y must be inside the clip.
  void spanClipX(std::int32_t y, std::int64_t x0, std::int64_t x1) const {
    const std::int64_t a = std::max<std::int64_t>(x0, target->clip.left);
    const std::int64_t b = std::min<std::int64_t>(x1, target->clip.right);
    if (a >= b) return;
    const auto n = static_cast<std::int32_t>(b - a);
    if (bpp == 4 && n <= kShortSpan<4>) {
      fillShortSpan<4>(target->row(y) + a * 4, n, pattern);
      return;
    }
    if (bpp == 3 && n <= kShortSpan<3>) {
      fillShortSpan<3>(target->row(y) + a * 3, n, pattern);
      return;
    }
    fill(target->row(y), static_cast<std::int32_t>(a), static_cast<std::int32_t>(b), pattern);
  }
  // Device-space span [x0, x1) on row y, both unchecked.
  void spanUnchecked(std::int32_t y, std::int32_t x0, std::int32_t x1) const {
    fill(target->row(y), x0, x1, pattern);
  }
  // Any device-space span; clipped in both axes.
  void span(std::int64_t y, std::int64_t x0, std::int64_t x1) const {
    if (y < target->clip.top || y >= target->clip.bottom) return;
    spanClipX(static_cast<std::int32_t>(y), x0, x1);
  }
  void pixelUnchecked(std::int32_t x, std::int32_t y) const {
    target->kernels->storePixel(target->row(y) + static_cast<std::ptrdiff_t>(x) * bpp, px);
  }
};

// Fills the device-space box [x0, x1) x [y0, y1), clipped.
void fillBox(const SpanPainter& painter, std::int64_t x0, std::int64_t y0, std::int64_t x1,
             std::int64_t y1);

// std::llround (to the nearest, halves away from zero) without the library
// call: the truncation and the exact fraction decide it. Values beyond 2^62
// (and NaN) go to the library.
inline std::int64_t roundHalfAway(double v) {
  if (!(v > -4.6e18 && v < 4.6e18)) return std::llround(v);
  const auto t = static_cast<std::int64_t>(v);
  const double frac = v - static_cast<double>(t);
  return t + (frac >= 0.5) - (frac <= -0.5);
}

// Floor and ceiling division for signed values (C++ division truncates).
constexpr std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
constexpr std::int64_t ceilDiv(std::int64_t a, std::int64_t b) { return -floorDiv(-a, b); }
constexpr __int128 floorDiv128(__int128 a, __int128 b) {
  const __int128 q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
constexpr __int128 ceilDiv128(__int128 a, __int128 b) { return -floorDiv128(-a, b); }

}  // namespace gdi::detail
