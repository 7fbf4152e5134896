#include "platform/gdi/raster.h"

#include <algorithm>
#include <cstring>

#include <immintrin.h>

namespace gdi::detail {

FillPattern::FillPattern(std::uint32_t pixel) : px(pixel) {
  // Every drawing call builds one, so it is made by doubling: 4 pixels,
  // then 8, 16, 32 and the rest of the 128 bytes.
  for (int i = 0; i < 4; ++i) storePixel24(bytes + i * 3, pixel);
  std::memcpy(bytes + 12, bytes, 12);
  std::memcpy(bytes + 24, bytes, 24);
  std::memcpy(bytes + 48, bytes, 48);
  std::memcpy(bytes + 96, bytes, 32);
}

namespace {

// The row writers store whole registers at aligned addresses: one store
// at the unaligned start, aligned stores through the middle, and one store
// ending exactly at the end of the span (the stores overlap, and write the
// same bytes twice where they do). An unaligned store that straddles two
// cache lines costs two, which is what kept fills well below memset speed.
//
// For 24-bit rows the colour's three bytes repeat with period 3, so a
// store at byte offset k from the span's start takes the pattern from
// offset k mod 3.
inline std::size_t phaseOf(std::ptrdiff_t offset) { return static_cast<std::size_t>(offset % 3); }

template <typename T>
T* alignUp(T* p, std::uintptr_t a) {
  return reinterpret_cast<T*>((reinterpret_cast<std::uintptr_t>(p) + a - 1) & ~(a - 1));
}

// The 24-bit row writer with 16-byte stores (SSE2, always there on x86-64).
void fillRow24Sse2(std::uint8_t* row, std::int32_t x0, std::int32_t x1, const FillPattern& pat) {
  std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x0) * 3;
  const std::int32_t n = x1 - x0;
  if (n <= kShortSpan<3>) {
    fillShortSpan<3>(p, n, pat);
    return;
  }
  std::uint8_t* const end = p + static_cast<std::ptrdiff_t>(n) * 3;
  auto at = [&pat, p](const std::uint8_t* q) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(pat.bytes + phaseOf(q - p)));
  };
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), at(p));
  std::uint8_t* q = alignUp(p + 1, 16);
  if (q + 48 <= end) {
    // 48 bytes (16 pixels) per round: three registers hold the pattern.
    const std::size_t ph = phaseOf(q - p);
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pat.bytes + ph));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pat.bytes + ph + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pat.bytes + ph + 32));
    for (; q + 48 <= end; q += 48) {
      _mm_store_si128(reinterpret_cast<__m128i*>(q), a);
      _mm_store_si128(reinterpret_cast<__m128i*>(q + 16), b);
      _mm_store_si128(reinterpret_cast<__m128i*>(q + 32), c);
    }
  }
  for (; q + 16 <= end; q += 16) _mm_store_si128(reinterpret_cast<__m128i*>(q), at(q));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(end - 16),
                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(pat.bytes + kPhaseEnd16)));
}

// The same with 32-byte stores.
__attribute__((target("avx2"))) void fillRow24Avx2(std::uint8_t* row, std::int32_t x0, std::int32_t x1,
                                                   const FillPattern& pat) {
  const std::int32_t n = x1 - x0;
  if (n <= kShortSpan<3>) {
    fillShortSpan<3>(row + static_cast<std::ptrdiff_t>(x0) * 3, n, pat);
    return;
  }
  std::uint8_t* const p = row + static_cast<std::ptrdiff_t>(x0) * 3;
  std::uint8_t* const end = p + static_cast<std::ptrdiff_t>(n) * 3;
  auto at = [&pat, p](const std::uint8_t* q) __attribute__((target("avx2"))) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pat.bytes + phaseOf(q - p)));
  };
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), at(p));
  std::uint8_t* q = alignUp(p + 1, 32);
  if (q + 96 <= end) {
    const std::size_t ph = phaseOf(q - p);
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pat.bytes + ph));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pat.bytes + ph + 32));
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pat.bytes + ph + 64));
    for (; q + 96 <= end; q += 96) {
      _mm256_store_si256(reinterpret_cast<__m256i*>(q), a);
      _mm256_store_si256(reinterpret_cast<__m256i*>(q + 32), b);
      _mm256_store_si256(reinterpret_cast<__m256i*>(q + 64), c);
    }
  }
  for (; q + 32 <= end; q += 32) _mm256_store_si256(reinterpret_cast<__m256i*>(q), at(q));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(end - 32),
                      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pat.bytes + kPhaseEnd32)));
}

void fillRow32Sse2(std::uint8_t* row, std::int32_t x0, std::int32_t x1, const FillPattern& pat) {
  std::uint8_t* const p = row + static_cast<std::ptrdiff_t>(x0) * 4;
  const std::int32_t n = x1 - x0;
  if (n <= kShortSpan<4>) {
    fillShortSpan<4>(p, n, pat);
    return;
  }
  std::uint8_t* const end = p + static_cast<std::ptrdiff_t>(n) * 4;
  const __m128i v = _mm_set1_epi32(static_cast<int>(pat.px));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
  std::uint8_t* q = alignUp(p + 1, 16);
  for (; q + 64 <= end; q += 64) {
    _mm_store_si128(reinterpret_cast<__m128i*>(q), v);
    _mm_store_si128(reinterpret_cast<__m128i*>(q + 16), v);
    _mm_store_si128(reinterpret_cast<__m128i*>(q + 32), v);
    _mm_store_si128(reinterpret_cast<__m128i*>(q + 48), v);
  }
  for (; q + 16 <= end; q += 16) _mm_store_si128(reinterpret_cast<__m128i*>(q), v);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(end - 16), v);
}

__attribute__((target("avx2"))) void fillRow32Avx2(std::uint8_t* row, std::int32_t x0, std::int32_t x1,
                                                   const FillPattern& pat) {
  std::uint8_t* const p = row + static_cast<std::ptrdiff_t>(x0) * 4;
  const std::int32_t n = x1 - x0;
  if (n <= kShortSpan<4>) {
    fillShortSpan<4>(p, n, pat);
    return;
  }
  std::uint8_t* const end = p + static_cast<std::ptrdiff_t>(n) * 4;
  const __m256i v = _mm256_set1_epi32(static_cast<int>(pat.px));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  std::uint8_t* q = alignUp(p + 1, 32);
  for (; q + 128 <= end; q += 128) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(q), v);
    _mm256_store_si256(reinterpret_cast<__m256i*>(q + 32), v);
    _mm256_store_si256(reinterpret_cast<__m256i*>(q + 64), v);
    _mm256_store_si256(reinterpret_cast<__m256i*>(q + 96), v);
  }
  for (; q + 32 <= end; q += 32) _mm256_store_si256(reinterpret_cast<__m256i*>(q), v);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(end - 32), v);
}

const bool kHaveAvx2 = __builtin_cpu_supports("avx2");

}  // namespace

void fillRow24Unchecked(std::uint8_t* row, std::int32_t x0, std::int32_t x1, const FillPattern& p) {
  if (kHaveAvx2)
    fillRow24Avx2(row, x0, x1, p);
  else
    fillRow24Sse2(row, x0, x1, p);
}

void fillRow32Unchecked(std::uint8_t* row, std::int32_t x0, std::int32_t x1, const FillPattern& p) {
  if (kHaveAvx2)
    fillRow32Avx2(row, x0, x1, p);
  else
    fillRow32Sse2(row, x0, x1, p);
}

FillRowFn fillRowFor(PixelFormat f) {
  if (f == PixelFormat::Bgr24) return kHaveAvx2 ? fillRow24Avx2 : fillRow24Sse2;
  return kHaveAvx2 ? fillRow32Avx2 : fillRow32Sse2;
}

FillRowVariants fillRowVariants(PixelFormat f) {
  if (f == PixelFormat::Bgr24) return {{fillRow24Sse2, fillRow24Avx2}, kHaveAvx2 ? 2 : 1};
  return {{fillRow32Sse2, fillRow32Avx2}, kHaveAvx2 ? 2 : 1};
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
