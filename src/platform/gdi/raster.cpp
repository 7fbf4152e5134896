#include "platform/gdi/raster.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include <immintrin.h>

namespace gdi::detail {

FillPattern::FillPattern(std::uint32_t pixel) : px(pixel) {
  // Every drawing call builds one, so it is made by doubling: 4 pixels,
  // then 8, 16 and 32.
  for (int i = 0; i < 4; ++i) storePixel24(bytes + i * 3, pixel);
  std::memcpy(bytes + 12, bytes, 12);
  std::memcpy(bytes + 24, bytes, 24);
  std::memcpy(bytes + 48, bytes, 48);
}

namespace {

// The 24-bit row writer with 16-byte stores (SSE2, always there on x86-64).
void fillRow24Sse2(std::uint8_t* row, std::int32_t x0, std::int32_t x1, const FillPattern& pat) {
  std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x0) * 3;
  std::int32_t n = x1 - x0;
  if (n < 16) {
    for (; n > 0; --n, p += 3) storePixel24(p, pat.px);
    return;
  }
  // 16 pixels are 48 bytes: three registers hold the pattern, and the loop
  // is nothing but stores.
  const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(pat.bytes));
  const __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(pat.bytes + 16));
  const __m128i c = _mm_load_si128(reinterpret_cast<const __m128i*>(pat.bytes + 32));
  for (; n >= 16; n -= 16, p += 48) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), c);
  }
  // The tail (fewer than 16 pixels) is a prefix of the pattern.
  std::memcpy(p, pat.bytes, static_cast<std::size_t>(n) * 3);
}

// The same with 32-byte stores: twice the bytes per store, which is what
// separates a fill from memset speed once the rows sit in cache.
__attribute__((target("avx2"))) void fillRow24Avx2(std::uint8_t* row, std::int32_t x0, std::int32_t x1,
                                                   const FillPattern& pat) {
  std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x0) * 3;
  std::int32_t n = x1 - x0;
  if (n < 32) {
    fillRow24Sse2(row, x0, x1, pat);
    return;
  }
  const __m256i a = _mm256_load_si256(reinterpret_cast<const __m256i*>(pat.bytes));
  const __m256i b = _mm256_load_si256(reinterpret_cast<const __m256i*>(pat.bytes + 32));
  const __m256i c = _mm256_load_si256(reinterpret_cast<const __m256i*>(pat.bytes + 64));
  for (; n >= 32; n -= 32, p += 96) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), a);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 32), b);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 64), c);
  }
  std::memcpy(p, pat.bytes, static_cast<std::size_t>(n) * 3);
}

__attribute__((target("avx2"))) void fillRow32Avx2(std::uint8_t* row, std::int32_t x0, std::int32_t x1,
                                                   const FillPattern& pat) {
  std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x0) * 4;
  std::int32_t n = x1 - x0;
  const __m256i v = _mm256_set1_epi32(static_cast<int>(pat.px));
  for (; n >= 32; n -= 32, p += 128) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 32), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 64), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 96), v);
  }
  for (; n >= 8; n -= 8, p += 32) _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  for (; n > 0; --n, p += 4) storePixel32(p, pat.px);
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
  // wchar_t is a 32-bit unit here, and the C library's wmemset is its
  // tuned word fill: the same wide stores memset uses.
  static_assert(sizeof(wchar_t) == 4);
  std::wmemset(reinterpret_cast<wchar_t*>(row) + x0, static_cast<wchar_t>(p.px),
               static_cast<std::size_t>(x1 - x0));
}

FillRowFn fillRowFor(PixelFormat f) {
  if (f == PixelFormat::Bgr24) return kHaveAvx2 ? fillRow24Avx2 : fillRow24Sse2;
  return kHaveAvx2 ? fillRow32Avx2 : fillRow32Unchecked;
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
