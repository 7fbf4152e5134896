// The span writers against single-pixel stores: every start offset within
// a few registers, every length up to several rounds of the wide loops, on a
// row with guard bytes on both sides.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/gdi/raster.h"

namespace {

using namespace gdi;
using namespace gdi::detail;

TEST(RowWriters, EveryWriterMatchesSinglePixelStoresAndStaysInsideItsSpan) {
  constexpr int kMaxX = 40, kMaxLength = 300, kGuard = 64;
  for (const PixelFormat format : {PixelFormat::Bgr24, PixelFormat::Xrgb32}) {
    const int bpp = bytesPerPixel(format);
        // A colour whose three bytes differ, so a wrong phase shows.
    const FillPattern pattern(0x00A1B2C3u);
    std::vector<std::uint8_t> row((kMaxX + kMaxLength) * 4 + 2 * kGuard + 64);
    std::vector<std::uint8_t> expected(row.size());
    for (const SimdLevel level : kAllSimdLevels) {
      if (!simdLevelSupported(level)) continue;
      for (int base = 0; base < 4; ++base) {  // the row's own alignment
        for (int x0 = 0; x0 < kMaxX; ++x0) {
          for (int n = 0; n <= kMaxLength; ++n) {
            std::fill(row.begin(), row.end(), std::uint8_t{0x5A});
            expected = row;
            std::uint8_t* rowStart = row.data() + kGuard + base * 4;
            std::uint8_t* expectedStart = expected.data() + kGuard + base * 4;
            for (int x = x0; x < x0 + n; ++x) {
              if (bpp == 3)
                storePixel24(expectedStart + x * 3, pattern.px);
              else
                storePixel32(expectedStart + x * 4, pattern.px);
            }
            fillRowFor(format, level)(rowStart, x0, x0 + n, pattern);
            ASSERT_EQ(row, expected) << "format " << bpp * 8 << " bit, " << simdLevelName(level) << ", row offset "
                                     << base * 4 << ", x0 " << x0 << ", length " << n;
          }
        }
      }
    }
  }
}

}  // namespace

namespace {

TEST(RoundHalfAway, AgreesWithTheLibraryOnHalvesNeighboursAndExtremes) {
  const double cases[] = {0.0, -0.0, 0.5, -0.5, 1.5, -1.5, 2.5, -2.5, 0.49999999999999994, -0.49999999999999994,
                          1e-300, -1e-300, 4503599627370495.5, -4503599627370495.5, 4503599627370497.0,
                          9007199254740993.0, 1e18, -1e18, 4.5e18, -4.5e18, 4.7e18, -4.7e18, 1e300, -1e300};
  for (const double v : cases) EXPECT_EQ(gdi::detail::roundHalfAway(v), std::llround(v)) << v;
  // Every quarter between -1000 and 1000.
  for (int i = -4000; i <= 4000; ++i) {
    const double v = i / 4.0;
    ASSERT_EQ(gdi::detail::roundHalfAway(v), std::llround(v)) << v;
  }
}

}  // namespace
