// Handles, objects, device contexts and DIB sections.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "gdi/support.h"

namespace gditest {
namespace {

BITMAPINFO header(LONG w, LONG h, WORD bits, DWORD compression = BI_RGB, WORD planes = 1) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = planes;
  bi.bmiHeader.biBitCount = bits;
  bi.bmiHeader.biCompression = compression;
  return bi;
}

TEST(MemoryDc, StartsWithTheDefaultObjectsAndState) {
  HDC dc = CreateCompatibleDC(0);
  ASSERT_NE(dc, 0u);
  HPEN pen = CreatePen(PS_SOLID, 1, 0);
  HBRUSH brush = CreateSolidBrush(0);
  EXPECT_EQ(SelectObject(dc, pen), GetStockObject(BLACK_PEN));
  EXPECT_EQ(SelectObject(dc, brush), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetBkColor(dc, 0), RGB(255, 255, 255));
  EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), RGB(0, 0, 0));
  EXPECT_EQ(SetStretchBltMode(dc, COLORONCOLOR), BLACKONWHITE);

  // The stock 1x1 monochrome bitmap is what a DIB section displaces.
  Dib other(4, 4);
  BITMAPINFO bi = header(4, 4, 24);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, 0, 0);
  const HGDIOBJ stock = SelectObject(dc, dib);
  BITMAP bm{};
  ASSERT_EQ(GetObjectA(stock, sizeof(BITMAP), &bm), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(bm.bmWidth, 1);
  EXPECT_EQ(bm.bmHeight, 1);
  EXPECT_EQ(bm.bmWidthBytes, 2);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_EQ(bm.bmPlanes, 1);
  EXPECT_EQ(bm.bmBits, nullptr);

  // The stock font is the system font with its fixed metrics.
  TEXTMETRICA tm{};
  ASSERT_TRUE(GetTextMetricsA(dc, &tm));
  EXPECT_EQ(tm.tmHeight, 16);
  EXPECT_EQ(tm.tmAscent, 13);
  EXPECT_EQ(tm.tmDescent, 3);
  EXPECT_EQ(tm.tmPitchAndFamily, 0x21);
  EXPECT_EQ(tm.tmCharSet, 0);

  SelectObject(dc, stock);
  SelectObject(dc, GetStockObject(BLACK_PEN));
  SelectObject(dc, GetStockObject(WHITE_BRUSH));
  DeleteObject(dib);
  DeleteObject(pen);
  DeleteObject(brush);
  DeleteDC(dc);
}

TEST(MemoryDc, DrawingOnTheDefaultBitmapIsHarmless) {
  HDC dc = CreateCompatibleDC(0);
  Dib src(8, 8);
  MoveToEx(dc, 0, 0, nullptr);
  LineTo(dc, 100, 100);
  Rectangle(dc, -5, -5, 5, 5);
  Ellipse(dc, 0, 0, 10, 10);
  TextOutA(dc, 0, 0, "A", 1);
  const POINT tri[] = {{0, 0}, {5, 0}, {0, 5}};
  Polygon(dc, tri, 3);
  BitBlt(dc, 0, 0, 8, 8, src.dc(), 0, 0, SRCCOPY);
  StretchBlt(dc, 0, 0, 3, 3, src.dc(), 0, 0, 8, 8, SRCCOPY);
  BitBlt(src.dc(), 0, 0, 8, 8, dc, 0, 0, SRCCOPY);  // nothing to copy from
  EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
  EXPECT_EQ(src.inked().size(), 0u);
  DeleteDC(dc);
}

TEST(Handles, InvalidStaleAndWrongKindHandlesFailCleanly) {
  Dib dib(8, 8);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  ASSERT_NE(pen, 0u);
  ASSERT_TRUE(DeleteObject(pen));
  HDC otherDc = CreateCompatibleDC(0);
  const HGDIOBJ bad[] = {0u, pen /* stale */, 0xFFFFFFFFu, 0x12345u, otherDc /* a DC is no object */};
  for (HGDIOBJ h : bad) {
    EXPECT_EQ(SelectObject(dib.dc(), h), 0u) << h;
    EXPECT_FALSE(DeleteObject(h)) << h;
  }
  EXPECT_EQ(SelectObject(0, GetStockObject(BLACK_PEN)), 0u);
  EXPECT_EQ(SelectObject(pen, GetStockObject(BLACK_PEN)), 0u);  // a stale handle as DC
  // The DC is unchanged: it still draws with its black pen.
  MoveToEx(dib.dc(), 0, 1, nullptr);
  LineTo(dib.dc(), 4, 1);
  EXPECT_EQ(dib.at(2, 1), RGB(0, 0, 0));
  EXPECT_FALSE(DeleteDC(pen));
  EXPECT_TRUE(DeleteDC(otherDc));
  EXPECT_FALSE(DeleteDC(otherDc));
  EXPECT_FALSE(LineTo(otherDc, 1, 1));
  EXPECT_EQ(GetObjectA(pen, sizeof(BITMAP), nullptr), 0);
  EXPECT_EQ(GetStockObject(-1), 0u);
  EXPECT_EQ(GetStockObject(99), 0u);
  EXPECT_EQ(CreatePen(42, 1, 0), 0u);
}

TEST(Handles, StockObjectsSurviveDeletion) {
  Dib dib(8, 8);
  for (int id : {WHITE_BRUSH, BLACK_BRUSH, NULL_BRUSH, BLACK_PEN, WHITE_PEN, NULL_PEN, SYSTEM_FONT}) {
    const HGDIOBJ h = GetStockObject(id);
    ASSERT_NE(h, 0u) << id;
    EXPECT_TRUE(DeleteObject(h));
    EXPECT_EQ(GetStockObject(id), h);
    const HGDIOBJ previous = SelectObject(dib.dc(), h);
    EXPECT_NE(previous, 0u) << id;
    SelectObject(dib.dc(), previous);
  }
}

TEST(Handles, DeletingASelectedObjectKeepsTheDcUsable) {
  Dib dib(8, 8);
  const std::size_t before = liveHandleCount();
  HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  const HGDIOBJ old = SelectObject(dib.dc(), red);
  EXPECT_TRUE(DeleteObject(red));
  MoveToEx(dib.dc(), 0, 2, nullptr);
  LineTo(dib.dc(), 6, 2);
  EXPECT_EQ(dib.at(3, 2), RGB(255, 0, 0));  // still drawing with it
  EXPECT_EQ(SelectObject(dib.dc(), old), red);
  // Deselected: now it is gone.
  EXPECT_EQ(SelectObject(dib.dc(), red), 0u);
  EXPECT_EQ(liveHandleCount(), before);

  // A DC deleted while holding a deleted pen frees it too.
  HDC dc = CreateCompatibleDC(0);
  HPEN blue = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
  SelectObject(dc, blue);
  DeleteObject(blue);
  DeleteDC(dc);
  EXPECT_EQ(liveHandleCount(), before);
}

TEST(Handles, ABitmapIsSelectedIntoOneDcAtATime) {
  Dib a(4, 4);
  HDC other = CreateCompatibleDC(0);
  EXPECT_EQ(SelectObject(other, a.bitmap()), 0u);
  EXPECT_EQ(SelectObject(a.dc(), a.bitmap()), a.bitmap());  // already there
  DeleteDC(other);
  // Deleting a selected bitmap is deferred: the pixels stay valid.
  EXPECT_TRUE(DeleteObject(a.bitmap()));
  SetPixel(a.dc(), 1, 1, RGB(9, 9, 9));
  EXPECT_EQ(GetPixel(a.dc(), 1, 1), RGB(9, 9, 9));
}

TEST(Handles, CreatingAndDeletingPensDoesNotGrowTheTable) {
  Dib dib(16, 12);
  const std::size_t before = liveHandleCount();
  HPEN first = 0;
  for (int i = 0; i < 150000; ++i) {
    HPEN pen = CreatePen(PS_SOLID, 1 + i % 6, RGB(i & 255, 0, 0));
    ASSERT_NE(pen, 0u);
    if (i == 0) first = pen;
    const HGDIOBJ old = SelectObject(dib.dc(), pen);
    LineTo(dib.dc(), i % 16, i % 12);
    SelectObject(dib.dc(), old);
    DeleteObject(pen);
  }
  EXPECT_EQ(liveHandleCount(), before);
  // Slots are reused, but never under the same handle value.
  EXPECT_EQ(SelectObject(dib.dc(), first), 0u);
}

TEST(Handles, AStaleHandleStaysInvalidThroughMoreThanAMillionReusesOfItsSlot) {
  Dib dib(4, 4);
  // Fill the table, so that the one slot freed below is the only free one
  // and every new pen must reuse it.
  std::vector<HPEN> held;
  for (HPEN p; (p = CreatePen(PS_SOLID, 1, RGB(1, 2, 3))) != 0;) held.push_back(p);
  ASSERT_GT(held.size(), 1000u) << "the table holds at least a thousand objects";
  const HPEN stale = held.back();
  held.pop_back();
  ASSERT_TRUE(DeleteObject(stale));
  constexpr int kReuses = (1 << 20) + 2;
  for (int i = 0; i < kReuses; ++i) {
    const HPEN live = CreatePen(PS_SOLID, 1, RGB(4, 5, 6));
    ASSERT_NE(live, 0u) << "reuse " << i;
    ASSERT_NE(live, stale) << "reuse " << i;
    // Neither deleting nor selecting through the stale handle reaches the
    // live pen in its slot.
    if (i % 4096 == 0 || i >= kReuses - 2) {
      ASSERT_FALSE(DeleteObject(stale)) << "reuse " << i;
      ASSERT_EQ(SelectObject(dib.dc(), stale), 0u) << "reuse " << i;
    }
    ASSERT_TRUE(DeleteObject(live)) << "reuse " << i;
  }
  for (HPEN p : held) DeleteObject(p);
}

TEST(Handles, FreeSlotsAreReusedOldestFirst) {
  HPEN a = CreatePen(PS_SOLID, 1, 0), b = CreatePen(PS_SOLID, 1, 0);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  DeleteObject(a);
  DeleteObject(b);
  // Whatever was free before, a's slot comes up again before b's.
  std::vector<HPEN> taken;
  int posA = -1, posB = -1;
  for (int i = 0; i < 5000 && (posA < 0 || posB < 0); ++i) {
    const HPEN p = CreatePen(PS_SOLID, 1, 0);
    ASSERT_NE(p, 0u);
    if ((p & 0x7FF) == (a & 0x7FF)) posA = i;
    if ((p & 0x7FF) == (b & 0x7FF)) posB = i;
    taken.push_back(p);
  }
  for (HPEN p : taken) DeleteObject(p);
  ASSERT_GE(posA, 0);
  EXPECT_EQ(posB, posA + 1);
}

TEST(DibSection, RejectsWhatItCannotMake) {
  struct Case {
    const char* what;
    BITMAPINFO bi;
  } cases[] = {
      {"16 bits", header(8, 8, 16)},
      {"8 bits", header(8, 8, 8)},
      {"1 bit", header(8, 8, 1)},
      {"compressed", header(8, 8, 24, 3)},
      {"two planes", header(8, 8, 24, BI_RGB, 2)},
      {"zero width", header(0, 8, 24)},
      {"zero height", header(8, 0, 24)},
      {"negative width", header(-8, 8, 24)},
      {"overflowing size", header(INT_MAX, INT_MAX, 24)},
      {"overflowing size, top-down", header(INT_MAX, -INT_MAX, 32)},
      {"INT_MIN height", header(8, INT_MIN, 24)},
      {"more than memory", header(1 << 20, 1 << 20, 32)},
  };
  for (auto& c : cases) {
    void* bits = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(CreateDIBSection(0, &c.bi, DIB_RGB_COLORS, &bits, 0, 0), 0u) << c.what;
    EXPECT_EQ(bits, nullptr) << c.what;
  }
  BITMAPINFO ok = header(8, 8, 24);
  EXPECT_EQ(CreateDIBSection(0, nullptr, DIB_RGB_COLORS, nullptr, 0, 0), 0u);
  EXPECT_EQ(CreateDIBSection(0, &ok, 7, nullptr, 0, 0), 0u);
  ok.bmiHeader.biSize = 12;
  EXPECT_EQ(CreateDIBSection(0, &ok, DIB_RGB_COLORS, nullptr, 0, 0), 0u);
}

TEST(DibSection, LayoutAndGetObject) {
  struct Case {
    LONG w, h;
    WORD bits;
    LONG stride;
  } cases[] = {{1, 3, 24, 4}, {2, 2, 24, 8}, {3, 2, 24, 12}, {4, 2, 24, 12}, {5, -2, 24, 16},
               {500, 2, 24, 1500}, {3, 2, 32, 12}, {7, -3, 32, 28}};
  for (const Case& c : cases) {
    BITMAPINFO bi = header(c.w, c.h, c.bits);
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(0);
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, 0, 0);
    ASSERT_NE(bmp, 0u);
    ASSERT_NE(bits, nullptr);
    const LONG rows = c.h < 0 ? -c.h : c.h;
    // A new section is zero-filled, padding included.
    const auto* bytes = static_cast<const unsigned char*>(bits);
    for (LONG i = 0; i < c.stride * rows; ++i) ASSERT_EQ(bytes[i], 0) << i;

    BITMAP bm{};
    EXPECT_EQ(GetObjectA(bmp, sizeof(BITMAP), &bm), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmType, 0);
    EXPECT_EQ(bm.bmWidth, c.w);
    EXPECT_EQ(bm.bmHeight, rows);
    EXPECT_EQ(bm.bmWidthBytes, c.stride);
    EXPECT_EQ(bm.bmPlanes, 1);
    EXPECT_EQ(bm.bmBitsPixel, c.bits);
    EXPECT_EQ(bm.bmBits, bits);

    // Asking for 24 bytes gets the record up to the pointer, nothing more.
    unsigned char raw[sizeof(BITMAP)];
    std::memset(raw, 0xEE, sizeof(raw));
    EXPECT_EQ(GetObjectA(bmp, 24, raw), 24);
    LONG width = 0;
    std::memcpy(&width, raw + 4, 4);
    EXPECT_EQ(width, c.w);
    for (std::size_t i = 24; i < sizeof(raw); ++i) EXPECT_EQ(raw[i], 0xEE);
    EXPECT_EQ(GetObjectA(bmp, 20, raw), 0);

    // Row order: a positive height is bottom-up, so pixel (0, 0) is in the
    // last row in memory; a negative height is top-down.
    const HGDIOBJ old = SelectObject(dc, bmp);
    SetPixel(dc, 0, 0, RGB(0x11, 0x22, 0x33));
    const LONG row0 = c.h > 0 ? (rows - 1) * c.stride : 0;
    EXPECT_EQ(bytes[row0 + 0], 0x33);  // blue first
    EXPECT_EQ(bytes[row0 + 1], 0x22);
    EXPECT_EQ(bytes[row0 + 2], 0x11);
    if (c.bits == 32) {
      EXPECT_EQ(bytes[row0 + 3], 0);
    }
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  }
}

TEST(DibSection, DrawingNeverTouchesRowPadding) {
  // Width 5 at 24 bits: 15 pixel bytes and one padding byte per row.
  BITMAPINFO bi = header(5, 6, 24);
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(0);
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, 0, 0);
  const HGDIOBJ old = SelectObject(dc, bmp);
  auto* bytes = static_cast<unsigned char*>(bits);
  for (int y = 0; y < 6; ++y) bytes[y * 16 + 15] = 0xAB;
  {
    PenBrush pb(dc, 3, RGB(1, 2, 3), RGB(4, 5, 6));
    Rectangle(dc, -3, -3, 10, 10);
    Ellipse(dc, -10, -10, 20, 20);
    MoveToEx(dc, -5, 3, nullptr);
    LineTo(dc, 20, 3);
    const POINT quad[] = {{-9, -9}, {30, -9}, {30, 30}, {-9, 30}};
    Polygon(dc, quad, 4);
    RECT r{-1, -1, 50, 50};
    FillRect(dc, &r, GetStockObject(BLACK_BRUSH));
  }
  for (int y = 0; y < 6; ++y) EXPECT_EQ(bytes[y * 16 + 15], 0xAB) << "row " << y;
  EXPECT_EQ(GetPixel(dc, 4, 5), RGB(0, 0, 0));
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
}

TEST(FillRect, FillsTheHalfOpenRectangleWithoutNormalising) {
  Dib dib(16, 12);
  HBRUSH b = CreateSolidBrush(RGB(0, 0, 255));
  RECT r{2, 3, 6, 5};
  EXPECT_TRUE(FillRect(dib.dc(), &r, b));
  std::set<std::pair<int, int>> want;
  for (int y = 3; y < 5; ++y)
    for (int x = 2; x < 6; ++x) want.insert({x, y});
  EXPECT_EQ(dib.inked(), want);
  RECT unordered{6, 5, 2, 3};
  FillRect(dib.dc(), &unordered, GetStockObject(BLACK_BRUSH));
  EXPECT_EQ(dib.inked(), want);
  EXPECT_FALSE(FillRect(dib.dc(), nullptr, b));
  EXPECT_FALSE(FillRect(dib.dc(), &r, 0));
  DeleteObject(b);
}

TEST(ViewDc, DrawsThroughItsOriginAndOnlyInsideItsClip) {
  // A 32-bit buffer owned by the caller, as a window's back buffer is.
  std::vector<std::uint32_t> pixels(32 * 24, 0x00ABCDEF);
  PixelView view{reinterpret_cast<std::uint8_t*>(pixels.data()), 32 * 4, 32, 24, PixelFormat::Xrgb32};
  HDC dc = CreateViewDC(view, POINT{10, 6}, RECT{8, 4, 20, 16});
  ASSERT_NE(dc, 0u);
  int hooked = 0;
  SetDrawHook(dc, [](void* n) { ++*static_cast<int*>(n); }, &hooked);
  {
    PenBrush pb(dc, 5, RGB(255, 0, 0), RGB(0, 255, 0));
    Rectangle(dc, -1000, -1000, 1000, 1000);
    Ellipse(dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    MoveToEx(dc, INT_MIN, 3, nullptr);
    LineTo(dc, INT_MAX, 3);
  }
  EXPECT_EQ(hooked, 3);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 32; ++x) {
      const bool inside = x >= 8 && x < 20 && y >= 4 && y < 16;
      if (!inside) {
        ASSERT_EQ(pixels[static_cast<std::size_t>(y * 32 + x)], 0x00ABCDEFu) << x << "," << y;
      }
    }
  // Logical (0, 0) is device (10, 6).
  SetPixel(dc, 0, 0, RGB(1, 2, 3));
  EXPECT_EQ(pixels[6 * 32 + 10], 0x00010203u);
  EXPECT_EQ(GetPixel(dc, -2, -2), RGB(pixels[4 * 32 + 8] >> 16 & 255, pixels[4 * 32 + 8] >> 8 & 255, pixels[4 * 32 + 8] & 255));
  EXPECT_EQ(GetPixel(dc, -3, 0), CLR_INVALID);  // left of the clip

  // Pointed somewhere else after a resize.
  EXPECT_TRUE(SetViewDC(dc, view, POINT{0, 0}, RECT{0, 0, 32, 24}));
  SetPixel(dc, 31, 23, RGB(0, 0, 0));
  EXPECT_EQ(pixels[23 * 32 + 31], 0u);
  DeleteDC(dc);

  PixelView bad = view;
  bad.top = nullptr;
  EXPECT_EQ(CreateViewDC(bad, POINT{0, 0}, RECT{0, 0, 1, 1}), 0u);
  bad = view;
  bad.stride = 8;  // rows narrower than the width
  EXPECT_EQ(CreateViewDC(bad, POINT{0, 0}, RECT{0, 0, 1, 1}), 0u);
}

TEST(CallCounters, CountEveryFacadeCall) {
  const CallCounts before = callCounts();
  Dib dib(4, 4);
  HPEN p = CreatePen(PS_SOLID, 1, 0);
  SelectObject(dib.dc(), p);
  LineTo(dib.dc(), 3, 3);
  LineTo(0, 3, 3);  // failed calls count too
  const CallCounts after = callCounts();
  EXPECT_EQ(after[static_cast<std::size_t>(Fn::CreatePen)] - before[static_cast<std::size_t>(Fn::CreatePen)], 1u);
  EXPECT_EQ(after[static_cast<std::size_t>(Fn::LineTo)] - before[static_cast<std::size_t>(Fn::LineTo)], 2u);
  EXPECT_EQ(fnName(Fn::StretchBlt), "StretchBlt");
  SelectObject(dib.dc(), GetStockObject(BLACK_PEN));
  DeleteObject(p);
}

}  // namespace
}  // namespace gditest
