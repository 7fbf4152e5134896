// Fonts and TextOutA, driven through the facade only.
//
// Expected metrics are computed here from Liberation Sans' own numbers
// (unitsPerEm 2048, usWinAscent 1854, usWinDescent 434) with the GDI sizing
// rule of gdi-notes.md, never read back from the implementation.
//
// Pixel checks use a coverage map: the same text drawn black on white,
// transparently, leaves 255 - coverage in every channel, so a second drawing
// on any background can be checked pixel by pixel against the blend
// d + (c - d) * a / 255: exact where a is 0 or 255, within one unit between.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"

extern char** environ;

namespace {

using namespace gdi;

// ---- helpers ----------------------------------------------------------------

constexpr double kUnitsPerEm = 2048;
constexpr double kWinAscent = 1854;
constexpr double kWinDescent = 434;

struct Cell {
  LONG ppem, ascent, descent;
  LONG height() const { return ascent + descent; }
};

Cell expectedCell(LONG lfHeight) {
  Cell c{};
  if (lfHeight < 0) {
    c.ppem = -lfHeight;
  } else {
    const LONG h = lfHeight == 0 ? 16 : lfHeight;
    const double cellUnits = kWinAscent + kWinDescent;
    c.ppem = static_cast<LONG>(std::lround(kUnitsPerEm * h / cellUnits));
    if (std::lround(cellUnits * c.ppem / kUnitsPerEm) > h) --c.ppem;
  }
  c.ascent = static_cast<LONG>(std::lround(kWinAscent * c.ppem / kUnitsPerEm));
  c.descent = static_cast<LONG>(std::lround(kWinDescent * c.ppem / kUnitsPerEm));
  return c;
}

LOGFONTA makeLogFont(LONG height, LONG weight = FW_DONTCARE, const char* face = "Arial",
                     BYTE italic = 0) {
  LOGFONTA lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfItalic = italic;
  std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return lf;
}

HFONT makeFont(LONG height, LONG weight = FW_DONTCARE, const char* face = "Arial",
               BYTE italic = 0) {
  const LOGFONTA lf = makeLogFont(height, weight, face, italic);
  return CreateFontIndirectA(&lf);
}

// A DIB section selected into its own memory DC, with a font slot.
class Surface {
 public:
  Surface(int width, int height, int bpp, bool topDown = false) : bpp_(bpp / 8) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = topDown ? -height : height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = static_cast<WORD>(bpp);
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_ = CreateCompatibleDC(0);
    bmp_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, 0, 0);
    oldBmp_ = SelectObject(dc_, bmp_);
    ok_ = dc_ != 0 && bmp_ != 0 && oldBmp_ != 0 && GetDCPixels(dc_, &view_);
  }
  ~Surface() {
    if (oldFont_ != 0) SelectObject(dc_, oldFont_);
    if (font_ != 0) DeleteObject(font_);
    SelectObject(dc_, oldBmp_);
    DeleteObject(bmp_);
    DeleteDC(dc_);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  bool ok() const { return ok_; }
  HDC dc() const { return dc_; }
  int width() const { return view_.width; }
  int height() const { return view_.height; }
  int bpp() const { return bpp_; }

  // Selects a new font (the surface deletes it).
  bool useFont(HFONT f) {
    if (f == 0) return false;
    HGDIOBJ prev = SelectObject(dc_, f);
    if (prev == 0) return false;
    if (oldFont_ == 0) oldFont_ = prev;
    if (font_ != 0) DeleteObject(font_);
    font_ = f;
    return true;
  }

  std::size_t rowBytes() const {
    return static_cast<std::size_t>(view_.stride < 0 ? -view_.stride : view_.stride);
  }
  std::uint8_t* row(int y) const { return view_.top + static_cast<std::ptrdiff_t>(y) * view_.stride; }
  const std::uint8_t* at(int x, int y) const { return row(y) + static_cast<std::ptrdiff_t>(x) * bpp_; }

  // Every byte of every row, padding included.
  void fill(std::uint8_t value) {
    for (int y = 0; y < height(); ++y) std::memset(row(y), value, rowBytes());
  }
  void fillNoise(std::uint32_t seed) {
    for (int y = 0; y < height(); ++y)
      for (std::size_t i = 0; i < rowBytes(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        row(y)[i] = static_cast<std::uint8_t>(seed >> 24);
      }
  }
  std::vector<std::uint8_t> snapshot() const {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < height(); ++y) out.insert(out.end(), row(y), row(y) + rowBytes());
    return out;
  }
  const std::uint8_t* in(const std::vector<std::uint8_t>& snap, int x, int y) const {
    return snap.data() + static_cast<std::size_t>(y) * rowBytes() + static_cast<std::size_t>(x) * bpp_;
  }

 private:
  int bpp_;
  HDC dc_ = 0;
  HBITMAP bmp_ = 0;
  HGDIOBJ oldBmp_ = 0;
  HFONT font_ = 0;
  HGDIOBJ oldFont_ = 0;
  PixelView view_{};
  bool ok_ = false;
};

TEXTMETRICA metricsOf(HDC dc) {
  TEXTMETRICA tm{};
  EXPECT_TRUE(GetTextMetricsA(dc, &tm));
  return tm;
}

TEXTMETRICA metricsOfFont(HFONT f) {
  HDC dc = CreateCompatibleDC(0);
  HGDIOBJ prev = SelectObject(dc, f);
  EXPECT_NE(prev, 0u);
  const TEXTMETRICA tm = metricsOf(dc);
  SelectObject(dc, prev);
  DeleteDC(dc);
  return tm;
}

// Coverage (0..255) of `text` drawn with the surface's font at (x, y): black
// on white, transparently, in a scratch copy of the same size and format.
std::vector<int> coverageOf(HFONT font, int width, int height, int bpp, int x, int y,
                            const char* text, int n) {
  Surface s(width, height, bpp);
  EXPECT_TRUE(s.ok());
  s.fill(0xFF);
  HGDIOBJ prev = SelectObject(s.dc(), font);
  SetBkMode(s.dc(), TRANSPARENT);
  SetTextColor(s.dc(), RGB(0, 0, 0));
  TextOutA(s.dc(), x, y, text, n);
  SelectObject(s.dc(), prev);
  std::vector<int> cov(static_cast<std::size_t>(width) * height);
  for (int yy = 0; yy < height; ++yy)
    for (int xx = 0; xx < width; ++xx) {
      const std::uint8_t* p = s.at(xx, yy);
      EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << "grey coverage at " << xx << "," << yy;
      cov[static_cast<std::size_t>(yy) * width + xx] = 255 - p[0];
    }
  return cov;
}

long inkOf(const std::vector<int>& cov) {
  long sum = 0;
  for (int a : cov) sum += a;
  return sum;
}

// Checks one drawing against the blend model: every pixel is `base` (the
// background colour inside the opaque box, the old pixel elsewhere) blended
// with the text colour by its coverage; untouched pixels keep every byte.
void expectBlend(const Surface& s, const std::vector<std::uint8_t>& before,
                 const std::vector<int>& cov, COLORREF text, bool opaque, COLORREF bk, int bx0,
                 int by0, int bx1, int by1) {
  const std::uint8_t tc[3] = {GetBValue(text), GetGValue(text), GetRValue(text)};
  const std::uint8_t bc[3] = {GetBValue(bk), GetGValue(bk), GetRValue(bk)};
  int bad = 0;
  for (int y = 0; y < s.height() && bad < 10; ++y) {
    for (int x = 0; x < s.width() && bad < 10; ++x) {
      const int a = cov[static_cast<std::size_t>(y) * s.width() + x];
      const bool inBox = opaque && x >= bx0 && x < bx1 && y >= by0 && y < by1;
      const std::uint8_t* now = s.at(x, y);
      const std::uint8_t* old = s.in(before, x, y);
      if (a == 0 && !inBox) {
        if (std::memcmp(now, old, static_cast<std::size_t>(s.bpp())) != 0) {
          ++bad;
          ADD_FAILURE() << "pixel " << x << "," << y << " changed outside the glyphs";
        }
        continue;
      }
      for (int k = 0; k < 3; ++k) {
        const int d = inBox ? bc[k] : old[k];
        const double want = d + (tc[k] - d) * a / 255.0;
        const int got = now[k];
        const bool exact = a == 255 || a == 0;
        if (exact ? got != static_cast<int>(want) : std::abs(got - want) > 1.0) {
          ++bad;
          ADD_FAILURE() << "pixel " << x << "," << y << " channel " << k << ": got " << got
                        << ", want " << want << " (coverage " << a << ", base " << d << ")";
        }
      }
      if (s.bpp() == 4 && now[3] != 0) {
        ++bad;
        ADD_FAILURE() << "pixel " << x << "," << y << " written without a zero top byte";
      }
    }
  }
  // Row padding of 24-bit rows is never written.
  const std::size_t used = static_cast<std::size_t>(s.width()) * s.bpp();
  for (int y = 0; y < s.height(); ++y)
    for (std::size_t i = used; i < s.rowBytes(); ++i)
      ASSERT_EQ(s.row(y)[i], before[static_cast<std::size_t>(y) * s.rowBytes() + i])
          << "row padding written in row " << y;
}

// ---- metrics ----------------------------------------------------------------

TEST(FontMetrics, CellHeightTableFollowsTheWinMetricsRule) {
  for (LONG h : {1, 8, 12, 16, 20, 32, 50, 107}) {
    SCOPED_TRACE("lfHeight " + std::to_string(h));
    HFONT f = makeFont(h);
    ASSERT_NE(f, 0u);
    const TEXTMETRICA tm = metricsOfFont(f);
    const Cell c = expectedCell(h);
    EXPECT_EQ(tm.tmAscent, c.ascent);
    EXPECT_EQ(tm.tmDescent, c.descent);
    EXPECT_EQ(tm.tmHeight, c.height());
    EXPECT_EQ(tm.tmInternalLeading, c.height() - c.ppem);
    EXPECT_GE(tm.tmExternalLeading, 0);
    EXPECT_GT(tm.tmAveCharWidth, 0);
    EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
    EXPECT_EQ(tm.tmWeight, FW_NORMAL);
    EXPECT_EQ(tm.tmOverhang, 0);
    EXPECT_EQ(tm.tmDigitizedAspectX, 96);
    EXPECT_EQ(tm.tmDigitizedAspectY, 96);
    EXPECT_EQ(tm.tmFirstChar, 32);
    EXPECT_EQ(tm.tmLastChar, 255);
    EXPECT_EQ(tm.tmDefaultChar, 31);
    EXPECT_EQ(tm.tmBreakChar, 32);
    EXPECT_EQ(tm.tmItalic, 0);
    EXPECT_EQ(tm.tmPitchAndFamily, 0x27);  // variable pitch, vector, TrueType, FF_SWISS
    EXPECT_EQ(tm.tmCharSet, ANSI_CHARSET);
    DeleteObject(f);
  }
}

TEST(FontMetrics, EveryBenchmarkSizeFollowsTheRule) {
  // The benchmark's 100 sizes: every one resolves, by the same rule. (The
  // rule rounds ascent and descent one by one, so a cell can come out one
  // pixel taller than asked: 50 gives 41 + 10.)
  for (LONG h = 8; h <= 107; ++h) {
    HFONT f = makeFont(h);
    ASSERT_NE(f, 0u) << h;
    const TEXTMETRICA tm = metricsOfFont(f);
    const Cell c = expectedCell(h);
    EXPECT_EQ(tm.tmHeight, c.height()) << h;
    EXPECT_EQ(tm.tmAscent, c.ascent) << h;
    DeleteObject(f);
  }
}

TEST(FontMetrics, NegativeHeightIsTheEmHeight) {
  for (LONG h : {-8, -12, -16, -33, -100}) {
    SCOPED_TRACE("lfHeight " + std::to_string(h));
    HFONT f = makeFont(h);
    ASSERT_NE(f, 0u);
    const TEXTMETRICA tm = metricsOfFont(f);
    const Cell c = expectedCell(h);
    EXPECT_EQ(tm.tmAscent, c.ascent);
    EXPECT_EQ(tm.tmDescent, c.descent);
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, -h);
    DeleteObject(f);
  }
}

TEST(FontMetrics, ZeroHeightIsTheDefaultCellOf16) {
  HFONT zero = makeFont(0);
  HFONT sixteen = makeFont(16);
  ASSERT_NE(zero, 0u);
  ASSERT_NE(sixteen, 0u);
  const TEXTMETRICA a = metricsOfFont(zero);
  const TEXTMETRICA b = metricsOfFont(sixteen);
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
  EXPECT_EQ(a.tmHeight, expectedCell(16).height());
  DeleteObject(zero);
  DeleteObject(sixteen);
}

TEST(FontMetrics, AbsurdHeightsAreClampedAndStillDraw) {
  Surface s(40, 30, 24);
  ASSERT_TRUE(s.ok());
  for (LONG h : {LONG{INT_MIN}, LONG{INT_MAX}, LONG{-1000000}, LONG{1000000}, LONG{-2001},
                 LONG{2001}, LONG{-1}, LONG{1}}) {
    SCOPED_TRACE("lfHeight " + std::to_string(h));
    HFONT f = makeFont(h);
    ASSERT_NE(f, 0u);
    ASSERT_TRUE(s.useFont(f));
    const TEXTMETRICA tm = metricsOf(s.dc());
    EXPECT_GT(tm.tmHeight, 0);
    EXPECT_LE(tm.tmHeight, 4000);
    SetBkMode(s.dc(), OPAQUE);
    EXPECT_TRUE(TextOutA(s.dc(), -5, -7, "W@", 2));
    SIZE sz{};
    EXPECT_TRUE(GetTextExtentPoint32A(s.dc(), "W@", 2, &sz));
    EXPECT_EQ(sz.cy, tm.tmHeight);
  }
}

TEST(FontMetrics, WeightRuleAndVisiblyHeavierInk) {
  struct Case {
    LONG weight;
    LONG tmWeight;
  };
  for (const Case& c : {Case{FW_DONTCARE, 400}, Case{100, 400}, Case{FW_NORMAL, 400},
                        Case{550, 400}, Case{551, 700}, Case{FW_BOLD, 700}, Case{900, 700}}) {
    HFONT f = makeFont(20, c.weight);
    ASSERT_NE(f, 0u);
    EXPECT_EQ(metricsOfFont(f).tmWeight, c.tmWeight) << "lfWeight " << c.weight;
    DeleteObject(f);
  }
  HFONT regular = makeFont(40, FW_DONTCARE);
  HFONT normal = makeFont(40, FW_NORMAL);
  HFONT bold = makeFont(40, FW_BOLD);
  const long inkRegular = inkOf(coverageOf(regular, 200, 60, 24, 5, 5, "HHHH", 4));
  const long inkNormal = inkOf(coverageOf(normal, 200, 60, 24, 5, 5, "HHHH", 4));
  const long inkBold = inkOf(coverageOf(bold, 200, 60, 24, 5, 5, "HHHH", 4));
  EXPECT_GT(inkRegular, 0);
  EXPECT_EQ(inkRegular, inkNormal);  // FW_DONTCARE is the regular face
  EXPECT_GT(inkBold * 100, inkRegular * 130) << "bold " << inkBold << " regular " << inkRegular;
  DeleteObject(regular);
  DeleteObject(normal);
  DeleteObject(bold);
}

TEST(FontMetrics, ItalicIsReportedAndDrawnDifferently) {
  HFONT upright = makeFont(30);
  HFONT italic = makeFont(30, FW_DONTCARE, "Arial", 1);
  ASSERT_NE(italic, 0u);
  EXPECT_NE(metricsOfFont(italic).tmItalic, 0);
  EXPECT_EQ(metricsOfFont(upright).tmItalic, 0);
  EXPECT_NE(coverageOf(upright, 120, 40, 24, 2, 2, "HIl", 3),
            coverageOf(italic, 120, 40, 24, 2, 2, "HIl", 3));
  DeleteObject(upright);
  DeleteObject(italic);
}

TEST(FontMetrics, FaceNameEndsAtItsZeroByte) {
  // The benchmark's record: "Arial", a zero, then blanks to 32 characters.
  LOGFONTA padded = makeLogFont(24);
  std::memset(padded.lfFaceName, ' ', LF_FACESIZE);
  std::memcpy(padded.lfFaceName, "Arial", 6);
  LOGFONTA garbage = makeLogFont(24);
  std::memset(garbage.lfFaceName, 'x', LF_FACESIZE);
  std::memcpy(garbage.lfFaceName, "Arial", 6);
  LOGFONTA lower = makeLogFont(24, FW_DONTCARE, "arial");
  HFONT plain = makeFont(24);
  HFONT a = CreateFontIndirectA(&padded);
  HFONT b = CreateFontIndirectA(&garbage);
  HFONT c = CreateFontIndirectA(&lower);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  ASSERT_NE(c, 0u);
  const TEXTMETRICA want = metricsOfFont(plain);
  EXPECT_EQ(want.tmHeight, expectedCell(24).height());
  for (HFONT f : {a, b, c}) {
    const TEXTMETRICA tm = metricsOfFont(f);
    EXPECT_EQ(std::memcmp(&tm, &want, sizeof tm), 0);
    EXPECT_EQ(coverageOf(f, 100, 40, 24, 3, 3, "Abg", 3), coverageOf(plain, 100, 40, 24, 3, 3, "Abg", 3));
  }
  // GetObjectA hands the record back as given, padding included.
  LOGFONTA back{};
  EXPECT_EQ(GetObjectA(a, sizeof back, &back), static_cast<int>(sizeof back));
  EXPECT_EQ(std::memcmp(back.lfFaceName, padded.lfFaceName, LF_FACESIZE), 0);
  for (HFONT f : {plain, a, b, c}) DeleteObject(f);
}

TEST(FontMetrics, UnknownOrUnterminatedFaceFallsBackToASansFace) {
  LOGFONTA full = makeLogFont(20);
  std::memset(full.lfFaceName, 'Q', LF_FACESIZE);  // no zero byte at all
  HFONT unterminated = CreateFontIndirectA(&full);
  HFONT unknown = makeFont(20, FW_DONTCARE, "No Such Face Vex2D");
  HFONT empty = makeFont(20, FW_DONTCARE, "");
  for (HFONT f : {unterminated, unknown, empty}) {
    ASSERT_NE(f, 0u);
    const TEXTMETRICA tm = metricsOfFont(f);
    EXPECT_GT(tm.tmHeight, 0);
    EXPECT_LE(tm.tmHeight, 20);
    EXPECT_EQ(tm.tmPitchAndFamily & 0xF0, 0x20);  // FF_SWISS
    EXPECT_GT(inkOf(coverageOf(f, 60, 30, 24, 2, 2, "Ab", 2)), 0);
    DeleteObject(f);
  }
}

TEST(FontMetrics, SystemFontOfAFreshMemoryDc) {
  HDC dc = CreateCompatibleDC(0);
  ASSERT_NE(dc, 0u);
  const TEXTMETRICA tm = metricsOf(dc);
  EXPECT_EQ(tm.tmHeight, 16);
  EXPECT_EQ(tm.tmAscent, 13);
  EXPECT_EQ(tm.tmDescent, 3);
  EXPECT_EQ(tm.tmWeight, FW_BOLD);
  EXPECT_EQ(tm.tmPitchAndFamily, 0x21);
  EXPECT_EQ(tm.tmCharSet, ANSI_CHARSET);
  EXPECT_EQ(tm.tmAveCharWidth, 7);
  EXPECT_GT(tm.tmMaxCharWidth, tm.tmAveCharWidth);
  EXPECT_EQ(tm.tmItalic, 0);
  SIZE sz{};
  EXPECT_TRUE(GetTextExtentPoint32A(dc, "abc", 3, &sz));
  EXPECT_EQ(sz.cy, 16);
  EXPECT_GT(sz.cx, 0);
  // GetStockObject hands out the same font: selecting it changes nothing.
  HGDIOBJ stock = GetStockObject(SYSTEM_FONT);
  ASSERT_NE(stock, 0u);
  EXPECT_EQ(SelectObject(dc, stock), stock);
  DeleteDC(dc);
}

TEST(FontMetrics, SystemFontDrawsInsideItsCell) {
  Surface s(80, 30, 24);
  ASSERT_TRUE(s.ok());
  s.fill(0xFF);
  SetBkMode(s.dc(), TRANSPARENT);
  SetTextColor(s.dc(), RGB(0, 0, 0));
  ASSERT_TRUE(TextOutA(s.dc(), 4, 6, "Hg", 2));
  int top = INT_MAX, bottom = -1;
  for (int y = 0; y < s.height(); ++y)
    for (int x = 0; x < s.width(); ++x)
      if (s.at(x, y)[0] != 0xFF) {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  ASSERT_GE(bottom, 0) << "the system font draws nothing";
  EXPECT_GE(top, 6);
  EXPECT_LT(bottom, 6 + 16);
}

TEST(FontMetrics, TextExtentGrowsWithTheString) {
  Surface s(10, 10, 24);
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.useFont(makeFont(20)));
  const TEXTMETRICA tm = metricsOf(s.dc());
  SIZE e0{}, e1{}, e2{}, e3{}, a{}, b{}, ab{};
  EXPECT_TRUE(GetTextExtentPoint32A(s.dc(), "", 0, &e0));
  EXPECT_TRUE(GetTextExtentPoint32A(s.dc(), "W", 1, &e1));
  EXPECT_TRUE(GetTextExtentPoint32A(s.dc(), "WW", 2, &e2));
  EXPECT_TRUE(GetTextExtentPoint32A(s.dc(), "WWW", 3, &e3));
  EXPECT_EQ(e0.cx, 0);
  EXPECT_GT(e1.cx, 0);
  EXPECT_EQ(e2.cx, 2 * e1.cx);  // whole-pixel advances, no kerning
  EXPECT_EQ(e3.cx, 3 * e1.cx);
  for (const SIZE& e : {e0, e1, e2, e3}) EXPECT_EQ(e.cy, tm.tmHeight);
  EXPECT_TRUE(GetTextExtentPoint32A(s.dc(), "i", 1, &a));
  EXPECT_TRUE(GetTextExtentPoint32A(s.dc(), "M", 1, &b));
  EXPECT_TRUE(GetTextExtentPoint32A(s.dc(), "iM", 2, &ab));
  EXPECT_LT(a.cx, b.cx);  // proportional
  EXPECT_EQ(ab.cx, a.cx + b.cx);
  // A bigger font is wider.
  SIZE big{};
  ASSERT_TRUE(s.useFont(makeFont(60)));
  EXPECT_TRUE(GetTextExtentPoint32A(s.dc(), "WWW", 3, &big));
  EXPECT_GT(big.cx, e3.cx * 2);
}

TEST(FontLifetime, CreatingAndDeletingTheSameFontDoesNotLeakHandles) {
  HDC dc = CreateCompatibleDC(0);
  const std::size_t before = liveHandleCount();
  for (int i = 0; i < 1000; ++i) {
    HFONT f = makeFont(8 + i % 100);
    ASSERT_NE(f, 0u);
    HGDIOBJ prev = SelectObject(dc, f);
    ASSERT_NE(prev, 0u);
    if (i % 50 == 0) TextOutA(dc, 0, 0, "A", 1);  // no bitmap: draws nothing
    EXPECT_EQ(SelectObject(dc, prev), f);
    EXPECT_TRUE(DeleteObject(f));
    EXPECT_EQ(SelectObject(dc, f), 0u);  // the stale handle fails cleanly
  }
  EXPECT_EQ(liveHandleCount(), before);
  DeleteDC(dc);
}

TEST(FontLifetime, DeletingASelectedFontKeepsTheDcUsable) {
  Surface s(60, 30, 32);
  ASSERT_TRUE(s.ok());
  HFONT f = makeFont(20);
  HGDIOBJ prev = SelectObject(s.dc(), f);
  EXPECT_TRUE(DeleteObject(f));  // deferred while selected
  EXPECT_TRUE(TextOutA(s.dc(), 2, 2, "Ab", 2));
  EXPECT_EQ(metricsOf(s.dc()).tmHeight, expectedCell(20).height());
  SelectObject(s.dc(), prev);
}

// ---- drawing, both pixel formats -------------------------------------------

class TextDraw : public ::testing::TestWithParam<int> {};

TEST_P(TextDraw, TransparentChangesOnlyGlyphPixels) {
  const int bpp = GetParam();
  Surface s(123, 61, bpp);
  ASSERT_TRUE(s.ok());
  HFONT font = makeFont(36);
  ASSERT_TRUE(s.useFont(font));
  const char* text = "Hg@\xE9\x80";
  const std::vector<int> cov = coverageOf(font, s.width(), s.height(), bpp, 7, 9, text, 5);
  ASSERT_GT(inkOf(cov), 0);
  s.fillNoise(12345);
  const std::vector<std::uint8_t> before = s.snapshot();
  SetBkMode(s.dc(), TRANSPARENT);
  SetBkColor(s.dc(), RGB(1, 2, 3));  // must not show
  const COLORREF color = RGB(200, 30, 90);
  SetTextColor(s.dc(), color);
  ASSERT_TRUE(TextOutA(s.dc(), 7, 9, text, 5));
  expectBlend(s, before, cov, color, false, 0, 0, 0, 0, 0);
}

TEST_P(TextDraw, OpaqueFillsExactlyTheTextBox) {
  const int bpp = GetParam();
  Surface s(97, 47, bpp);
  ASSERT_TRUE(s.ok());
  HFONT font = makeFont(22);
  ASSERT_TRUE(s.useFont(font));
  const char* text = "Hello, W";
  const int n = 8;
  SIZE ext{};
  ASSERT_TRUE(GetTextExtentPoint32A(s.dc(), text, n, &ext));
  ASSERT_EQ(ext.cy, expectedCell(22).height());
  const std::vector<int> cov = coverageOf(font, s.width(), s.height(), bpp, 5, 11, text, n);
  s.fillNoise(777);
  const std::vector<std::uint8_t> before = s.snapshot();
  SetBkMode(s.dc(), OPAQUE);
  const COLORREF bk = RGB(10, 220, 40);
  const COLORREF color = RGB(250, 5, 128);
  SetBkColor(s.dc(), bk);
  SetTextColor(s.dc(), color);
  ASSERT_TRUE(TextOutA(s.dc(), 5, 11, text, n));
  expectBlend(s, before, cov, color, true, bk, 5, 11, 5 + ext.cx, 11 + ext.cy);
  // The box itself: its corners carry the background, just outside is old.
  EXPECT_EQ(s.at(5, 11)[1], 220);
  EXPECT_EQ(s.at(5 + ext.cx - 1, 11 + ext.cy - 1)[1], 220);
  EXPECT_EQ(std::memcmp(s.at(4, 11), s.in(before, 4, 11), static_cast<std::size_t>(s.bpp())), 0);
  EXPECT_EQ(std::memcmp(s.at(5, 11 + ext.cy), s.in(before, 5, 11 + ext.cy),
                        static_cast<std::size_t>(s.bpp())),
            0);
}

TEST_P(TextDraw, FullCoverageIsExactlyTheTextColour) {
  const int bpp = GetParam();
  Surface s(200, 130, bpp, true);
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.useFont(makeFont(110)));
  s.fillNoise(99);
  SetBkMode(s.dc(), TRANSPARENT);
  const COLORREF color = RGB(17, 130, 251);
  SetTextColor(s.dc(), color);
  ASSERT_TRUE(TextOutA(s.dc(), 3, 2, "I@", 2));
  int exact = 0;
  for (int y = 0; y < s.height(); ++y)
    for (int x = 0; x < s.width(); ++x) {
      const std::uint8_t* p = s.at(x, y);
      if (p[0] == 251 && p[1] == 130 && p[2] == 17 && (bpp == 24 || p[3] == 0)) ++exact;
    }
  // The stem of the "I" alone is about 10 x 78 fully covered pixels.
  EXPECT_GT(exact, 600);
}

TEST_P(TextDraw, CellTopIsYAndBaselineIsYPlusAscent) {
  const int bpp = GetParam();
  HFONT font = makeFont(32);
  const TEXTMETRICA tm = metricsOfFont(font);
  const std::vector<int> h = coverageOf(font, 80, 80, bpp, 10, 20, "H", 1);
  const std::vector<int> g = coverageOf(font, 80, 80, bpp, 10, 20, "g", 1);
  auto rows = [](const std::vector<int>& cov, int* top, int* bottom) {
    *top = INT_MAX;
    *bottom = -1;
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 80; ++x)
        if (cov[static_cast<std::size_t>(y) * 80 + x] != 0) {
          *top = std::min(*top, y);
          *bottom = std::max(*bottom, y);
        }
  };
  int top = 0, bottom = 0;
  rows(h, &top, &bottom);
  EXPECT_EQ(bottom, 20 + tm.tmAscent - 1);  // "H" stands on the baseline
  EXPECT_GE(top, 20);
  rows(g, &top, &bottom);
  EXPECT_GT(bottom, 20 + tm.tmAscent);  // "g" descends below it
  EXPECT_LT(bottom, 20 + tm.tmHeight);
  DeleteObject(font);
}

TEST_P(TextDraw, Windows1252CharactersHaveTheirGlyphs) {
  const int bpp = GetParam();
  HFONT font = makeFont(30);
  const std::vector<int> euro = coverageOf(font, 50, 40, bpp, 5, 2, "\x80", 1);
  const std::vector<int> eAcute = coverageOf(font, 50, 40, bpp, 5, 2, "\xE9", 1);
  const std::vector<int> e = coverageOf(font, 50, 40, bpp, 5, 2, "e", 1);
  const std::vector<int> c = coverageOf(font, 50, 40, bpp, 5, 2, "C", 1);
  // 0x81 is unassigned: whatever it shows, it is not the euro sign, nor the
  // bullet (0x95, U+2022) or the trade mark (0x99, U+2122).
  const std::vector<int> unassigned = coverageOf(font, 50, 40, bpp, 5, 2, "\x81", 1);
  const std::vector<int> bullet = coverageOf(font, 50, 40, bpp, 5, 2, "\x95", 1);
  const std::vector<int> trademark = coverageOf(font, 50, 40, bpp, 5, 2, "\x99", 1);
  EXPECT_GT(inkOf(euro), 0);
  EXPECT_NE(euro, c);
  EXPECT_NE(euro, unassigned);
  EXPECT_NE(bullet, unassigned);
  EXPECT_NE(trademark, unassigned);
  EXPECT_NE(bullet, trademark);
  EXPECT_GT(inkOf(eAcute), inkOf(e));  // the accent adds ink
  // A char may be signed: 0xE9 as a negative char is the same character.
  const char signedE = static_cast<char>(-23);
  EXPECT_EQ(coverageOf(font, 50, 40, bpp, 5, 2, &signedE, 1), eAcute);
  DeleteObject(font);
}

TEST_P(TextDraw, MemoryDcClipsAtEveryEdge) {
  const int bpp = GetParam();
  Surface s(41, 29, bpp);
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.useFont(makeFont(26)));
  const TEXTMETRICA tm = metricsOf(s.dc());
  SetTextColor(s.dc(), RGB(0, 0, 0));
  SetBkColor(s.dc(), RGB(0, 0, 255));
  int changedTotal = 0;
  for (int mode : {TRANSPARENT, OPAQUE}) {
    SetBkMode(s.dc(), mode);
    for (int y = -tm.tmHeight - 2; y <= s.height() + 2; y += 5)
      for (int x = -tm.tmMaxCharWidth - 2; x <= s.width() + 2; x += 6) {
        s.fill(0xFF);
        const std::vector<std::uint8_t> before = s.snapshot();
        ASSERT_TRUE(TextOutA(s.dc(), x, y, "W@j", 3));
        // Everything that changed lies near the text; a write that wrapped
        // into another row or column would land far from it.
        for (int yy = 0; yy < s.height(); ++yy)
          for (int xx = 0; xx < s.width(); ++xx) {
            if (std::memcmp(s.at(xx, yy), s.in(before, xx, yy), static_cast<std::size_t>(bpp / 8)) == 0)
              continue;
            ++changedTotal;
            ASSERT_TRUE(xx >= x - 8 && xx < x + 3 * tm.tmMaxCharWidth && yy >= y - 8 &&
                        yy < y + tm.tmHeight + 8)
                << "text at " << x << "," << y << " changed " << xx << "," << yy;
          }
        const std::size_t used = static_cast<std::size_t>(s.width()) * (bpp / 8);
        for (int yy = 0; yy < s.height(); ++yy)
          for (std::size_t i = used; i < s.rowBytes(); ++i)
            ASSERT_EQ(s.row(yy)[i], 0xFF) << "padding written by text at " << x << "," << y;
      }
  }
  EXPECT_GT(changedTotal, 1000);
}

TEST_P(TextDraw, ViewDcClipRectangleIsRespected) {
  const int bpp = GetParam();
  const int w = 64, h = 48;
  const int bytes = bpp / 8;
  const std::ptrdiff_t stride = w * bytes + 8;  // with slack that must stay untouched
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * h + 64, 0x5A);
  PixelView view;
  view.top = pixels.data() + 32;
  view.stride = stride;
  view.width = w;
  view.height = h;
  view.format = bpp == 24 ? PixelFormat::Bgr24 : PixelFormat::Xrgb32;
  const RECT clip{10, 8, 50, 40};
  HDC dc = CreateViewDC(view, POINT{3, -2}, clip);
  ASSERT_NE(dc, 0u);
  HFONT font = makeFont(30);
  HGDIOBJ prev = SelectObject(dc, font);
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkColor(dc, RGB(0, 0, 0));
  const std::vector<std::uint8_t> before = pixels;
  for (int mode : {TRANSPARENT, OPAQUE}) {
    SetBkMode(dc, mode);
    for (int y = -40; y <= 60; y += 7)
      for (int x = -40; x <= 70; x += 9) ASSERT_TRUE(TextOutA(dc, x, y, "M@g", 3));
    // A long string that starts far left and runs across the clip.
    ASSERT_TRUE(TextOutA(dc, -300, 15, "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW", 36));
  }
  int inside = 0;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const std::ptrdiff_t off = static_cast<std::ptrdiff_t>(i) - 32;
    const bool inView = off >= 0 && off < stride * h && off % stride < w * bytes;
    const int x = inView ? static_cast<int>((off % stride) / bytes) : -1;
    const int y = inView ? static_cast<int>(off / stride) : -1;
    const bool inClip = inView && x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
    if (inClip) {
      inside += pixels[i] != before[i];
    } else {
      ASSERT_EQ(pixels[i], before[i]) << "byte " << i << " outside the clip (pixel " << x << "," << y << ")";
    }
  }
  EXPECT_GT(inside, 500);
  SelectObject(dc, prev);
  DeleteObject(font);
  DeleteDC(dc);
}

TEST_P(TextDraw, HugeCoordinatesDrawNothingAndDoNotOverflow) {
  const int bpp = GetParam();
  Surface s(32, 24, bpp);
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.useFont(makeFont(40)));
  s.fillNoise(4242);
  const std::vector<std::uint8_t> before = s.snapshot();
  const int big = INT_MAX, small = INT_MIN;
  const int coords[] = {big, big - 1, big - 30, small, small + 1, -big, 1 << 30, -(1 << 30)};
  std::string longText(2000, 'W');
  for (int mode : {TRANSPARENT, OPAQUE}) {
    SetBkMode(s.dc(), mode);
    for (int x : coords)
      for (int y : coords) {
        ASSERT_TRUE(TextOutA(s.dc(), x, y, "W@", 2));
        ASSERT_TRUE(TextOutA(s.dc(), x, 5, "W@", 2));
        ASSERT_TRUE(TextOutA(s.dc(), 5, y, "W@", 2));
        ASSERT_TRUE(TextOutA(s.dc(), x, y, longText.data(), static_cast<int>(longText.size())));
      }
  }
  EXPECT_EQ(s.snapshot(), before);

  // Logical coordinates plus a huge view origin leave the int32 range.
  std::vector<std::uint8_t> pixels(16 * 16 * 4, 0x33);
  PixelView view;
  view.top = pixels.data();
  view.stride = 16 * bpp / 8;
  view.width = 16;
  view.height = 16;
  view.format = bpp == 24 ? PixelFormat::Bgr24 : PixelFormat::Xrgb32;
  // Positive coordinates with a positive origin and negative with negative
  // ones: every sum is at least 2^30 away from the view.
  const std::vector<int> positive = {big, big - 1, big - 30, 1 << 30};
  const std::vector<int> negative = {small, small + 1, -big, -(1 << 30)};
  for (POINT origin : {POINT{big, big}, POINT{small, small}, POINT{big, small}}) {
    HDC dc = CreateViewDC(view, origin, RECT{0, 0, 16, 16});
    ASSERT_NE(dc, 0u);
    HFONT f = makeFont(20);
    HGDIOBJ prev = SelectObject(dc, f);
    SetBkMode(dc, OPAQUE);
    for (int x : origin.x > 0 ? positive : negative)
      for (int y : origin.y > 0 ? positive : negative) {
        ASSERT_TRUE(TextOutA(dc, x, y, "W@", 2));
        ASSERT_TRUE(TextOutA(dc, x, y, longText.data(), static_cast<int>(longText.size())));
      }
    SelectObject(dc, prev);
    DeleteObject(f);
    DeleteDC(dc);
  }
  for (std::uint8_t b : pixels) ASSERT_EQ(b, 0x33);
}

TEST_P(TextDraw, ManyCharactersAtRandomPositionsMatchTheBlend) {
  // The benchmark's own pattern: single characters, cell heights 8..107,
  // random colours and positions, transparent; checked on a few of them.
  const int bpp = GetParam();
  Surface s(70, 50, bpp);
  ASSERT_TRUE(s.ok());
  std::uint32_t seed = 5;
  auto next = [&seed](int n) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(n));
  };
  for (LONG size = 8; size <= 107; size += 9) {
    HFONT font = makeFont(size);
    ASSERT_TRUE(s.useFont(font));
    SetBkMode(s.dc(), TRANSPARENT);
    const char ch = static_cast<char>(64 + next(23));
    const int x = next(90) - 20, y = next(70) - 20;
    const COLORREF color = RGB(next(256), next(256), next(256));
    const std::vector<int> cov = coverageOf(font, s.width(), s.height(), bpp, x, y, &ch, 1);
    s.fillNoise(seed);
    const std::vector<std::uint8_t> before = s.snapshot();
    SetTextColor(s.dc(), color);
    ASSERT_TRUE(TextOutA(s.dc(), x, y, &ch, 1));
    SCOPED_TRACE("size " + std::to_string(size) + " char " + ch);
    expectBlend(s, before, cov, color, false, 0, 0, 0, 0, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(TextFormats, TextDraw, ::testing::Values(24, 32),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::to_string(info.param) + "bpp";
                         });

// ---- no font at all -----------------------------------------------------------

// Runs only inside the subprocess of TextNoFont.EverythingDegradesCleanly,
// whose fontconfig configuration names no font directory.
TEST(TextNoFontChild, Body) {
  if (std::getenv("VEX2D_TEXT_NOFONT_CHILD") == nullptr) GTEST_SKIP() << "runs in a subprocess";
  const std::size_t handles = liveHandleCount();
  // The programs' start-up check names what is missing and its package.
  const std::string missing = gdi::missingFontReason();
  EXPECT_NE(missing.find("Arial"), std::string::npos) << missing;
  EXPECT_NE(missing.find("fonts-liberation2"), std::string::npos) << missing;
  EXPECT_EQ(missing.find('\n'), std::string::npos) << missing;
  for (LONG h : {8, 16, -12, 0, 107}) EXPECT_EQ(makeFont(h), 0u);
  EXPECT_EQ(makeFont(20, FW_BOLD, "sans-serif"), 0u);
  EXPECT_EQ(liveHandleCount(), handles);
  Surface s(40, 30, 24);
  ASSERT_TRUE(s.ok());
  // The system font's metrics are still reported.
  const TEXTMETRICA tm = metricsOf(s.dc());
  EXPECT_EQ(tm.tmHeight, 16);
  EXPECT_EQ(tm.tmAscent, 13);
  EXPECT_EQ(tm.tmWeight, FW_BOLD);
  EXPECT_EQ(tm.tmPitchAndFamily, 0x21);
  SIZE sz{};
  EXPECT_TRUE(GetTextExtentPoint32A(s.dc(), "abc", 3, &sz));
  EXPECT_EQ(sz.cy, 16);
  // Text draws nothing, in either mode.
  s.fillNoise(1);
  const std::vector<std::uint8_t> before = s.snapshot();
  for (int mode : {TRANSPARENT, OPAQUE}) {
    SetBkMode(s.dc(), mode);
    EXPECT_TRUE(TextOutA(s.dc(), 2, 2, "Hello", 5));
  }
  EXPECT_EQ(s.snapshot(), before);
  // Selecting the failed font (0) changes nothing.
  EXPECT_EQ(SelectObject(s.dc(), 0), 0u);
  EXPECT_EQ(metricsOf(s.dc()).tmHeight, 16);
}

TEST(TextNoFont, EverythingDegradesCleanly) {
  char dir[] = "/tmp/vex2d-nofont-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string conf = std::string(dir) + "/fonts.conf";
  {
    FILE* f = std::fopen(conf.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
               "<fontconfig></fontconfig>\n",
               f);
    std::fclose(f);
  }
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string v = *e;
    if (v.rfind("FONTCONFIG_", 0) == 0 || v.rfind("GTEST_", 0) == 0) continue;
    env.push_back(v);
  }
  env.push_back("FONTCONFIG_FILE=" + conf);
  env.push_back("VEX2D_TEXT_NOFONT_CHILD=1");
  env.push_back(std::string("XDG_CACHE_HOME=") + dir);
  std::vector<char*> envp;
  for (std::string& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::string self = "/proc/self/exe";
  std::string filter = "--gtest_filter=TextNoFontChild.Body";
  char* argv[] = {self.data(), filter.data(), nullptr};

  int out[2];
  ASSERT_EQ(pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, out[1], 2);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  ASSERT_EQ(rc, 0);
  std::string output;
  char buf[4096];
  for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) output.append(buf, static_cast<std::size_t>(n));
  close(out[0]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  ASSERT_TRUE(WIFEXITED(status)) << output;
  EXPECT_EQ(WEXITSTATUS(status), 0) << output;
  EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
  EXPECT_EQ(output.find("SKIPPED"), std::string::npos) << output;
}

}  // namespace

namespace {

// Glyphs at the largest size are megabytes each: after a few dozen the glyph
// cache is full, and later ones are rasterised again on every use, inside the
// clip only. Either way they draw, the same pixels each time. (Runs last: the
// cache stays full for the rest of the process, which only costs time.)
TEST(TextHugeGlyphs, BeyondTheCacheBudgetTheyStillDrawTheSame) {
  Surface s(48, 40, 24);
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.useFont(makeFont(-2000)));
  SetBkMode(s.dc(), TRANSPARENT);
  SetTextColor(s.dc(), RGB(0, 0, 0));
  const TEXTMETRICA tm = metricsOf(s.dc());
  int inked = 0;
  for (int code = 0x21; code <= 0x7E; ++code) {
    const char ch = static_cast<char>(code);
    SIZE ext{};
    ASSERT_TRUE(GetTextExtentPoint32A(s.dc(), &ch, 1, &ext));
    // Put the middle of the glyph's box on the surface, half way up the ascent.
    const int x = 24 - ext.cx / 2, y = 20 - tm.tmAscent / 2;
    std::vector<std::uint8_t> first, second;
    for (std::vector<std::uint8_t>* out : {&first, &second}) {
      s.fill(0xFF);
      ASSERT_TRUE(TextOutA(s.dc(), x, y, &ch, 1));
      *out = s.snapshot();
    }
    EXPECT_EQ(first, second) << "char " << ch;
    s.fill(0xFF);
    inked += first != s.snapshot();
  }
  EXPECT_GT(inked, 25);  // a 48 x 40 window into glyphs over a thousand pixels tall
}

}  // namespace
