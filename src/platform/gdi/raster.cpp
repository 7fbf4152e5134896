#include "platform/gdi/raster.h"
#include "platform/gdi/vec.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <immintrin.h>

namespace gdi::detail {

FillPattern::FillPattern(std::uint32_t pixel) : px(pixel) {
  // Every drawing call builds one, so it is made by doubling: 4 pixels,
  // then 8, 16, 32 and the rest of the 128 bytes.
  for (int i = 0; i < 4; ++i) Px24::store(bytes + i * 3, pixel);
  std::memcpy(bytes + 12, bytes, 12);
  std::memcpy(bytes + 24, bytes, 24);
  std::memcpy(bytes + 48, bytes, 48);
  std::memcpy(bytes + 96, bytes, 32);
}

namespace {

// A store at byte offset k from a 24-bit span's start takes the pattern from
// offset k mod 3.
inline std::size_t phaseOf(std::ptrdiff_t offset) { return static_cast<std::size_t>(offset % 3); }

inline std::uint8_t* alignUp(std::uint8_t* p, std::ptrdiff_t a) {
  return reinterpret_cast<std::uint8_t*>((reinterpret_cast<std::uintptr_t>(p) + a - 1) &
                                         ~static_cast<std::uintptr_t>(a - 1));
}

// The reference: one pixel at a time, no vector code of our own.
void fillRow24Scalar(std::uint8_t* row, std::int32_t x0, std::int32_t x1, const FillPattern& pat) {
  for (std::int32_t x = x0; x < x1; ++x) Px24::store(row + static_cast<std::ptrdiff_t>(x) * 3, pat.px);
}
void fillRow32Scalar(std::uint8_t* row, std::int32_t x0, std::int32_t x1, const FillPattern& pat) {
  for (std::int32_t x = x0; x < x1; ++x) Px32::store(row + static_cast<std::ptrdiff_t>(x) * 4, pat.px);
}

namespace sse2 {
#define VEX2D_KERNEL VEX2D_TARGET_SSE2
using Vec = Sse2Vec;
#include "platform/gdi/fill_rows.inl"
#undef VEX2D_KERNEL
}  // namespace sse2

namespace avx2 {
#define VEX2D_KERNEL VEX2D_TARGET_AVX2
using Vec = Avx2Vec;
#include "platform/gdi/fill_rows.inl"
#undef VEX2D_KERNEL
}  // namespace avx2

// By level. AVX-512 fills with the 32-byte writers: 64-byte stores bring no
// more than the store bandwidth the 32-byte ones already reach.
constexpr FillRowFn kFillRow24[kSimdLevels] = {fillRow24Scalar, sse2::fillRow24, avx2::fillRow24,
                                               avx2::fillRow24};
constexpr FillRowFn kFillRow32[kSimdLevels] = {fillRow32Scalar, sse2::fillRow32, avx2::fillRow32,
                                               avx2::fillRow32};

}  // namespace

namespace {

template <int Bpp>
constexpr PixelKernels kernelsOf(SimdLevel level, FillRowFn fillRow) {
  using Px = PixelTraits<Bpp == 3 ? PixelFormat::Bgr24 : PixelFormat::Xrgb32>;
  return PixelKernels{Bpp == 3 ? PixelFormat::Bgr24 : PixelFormat::Xrgb32,
                      Bpp,
                      level,
                      fillRow,
                      Px::load,
                      Px::store,
                      walkLineUnchecked<Bpp>,
                      bodyBandUnchecked<Bpp>,
                      glyphRunUnchecked<Bpp>};
}

template <int Bpp>
constexpr std::array<PixelKernels, kSimdLevels> tablesOf(const FillRowFn (&fillRows)[kSimdLevels]) {
  return {kernelsOf<Bpp>(SimdLevel::Scalar, fillRows[0]), kernelsOf<Bpp>(SimdLevel::Sse2, fillRows[1]),
          kernelsOf<Bpp>(SimdLevel::Avx2, fillRows[2]), kernelsOf<Bpp>(SimdLevel::Avx512, fillRows[3])};
}

constexpr std::array<PixelKernels, kSimdLevels> kKernels24 = tablesOf<3>(kFillRow24);
constexpr std::array<PixelKernels, kSimdLevels> kKernels32 = tablesOf<4>(kFillRow32);

}  // namespace

const PixelKernels& pixelKernels(PixelFormat f, SimdLevel level) {
  if (!simdLevelSupported(level)) level = SimdLevel::Scalar;
  const auto i = static_cast<std::size_t>(level);
  return f == PixelFormat::Bgr24 ? kKernels24[i] : kKernels32[i];
}

void fillBox(const SpanPainter& painter, std::int64_t x0, std::int64_t y0, std::int64_t x1,
             std::int64_t y1) {
  const ClipRect& c = painter.target->clip;
  const std::int64_t l = std::max<std::int64_t>(x0, c.left);
  const std::int64_t r = std::min<std::int64_t>(x1, c.right);
  const std::int64_t t = std::max<std::int64_t>(y0, c.top);
  const std::int64_t b = std::min<std::int64_t>(y1, c.bottom);
  if (l >= r || t >= b) return;
  for (auto y = static_cast<std::int32_t>(t); y < b; ++y)
    painter.spanUnchecked(y, static_cast<std::int32_t>(l), static_cast<std::int32_t>(r));
}

}  // namespace gdi::detail
