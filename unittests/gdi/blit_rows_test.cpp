// The row kernels of the block transfers against the per-pixel rule: every
// instruction set this processor has, every raster operation and format
// pair, every length up to several rounds of the widest loop, at every
// alignment of both rows within a cache line, with guard bytes around both.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/gdi/blit_rows.h"

namespace {

using namespace gdi;
using namespace gdi::detail;

constexpr RopKind kKinds[] = {RopKind::Copy,    RopKind::Or,   RopKind::And,  RopKind::Xor,
                              RopKind::NotCopy, RopKind::Zero, RopKind::Ones, RopKind::Invert};
// The rule, one pixel at a time. Between 32-bit rows an operation with a
// source covers all four bytes; otherwise a 32-bit result gets 0 on top.
std::uint32_t rule(RopKind k, std::uint32_t d, std::uint32_t s) {
  switch (k) {
    case RopKind::Copy: return s;
    case RopKind::Or: return d | s;
    case RopKind::And: return d & s;
    case RopKind::Xor: return d ^ s;
    case RopKind::NotCopy: return ~s;
    case RopKind::Zero: return 0;
    case RopKind::Ones: return ~0u;
    case RopKind::Invert: return ~d;
    default: return d;
  }
}

std::uint32_t load(const std::uint8_t* p, int bpp) {
  std::uint32_t v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                    (static_cast<std::uint32_t>(p[2]) << 16);
  if (bpp == 4) v |= static_cast<std::uint32_t>(p[3]) << 24;
  return v;
}

void store(std::uint8_t* p, std::uint32_t v, int bpp, bool top) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  if (bpp == 4) p[3] = top ? static_cast<std::uint8_t>(v >> 24) : 0;
}

TEST(BlitRows, EveryKernelMatchesTheRuleAndStaysInsideItsRow) {
  constexpr int kGuard = 80, kMaxPixels = 300;
  std::mt19937 rng(5);
  std::vector<std::uint8_t> dst(kMaxPixels * 4 + 2 * kGuard + 64), src(dst.size()), want(dst.size());
  for (const SimdLevel level : kAllSimdLevels) {
    if (!simdLevelSupported(level)) continue;
    for (const PixelFormat df : {PixelFormat::Bgr24, PixelFormat::Xrgb32})
      for (const PixelFormat sf : {PixelFormat::Bgr24, PixelFormat::Xrgb32})
        for (const RopKind kind : kKinds) {
          const RowFn fn = rowKernel(level, kind, df, sf);
          ASSERT_NE(fn, nullptr);
          const int dbpp = bytesPerPixel(df), sbpp = bytesPerPixel(sf);
          for (int n = 0; n <= kMaxPixels; ++n) {
            // Both rows' offsets within a 64-byte line, a few per length;
            // every offset pair turns up across the lengths.
            for (int k = 0; k < 3; ++k) {
              const int dOff = static_cast<int>(rng() % 64), sOff = static_cast<int>(rng() % 64);
              for (auto& b : dst) b = static_cast<std::uint8_t>(rng());
              for (auto& b : src) b = static_cast<std::uint8_t>(rng());
              want = dst;
              std::uint8_t* d = dst.data() + kGuard + dOff;
              const std::uint8_t* s = src.data() + kGuard + sOff;
              for (int x = 0; x < n; ++x) {
                std::uint8_t* w = want.data() + kGuard + dOff + x * dbpp;
                store(w, rule(kind, load(w, dbpp), load(s + x * sbpp, sbpp)), dbpp,
                      readsSource(kind) && dbpp == 4 && sbpp == 4);
              }
              fn(d, readsSource(kind) ? s : nullptr, static_cast<std::size_t>(n));
              ASSERT_EQ(dst, want) << simdLevelName(level) << ", " << sbpp * 8 << " to " << dbpp * 8
                                   << " bits, operation " << static_cast<int>(kind) << ", " << n
                                   << " pixels, offsets " << dOff << " and " << sOff;
            }
          }
        }
  }
}

}  // namespace
