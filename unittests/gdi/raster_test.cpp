// The span writers against single-pixel stores: every start offset within
// a few registers, every length up to several rounds of the wide loops, on a
// row with guard bytes on both sides.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gdi/support.h"
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
                Px24::store(expectedStart + x * 3, pattern.px);
              else
                Px32::store(expectedStart + x * 4, pattern.px);
            }
            pixelKernels(format, level).fillRow(rowStart, x0, x0 + n, pattern);
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

namespace {

using gditest::Dib;

// One of every primitive family, over the edges of a small surface: thin
// and wide lines, a polygon, an ellipse, an arc, a Bézier, text, a fill, a
// blit with each combining operation and a stretch.
void drawScene(const Dib& dib, const Dib& source) {
  const HDC dc = dib.dc();
  const HPEN pens[] = {CreatePen(PS_SOLID, 1, RGB(200, 10, 30)), CreatePen(PS_SOLID, 5, RGB(10, 90, 220)),
                       CreatePen(PS_SOLID, 12, RGB(40, 220, 60))};
  const HBRUSH brush = CreateSolidBrush(RGB(120, 60, 180));
  const HGDIOBJ oldPen = SelectObject(dc, pens[0]);
  const HGDIOBJ oldBrush = SelectObject(dc, brush);
  for (int i = 0; i < 3; ++i) {
    SelectObject(dc, pens[i]);
    MoveToEx(dc, -7 + i, 3 + 7 * i, nullptr);
    LineTo(dc, 70 - 9 * i, 41 - 5 * i);
    LineTo(dc, 13 + i, -4);
  }
  const POINT poly[] = {{-5, 20}, {30, -6}, {71, 25}, {33, 52}, {20, 10}};
  Polygon(dc, poly, 5);
  Ellipse(dc, 8, 5, 61, 39);
  Arc(dc, -10, -8, 40, 30, 60, 0, 0, 50);
  const POINT bez[] = {{0, 47}, {20, -30}, {40, 90}, {66, 2}};
  PolyBezier(dc, bez, 4);
  Rectangle(dc, 50, 30, 70, 55);
  const RECT box{3, 40, 29, 46};
  FillRect(dc, &box, brush);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(250, 240, 20));
  TextOutA(dc, 2, 14, "Wg&8", 4);
  BitBlt(dc, 37, 3, 30, 20, source.dc(), 1, 2, SRCPAINT);
  BitBlt(dc, -3, 25, 24, 30, source.dc(), 5, 0, SRCINVERT);
  StretchBlt(dc, 20, 20, 45, 27, source.dc(), 0, 0, 17, 11, SRCCOPY);
  StretchBlt(dc, 60, 0, 4, 48, source.dc(), 3, 3, 30, 20, SRCAND);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  for (HPEN p : pens) DeleteObject(p);
  DeleteObject(brush);
}

std::vector<std::uint8_t> pixelsOf(const Dib& dib) {
  PixelView v;
  EXPECT_TRUE(GetDCPixels(dib.dc(), &v));
  std::vector<std::uint8_t> out;
  for (int y = 0; y < v.height; ++y) {
    const std::uint8_t* row = v.top + static_cast<std::ptrdiff_t>(y) * v.stride;
    out.insert(out.end(), row, row + static_cast<std::ptrdiff_t>(v.width) * bytesPerPixel(v.format));
  }
  return out;
}

TEST(KernelTable, EveryLevelDrawsTheScalarReferencesPixels) {
  for (const int bits : {24, 32}) {
    for (const int srcBits : {24, 32}) {
      std::vector<std::uint8_t> reference;
      for (const SimdLevel level : gditest::supportedSimdLevels()) {
        gditest::ScopedSimdLevel scoped(level);
        SCOPED_TRACE(::testing::Message() << bits << "-bit target, " << srcBits << "-bit source, "
                                          << simdLevelName(level));
        Dib dib(67, 48, bits), source(40, 30, srcBits);
        for (int y = 0; y < 30; ++y)
          for (int x = 0; x < 40; ++x) SetPixel(source.dc(), x, y, RGB(x * 6, y * 8, (x ^ y) * 5));
        drawScene(dib, source);
        const std::vector<std::uint8_t> got = pixelsOf(dib);
        if (level == SimdLevel::Scalar)
          reference = got;
        else
          ASSERT_EQ(got, reference);
      }
    }
  }
}

TEST(KernelTable, EachEntryBelongsToItsFormatAndLevel) {
  for (const PixelFormat f : {PixelFormat::Bgr24, PixelFormat::Xrgb32})
    for (const SimdLevel level : gditest::supportedSimdLevels()) {
      const PixelKernels& k = pixelKernels(f, level);
      EXPECT_EQ(k.format, f);
      EXPECT_EQ(k.bpp, bytesPerPixel(f));
      EXPECT_EQ(k.level, level);
      std::uint8_t px[4] = {0x11, 0x22, 0x33, 0x44};
      k.storePixel(px, 0x00A1B2C3u);
      EXPECT_EQ(k.loadPixel(px) & 0xFFFFFFu, 0xA1B2C3u);
      EXPECT_EQ(px[3], f == PixelFormat::Bgr24 ? 0x44 : 0x00) << "a 24-bit store stays inside its pixel";
    }
}

}  // namespace
