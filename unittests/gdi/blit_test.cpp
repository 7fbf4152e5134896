// BitBlt and StretchBlt: exact pixels of small DIB sections, clipping,
// overlapping transfers, the stretch mapping and merge, extreme arguments,
// and a seeded random stream compared against the plain reference.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gdi/blit_rows.h"
#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"
#include "reference_blit.h"
#include "support.h"

namespace {

using namespace gdi;
using gdi::SimdLevel;
using vex2d_test::refBitBlt;
using vex2d_test::RefDc;
using vex2d_test::refStretchBlt;

// A colour as the bytes store it: 0xXXRRGGBB (blue is the first byte; the
// top byte only exists in 32-bit pixels).
constexpr std::uint32_t bgr(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  return static_cast<std::uint32_t>(b) | (static_cast<std::uint32_t>(g) << 8) |
         (static_cast<std::uint32_t>(r) << 16);
}

const char* ropName(DWORD rop) {
  switch (rop) {
    case SRCCOPY: return "SRCCOPY";
    case SRCPAINT: return "SRCPAINT";
    case SRCAND: return "SRCAND";
    case SRCINVERT: return "SRCINVERT";
    case NOTSRCCOPY: return "NOTSRCCOPY";
    case DSTINVERT: return "DSTINVERT";
    case BLACKNESS: return "BLACKNESS";
    case WHITENESS: return "WHITENESS";
    default: return "unsupported";
  }
}

constexpr DWORD kAllRops[] = {SRCCOPY,    SRCPAINT,  SRCAND,    SRCINVERT,
                              NOTSRCCOPY, DSTINVERT, BLACKNESS, WHITENESS};
constexpr DWORD kSourceRops[] = {SRCCOPY, SRCPAINT, SRCAND, SRCINVERT, NOTSRCCOPY};

// A DIB section selected into its own memory DC.
class Dib {
 public:
  Dib(int w, int h, int bits, bool topDown = false) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = topDown ? -h : h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = static_cast<WORD>(bits);
    bi.bmiHeader.biCompression = BI_RGB;
    void* p = nullptr;
    bmp_ = CreateDIBSection(0, &bi, DIB_RGB_COLORS, &p, 0, 0);
    bits_ = static_cast<std::uint8_t*>(p);
    dc_ = CreateCompatibleDC(0);
    old_ = SelectObject(dc_, bmp_);
    ok_ = bmp_ != 0 && dc_ != 0 && old_ != 0 && GetDCPixels(dc_, &view_);
  }
  ~Dib() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bmp_);
  }
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;

  bool ok() const { return ok_; }
  HDC dc() const { return dc_; }
  const PixelView& view() const { return view_; }
  int width() const { return view_.width; }
  int height() const { return view_.height; }
  int bpp() const { return bytesPerPixel(view_.format); }
  std::uint8_t* bytes() const { return bits_; }
  std::size_t size() const {
    return static_cast<std::size_t>(view_.stride < 0 ? -view_.stride : view_.stride) *
           static_cast<std::size_t>(view_.height);
  }
  std::uint8_t* at(int x, int y) const {
    return view_.top + static_cast<std::ptrdiff_t>(y) * view_.stride + x * bpp();
  }
  std::uint32_t get(int x, int y) const {
    std::uint32_t v = 0;
    std::memcpy(&v, at(x, y), static_cast<std::size_t>(bpp()));
    return v;
  }
  void set(int x, int y, std::uint32_t v) const {
    std::memcpy(at(x, y), &v, static_cast<std::size_t>(bpp()));
  }
  void fill(std::uint32_t v) const {
    for (int y = 0; y < height(); ++y)
      for (int x = 0; x < width(); ++x) set(x, y, v);
  }
  // A different value in every pixel: blue encodes x, green y; 32-bit
  // pixels get a non-zero top byte, which only a transfer between 32-bit
  // surfaces copies.
  void pattern(int salt = 0) const {
    for (int y = 0; y < height(); ++y)
      for (int x = 0; x < width(); ++x) set(x, y, patternAt(x, y, salt));
  }
  std::uint32_t patternAt(int x, int y, int salt = 0) const {
    const std::uint32_t v =
        bgr(static_cast<std::uint8_t>(10 * x + 1), static_cast<std::uint8_t>(20 * y + 3),
            static_cast<std::uint8_t>(0x80 ^ (x * 7 + y * 3 + salt)));
    return bpp() == 4 ? v | (static_cast<std::uint32_t>(0x5A + x + salt) << 24) : v;
  }
  // Every byte of the mapping, row padding included.
  void randomize(std::mt19937& rng) const {
    for (std::size_t i = 0; i < size(); ++i) bits_[i] = static_cast<std::uint8_t>(rng());
  }
  std::vector<std::uint8_t> snapshot() const { return {bits_, bits_ + size()}; }
  RefDc ref(std::vector<std::uint8_t>& twin, int mode = BLACKONWHITE) const {
    RefDc r;
    r.view = view_;
    r.view.top = twin.data() + (view_.top - bits_);
    r.origin = POINT{0, 0};
    r.clip = RECT{0, 0, width(), height()};
    r.stretchMode = mode;
    return r;
  }

 private:
  HBITMAP bmp_ = 0;
  HDC dc_ = 0;
  HGDIOBJ old_ = 0;
  std::uint8_t* bits_ = nullptr;
  PixelView view_;
  bool ok_ = false;
};

// The colour bytes of a stored pixel value (the top byte of 32-bit pixels
// dropped), as a transfer writes them into a surface of the other format.
std::uint32_t colourOf(std::uint32_t v) { return v & 0xFFFFFFu; }

// A source pixel as a copy writes it: whole between 32-bit surfaces, its
// colour bytes otherwise.
std::uint32_t copied(std::uint32_t v, int dstBits, int srcBits) {
  return dstBits == 32 && srcBits == 32 ? v : colourOf(v);
}

// Compares the pixel bytes of every row (never the padding of 24-bit rows)
// and reports the first difference.
::testing::AssertionResult samePixels(const PixelView& v, const std::uint8_t* engineBase,
                                      const std::uint8_t* refBase) {
  const int bpp = bytesPerPixel(v.format);
  for (int y = 0; y < v.height; ++y) {
    const std::ptrdiff_t off = (v.top - engineBase) + static_cast<std::ptrdiff_t>(y) * v.stride;
    for (int x = 0; x < v.width; ++x) {
      const std::uint8_t* e = engineBase + off + x * bpp;
      const std::uint8_t* r = refBase + off + x * bpp;
      if (std::memcmp(e, r, static_cast<std::size_t>(bpp)) != 0) {
        std::uint32_t ev = 0, rv = 0;
        std::memcpy(&ev, e, static_cast<std::size_t>(bpp));
        std::memcpy(&rv, r, static_cast<std::size_t>(bpp));
        std::ostringstream s;
        s << "pixel (" << x << ", " << y << ") is 0x" << std::hex << ev << ", reference 0x" << rv;
        return ::testing::AssertionFailure() << s.str();
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// Row padding of a 24-bit surface is never written by a transfer.
::testing::AssertionResult samePadding(const PixelView& v, const std::uint8_t* engineBase,
                                       const std::uint8_t* before) {
  const std::ptrdiff_t stride = v.stride < 0 ? -v.stride : v.stride;
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(v.width) * bytesPerPixel(v.format);
  for (int y = 0; y < v.height; ++y) {
    const std::ptrdiff_t off = (v.top - engineBase) + static_cast<std::ptrdiff_t>(y) * v.stride;
    for (std::ptrdiff_t k = rowBytes; k < stride; ++k)
      if (engineBase[off + k] != before[off + k])
        return ::testing::AssertionFailure()
               << "padding byte " << k << " of row " << y << " changed";
  }
  return ::testing::AssertionSuccess();
}

// ---- BitBlt: raster operations ---------------------------------------------

struct RopCase {
  DWORD rop;
  std::uint32_t expected;  // for source (0F, 33, C3) over destination (55, F0, 3C)
  std::uint8_t top;        // between 32-bit surfaces: for source top 5E over A7
};

// The result of each operation on the stored bytes, worked out by hand.
constexpr RopCase kRopCases[] = {
    {SRCCOPY, bgr(0x0F, 0x33, 0xC3), 0x5E},    {SRCPAINT, bgr(0x5F, 0xF3, 0xFF), 0xFF},
    {SRCAND, bgr(0x05, 0x30, 0x00), 0x06},     {SRCINVERT, bgr(0x5A, 0xC3, 0xFF), 0xF9},
    {NOTSRCCOPY, bgr(0xF0, 0xCC, 0x3C), 0xA1},
    // Without a source the top byte is written 0, as fills write it.
    {DSTINVERT, bgr(0xAA, 0x0F, 0xC3), 0x00},  {BLACKNESS, bgr(0x00, 0x00, 0x00), 0x00},
    {WHITENESS, bgr(0xFF, 0xFF, 0xFF), 0x00},
};

struct FormatPair {
  int dstBits;
  int srcBits;
};
constexpr FormatPair kFormatPairs[] = {{24, 24}, {32, 32}, {24, 32}, {32, 24}};

TEST(BlitRop, EachOperationOnTheStoredBytesInEveryFormatPair) {
  constexpr std::uint32_t kSrc = bgr(0x0F, 0x33, 0xC3);
  constexpr std::uint32_t kDst = bgr(0x55, 0xF0, 0x3C);
  for (const FormatPair& f : kFormatPairs) {
    for (const RopCase& c : kRopCases) {
      SCOPED_TRACE(::testing::Message()
                   << f.srcBits << " -> " << f.dstBits << " bits, " << ropName(c.rop));
      Dib dst(16, 12, f.dstBits), src(16, 12, f.srcBits, true);
      ASSERT_TRUE(dst.ok() && src.ok());
      // Non-zero top bytes: between 32-bit surfaces the operation covers
      // them; from a 24-bit source written pixels get 0 there; pixels
      // outside keep theirs.
      const std::uint32_t dstFill = kDst | (f.dstBits == 32 ? 0xA7000000u : 0);
      dst.fill(dstFill);
      src.fill(kSrc | (f.srcBits == 32 ? 0x5E000000u : 0));
      // 13 pixels a row: whole 16-byte blocks and a tail in both formats.
      const HDC source =
          (c.rop == DSTINVERT || c.rop == BLACKNESS || c.rop == WHITENESS) ? 0 : src.dc();
      ASSERT_EQ(BitBlt(dst.dc(), 2, 3, 13, 6, source, 1, 4, c.rop), TRUE);
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
          const bool inside = x >= 2 && x < 15 && y >= 3 && y < 9;
          const bool allFour = f.dstBits == 32 && f.srcBits == 32;
          const std::uint32_t want = c.expected | (allFour ? std::uint32_t{c.top} << 24 : 0u);
          ASSERT_EQ(dst.get(x, y), inside ? want : dstFill)
              << "at (" << x << ", " << y << ")";
        }
    }
  }
}

TEST(BlitRop, LongRowsInEveryFormatPair) {
  // Rows longer than any internal chunk, at odd offsets and lengths.
  std::mt19937 rng(13);
  for (const FormatPair& f : kFormatPairs) {
    Dib dst(1203, 3, f.dstBits), src(1100, 2, f.srcBits, true);
    ASSERT_TRUE(dst.ok() && src.ok());
    for (DWORD rop : kSourceRops)
      for (int x : {0, 1, 7, 200}) {
        SCOPED_TRACE(::testing::Message()
                     << f.srcBits << " -> " << f.dstBits << " bits, " << ropName(rop) << " at " << x);
        dst.randomize(rng);
        src.randomize(rng);
        std::vector<std::uint8_t> twin = dst.snapshot(), srcTwin = src.snapshot();
        const RefDc dRef = dst.ref(twin), sRef = src.ref(srcTwin);
        refBitBlt(dRef, x, 1, 1203, 2, &sRef, 3 - x % 3, 0, rop);
        ASSERT_EQ(BitBlt(dst.dc(), x, 1, 1203, 2, src.dc(), 3 - x % 3, 0, rop), TRUE);
        ASSERT_TRUE(samePixels(dst.view(), dst.bytes(), twin.data()));
        ASSERT_TRUE(samePadding(dst.view(), dst.bytes(), twin.data()));
      }
  }
}

TEST(BlitRop, SourceOperationWithoutSourceFailsAndWritesNothing) {
  Dib dst(16, 12, 24);
  ASSERT_TRUE(dst.ok());
  dst.pattern();
  const auto before = dst.snapshot();
  EXPECT_EQ(BitBlt(dst.dc(), 0, 0, 16, 12, 0, 0, 0, SRCCOPY), FALSE);
  EXPECT_EQ(StretchBlt(dst.dc(), 0, 0, 16, 12, 0, 0, 0, 8, 6, SRCPAINT), FALSE);
  EXPECT_EQ(dst.snapshot(), before);
}

// ---- BitBlt: geometry and clipping -----------------------------------------

TEST(BlitGeometry, SourcePixelLandsAtItsOffsetInEveryLayout) {
  for (const FormatPair& f : kFormatPairs) {
    for (int layout = 0; layout < 4; ++layout) {
      const bool dstTopDown = (layout & 1) != 0, srcTopDown = (layout & 2) != 0;
      SCOPED_TRACE(::testing::Message()
                   << f.srcBits << (srcTopDown ? " top-down" : " bottom-up") << " -> " << f.dstBits
                   << (dstTopDown ? " top-down" : " bottom-up"));
      Dib dst(16, 12, f.dstBits, dstTopDown), src(16, 12, f.srcBits, srcTopDown);
      ASSERT_TRUE(dst.ok() && src.ok());
      dst.fill(0x11223344u & (f.dstBits == 32 ? 0xFFFFFFFFu : 0xFFFFFFu));
      const std::uint32_t untouched = dst.get(0, 0);
      src.pattern();
      ASSERT_EQ(BitBlt(dst.dc(), 5, 4, 7, 6, src.dc(), 2, 3, SRCCOPY), TRUE);
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
          const bool inside = x >= 5 && x < 12 && y >= 4 && y < 10;
          const std::uint32_t want =
              inside ? copied(src.patternAt(x - 5 + 2, y - 4 + 3), f.dstBits, f.srcBits) : untouched;
          ASSERT_EQ(dst.get(x, y), want) << "at (" << x << ", " << y << ")";
        }
    }
  }
}

TEST(BlitGeometry, WholeSurfacesUpToTheLastByte) {
  // The pixels of a DIB section end against an inaccessible page (and a
  // 16-pixel 24-bit row has no padding), so reading or writing even one
  // byte past the last pixel faults.
  for (const FormatPair& f : kFormatPairs) {
    for (int layout = 0; layout < 4; ++layout) {
      const bool dstTopDown = (layout & 1) != 0, srcTopDown = (layout & 2) != 0;
      SCOPED_TRACE(::testing::Message()
                   << f.srcBits << (srcTopDown ? " top-down" : " bottom-up") << " -> " << f.dstBits
                   << (dstTopDown ? " top-down" : " bottom-up"));
      Dib dst(16, 12, f.dstBits, dstTopDown), src(16, 12, f.srcBits, srcTopDown);
      ASSERT_TRUE(dst.ok() && src.ok());
      src.pattern();
      for (DWORD rop : kSourceRops) {
        dst.pattern(3);
        std::vector<std::uint8_t> twin = dst.snapshot(), srcTwin = src.snapshot();
        const RefDc dRef = dst.ref(twin), sRef = src.ref(srcTwin);
        refBitBlt(dRef, 0, 0, 16, 12, &sRef, 0, 0, rop);
        ASSERT_EQ(BitBlt(dst.dc(), 0, 0, 16, 12, src.dc(), 0, 0, rop), TRUE);
        ASSERT_TRUE(samePixels(dst.view(), dst.bytes(), twin.data())) << ropName(rop);
      }
      const struct {
        int x, y, w, h, xs, ys, ws, hs;
      } stretches[] = {
          {0, 0, 16, 12, 8, 6, 8, 6},        // enlarging the bottom-right quarter
          {8, 6, 8, 6, 0, 0, 16, 12},        // shrinking into the bottom-right quarter
          {15, 11, -16, -12, 0, 0, 16, 12},  // mirrored both ways
          {0, 0, 16, 12, 15, 11, -5, -4},
      };
      for (int mode : {BLACKONWHITE, COLORONCOLOR})
        for (const auto& g : stretches) {
          dst.pattern(5);
          SetStretchBltMode(dst.dc(), mode);
          std::vector<std::uint8_t> twin = dst.snapshot(), srcTwin = src.snapshot();
          const RefDc dRef = dst.ref(twin, mode), sRef = src.ref(srcTwin);
          refStretchBlt(dRef, g.x, g.y, g.w, g.h, &sRef, g.xs, g.ys, g.ws, g.hs, SRCINVERT);
          ASSERT_EQ(
              StretchBlt(dst.dc(), g.x, g.y, g.w, g.h, src.dc(), g.xs, g.ys, g.ws, g.hs, SRCINVERT),
              TRUE);
          ASSERT_TRUE(samePixels(dst.view(), dst.bytes(), twin.data()))
              << "StretchBlt to (" << g.x << ", " << g.y << ") in mode " << mode;
        }
    }
  }
}

TEST(BlitGeometry, EmptyOrNegativeSizeWritesNothing) {
  const struct {
    int cx, cy;
  } cases[] = {{0, 5}, {5, 0}, {0, 0}, {-3, 4}, {4, -3}, {-1, -1}, {INT_MIN, 5}, {5, INT_MIN}};
  Dib dst(16, 12, 32), src(16, 12, 24);
  ASSERT_TRUE(dst.ok() && src.ok());
  dst.pattern();
  src.pattern(9);
  const auto before = dst.snapshot();
  for (const auto& c : cases) {
    for (DWORD rop : kAllRops) {
      SCOPED_TRACE(::testing::Message() << c.cx << " x " << c.cy << " " << ropName(rop));
      EXPECT_EQ(BitBlt(dst.dc(), 2, 2, c.cx, c.cy, src.dc(), 0, 0, rop), TRUE);
      EXPECT_EQ(dst.snapshot(), before);
    }
  }
}

TEST(BlitClip, EveryEdgeOfSourceAndDestination) {
  // Destination 16 x 12, source 10 x 8: the written part is worked out by
  // hand; inside it each pixel comes from (x1 + px - x, y1 + py - y).
  const struct {
    const char* name;
    int x, y, cx, cy, x1, y1;
    RECT written;
  } cases[] = {
      {"destination off the left", -3, 2, 6, 4, 1, 1, {0, 2, 3, 6}},
      {"destination off the top", 4, -2, 3, 5, 0, 0, {4, 0, 7, 3}},
      {"destination off the right", 13, 3, 6, 2, 2, 2, {13, 3, 16, 5}},
      {"destination off the bottom", 1, 10, 4, 5, 0, 0, {1, 10, 5, 12}},
      {"source off the left", 5, 5, 5, 3, -2, 0, {7, 5, 10, 8}},
      {"source off the top", 2, 4, 3, 4, 1, -3, {2, 7, 5, 8}},
      {"source off the right", 0, 0, 6, 2, 7, 0, {0, 0, 3, 2}},
      {"source off the bottom", 3, 3, 2, 6, 0, 5, {3, 3, 5, 6}},
      {"both clipped on all sides", -1, -1, 20, 20, -1, -1, {0, 0, 10, 8}},
      {"source entirely right", 0, 0, 4, 4, 10, 0, {0, 0, 0, 0}},
      {"source entirely above", 0, 0, 4, 4, 0, -4, {0, 0, 0, 0}},
      {"destination entirely right", 16, 0, 4, 4, 0, 0, {0, 0, 0, 0}},
      {"destination entirely left", -5, 0, 5, 4, 0, 0, {0, 0, 0, 0}},
  };
  for (int bits : {24, 32}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << bits << " bits, " << c.name);
      Dib dst(16, 12, bits), src(10, 8, bits, true);
      ASSERT_TRUE(dst.ok() && src.ok());
      dst.fill(0x00ABCDEF);
      src.pattern();
      ASSERT_EQ(BitBlt(dst.dc(), c.x, c.y, c.cx, c.cy, src.dc(), c.x1, c.y1, SRCCOPY), TRUE);
      for (int py = 0; py < 12; ++py)
        for (int px = 0; px < 16; ++px) {
          const bool w = px >= c.written.left && px < c.written.right && py >= c.written.top &&
                         py < c.written.bottom;
          const std::uint32_t want =
              w ? src.patternAt(c.x1 + px - c.x, c.y1 + py - c.y) : 0x00ABCDEFu;
          ASSERT_EQ(dst.get(px, py), want) << "at (" << px << ", " << py << ")";
        }
    }
  }
}

// A caller-owned buffer with device contexts over it: origins, clips and
// views that share pixels.
class ViewBuffer {
 public:
  ViewBuffer(int w, int h, PixelFormat f, int extraStride = 4)
      : stride_(w * bytesPerPixel(f) + extraStride),
        bytes_(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(h)) {
    main_.top = bytes_.data();
    main_.stride = stride_;
    main_.width = w;
    main_.height = h;
    main_.format = f;
  }
  ~ViewBuffer() {
    for (HDC d : dcs_) DeleteDC(d);
  }
  ViewBuffer(const ViewBuffer&) = delete;
  ViewBuffer& operator=(const ViewBuffer&) = delete;

  const PixelView& view() const { return main_; }
  std::vector<std::uint8_t>& bytes() { return bytes_; }
  HDC addDc(const PixelView& v, POINT origin, RECT clip, RefDc* ref) {
    const HDC d = CreateViewDC(v, origin, clip);
    if (d != 0) dcs_.push_back(d);
    ref->view = v;
    ref->origin = origin;
    ref->clip = clip;
    return d;
  }
  // The same description over a twin of the bytes.
  RefDc onTwin(const RefDc& r, std::vector<std::uint8_t>& twin) const {
    RefDc t = r;
    t.view.top = twin.data() + (r.view.top - bytes_.data());
    return t;
  }

 private:
  int stride_;
  std::vector<std::uint8_t> bytes_;
  PixelView main_;
  std::vector<HDC> dcs_;
};

TEST(BlitClip, ViewOriginsAndClipsOnBothSides) {
  for (PixelFormat f : {PixelFormat::Bgr24, PixelFormat::Xrgb32}) {
    SCOPED_TRACE(f == PixelFormat::Bgr24 ? "24 bits" : "32 bits");
    ViewBuffer dstBuf(16, 12, f), srcBuf(16, 12, f);
    std::mt19937 rng(7);
    for (auto& b : dstBuf.bytes()) b = static_cast<std::uint8_t>(rng());
    for (auto& b : srcBuf.bytes()) b = static_cast<std::uint8_t>(rng());
    RefDc dRef, sRef;
    // Logical (0, 0) is device (2, 1) on the destination, (-3, 2) on the
    // source; both clips cut into the view.
    const HDC d = dstBuf.addDc(dstBuf.view(), POINT{2, 1}, RECT{3, 2, 12, 9}, &dRef);
    const HDC s = srcBuf.addDc(srcBuf.view(), POINT{-3, 2}, RECT{1, 0, 14, 7}, &sRef);
    ASSERT_NE(d, 0u);
    ASSERT_NE(s, 0u);
    const auto before = dstBuf.bytes();
    ASSERT_EQ(BitBlt(d, -4, -3, 30, 30, s, 2, -3, SRCCOPY), TRUE);
    // By hand: the destination starts at device (-2, -2), the source at
    // device (-1, -1), so destination pixel (px, py) takes source pixel
    // (px + 1, py + 1). It is written where px is in [3, 12) and px + 1 in
    // [1, 14), and py is in [2, 9) and py + 1 in [0, 7).
    const int bpp = bytesPerPixel(f);
    for (int py = 0; py < 12; ++py)
      for (int px = 0; px < 16; ++px) {
        const bool w = px >= 3 && px < 12 && py >= 2 && py < 6;
        const std::uint8_t* got = dstBuf.bytes().data() + py * dstBuf.view().stride + px * bpp;
        const std::uint8_t* want =
            w ? srcBuf.bytes().data() + (py + 1) * srcBuf.view().stride + (px + 1) * bpp
              : before.data() + py * dstBuf.view().stride + px * bpp;
        // Both surfaces have the same format: the whole pixel is copied.
        ASSERT_EQ(std::memcmp(got, want, static_cast<std::size_t>(bpp)), 0) << "at (" << px << ", " << py << ")";
      }
  }
}

// ---- BitBlt: overlapping transfers -----------------------------------------

// Runs the same transfer on one DIB (source and destination) and on the
// reference, and compares.
::testing::AssertionResult selfBlitMatchesReference(const Dib& dib, int x, int y, int cx, int cy,
                                                    int x1, int y1, DWORD rop) {
  std::vector<std::uint8_t> twin = dib.snapshot();
  const RefDc r = dib.ref(twin);
  refBitBlt(r, x, y, cx, cy, &r, x1, y1, rop);
  if (BitBlt(dib.dc(), x, y, cx, cy, dib.dc(), x1, y1, rop) != TRUE)
    return ::testing::AssertionFailure() << "BitBlt failed";
  return samePixels(dib.view(), dib.bytes(), twin.data());
}

TEST(BlitOverlap, EveryDirectionAndShiftWithEveryOperation) {
  for (int bits : {24, 32}) {
    for (bool topDown : {false, true}) {
      Dib dib(16, 12, bits, topDown);
      ASSERT_TRUE(dib.ok());
      for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
          for (DWORD rop : kSourceRops) {
            SCOPED_TRACE(::testing::Message()
                         << bits << " bits " << (topDown ? "top-down" : "bottom-up") << ", shift ("
                         << dx << ", " << dy << ") " << ropName(rop));
            dib.pattern();
            ASSERT_TRUE(selfBlitMatchesReference(dib, 4 + dx, 3 + dy, 9, 6, 4, 3, rop));
          }
    }
  }
}

TEST(BlitOverlap, ShiftByOnePixelCopiesTheOriginalRow) {
  // The hand-made expectation behind the reference comparison: moving a
  // block one pixel right (or down) repeats nothing.
  for (int bits : {24, 32}) {
    Dib dib(16, 12, bits);
    ASSERT_TRUE(dib.ok());
    dib.pattern();
    ASSERT_EQ(BitBlt(dib.dc(), 3, 2, 10, 1, dib.dc(), 2, 2, SRCCOPY), TRUE);
    for (int x = 3; x < 13; ++x) EXPECT_EQ(dib.get(x, 2), dib.patternAt(x - 1, 2)) << x;
    dib.pattern();
    ASSERT_EQ(BitBlt(dib.dc(), 5, 3, 1, 8, dib.dc(), 5, 2, SRCCOPY), TRUE);
    for (int y = 3; y < 11; ++y) EXPECT_EQ(dib.get(5, y), dib.patternAt(5, y - 1)) << y;
  }
}

TEST(BlitOverlap, LongRowsGoInTheSafeDirection) {
  // Rows longer than any internal chunk, shifted within themselves.
  for (int bits : {24, 32}) {
    Dib dib(1100, 3, bits);
    ASSERT_TRUE(dib.ok());
    std::mt19937 rng(3);
    for (int dy : {0, 1})
      for (int shift : {1, -1, 5, -5, 300, -300, 700, -700})
        for (DWORD rop : {SRCCOPY, SRCINVERT, NOTSRCCOPY}) {
          SCOPED_TRACE(::testing::Message()
                       << bits << " bits, shift (" << shift << ", " << dy << ") " << ropName(rop));
          dib.randomize(rng);
          const int x1 = shift > 0 ? 0 : -shift;
          const int cx = 1100 - (shift > 0 ? shift : -shift);
          ASSERT_TRUE(selfBlitMatchesReference(dib, x1 + shift, dy, cx, 3 - dy, x1, 0, rop));
        }
  }
}

TEST(BlitOverlap, ViewsThatShareOneBuffer) {
  for (PixelFormat f : {PixelFormat::Bgr24, PixelFormat::Xrgb32}) {
    SCOPED_TRACE(f == PixelFormat::Bgr24 ? "24 bits" : "32 bits");
    ViewBuffer buf(20, 14, f);
    RefDc a, b, c, other;
    const HDC da = buf.addDc(buf.view(), POINT{0, 0}, RECT{0, 0, 20, 14}, &a);
    // The same pixels with another origin and a clip.
    const HDC db = buf.addDc(buf.view(), POINT{3, -2}, RECT{2, 1, 17, 12}, &b);
    // The same memory read with another stride (every second row).
    PixelView sparse = buf.view();
    sparse.top += 5 * bytesPerPixel(f);
    sparse.stride *= 2;
    sparse.width = 9;
    sparse.height = 7;
    const HDC dc = buf.addDc(sparse, POINT{0, 0}, RECT{0, 0, 9, 7}, &c);
    // The same memory read as the other format.
    PixelView cross = buf.view();
    cross.format = f == PixelFormat::Bgr24 ? PixelFormat::Xrgb32 : PixelFormat::Bgr24;
    cross.width = f == PixelFormat::Bgr24 ? 15 : 26;
    const HDC dother = buf.addDc(cross, POINT{0, 0}, RECT{0, 0, 30, 14}, &other);
    ASSERT_TRUE(da != 0 && db != 0 && dc != 0 && dother != 0);

    const struct {
      HDC dst;
      const RefDc* dstRef;
      HDC src;
      const RefDc* srcRef;
      int x, y, cx, cy, x1, y1;
    } cases[] = {
        {db, &b, da, &a, 1, 2, 12, 9, 2, 3},   // one pixel right, one down, via the origins
        {da, &a, db, &b, 2, 3, 12, 9, 1, 2},   // and back
        {db, &b, db, &b, -1, 4, 14, 5, 0, 3},  // within the view with an origin
        {da, &a, dc, &c, 4, 0, 9, 7, 0, 0},    // different strides, overlapping
        {dc, &c, da, &a, 0, 0, 9, 7, 6, 1},
        {da, &a, dother, &other, 1, 1, 12, 10, 0, 0},  // different formats, overlapping
        {dother, &other, da, &a, 2, 0, 12, 12, 1, 1},
    };
    std::mt19937 rng(11);
    for (const auto& k : cases)
      for (DWORD rop : kSourceRops) {
        SCOPED_TRACE(::testing::Message() << "case " << (&k - cases) << " " << ropName(rop));
        for (auto& v : buf.bytes()) v = static_cast<std::uint8_t>(rng());
        std::vector<std::uint8_t> twin = buf.bytes();
        const RefDc dRef = buf.onTwin(*k.dstRef, twin), sRef = buf.onTwin(*k.srcRef, twin);
        refBitBlt(dRef, k.x, k.y, k.cx, k.cy, &sRef, k.x1, k.y1, rop);
        ASSERT_EQ(BitBlt(k.dst, k.x, k.y, k.cx, k.cy, k.src, k.x1, k.y1, rop), TRUE);
        ASSERT_EQ(buf.bytes(), twin);
      }
  }
}

TEST(StretchOverlap, ScaledWithinOneSurface) {
  const struct {
    const char* name;
    int x, y, w, h, xs, ys, ws, hs;
    int mode;
  } cases[] = {
      {"enlarged onto itself", 3, 3, 8, 6, 2, 2, 4, 3, BLACKONWHITE},
      {"shrunk onto itself", 3, 2, 4, 3, 2, 2, 8, 6, BLACKONWHITE},
      {"shrunk, deleting", 3, 2, 4, 3, 2, 2, 8, 6, COLORONCOLOR},
      {"mirrored in place", 2, 1, 9, 7, 10, 1, -9, 7, BLACKONWHITE},
      {"flipped in place", 2, 8, 9, -7, 2, 2, 9, 7, BLACKONWHITE},
      {"equal sizes, shifted", 3, 3, 9, 6, 2, 2, 9, 6, BLACKONWHITE},
  };
  for (int bits : {24, 32})
    for (const auto& c : cases)
      for (DWORD rop : {SRCCOPY, SRCINVERT}) {
        SCOPED_TRACE(::testing::Message() << bits << " bits, " << c.name << ", " << ropName(rop));
        Dib dib(16, 12, bits);
        ASSERT_TRUE(dib.ok());
        dib.pattern();
        SetStretchBltMode(dib.dc(), c.mode);
        std::vector<std::uint8_t> twin = dib.snapshot();
        const RefDc r = dib.ref(twin, c.mode);
        refStretchBlt(r, c.x, c.y, c.w, c.h, &r, c.xs, c.ys, c.ws, c.hs, rop);
        ASSERT_EQ(StretchBlt(dib.dc(), c.x, c.y, c.w, c.h, dib.dc(), c.xs, c.ys, c.ws, c.hs, rop),
                  TRUE);
        ASSERT_TRUE(samePixels(dib.view(), dib.bytes(), twin.data()));
      }
}

// ---- StretchBlt: merging and the mapping ------------------------------------

// Five colours whose pairwise AND and OR are all different.
constexpr std::uint32_t kColours[] = {bgr(0xF1, 0x3E, 0x77), bgr(0x9F, 0xE3, 0x7D),
                                      bgr(0x5B, 0xF7, 0xCE), bgr(0xEF, 0x6D, 0xB9),
                                      bgr(0x7A, 0x5C, 0xD3)};

// Puts the colours along one axis of a source: column (or row) i is
// kColours[i]; beyond them a different filler.
void stripes(const Dib& src, bool columns) {
  for (int y = 0; y < src.height(); ++y)
    for (int x = 0; x < src.width(); ++x) {
      const int i = columns ? x : y;
      src.set(x, y, i < 5 ? kColours[i] : bgr(0x12, 0x34, 0x56));
    }
}

std::uint32_t combined(const std::vector<int>& set, bool andMerge) {
  std::uint32_t v = andMerge ? 0xFFFFFFu : 0;
  for (int i : set) v = andMerge ? (v & kColours[i]) : (v | kColours[i]);
  return v;
}

TEST(StretchMerge, ShrinkingCombinesOrDeletesInEachMode) {
  const struct {
    int mode;
    int from, to;
    std::vector<std::vector<int>> sources;  // per destination pixel
  } cases[] = {
      {BLACKONWHITE, 4, 2, {{0, 1}, {2, 3}}},
      {BLACKONWHITE, 4, 1, {{0, 1, 2}}},  // a one-pixel destination leaves out the last
      {BLACKONWHITE, 2, 1, {{0}}},
      {BLACKONWHITE, 5, 3, {{0, 1}, {2}, {3, 4}}},
      {WHITEONBLACK, 4, 2, {{0, 1}, {2, 3}}},
      {WHITEONBLACK, 4, 1, {{0, 1, 2}}},
      {WHITEONBLACK, 5, 3, {{0, 1}, {2}, {3, 4}}},
      {COLORONCOLOR, 4, 2, {{0}, {2}}},
      {COLORONCOLOR, 4, 1, {{1}}},
      {COLORONCOLOR, 5, 3, {{0}, {2}, {4}}},
      {HALFTONE, 4, 2, {{0}, {2}}},
      {HALFTONE, 5, 3, {{0}, {2}, {4}}},
  };
  for (int bits : {24, 32})
    for (bool columns : {true, false})
      for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << bits << " bits, " << (columns ? "columns " : "rows ")
                                          << c.from << " -> " << c.to << " in mode " << c.mode);
        Dib dst(16, 12, bits), src(8, 8, bits == 24 ? 32 : 24);
        ASSERT_TRUE(dst.ok() && src.ok());
        stripes(src, columns);
        dst.fill(0x00808080);
        ASSERT_EQ(SetStretchBltMode(dst.dc(), c.mode), BLACKONWHITE);
        // The other axis keeps its size (3), so only one axis merges.
        const int dw = columns ? c.to : 3, dh = columns ? 3 : c.to;
        const int sw = columns ? c.from : 3, sh = columns ? 3 : c.from;
        ASSERT_EQ(StretchBlt(dst.dc(), 2, 1, dw, dh, src.dc(), 0, 0, sw, sh, SRCCOPY), TRUE);
        for (int y = 0; y < 12; ++y)
          for (int x = 0; x < 16; ++x) {
            const bool inside = x >= 2 && x < 2 + dw && y >= 1 && y < 1 + dh;
            const int i = columns ? x - 2 : y - 1;
            const std::uint32_t want =
                inside ? combined(c.sources[static_cast<std::size_t>(i)], c.mode != WHITEONBLACK)
                       : 0x00808080u;
            ASSERT_EQ(dst.get(x, y), want) << "at (" << x << ", " << y << ")";
          }
      }
}

TEST(StretchMerge, RowsAndColumnsMergeAsOneBlock) {
  for (int bits : {24, 32}) {
    SCOPED_TRACE(::testing::Message() << bits << " bits");
    Dib dst(16, 12, bits), src(16, 12, bits);
    ASSERT_TRUE(dst.ok() && src.ok());
    src.pattern();
    dst.fill(0);
    auto andOf = [&](int x0, int y0, int w, int h) {
      std::uint32_t v = bits == 32 ? 0xFFFFFFFFu : 0xFFFFFFu;
      for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) v &= src.get(x, y);
      return v;
    };
    // 4 x 4 into 2 x 2: each destination pixel is the AND of a 2 x 2 block.
    ASSERT_EQ(StretchBlt(dst.dc(), 1, 1, 2, 2, src.dc(), 3, 2, 4, 4, SRCCOPY), TRUE);
    EXPECT_EQ(dst.get(1, 1), andOf(3, 2, 2, 2));
    EXPECT_EQ(dst.get(2, 1), andOf(5, 2, 2, 2));
    EXPECT_EQ(dst.get(1, 2), andOf(3, 4, 2, 2));
    EXPECT_EQ(dst.get(2, 2), andOf(5, 4, 2, 2));
    // 4 x 4 into 1 x 1: the top-left 3 x 3.
    ASSERT_EQ(StretchBlt(dst.dc(), 6, 6, 1, 1, src.dc(), 3, 2, 4, 4, SRCCOPY), TRUE);
    EXPECT_EQ(dst.get(6, 6), andOf(3, 2, 3, 3));
    // 12 x 9 into 3 x 3: blocks of 4 x 3.
    ASSERT_EQ(StretchBlt(dst.dc(), 10, 5, 3, 3, src.dc(), 1, 1, 12, 9, SRCCOPY), TRUE);
    for (int j = 0; j < 3; ++j)
      for (int i = 0; i < 3; ++i)
        EXPECT_EQ(dst.get(10 + i, 5 + j), andOf(1 + 4 * i, 1 + 3 * j, 4, 3)) << i << j;
    EXPECT_EQ(dst.get(0, 0), 0u);
    EXPECT_EQ(dst.get(13, 5), 0u);
  }
}

TEST(StretchMap, EnlargingRepeatsSourcePixelsByTheFormula) {
  // Destination pixel i takes source pixel floor(((2i + 1)s - 1) / 2d).
  const struct {
    int from, to;
    std::vector<int> sources;
  } cases[] = {
      {1, 4, {0, 0, 0, 0}},
      {2, 5, {0, 0, 0, 1, 1}},
      {3, 7, {0, 0, 1, 1, 1, 2, 2}},
      {4, 6, {0, 0, 1, 2, 2, 3}},
      {5, 9, {0, 0, 1, 1, 2, 3, 3, 4, 4}},
  };
  for (int mode : {BLACKONWHITE, WHITEONBLACK, COLORONCOLOR, HALFTONE})
    for (bool columns : {true, false})
      for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << (columns ? "columns " : "rows ") << c.from << " -> "
                                          << c.to << " in mode " << mode);
        Dib dst(16, 12, 24, true), src(8, 8, 32);
        ASSERT_TRUE(dst.ok() && src.ok());
        stripes(src, columns);
        dst.fill(0x00808080);
        SetStretchBltMode(dst.dc(), mode);
        const int dw = columns ? c.to : 2, dh = columns ? 2 : c.to;
        const int sw = columns ? c.from : 2, sh = columns ? 2 : c.from;
        ASSERT_EQ(StretchBlt(dst.dc(), 3, 2, dw, dh, src.dc(), 0, 0, sw, sh, SRCCOPY), TRUE);
        for (int y = 0; y < 12; ++y)
          for (int x = 0; x < 16; ++x) {
            const bool inside = x >= 3 && x < 3 + dw && y >= 2 && y < 2 + dh;
            const int i = columns ? x - 3 : y - 2;
            const std::uint32_t want =
                inside ? kColours[c.sources[static_cast<std::size_t>(i)]] : 0x00808080u;
            ASSERT_EQ(dst.get(x, y), want) << "at (" << x << ", " << y << ")";
          }
      }
}

TEST(StretchMap, AxesAreIndependent) {
  // Width shrinks 4 -> 2 with the AND merge while height grows 2 -> 5, and
  // the other way round.
  const int rowOf[5] = {0, 0, 0, 1, 1};
  for (int bits : {24, 32}) {
    Dib dst(16, 12, bits), src(16, 12, bits);
    ASSERT_TRUE(dst.ok() && src.ok());
    src.pattern();
    dst.fill(0);
    ASSERT_EQ(StretchBlt(dst.dc(), 1, 1, 2, 5, src.dc(), 4, 6, 4, 2, SRCCOPY), TRUE);
    for (int k = 0; k < 5; ++k)
      for (int i = 0; i < 2; ++i)
        EXPECT_EQ(dst.get(1 + i, 1 + k),
                  copied(src.get(4 + 2 * i, 6 + rowOf[k]) & src.get(5 + 2 * i, 6 + rowOf[k]), bits, bits))
            << i << ", " << k;
    ASSERT_EQ(StretchBlt(dst.dc(), 8, 2, 5, 2, src.dc(), 4, 6, 2, 4, SRCCOPY), TRUE);
    for (int k = 0; k < 2; ++k)
      for (int i = 0; i < 5; ++i)
        EXPECT_EQ(dst.get(8 + i, 2 + k),
                  copied(src.get(4 + rowOf[i], 6 + 2 * k) & src.get(4 + rowOf[i], 7 + 2 * k), bits, bits))
            << i << ", " << k;
  }
}

TEST(StretchMirror, OneNegativeSizeMirrorsTwoDoNot) {
  // Source columns 0..4 carry kColours; `sources` lists the source column
  // of each destination column from the left edge of the covered range.
  const struct {
    const char* name;
    int x, w, xs, ws;
    int mode;
    std::vector<std::vector<int>> sources;
  } cases[] = {
      {"negative destination", 9, -4, 0, 4, BLACKONWHITE, {{3}, {2}, {1}, {0}}},
      {"negative source", 6, 4, 3, -4, BLACKONWHITE, {{3}, {2}, {1}, {0}}},
      {"both negative", 9, -4, 3, -4, BLACKONWHITE, {{0}, {1}, {2}, {3}}},
      {"enlarged, negative source", 6, 5, 1, -2, BLACKONWHITE, {{1}, {1}, {1}, {0}, {0}}},
      {"enlarged, negative destination", 10, -5, 0, 2, BLACKONWHITE, {{1}, {1}, {1}, {0}, {0}}},
      {"merged, negative source", 6, 2, 3, -4, BLACKONWHITE, {{3, 2}, {1, 0}}},
      {"merged to one, negative destination", 6, -1, 0, 4, BLACKONWHITE, {{3, 2, 1}}},
      {"deleted, negative source", 6, 2, 3, -4, COLORONCOLOR, {{3}, {1}}},
  };
  for (bool columns : {true, false})
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << (columns ? "x: " : "y: ") << c.name);
      Dib dst(16, 12, 32, true), src(8, 8, 24);
      ASSERT_TRUE(dst.ok() && src.ok());
      stripes(src, columns);
      dst.fill(0x00808080);
      SetStretchBltMode(dst.dc(), c.mode);
      // The other axis: an unmirrored copy of 3 pixels.
      if (columns)
        ASSERT_EQ(StretchBlt(dst.dc(), c.x, 1, c.w, 3, src.dc(), c.xs, 0, c.ws, 3, SRCCOPY), TRUE);
      else
        ASSERT_EQ(StretchBlt(dst.dc(), 1, c.x, 3, c.w, src.dc(), 0, c.xs, 3, c.ws, SRCCOPY), TRUE);
      const int first = c.w < 0 ? c.x + c.w + 1 : c.x;
      const int n = static_cast<int>(c.sources.size());
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
          const int along = columns ? x : y, across = columns ? y : x;
          const bool inside = along >= first && along < first + n && across >= 1 && across < 4;
          const std::uint32_t want =
              inside ? combined(c.sources[static_cast<std::size_t>(along - first)], true)
                     : 0x00808080u;
          ASSERT_EQ(dst.get(x, y), want) << "at (" << x << ", " << y << ")";
        }
    }
}

TEST(StretchRop, StretchFirstThenCombineWithTheDestination) {
  // 4 columns into 2 with the AND merge, then the operation.
  constexpr std::uint32_t kDst = bgr(0x55, 0xF0, 0x3C);
  const std::uint32_t s0 = kColours[0] & kColours[1], s1 = kColours[2] & kColours[3];
  const struct {
    DWORD rop;
    std::uint32_t (*op)(std::uint32_t s, std::uint32_t d);
  } cases[] = {
      {SRCCOPY, [](std::uint32_t s, std::uint32_t) { return s; }},
      {SRCPAINT, [](std::uint32_t s, std::uint32_t d) { return s | d; }},
      {SRCAND, [](std::uint32_t s, std::uint32_t d) { return s & d; }},
      {SRCINVERT, [](std::uint32_t s, std::uint32_t d) { return s ^ d; }},
      {NOTSRCCOPY, [](std::uint32_t s, std::uint32_t) { return ~s & 0xFFFFFFu; }},
      {DSTINVERT, [](std::uint32_t, std::uint32_t d) { return ~d & 0xFFFFFFu; }},
      {BLACKNESS, [](std::uint32_t, std::uint32_t) { return 0u; }},
      {WHITENESS, [](std::uint32_t, std::uint32_t) { return 0xFFFFFFu; }},
  };
  for (int bits : {24, 32})
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << bits << " bits, " << ropName(c.rop));
      Dib dst(16, 12, bits), src(8, 8, 24);
      ASSERT_TRUE(dst.ok() && src.ok());
      stripes(src, true);
      const std::uint32_t fillValue = kDst | (bits == 32 ? 0x77000000u : 0);
      dst.fill(fillValue);
      ASSERT_EQ(StretchBlt(dst.dc(), 5, 4, 2, 3, src.dc(), 0, 0, 4, 3, c.rop), TRUE);
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
          const bool inside = x >= 5 && x < 7 && y >= 4 && y < 7;
          const std::uint32_t want = inside ? c.op(x == 5 ? s0 : s1, kDst) : fillValue;
          ASSERT_EQ(dst.get(x, y), want) << "at (" << x << ", " << y << ")";
        }
    }
}

TEST(StretchClip, SourceOutsideItsBoundsLeavesTheDestination) {
  for (int bits : {24, 32}) {
    SCOPED_TRACE(::testing::Message() << bits << " bits");
    Dib dst(16, 12, bits), src(8, 8, bits);
    ASSERT_TRUE(dst.ok() && src.ok());
    stripes(src, true);
    const std::uint32_t untouched = 0x00808080;
    // Enlarged 4 -> 8 from x = -2: destination columns 0..3 take source
    // columns -2, -2, -1, -1 and stay as they were; 4..7 take 0, 0, 1, 1.
    dst.fill(untouched);
    ASSERT_EQ(StretchBlt(dst.dc(), 0, 0, 8, 2, src.dc(), -2, 0, 4, 2, SRCCOPY), TRUE);
    const int enlarged[8] = {-1, -1, -1, -1, 0, 0, 1, 1};
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(dst.get(x, 1), x < 8 && enlarged[x] >= 0 ? kColours[enlarged[x]] : untouched) << x;
    // Shrunk 4 -> 2 from x = -1: the first pixel merges only source column 0.
    dst.fill(untouched);
    ASSERT_EQ(StretchBlt(dst.dc(), 3, 3, 2, 1, src.dc(), -1, 0, 4, 1, SRCCOPY), TRUE);
    EXPECT_EQ(dst.get(3, 3), kColours[0]);
    EXPECT_EQ(dst.get(4, 3), kColours[1] & kColours[2]);
    // Shrunk 4 -> 2 with source columns 6..9 of an 8-wide source: the second
    // pixel has nothing inside and stays.
    for (int y = 0; y < 8; ++y) {
      src.set(6, y, kColours[4]);
      src.set(7, y, kColours[3]);
    }
    ASSERT_EQ(StretchBlt(dst.dc(), 6, 3, 2, 1, src.dc(), 6, 0, 4, 1, SRCCOPY), TRUE);
    EXPECT_EQ(dst.get(6, 3), kColours[4] & kColours[3]);
    EXPECT_EQ(dst.get(7, 3), untouched);
    // A source entirely outside writes nothing.
    const auto before = dst.snapshot();
    ASSERT_EQ(StretchBlt(dst.dc(), 0, 0, 16, 12, src.dc(), 8, 0, 3, 3, SRCCOPY), TRUE);
    ASSERT_EQ(StretchBlt(dst.dc(), 0, 0, 16, 12, src.dc(), 0, -5, 3, -3, SRCCOPY), TRUE);
    EXPECT_EQ(dst.snapshot(), before);
  }
}

TEST(StretchHuge, DestinationOfMaximalWidthCostsOnlyItsVisibleColumns) {
  Dib dst(16, 12, 24), src(16, 12, 32);
  ASSERT_TRUE(dst.ok() && src.ok());
  src.pattern();
  // 16 columns enlarged to 2^31 - 1: every visible column takes source
  // column 0; rows are copied one to one.
  ASSERT_EQ(StretchBlt(dst.dc(), 0, 0, INT_MAX, 12, src.dc(), 0, 0, 16, 12, SRCCOPY), TRUE);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x)
      ASSERT_EQ(dst.get(x, y), colourOf(src.get(0, y))) << x << ", " << y;
  // 2^31 - 1 source columns shrunk to 16: destination column 0 merges the
  // whole visible source row; the others have no source pixel inside.
  dst.fill(0x00808080);
  ASSERT_EQ(StretchBlt(dst.dc(), 0, 0, 16, 12, src.dc(), 0, 0, INT_MAX, 12, SRCCOPY), TRUE);
  for (int y = 0; y < 12; ++y) {
    std::uint32_t v = 0xFFFFFFu;
    for (int x = 0; x < 16; ++x) v &= src.get(x, y);
    ASSERT_EQ(dst.get(0, y), v) << y;
    for (int x = 1; x < 16; ++x) ASSERT_EQ(dst.get(x, y), 0x00808080u) << x << ", " << y;
  }
}

TEST(StretchHuge, ExtremeArgumentsMatchTheReferenceAndStayInside) {
  // The pixels of a DIB section end against inaccessible pages, so a write
  // outside it faults instead of passing unnoticed.
  const int big[] = {INT_MIN, INT_MIN + 1, -(1 << 30), -1, 0, 1, 5, 1 << 30, INT_MAX - 1, INT_MAX};
  Dib dst(16, 12, 24), src(16, 12, 32, true);
  ASSERT_TRUE(dst.ok() && src.ok());
  std::mt19937 rng(5);
  int call = 0;
  for (int a : big)
    for (int b : big) {
      const struct {
        int x, y, w, h, xs, ys, ws, hs;
      } args[] = {
          {a, 0, b, 12, 0, 0, 16, 12}, {0, a, 16, b, 0, 0, 16, 12},  {0, 0, 16, 12, a, 0, b, 12},
          {0, 0, 16, 12, 0, a, 16, b}, {a, b, 16, 12, 0, 0, 16, 12}, {3, 2, a, b, 1, 1, 7, 5},
          {3, 2, 9, 7, a, b, 5, 4},    {a, a, b, b, a, a, b, b},     {-5, -3, a, b, 2, 1, b, a},
      };
      for (const auto& g : args) {
        ++call;
        dst.randomize(rng);
        src.randomize(rng);
        std::vector<std::uint8_t> twinDst = dst.snapshot(), twinSrc = src.snapshot();
        const RefDc dRef = dst.ref(twinDst), sRef = src.ref(twinSrc);
        const DWORD rop = kAllRops[static_cast<std::size_t>(call) % std::size(kAllRops)];
        SCOPED_TRACE(::testing::Message()
                     << "StretchBlt(" << g.x << ", " << g.y << ", " << g.w << ", " << g.h
                     << ", src, " << g.xs << ", " << g.ys << ", " << g.ws << ", " << g.hs << ", "
                     << ropName(rop) << ")");
        refStretchBlt(dRef, g.x, g.y, g.w, g.h, &sRef, g.xs, g.ys, g.ws, g.hs, rop);
        ASSERT_EQ(StretchBlt(dst.dc(), g.x, g.y, g.w, g.h, src.dc(), g.xs, g.ys, g.ws, g.hs, rop),
                  TRUE);
        ASSERT_TRUE(samePixels(dst.view(), dst.bytes(), twinDst.data()));
        ASSERT_TRUE(samePadding(dst.view(), dst.bytes(), twinDst.data()));

        std::memcpy(twinDst.data(), dst.bytes(), dst.size());
        refBitBlt(dRef, g.x, g.y, g.w, g.h, &sRef, g.xs, g.ys, rop);
        ASSERT_EQ(BitBlt(dst.dc(), g.x, g.y, g.w, g.h, src.dc(), g.xs, g.ys, rop), TRUE);
        ASSERT_TRUE(samePixels(dst.view(), dst.bytes(), twinDst.data()))
            << "BitBlt with the same arguments";
      }
    }
}

// ---- the random stream -------------------------------------------------------

// The surfaces of one random stream: DIB sections of both formats and a
// caller-owned buffer with three device contexts over it (one with an
// origin and a clip, one reading every second row), each buffer with a
// reference twin of its bytes.
class World {
 public:
  struct Buffer {
    std::uint8_t* bytes;
    std::size_t size;
    PixelView layout;  // every pixel of the buffer
    std::vector<std::uint8_t> twin;
  };
  struct Dc {
    std::string name;
    HDC hdc;
    std::size_t buffer;
    RefDc desc;  // over the engine's bytes
  };

  // `wide` multiplies the widths, so that rows reach the wide loops of
  // every row kernel (64 pixels a step and more).
  explicit World(PixelFormat f, int wide = 1) {
    const int mainBits = f == PixelFormat::Bgr24 ? 24 : 32;
    dibs_.push_back(std::make_unique<Dib>(16 * wide, 12, mainBits));
    dibs_.push_back(std::make_unique<Dib>(19 * wide, 13, mainBits, true));  // odd width: padded rows
    dibs_.push_back(std::make_unique<Dib>(16 * wide + 1, 12, 56 - mainBits));
    const char* names[] = {"dibA", "dibB", "dibOther"};
    for (std::size_t i = 0; i < dibs_.size(); ++i) {
      const Dib& d = *dibs_[i];
      buffers_.push_back(Buffer{d.bytes(), d.size(), d.view(), {}});
      RefDc r;
      r.view = d.view();
      r.clip = RECT{0, 0, d.width(), d.height()};
      dcs_.push_back(Dc{names[i], d.dc(), i, r});
    }
    user_ = std::make_unique<ViewBuffer>(20 * wide, 14, f);
    const std::size_t ub = buffers_.size();
    buffers_.push_back(Buffer{user_->bytes().data(), user_->bytes().size(), user_->view(), {}});
    RefDc r;
    HDC h = user_->addDc(user_->view(), POINT{0, 0}, RECT{0, 0, 20 * wide, 14}, &r);
    dcs_.push_back(Dc{"user", h, ub, r});
    h = user_->addDc(user_->view(), POINT{3, -2}, RECT{2, 1, 17 * wide, 12}, &r);
    dcs_.push_back(Dc{"userShifted", h, ub, r});
    PixelView sparse = user_->view();
    sparse.top += 5 * bytesPerPixel(f);
    sparse.stride *= 2;
    sparse.width = 9 * wide;
    sparse.height = 7;
    h = user_->addDc(sparse, POINT{-1, 1}, RECT{0, 0, 9 * wide, 7}, &r);
    dcs_.push_back(Dc{"userSparse", h, ub, r});
  }

  bool ok() const {
    for (const auto& d : dibs_)
      if (!d->ok()) return false;
    for (const Dc& d : dcs_)
      if (d.hdc == 0) return false;
    return true;
  }
  std::vector<Dc>& dcs() { return dcs_; }

  void randomize(std::mt19937& rng) {
    for (Buffer& b : buffers_) {
      for (std::size_t i = 0; i < b.size; ++i) b.bytes[i] = static_cast<std::uint8_t>(rng());
      b.twin.assign(b.bytes, b.bytes + b.size);
    }
  }
  // The description of a DC over the reference twin of its buffer.
  RefDc refOf(const Dc& d) {
    RefDc r = d.desc;
    Buffer& b = buffers_[d.buffer];
    r.view.top = b.twin.data() + (d.desc.view.top - b.bytes);
    return r;
  }
  ::testing::AssertionResult compare() const {
    for (std::size_t i = 0; i < buffers_.size(); ++i) {
      const Buffer& b = buffers_[i];
      auto r = samePixels(b.layout, b.bytes, b.twin.data());
      if (r) r = samePadding(b.layout, b.bytes, b.twin.data());
      if (!r) return r << " in buffer " << i;
    }
    return ::testing::AssertionSuccess();
  }

 private:
  std::vector<std::unique_ptr<Dib>> dibs_;
  std::unique_ptr<ViewBuffer> user_;
  std::vector<Buffer> buffers_;
  std::vector<Dc> dcs_;
};

// A seeded stream of calls in a world of surfaces `wide` times the base
// widths, with x coordinates and widths scaled alike, compared against the
// reference after every call.
void runRandomStream(PixelFormat f, std::uint32_t seed, int wide, int calls) {
  constexpr int kExtremes[] = {INT_MIN, INT_MIN + 1, -(1 << 30), 1 << 30, INT_MAX - 1, INT_MAX};
  constexpr DWORD kUnsupported = 0x00AA0029;  // D = D: not a transfer we offer
  World world(f, wide);
  ASSERT_TRUE(world.ok());
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  auto extreme = [&] { return kExtremes[pick(static_cast<int>(std::size(kExtremes)))]; };
  // Mostly near the surfaces (so that most calls draw something), now and
  // then well outside them or at the ends of the int range.
  auto coord = [&](int scale) {
    const int r = pick(100);
    if (r < 3) return extreme();
    return r < 15 ? pick(41 * scale) - 12 * scale : pick(18 * scale) - 3;
  };
  auto size = [&](bool negative, int scale) {
    const int r = pick(100);
    if (r < 3) return extreme();
    if (r < 6) return 0;
    if (r < (negative ? 35 : 12)) return -1 - pick(20 * scale);
    return 1 + pick(22 * scale);
  };
  auto& dcs = world.dcs();
  for (int call = 0; call < calls; ++call) {
    // Raster operations drift towards all zeros or all ones: start afresh
    // now and then.
    if (call % 50 == 0) world.randomize(rng);
    World::Dc& dst = dcs[static_cast<std::size_t>(pick(static_cast<int>(dcs.size())))];
    World::Dc& src = dcs[static_cast<std::size_t>(pick(static_cast<int>(dcs.size())))];
    const DWORD rop = pick(40) == 0 ? kUnsupported : kAllRops[pick(8)];
    // The operations that ignore the source may go without a source DC.
    const bool withoutSource = rop == DSTINVERT || rop == BLACKNESS || rop == WHITENESS;
    const bool noSourceDc = withoutSource && pick(3) == 0;
    const bool stretch = pick(2) == 0;
    if (stretch && pick(5) == 0) {
      dst.desc.stretchMode = 1 + pick(4);
      SetStretchBltMode(dst.hdc, dst.desc.stretchMode);
    }
    const int x = coord(wide), y = coord(1), x1 = coord(wide), y1 = coord(1);
    const int w = size(stretch, wide), h = size(stretch, 1), ws = size(true, wide),
              hs = size(true, 1);
    std::ostringstream text;
    text << "call " << call << ": " << (stretch ? "StretchBlt(" : "BitBlt(") << dst.name << ", "
         << x << ", " << y << ", " << w << ", " << h << ", " << (noSourceDc ? "0" : src.name)
         << ", " << x1 << ", " << y1;
    if (stretch) text << ", " << ws << ", " << hs;
    text << ", " << ropName(rop) << ")";
    if (stretch) text << " in mode " << dst.desc.stretchMode;

    const RefDc dRef = world.refOf(dst), sRef = world.refOf(src);
    const RefDc* sRefPtr = noSourceDc ? nullptr : &sRef;
    const HDC hsrc = noSourceDc ? 0 : src.hdc;
    BOOL result;
    if (stretch) {
      refStretchBlt(dRef, x, y, w, h, sRefPtr, x1, y1, ws, hs, rop);
      result = StretchBlt(dst.hdc, x, y, w, h, hsrc, x1, y1, ws, hs, rop);
    } else {
      refBitBlt(dRef, x, y, w, h, sRefPtr, x1, y1, rop);
      result = BitBlt(dst.hdc, x, y, w, h, hsrc, x1, y1, rop);
    }
    ASSERT_EQ(result, rop == kUnsupported ? FALSE : TRUE) << text.str();
    ASSERT_TRUE(world.compare()) << "first difference after " << text.str();
  }
}

TEST(BlitRandom, SeededStreamMatchesTheReferenceAfterEveryCall) {
  for (SimdLevel level : gditest::supportedSimdLevels()) {
    gditest::ScopedSimdLevel scoped(level);
    for (PixelFormat f : {PixelFormat::Bgr24, PixelFormat::Xrgb32}) {
      SCOPED_TRACE(::testing::Message() << simdLevelName(level) << ", "
                                        << (f == PixelFormat::Bgr24 ? "24-bit world" : "32-bit world"));
      runRandomStream(f, f == PixelFormat::Bgr24 ? 20240611u : 77u, 1, 2000);
    }
  }
}

TEST(BlitRandom, WideRowsMatchTheReferenceAtEverySimdLevel) {
  // Rows of up to a few hundred pixels: the 64-pixel steps of the
  // conversions, the aligned middle of the 64-byte loops and their ends.
  for (SimdLevel level : gditest::supportedSimdLevels()) {
    gditest::ScopedSimdLevel scoped(level);
    for (PixelFormat f : {PixelFormat::Bgr24, PixelFormat::Xrgb32}) {
      SCOPED_TRACE(::testing::Message() << simdLevelName(level) << ", "
                                        << (f == PixelFormat::Bgr24 ? "24-bit world" : "32-bit world"));
      runRandomStream(f, f == PixelFormat::Bgr24 ? 9001u : 4242u, 13, 1500);
    }
  }
}

}  // namespace
