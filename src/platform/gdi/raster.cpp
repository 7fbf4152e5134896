#include "platform/gdi/raster.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include <emmintrin.h>

namespace gdi::detail {

void fillRow24Unchecked(std::uint8_t* row, std::int32_t x0, std::int32_t x1, std::uint32_t px) {
  std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x0) * 3;
  std::int32_t n = x1 - x0;
  if (n < 16) {
    for (; n > 0; --n, p += 3) storePixel24(p, px);
    return;
  }
  // 16 pixels are 48 bytes: three 16-byte registers hold the pattern, and
  // the loop is nothing but stores.
  alignas(16) std::uint8_t pattern[48];
  for (int i = 0; i < 16; ++i) storePixel24(pattern + i * 3, px);
  const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(pattern));
  const __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(pattern + 16));
  const __m128i c = _mm_load_si128(reinterpret_cast<const __m128i*>(pattern + 32));
  for (; n >= 32; n -= 32, p += 96) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), c);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 48), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 64), b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 80), c);
  }
  if (n >= 16) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), c);
    n -= 16;
    p += 48;
  }
  // The tail (fewer than 16 pixels) is a prefix of the pattern.
  std::memcpy(p, pattern, static_cast<std::size_t>(n) * 3);
}

void fillRow32Unchecked(std::uint8_t* row, std::int32_t x0, std::int32_t x1, std::uint32_t px) {
  // wchar_t is a 32-bit unit here, and the C library's wmemset is its
  // tuned word fill: the same wide stores memset uses.
  static_assert(sizeof(wchar_t) == 4);
  std::wmemset(reinterpret_cast<wchar_t*>(row) + x0, static_cast<wchar_t>(px),
               static_cast<std::size_t>(x1 - x0));
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
