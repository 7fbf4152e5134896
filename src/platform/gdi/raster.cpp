#include "platform/gdi/raster.h"

#include <algorithm>
#include <cstring>

namespace gdi::detail {

void fillRow24Unchecked(std::uint8_t* row, std::int32_t x0, std::int32_t x1, std::uint32_t px) {
  std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x0) * 3;
  std::int32_t n = x1 - x0;
  if (n < 16) {
    for (; n > 0; --n, p += 3) storePixel24(p, px);
    return;
  }
  // 16 pixels are 48 bytes: three 16-byte stores of one pattern.
  alignas(16) std::uint8_t pattern[48];
  for (int i = 0; i < 16; ++i) storePixel24(pattern + i * 3, px);
  for (; n >= 16; n -= 16, p += 48) std::memcpy(p, pattern, 48);
  // The tail (fewer than 16 pixels) is a prefix of the pattern.
  std::memcpy(p, pattern, static_cast<std::size_t>(n) * 3);
}

void fillRow32Unchecked(std::uint8_t* row, std::int32_t x0, std::int32_t x1, std::uint32_t px) {
  auto* p = reinterpret_cast<std::uint32_t*>(row) + x0;
  std::fill(p, p + (x1 - x0), px);
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
