// libFuzzer target for the drawing facade.
//
// The input is a small header (the surfaces to draw on) followed by a stream
// of facade calls. Every call takes its arguments from the input: coordinates
// come from a table of edge values (0, +-1, surface-sized values, INT_MIN,
// INT_MAX...), handles from a pool of live, deleted, stock, mutated and random
// values. Besides the sanitizers, the harness checks four things that a
// faulty engine breaks without crashing:
//
//  - Drawing through the view DC never changes a byte outside its clip. The
//    view is a sub-rectangle of a larger caller-owned buffer that sits between
//    inaccessible pages, so a write outside the clip either faults or changes
//    a byte that the harness compares after every call.
//  - Two DIB sections of the same size, one 24-bit and one 32-bit (each with
//    its own row order), receive every call the other receives and must hold
//    the same colours afterwards. A blit between the twins is mirrored as a
//    blit of the other twin onto itself, so the overlapping-copy path is
//    compared with the plain one.
//  - GetPixel returns what a successful SetPixel wrote, and GetObjectA reports
//    the documented layout of every DIB section it created.
//  - At the end of the input everything is deleted and the number of live
//    handles is back where it started.
//
// Any violation prints what went wrong and aborts, so libFuzzer keeps the
// input. Set VEX2D_FUZZ_TRACE=1 to print every call and its time, and
// VEX2D_FUZZ_NO_TWINS=1 to switch the twin comparison off while hunting
// crashes only.
#include <sanitizer/lsan_interface.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/simd.h"
#include "platform/gdi/text.h"

namespace {

using namespace gdi;

[[noreturn]] __attribute__((format(printf, 1, 2))) void fail(const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  std::fputs("gdi_fuzz: ", stderr);
  std::vfprintf(stderr, fmt, args);
  std::fputc('\n', stderr);
  va_end(args);
  std::abort();
}

// ---- reading the input ------------------------------------------------------

// Reads the input front to back; past the end every read yields zero, so a
// truncated call still runs with harmless arguments and the loop then stops.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool done() const { return pos_ >= size_; }
  std::uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint16_t u16() { return static_cast<std::uint16_t>(u8() | (u8() << 8)); }
  std::uint32_t u32() { return static_cast<std::uint32_t>(u16()) | (static_cast<std::uint32_t>(u16()) << 16); }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
  bool flag() { return (u8() & 1) != 0; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Edge values for coordinates and sizes. Most surfaces are at most 46 pixels
// on a side, so the values near 40 sit on and around their edges.
constexpr std::int32_t kCoordTable[] = {
    0,          1,          -1,         2,          -2,          3,          4,
    7,          8,          15,         16,         17,          31,         32,
    33,         39,         40,         41,         45,          46,         47,
    63,         64,         100,        255,        256,         1000,       4095,
    4096,       32767,      32768,      65535,      65536,       -65536,     -32768,
    -1000,      -100,       -41,        -40,        -39,         1 << 20,    -(1 << 20),
    1 << 24,    -(1 << 24), (1 << 30) - 1, 1 << 30, -(1 << 30),  INT_MAX / 2, INT_MIN / 2,
    INT_MAX - 40, INT_MIN + 40, INT_MAX - 1, INT_MAX, INT_MIN,  INT_MIN + 1, 46340,
    46341,      -46341,     0x12345678, -0x12345678, 2147418112, -2147418112, 3,
};
static_assert(std::size(kCoordTable) == 63);

// One byte selects a small value directly (most calls should land on or near
// the surfaces) or an edge value; the last table slot reads a raw 32-bit value.
std::int32_t coord(Input& in) {
  const std::uint8_t b = in.u8();
  if (b < 0xC0) return static_cast<std::int32_t>(b) - 64;
  const std::size_t i = b - 0xC0u;
  return i < std::size(kCoordTable) ? kCoordTable[i] : in.i32();
}

int penWidth(Input& in) {
  static constexpr int kWidths[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 16, 101, -1, -7,
                                    INT_MIN, INT_MAX, 1 << 20, (1 << 20) + 1};
  const std::uint8_t b = in.u8();
  if (b < std::size(kWidths)) return kWidths[b];
  if (b == 0xFF) return in.i32();
  return b % 12;
}

COLORREF color(Input& in) {
  // Mostly proper COLORREFs; sometimes garbage in the top byte, which every
  // call must ignore.
  const std::uint8_t b = in.u8();
  const COLORREF c = RGB(in.u8(), in.u8(), in.u8());
  if (b < 0xE0) return c;
  if (b == 0xFF) return CLR_INVALID;
  return c | (static_cast<COLORREF>(b) << 24);
}

DWORD rop(Input& in) {
  static constexpr DWORD kRops[] = {SRCCOPY, SRCPAINT,  SRCAND,     SRCINVERT,  NOTSRCCOPY,
                                    DSTINVERT, BLACKNESS, WHITENESS, 0,          0xFFFFFFFFu,
                                    0x00AA0029u, 0x00CC0021u, 0x00F00021u, 0x005A0049u, 0x00BB0226u,
                                    0x00440328u, 0x000000CCu, 0x01CC0020u};
  const std::uint8_t b = in.u8();
  if (b < 0xF0) return kRops[b % 8];  // mostly the supported ones
  const std::size_t i = b - 0xF0u;
  return i < std::size(kRops) - 8 ? kRops[8 + i] : in.u32();
}

// A small deterministic generator for bulk data (long point lists, pixel
// patterns) that the input cannot afford to spell out byte by byte.
struct XorShift {
  std::uint32_t s;
  std::uint32_t next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
};

// ---- caller-owned pixels between guard pages ---------------------------------

class GuardedBuffer {
 public:
  // `bytes` usable bytes, flush against the inaccessible page after them
  // (atEnd) or before them.
  GuardedBuffer(std::size_t bytes, bool atEnd) {
    page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t dataPages = (bytes + page_ - 1) / page_;
    mapSize_ = (dataPages + 2) * page_;
    void* m = mmap(nullptr, mapSize_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) fail("mmap of %zu bytes failed", mapSize_);
    map_ = static_cast<std::uint8_t*>(m);
    if (mprotect(map_ + page_, dataPages * page_, PROT_READ | PROT_WRITE) != 0) fail("mprotect failed");
    accessible_ = map_ + page_;
    accessibleSize_ = dataPages * page_;
    data_ = atEnd ? accessible_ + (accessibleSize_ - bytes) : accessible_;
  }
  ~GuardedBuffer() { munmap(map_, mapSize_); }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  std::uint8_t* data() const { return data_; }
  std::uint8_t* accessible() const { return accessible_; }
  std::size_t accessibleSize() const { return accessibleSize_; }

 private:
  std::size_t page_ = 0;
  std::size_t mapSize_ = 0;
  std::uint8_t* map_ = nullptr;
  std::uint8_t* accessible_ = nullptr;
  std::size_t accessibleSize_ = 0;
  std::uint8_t* data_ = nullptr;
};

// Where the view DC's pixels sit inside the caller's buffer, and which of its
// bytes drawing may change.
struct ViewGeometry {
  PixelFormat format = PixelFormat::Xrgb32;
  int bufWidth = 0;   // pixels of the whole buffer
  int bufHeight = 0;
  std::ptrdiff_t rowBytes = 0;  // bytes from one memory row to the next
  bool bottomUp = false;        // memory row 0 is the bottom row
  int x = 0, y = 0, width = 0, height = 0;  // the view inside the buffer
  POINT origin{0, 0};
  RECT clip{0, 0, 0, 0};

  int bpp() const { return bytesPerPixel(format); }
  std::size_t bytes() const { return static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(bufHeight); }
  std::uint8_t* rowOf(std::uint8_t* base, int bufRow) const {
    const int memRow = bottomUp ? bufHeight - 1 - bufRow : bufRow;
    return base + memRow * rowBytes;
  }
  PixelView view(std::uint8_t* base) const {
    PixelView v;
    v.top = rowOf(base, y) + static_cast<std::ptrdiff_t>(x) * bpp();
    v.stride = bottomUp ? -rowBytes : rowBytes;
    v.width = width;
    v.height = height;
    v.format = format;
    return v;
  }
  // The clip intersected with the view, in buffer pixels; may be empty.
  RECT writable() const {
    RECT r;
    r.left = x + std::clamp<LONG>(clip.left, 0, width);
    r.right = x + std::clamp<LONG>(clip.right, 0, width);
    r.top = y + std::clamp<LONG>(clip.top, 0, height);
    r.bottom = y + std::clamp<LONG>(clip.bottom, 0, height);
    return r;
  }
};

// ---- DIB sections the harness can read ---------------------------------------

struct Dib {
  HBITMAP handle = 0;
  std::uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;  // as given: positive is bottom-up
  int bitCount = 0;

  std::ptrdiff_t stride() const { return ((static_cast<std::ptrdiff_t>(width) * bitCount + 31) / 32) * 4; }
  int rows() const { return height < 0 ? -height : height; }
  std::uint8_t* pixel(int x, int y) const {
    const int memRow = height > 0 ? rows() - 1 - y : y;
    return bits + memRow * stride() + static_cast<std::ptrdiff_t>(x) * (bitCount / 8);
  }
};

// Creates a DIB section of a valid size through a header that is exactly
// BITMAPINFOHEADER long: a caller with no colour table passes no more, so the
// engine must not read past it.
HBITMAP createDib(int width, int height, int bitCount, void** bits) {
  auto header = std::make_unique<BITMAPINFOHEADER>();
  *header = BITMAPINFOHEADER{};
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = static_cast<WORD>(bitCount);
  header->biCompression = BI_RGB;
  return CreateDIBSection(0, reinterpret_cast<const BITMAPINFO*>(header.get()), DIB_RGB_COLORS,
                          bits, 0, 0);
}

void checkDibLayout(const Dib& d) {
  BITMAP bm{};
  const int n = GetObjectA(d.handle, sizeof(bm), &bm);
  if (n != static_cast<int>(sizeof(bm))) fail("GetObjectA of a DIB section returned %d", n);
  if (bm.bmWidth != d.width || bm.bmHeight != d.rows() || bm.bmWidthBytes != d.stride() ||
      bm.bmPlanes != 1 || bm.bmBitsPixel != d.bitCount || bm.bmBits != d.bits)
    fail("GetObjectA of a %dx%d %d-bit DIB says %dx%d, %d bytes a row, %d planes, %d bits, bits %s",
         d.width, d.height, d.bitCount, bm.bmWidth, bm.bmHeight, bm.bmWidthBytes, bm.bmPlanes,
         bm.bmBitsPixel, bm.bmBits == d.bits ? "ok" : "differ");
}

void fillPattern(std::uint8_t* p, std::size_t n, std::uint32_t seed) {
  XorShift g{seed | 1u};
  for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<std::uint8_t>(g.next() >> 24);
}

// ---- the session of one input -------------------------------------------------

int drawHookCalls = 0;
void countDraws(void* context) { ++*static_cast<int*>(context); }

class Session {
 public:
  explicit Session(Input& in) : in_(in), trace_(std::getenv("VEX2D_FUZZ_TRACE") != nullptr) {}

  void run() {
    setUp();
    int calls = 0;
    while (!in_.done()) {
      const auto t0 = std::chrono::steady_clock::now();
      step(calls);
      if (trace_) {
        const std::chrono::duration<double, std::milli> ms = std::chrono::steady_clock::now() - t0;
        std::fprintf(stderr, "gdi_fuzz:   %.3f ms\n", ms.count());
      }
      ++calls;
      checkView(calls);
    }
    checkTwins(calls);
  }

  // Deletes every DC, then every object the input created (the deletion of a
  // stale handle fails harmlessly), then the view buffer.
  void tearDown() {
    for (HDC dc : dcs_) DeleteDC(dc);
    for (HGDIOBJ h : objects_) DeleteObject(h);
    dcs_.clear();
    objects_.clear();
    twinsOn_ = false;
    buffer_.reset();
  }

 private:
  // ---- surfaces ----

  void setUp() {
    const std::uint8_t shape = in_.u8();
    const std::uint32_t seed = in_.u32();
    // The instruction-set level of the kernels, from the seed's top bits:
    // every level the processor has is fuzzed, not only its best.
    const std::vector<gdi::SimdLevel> levels = supportedLevels();
    gdi::setSimdLevel(levels[(seed >> 28) % levels.size()]);
    if (trace_) std::fprintf(stderr, "gdi_fuzz: level %s\n", std::string(gdi::activeSimdLevelName()).c_str());

    // The twins: one size, one 24-bit and one 32-bit, each with its own row
    // order, filled with the same colours.
    int tw = 0, th = 0;
    surfaceSize(&tw, &th);
    for (int k = 0; k < 2; ++k) {
      const int h = (shape >> k) & 1 ? -th : th;
      Dib d = makeDib(tw, h, k == 0 ? 24 : 32, 0);
      HDC dc = newMemoryDc(0);
      if (d.handle == 0 || dc == 0) fail("could not create the twin surfaces");
      if (SelectObject(dc, d.handle) == 0) fail("could not select a fresh DIB section");
      twins_[k] = dc;
      twinDibs_[k] = d;
    }
    for (int y = 0; y < th; ++y) {
      for (int x = 0; x < tw; ++x) {
        XorShift g{seed ^ static_cast<std::uint32_t>((y * 64 + x) * 2654435761u) ^ 1u};
        const std::uint32_t v = g.next();
        for (int k = 0; k < 2; ++k)
          std::memcpy(twinDibs_[k].pixel(x, y), &v, 3);
      }
    }
    twinsOn_ = std::getenv("VEX2D_FUZZ_NO_TWINS") == nullptr;

    // A third DIB section of its own size and depth.
    {
      int w = 0, h = 0;
      surfaceSize(&w, &h);
      Dib d = makeDib(w, (shape & 4) ? -h : h, (shape & 8) ? 32 : 24, seed * 3);
      HDC dc = newMemoryDc(0);
      if (d.handle != 0 && dc != 0) SelectObject(dc, d.handle);
    }
    // A memory DC that keeps its 1x1 monochrome bitmap: nothing to draw on.
    newMemoryDc(0);

    // The view DC over caller-owned pixels.
    ViewGeometry& g = geom_;
    g.format = (shape & 16) ? PixelFormat::Bgr24 : PixelFormat::Xrgb32;
    g.bottomUp = (shape & 32) != 0;
    surfaceSize(&g.width, &g.height);
    const std::uint8_t margins = in_.u8();
    const int left = margins & 3, right = (margins >> 2) & 3;
    const int top = (margins >> 4) & 3, bottom = (margins >> 6) & 3;
    g.bufWidth = g.width + left + right;
    g.bufHeight = g.height + top + bottom;
    g.x = left;
    g.y = top;
    // Extra bytes at the end of each row: 32-bit rows must stay word aligned.
    const int pad = in_.u8() % 8;
    g.rowBytes = static_cast<std::ptrdiff_t>(g.bufWidth) * g.bpp() +
                 (g.format == PixelFormat::Xrgb32 ? (pad & 3) * 4 : pad);
    g.origin = POINT{coord(in_), coord(in_)};
    g.clip = RECT{coord(in_), coord(in_), coord(in_), coord(in_)};
    buffer_ = std::make_unique<GuardedBuffer>(g.bytes(), (shape & 64) == 0);
    fillPattern(buffer_->accessible(), buffer_->accessibleSize(), seed ^ 0x5bd1e995u);
    shadow_.assign(buffer_->accessible(), buffer_->accessible() + buffer_->accessibleSize());
    view_ = CreateViewDC(g.view(buffer_->data()), g.origin, g.clip);
    if (view_ == 0) fail("CreateViewDC refused a valid %dx%d view", g.width, g.height);
    dcs_.push_back(view_);
    pool(view_);
    if (shape & 128) SetDrawHook(view_, countDraws, &drawHookCalls);
  }

  static std::vector<gdi::SimdLevel> supportedLevels() {
    std::vector<gdi::SimdLevel> out;
    for (const gdi::SimdLevel l : gdi::kAllSimdLevels)
      if (gdi::simdLevelSupported(l)) out.push_back(l);
    return out;
  }

  // Mostly 1 to 40 pixels a side. Now and then a surface is a few rows of
  // 250 to 503 pixels: row kernels that work in chunks of a few hundred
  // pixels only show their chunk boundaries on rows that long. Rarely one
  // side is 2048 pixels (the other 1 to 3): the widest rows and the tallest
  // columns a window of ours has.
  void surfaceSize(int* width, int* height) {
    const std::uint8_t w = in_.u8();
    const std::uint8_t h = in_.u8();
    if (w < 0xF0) {
      *width = 1 + w % 40;
      *height = 1 + h % 40;
    } else if (w < 0xFC) {
      *width = 250 + (w - 0xF0) * 23;
      *height = 1 + h % 4;
    } else {
      const int thin = 1 + h % 3;
      *width = w < 0xFE ? kLongSide : thin;
      *height = w < 0xFE ? thin : kLongSide;
    }
  }
  static constexpr int kLongSide = 2048;

  // CreateViewDC and SetViewDC with a view that no caller should pass: no
  // pixels, no size, rows shorter than the width, a 32-bit view off word
  // alignment. Each must be refused; none may draw anywhere.
  void hostileView() {
    PixelView v = geom_.view(buffer_->data());
    const std::uint8_t fault = in_.u8();
    switch (fault % 7) {
      case 0: v.top = nullptr; break;
      case 1: v.width = -static_cast<std::int32_t>(in_.u8()); break;
      case 2: v.height = 0; break;
      case 3: v.width = INT32_MAX; v.height = 2; break;
      case 4: {
        const std::ptrdiff_t shortRow = static_cast<std::ptrdiff_t>(v.width) * bytesPerPixel(v.format) - 1;
        v.stride = v.stride < 0 ? -shortRow : shortRow;
        v.height = std::max(v.height, 2);
        break;
      }
      case 5: v.format = PixelFormat::Xrgb32; v.top += 1 + fault % 3; break;
      default: v.format = PixelFormat::Xrgb32; v.stride += v.stride < 0 ? -2 : 2; v.height = std::max(v.height, 2); break;
    }
    const HDC created = CreateViewDC(v, POINT{coord(in_), coord(in_)}, RECT{coord(in_), coord(in_), coord(in_), coord(in_)});
    if (created != 0) {
      DeleteDC(created);
      fail("CreateViewDC accepted a hostile view (fault %d: %dx%d, stride %td, top %p)", fault % 7, v.width,
           v.height, v.stride, static_cast<void*>(v.top));
    }
    if (SetViewDC(view_, v, geom_.origin, geom_.clip) != FALSE)
      fail("SetViewDC accepted a hostile view (fault %d)", fault % 7);
  }

  Dib makeDib(int width, int height, int bitCount, std::uint32_t seed) {
    Dib d;
    void* bits = nullptr;
    d.handle = createDib(width, height, bitCount, &bits);
    if (d.handle == 0) {
      if (bits != nullptr) fail("failed CreateDIBSection left a bits pointer");
      return d;
    }
    if (bits == nullptr) fail("CreateDIBSection returned a handle but no bits");
    d.bits = static_cast<std::uint8_t*>(bits);
    d.width = width;
    d.height = height;
    d.bitCount = bitCount;
    objects_.push_back(d.handle);
    pool(d.handle);
    checkDibLayout(d);
    if (seed != 0) fillPattern(d.bits, static_cast<std::size_t>(d.stride()) * d.rows(), seed);
    return d;
  }

  HDC newMemoryDc(HDC from) {
    const HDC dc = CreateCompatibleDC(from);
    if (dc != 0) {
      dcs_.push_back(dc);
      pool(dc);
    }
    return dc;
  }

  // ---- handles ----

  void pool(HANDLE h) {
    if (pool_.size() < 512)
      pool_.push_back(h);
    else
      pool_[poolNext_++ % pool_.size()] = h;
  }

  HANDLE fromPool(std::uint8_t b) { return pool_.empty() ? 0 : pool_[b % pool_.size()]; }

  // A handle to pass where an object is expected: mostly one the input has
  // seen (live, deleted, a DC), sometimes a stock object, a neighbour or an
  // older generation of a seen handle, 0, or any 32-bit value.
  HGDIOBJ object() {
    const std::uint8_t b = in_.u8();
    if (b < 0x80) return fromPool(in_.u8());
    if (b < 0xA0) return GetStockObject(b & 0x1F);
    if (b < 0xC0) return mutate(fromPool(in_.u8()));
    if (b < 0xD0) return dcs_.empty() ? 0 : dcs_[in_.u8() % dcs_.size()];
    if (b < 0xE0) return 0;
    return in_.u32();
  }

  // A handle to pass where a DC is expected.
  HDC dc() {
    const std::uint8_t b = in_.u8();
    if (b < 0xC0) return dcs_.empty() ? 0 : dcs_[b % dcs_.size()];
    if (b < 0xD0) return fromPool(in_.u8());
    if (b < 0xE0) return mutate(dcs_.empty() ? 0 : dcs_[in_.u8() % dcs_.size()]);
    if (b < 0xF0) return 0;
    return in_.u32();
  }

  HANDLE mutate(HANDLE h) {
    // Handles are an index in the low bits and a generation above them;
    // changing either gives a stale handle or someone else's.
    const std::uint8_t m = in_.u8();
    switch (m % 4) {
      case 0: return h ^ (1u << (11 + (m >> 2) % 21));  // a generation bit
      case 1: return h + 1;
      case 2: return h - 1;
      default: return h ^ (1u << ((m >> 2) % 20));
    }
  }

  // ---- the twins ----

  bool isTwin(HDC dc) const { return twinsOn_ && (dc == twins_[0] || dc == twins_[1]); }
  HDC otherTwin(HDC dc) const { return dc == twins_[0] ? twins_[1] : twins_[0]; }

  // Runs a call on `dc`; on a twin, runs it on the other twin as well and
  // requires the same result from both. `call` receives the DC to draw on.
  template <class Call>
  auto both(HDC target, int calls, const char* what, Call&& call) {
    const auto result = call(target);
    if (isTwin(target)) {
      const auto mirrored = call(otherTwin(target));
      if (!(mirrored == result)) fail("call %d (%s): the two twin DCs returned different results", calls, what);
      checkTwins(calls, what);
    }
    return result;
  }

  void checkTwins(int calls, const char* what = "end of input") {
    if (!twinsOn_) return;
    const Dib& a = twinDibs_[0];
    const Dib& b = twinDibs_[1];
    for (int y = 0; y < a.rows(); ++y)
      for (int x = 0; x < a.width; ++x)
        if (std::memcmp(a.pixel(x, y), b.pixel(x, y), 3) != 0) {
          const std::uint8_t* p = a.pixel(x, y);
          const std::uint8_t* q = b.pixel(x, y);
          fail("call %d (%s): pixel (%d, %d) of the %dx%d twins is %02x%02x%02x at 24 bits but "
               "%02x%02x%02x at 32 bits (RGB)",
               calls, what, x, y, a.width, a.height, p[2], p[1], p[0], q[2], q[1], q[0]);
        }
  }

  // A twin that no longer holds its own DIB section stops being comparable.
  void recheckTwinBitmaps() {
    if (!twinsOn_) return;
    for (int k = 0; k < 2; ++k) {
      PixelView v;
      if (!GetDCPixels(twins_[k], &v) || v.width != twinDibs_[k].width) {
        twinsOn_ = false;
        return;
      }
      const std::uint8_t* expectedTop = twinDibs_[k].pixel(0, 0);
      if (v.top != expectedTop) {
        twinsOn_ = false;
        return;
      }
    }
  }

  // ---- the view ----

  void checkView(int calls) {
    if (!buffer_) return;
    const ViewGeometry& g = geom_;
    const RECT w = g.writable();
    const std::uint8_t* base = buffer_->accessible();
    const std::uint8_t* pixels = buffer_->data();
    const std::size_t n = buffer_->accessibleSize();
    if (std::memcmp(base, shadow_.data(), n) == 0) return;
    for (std::size_t i = 0; i < n; ++i) {
      if (base[i] == shadow_[i]) continue;
      // Changed: fine only inside the writable rectangle.
      const std::ptrdiff_t off = (base + i) - pixels;
      if (off >= 0 && static_cast<std::size_t>(off) < g.bytes()) {
        const int memRow = static_cast<int>(off / g.rowBytes);
        const int bufRow = g.bottomUp ? g.bufHeight - 1 - memRow : memRow;
        const std::ptrdiff_t col = off % g.rowBytes;
        if (bufRow >= w.top && bufRow < w.bottom && col >= w.left * g.bpp() && col < w.right * g.bpp())
          continue;
        fail("call %d: a byte outside the view DC's clip changed: buffer row %d, byte %td of the "
             "row (view %dx%d at (%d, %d) in a %dx%d buffer of %d bits, clip (%d, %d)-(%d, %d), "
             "origin (%d, %d))",
             calls, bufRow, col, g.width, g.height, g.x, g.y, g.bufWidth, g.bufHeight, g.bpp() * 8,
             g.clip.left, g.clip.top, g.clip.right, g.clip.bottom, g.origin.x, g.origin.y);
      }
      fail("call %d: a byte next to the view DC's buffer changed (offset %td)", calls, off);
    }
  }

  void moveView() {
    ViewGeometry g = geom_;
    g.x = in_.u8() % g.bufWidth;
    g.y = in_.u8() % g.bufHeight;
    g.width = 1 + in_.u8() % (g.bufWidth - g.x);
    g.height = 1 + in_.u8() % (g.bufHeight - g.y);
    g.origin = POINT{coord(in_), coord(in_)};
    g.clip = RECT{coord(in_), coord(in_), coord(in_), coord(in_)};
    const HDC target = in_.u8() < 0xF0 ? view_ : dc();
    if (target == view_) {
      if (SetViewDC(view_, g.view(buffer_->data()), g.origin, g.clip) == FALSE) return;
      geom_ = g;
      // Pixels that the old clip allowed may now lie outside the new one.
      std::memcpy(shadow_.data(), buffer_->accessible(), shadow_.size());
    } else {
      // No other DC may start drawing into the caller's buffer.
      PixelView v{};
      v.width = g.width;
      v.height = g.height;
      if (SetViewDC(target, v, g.origin, g.clip) != FALSE) fail("SetViewDC accepted a view without pixels");
    }
  }

  // ---- argument builders ----

  // Exactly as many points as the count says, on the heap so that reading
  // one more faults; null where the input asks for it.
  struct Points {
    std::unique_ptr<POINT[]> p;
    long count = 0;
    bool null = false;
    const POINT* get() const { return null ? nullptr : p.get(); }
  };

  Points points(bool bezier) {
    Points pts;
    const std::uint8_t b = in_.u8();
    long n = 0;
    if (b < 0xE0) {
      n = b % 65;
      // Curves need 3k + 1 points; keep most counts valid so they draw.
      if (bezier && b < 0xC0) n = n / 3 * 3 + 1;
    } else if (b < 0xF0) {
      // Long lists. A curve list is kept to 1000 points (333 curves): each
      // curve that spans thousands of pixels flattens into hundreds of
      // segments, and under a pen wider than the surface every one of them
      // paints the whole surface, which takes seconds for 3333 curves
      // without being wrong.
      n = bezier ? 1000 : 10000;
    } else if (b < 0xF8) {
      n = 0;
      pts.null = true;
      if (b & 1) n = 4;  // a null array with a count
    } else {
      n = b & 1 ? -1 : INT_MIN;
      if (bezier) n = 0;
    }
    pts.count = n;
    if (trace_) std::fprintf(stderr, "gdi_fuzz:   %ld points%s\n", n, pts.null ? ", null array" : "");
    const std::size_t alloc = n > 0 ? static_cast<std::size_t>(n) : 1;
    pts.p.reset(new POINT[alloc]);
    if (n <= 0) return pts;
    const std::uint8_t mode = in_.u8();
    if (mode < 0x80 && n <= 64) {
      for (long i = 0; i < n; ++i) pts.p[i] = POINT{coord(in_), coord(in_)};
    } else {
      // Generated: around the surfaces, across a wide range, or anywhere.
      XorShift g{in_.u32() | 1u};
      const int spread = mode & 3;
      if (trace_) std::fprintf(stderr, "gdi_fuzz:   generated, spread %d\n", spread);
      for (long i = 0; i < n; ++i) {
        const std::uint32_t a = g.next(), c = g.next();
        if (spread == 0) {
          pts.p[i] = POINT{static_cast<LONG>(a % 80) - 20, static_cast<LONG>(c % 80) - 20};
        } else if (spread == 1) {
          pts.p[i] = POINT{static_cast<LONG>(a % 200001) - 100000, static_cast<LONG>(c % 200001) - 100000};
        } else if (spread == 2) {
          pts.p[i] = POINT{kCoordTable[a % std::size(kCoordTable)], kCoordTable[c % std::size(kCoordTable)]};
        } else {
          pts.p[i] = POINT{static_cast<LONG>(a), static_cast<LONG>(c)};
        }
      }
    }
    return pts;
  }

  // Exactly `c` characters on the heap, no terminator.
  struct Text {
    std::unique_ptr<char[]> s;
    int count = 0;
    bool null = false;
    const char* get() const { return null ? nullptr : s.get(); }
  };

  Text text() {
    Text t;
    const std::uint8_t b = in_.u8();
    int n = b % 48;
    if (b >= 0xF0) {
      static constexpr int kOdd[] = {-1, INT_MIN, 0, 5, 1000, 0, 2, -5};
      n = kOdd[b & 7];
      t.null = (b & 8) != 0;
    }
    t.count = n;
    const std::size_t alloc = n > 0 ? static_cast<std::size_t>(n) : 1;
    t.s.reset(new char[alloc]);
    t.s[0] = 0;
    if (n > 0 && n <= 48) {
      for (int i = 0; i < n; ++i) t.s[i] = static_cast<char>(in_.u8());
    } else if (n > 0) {
      XorShift g{in_.u32() | 1u};
      for (int i = 0; i < n; ++i) t.s[i] = static_cast<char>(g.next() >> 24);
    }
    return t;
  }

  LOGFONTA* logFont() {
    // On the heap and exactly as long as the record: the face name need not
    // be terminated, and the engine must not read past it.
    static constexpr LONG kHeights[] = {0,    1,     -1,    2,      8,     13,      16,
                                        -16,  107,   -107,  500,    -500,  5000,    -5000,
                                        INT_MAX, INT_MIN, -INT_MAX, 100000, 1 << 20, -(1 << 20)};
    static constexpr const char* kFaces[] = {"Arial", "Liberation Sans", "Courier New",
                                             "Times New Roman", "", "No Such Face Anywhere",
                                             "Symbol", "System"};
    lf_ = std::make_unique<LOGFONTA>();
    LOGFONTA& lf = *lf_;
    lf = LOGFONTA{};
    const std::uint8_t h = in_.u8();
    lf.lfHeight = h < 0xA0 ? static_cast<LONG>(h % 120) - 10 : kHeights[h % std::size(kHeights)];
    const std::uint8_t extra = in_.u8();
    if (extra & 1) lf.lfWidth = coord(in_);
    if (extra & 2) lf.lfEscapement = coord(in_);
    if (extra & 4) lf.lfOrientation = coord(in_);
    static constexpr LONG kWeights[] = {0, 100, 400, 550, 551, 700, 900, 1000, -1, INT_MAX, INT_MIN, 1 << 20};
    lf.lfWeight = kWeights[in_.u8() % std::size(kWeights)];
    lf.lfItalic = in_.u8();
    lf.lfUnderline = (extra & 8) ? in_.u8() : 0;
    lf.lfStrikeOut = (extra & 8) ? in_.u8() : 0;
    lf.lfCharSet = (extra & 16) ? in_.u8() : ANSI_CHARSET;
    lf.lfOutPrecision = (extra & 16) ? in_.u8() : OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = (extra & 32) ? in_.u8() : DEFAULT_QUALITY;
    lf.lfPitchAndFamily = in_.u8();
    const std::uint8_t face = in_.u8();
    if (face < 0xF0) {
      const char* name = kFaces[face % std::size(kFaces)];
      std::strncpy(lf.lfFaceName, name, LF_FACESIZE - 1);
    } else {
      // Raw bytes, all 32 of them: no terminator unless the input has one.
      for (int i = 0; i < LF_FACESIZE; ++i) lf.lfFaceName[i] = static_cast<char>(in_.u8() | 1);
    }
    return &lf;
  }

  // ---- one facade call ----

  void step(int calls) {
    // One operation per facade function (in the engine's counter order),
    // then the harness's own compound operations.
    static constexpr const char* kExtra[] = {"SetViewDC", "pen per line", "SetDrawHook",
                                             "delete while selected"};
    constexpr std::size_t kOps = gdi::kFnCount + std::size(kExtra);
    // The numbers come from the engine's one list of facade functions
    // (VEX2D_FACADE_FUNCTIONS), which seeds.py reads as well.
    using gdi::Fn;
    constexpr auto op = [](Fn f) { return static_cast<std::size_t>(f); };
    constexpr std::size_t kSetViewDc = gdi::kFnCount, kPenPerLine = kSetViewDc + 1, kDrawHook = kSetViewDc + 2,
                          kDeleteWhileSelected = kSetViewDc + 3;
    auto opName = [](std::size_t k) -> std::string {
      return k < gdi::kFnCount ? std::string(gdi::fnName(static_cast<gdi::Fn>(k))) : kExtra[k - gdi::kFnCount];
    };
    const std::size_t which = in_.u8() % kOps;
    if (trace_) std::fprintf(stderr, "gdi_fuzz: call %d: %s\n", calls, opName(which).c_str());
    switch (which) {
      case op(Fn::CreatePen): {
        static constexpr int kStyles[] = {PS_SOLID, PS_SOLID, PS_SOLID, PS_NULL, 1, 2, 3, 4, 6, 7, 8, -1, 9, INT_MIN};
        const std::uint8_t s = in_.u8();
        const int style = s < 0xF0 ? kStyles[s % std::size(kStyles)] : in_.i32();
        const int width = penWidth(in_);
        const HPEN p = CreatePen(style, width, color(in_));
        if (trace_) std::fprintf(stderr, "gdi_fuzz:   style %d, width %d: %08x\n", style, width, p);
        if (p != 0) objects_.push_back(p);
        pool(p);
        break;
      }
      case op(Fn::CreateSolidBrush): {
        const HBRUSH b = CreateSolidBrush(color(in_));
        if (b == 0) fail("CreateSolidBrush failed");
        objects_.push_back(b);
        pool(b);
        break;
      }
      case op(Fn::GetStockObject): {
        const std::uint8_t b = in_.u8();
        const int i = b < 0xF0 ? static_cast<std::int8_t>(b) % 24 : in_.i32();
        pool(GetStockObject(i));
        break;
      }
      case op(Fn::CreateFontIndirectA): {
        const bool null = in_.u8() >= 0xF8;
        const HFONT f = CreateFontIndirectA(null ? nullptr : logFont());
        if (null && f != 0) fail("CreateFontIndirectA(null) returned a font");
        if (f != 0) objects_.push_back(f);
        pool(f);
        break;
      }
      case op(Fn::SelectObject): {
        const HDC d = dc();
        const HGDIOBJ h = object();
        const HGDIOBJ previous = SelectObject(d, h);
        if (trace_) std::fprintf(stderr, "gdi_fuzz:   %08x into %08x: %08x\n", h, d, previous);
        if (isTwin(d)) {
          // The twins may hold different but equal objects (each got its own
          // pen in a mirrored call), so what SelectObject returns is not
          // compared, only what they draw. A twin's own bitmap is where the
          // twins differ: the mirror selects the other twin's bitmap instead.
          HGDIOBJ mirror = h;
          if (h == twinDibs_[0].handle) mirror = twinDibs_[1].handle;
          else if (h == twinDibs_[1].handle) mirror = twinDibs_[0].handle;
          pool(SelectObject(otherTwin(d), mirror));
          recheckTwinBitmaps();
        }
        pool(previous);
        break;
      }
      case op(Fn::DeleteObject): {
        DeleteObject(object());
        recheckTwinBitmaps();
        break;
      }
      case op(Fn::GetObjectA): getObject(calls); break;
      case op(Fn::CreateCompatibleDC): newMemoryDc(in_.u8() < 0xC0 ? 0 : dc()); break;
      case op(Fn::DeleteDC): {
        const HDC d = dc();
        if (DeleteDC(d) != FALSE && isTwin(d)) twinsOn_ = false;
        if (d == view_) view_ = 0;
        break;
      }
      case op(Fn::CreateDIBSection): createDibSection(calls); break;
      case op(Fn::MoveToEx): {
        const HDC d = dc();
        const int x = coord(in_), y = coord(in_);
        const bool want = in_.flag();
        both(d, calls, "MoveToEx", [&](HDC t) {
          POINT p{-7, -7};
          const BOOL r = MoveToEx(t, x, y, want ? &p : nullptr);
          return std::array<LONG, 3>{r, p.x, p.y};
        });
        break;
      }
      case op(Fn::LineTo): {
        const HDC d = dc();
        const int x = coord(in_), y = coord(in_);
        both(d, calls, "LineTo", [&](HDC t) { return LineTo(t, x, y); });
        break;
      }
      case op(Fn::PolyBezier): {
        const HDC d = dc();
        const Points p = points(true);
        both(d, calls, "PolyBezier",
             [&](HDC t) { return PolyBezier(t, p.get(), static_cast<DWORD>(p.count)); });
        break;
      }
      case op(Fn::Polygon): {
        const HDC d = dc();
        const Points p = points(false);
        both(d, calls, "Polygon", [&](HDC t) { return Polygon(t, p.get(), static_cast<int>(p.count)); });
        break;
      }
      case op(Fn::Rectangle): {
        const HDC d = dc();
        const int l = coord(in_), t = coord(in_), r = coord(in_), b = coord(in_);
        both(d, calls, "Rectangle", [&](HDC x) { return Rectangle(x, l, t, r, b); });
        break;
      }
      case op(Fn::Ellipse): {
        const HDC d = dc();
        const int l = coord(in_), t = coord(in_), r = coord(in_), b = coord(in_);
        both(d, calls, "Ellipse", [&](HDC x) { return Ellipse(x, l, t, r, b); });
        break;
      }
      case op(Fn::Arc): {
        const HDC d = dc();
        int v[8];
        for (int& c : v) c = coord(in_);
        both(d, calls, "Arc",
             [&](HDC x) { return Arc(x, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]); });
        break;
      }
      case op(Fn::FillRect): {
        const HDC d = dc();
        auto rect = std::make_unique<RECT>(RECT{coord(in_), coord(in_), coord(in_), coord(in_)});
        const bool null = in_.u8() >= 0xF0;
        const HBRUSH brush = object();
        both(d, calls, "FillRect", [&](HDC x) { return FillRect(x, null ? nullptr : rect.get(), brush); });
        break;
      }
      case op(Fn::SetPixel): {  // SetPixel, then GetPixel must read it back
        const HDC d = dc();
        const int x = coord(in_), y = coord(in_);
        const COLORREF c = color(in_);
        both(d, calls, "SetPixel", [&](HDC t) {
          const COLORREF set = SetPixel(t, x, y, c);
          if (set != CLR_INVALID) {
            const COLORREF got = GetPixel(t, x, y);
            if (got != (c & 0xFFFFFFu))
              fail("call %d: SetPixel(%d, %d) of %06x reads back as %06x", calls, x, y, c & 0xFFFFFFu, got);
          }
          return set;
        });
        break;
      }
      case op(Fn::GetPixel): {
        const HDC d = dc();
        const int x = coord(in_), y = coord(in_);
        both(d, calls, "GetPixel", [&](HDC t) { return GetPixel(t, x, y); });
        break;
      }
      case op(Fn::TextOutA): {
        const HDC d = dc();
        const int x = coord(in_), y = coord(in_);
        const Text s = text();
        both(d, calls, "TextOutA", [&](HDC t) { return TextOutA(t, x, y, s.get(), s.count); });
        break;
      }
      case op(Fn::SetTextColor): {
        const HDC d = dc();
        const COLORREF c = color(in_);
        both(d, calls, "SetTextColor", [&](HDC t) { return SetTextColor(t, c); });
        break;
      }
      case op(Fn::SetBkMode): {
        static constexpr int kModes[] = {TRANSPARENT, OPAQUE, 0, 3, -1, INT_MIN};
        const HDC d = dc();
        const std::uint8_t m = in_.u8();
        const int mode = m < 0xF0 ? kModes[m % std::size(kModes)] : in_.i32();
        both(d, calls, "SetBkMode", [&](HDC t) { return SetBkMode(t, mode); });
        break;
      }
      case op(Fn::SetBkColor): {
        const HDC d = dc();
        const COLORREF c = color(in_);
        both(d, calls, "SetBkColor", [&](HDC t) { return SetBkColor(t, c); });
        break;
      }
      case op(Fn::GetTextMetricsA): {
        const HDC d = dc();
        const bool null = in_.u8() >= 0xF0;
        auto tm = std::make_unique<TEXTMETRICA>();
        const BOOL r = GetTextMetricsA(d, null ? nullptr : tm.get());
        if (r != FALSE && null) fail("GetTextMetricsA(null) succeeded");
        break;
      }
      case op(Fn::GetTextExtentPoint32A): {
        const HDC d = dc();
        const Text s = text();
        const bool null = in_.u8() >= 0xF0;
        auto size = std::make_unique<SIZE>();
        const BOOL r = GetTextExtentPoint32A(d, s.get(), s.count, null ? nullptr : size.get());
        if (r != FALSE && size->cx < 0) fail("GetTextExtentPoint32A gave a negative width %d", size->cx);
        break;
      }
      case op(Fn::BitBlt): blit(calls, false); break;
      case op(Fn::StretchBlt): blit(calls, true); break;
      case op(Fn::SetStretchBltMode): {
        static constexpr int kModes[] = {BLACKONWHITE, WHITEONBLACK, COLORONCOLOR, HALFTONE, 0, 5, -1};
        const HDC d = dc();
        const std::uint8_t m = in_.u8();
        const int mode = m < 0xF0 ? kModes[m % std::size(kModes)] : in_.i32();
        both(d, calls, "SetStretchBltMode", [&](HDC t) { return SetStretchBltMode(t, mode); });
        break;
      }
      case kSetViewDc:
        if (buffer_ && view_ != 0) {
          if (in_.u8() < 0xE0)
            moveView();
          else
            hostileView();
        }
        break;
      case kPenPerLine: penPerLine(calls); break;
      case kDrawHook: {  // a draw hook on any DC, or none
        const HDC d = dc();
        SetDrawHook(d, in_.flag() ? countDraws : nullptr, &drawHookCalls);
        break;
      }
      case kDeleteWhileSelected: {  // delete what a DC holds while it holds it, then keep drawing
        const HDC d = dc();
        const HPEN p = CreatePen(PS_SOLID, penWidth(in_), color(in_));
        const HBRUSH b = CreateSolidBrush(color(in_));
        objects_.push_back(p);
        objects_.push_back(b);
        pool(p);
        pool(b);
        both(d, calls, "select", [&](HDC t) {
          pool(SelectObject(t, p));
          pool(SelectObject(t, b));
          return 0;
        });
        DeleteObject(p);
        DeleteObject(b);
        const int l = coord(in_), t = coord(in_), r = coord(in_), bo = coord(in_);
        both(d, calls, "Rectangle after delete", [&](HDC x) { return Rectangle(x, l, t, r, bo); });
        both(d, calls, "Ellipse after delete", [&](HDC x) { return Ellipse(x, l, t, r, bo); });
        break;
      }
    }
  }

  void getObject(int calls) {
    static constexpr int kSizes[] = {0, -1, 1, 4, 8, 12, 15, 16, 17, 23, 24, 25, 31, 32, 33,
                                     40, 56, 59, 60, 61, 100, INT_MAX, INT_MIN};
    const HGDIOBJ h = object();
    const int c = kSizes[in_.u8() % std::size(kSizes)];
    const bool null = in_.u8() >= 0xE0;
    // Exactly c bytes (at most 256, more than any record), so writing one
    // more than asked faults.
    const std::size_t alloc = c > 0 ? std::min<std::size_t>(static_cast<std::size_t>(c), 256) : 1;
    auto buffer = std::make_unique<std::uint8_t[]>(alloc);
    const int r = GetObjectA(h, c, null ? nullptr : buffer.get());
    if (!null && (r < 0 || r > std::max(c, 0)))
      fail("call %d: GetObjectA into %d bytes returned %d", calls, c, r);
  }

  void createDibSection(int calls) {
    const std::uint8_t kind = in_.u8();
    const int w = 1 + in_.u8() % 40;
    const int h = (1 + in_.u8() % 40) * ((kind & 1) ? -1 : 1);
    const int bits = (kind & 2) ? 32 : 24;
    const bool wantBits = (kind & 4) == 0;
    if (kind < 0xC0) {
      void* p = nullptr;
      const HBITMAP b = createDib(w, h, bits, wantBits ? &p : nullptr);
      if (b == 0) fail("call %d: CreateDIBSection of a %dx%d %d-bit DIB failed", calls, w, h, bits);
      objects_.push_back(b);
      pool(b);
      if (wantBits) {
        Dib d{b, static_cast<std::uint8_t*>(p), w, h, bits};
        checkDibLayout(d);
        fillPattern(d.bits, static_cast<std::size_t>(d.stride()) * d.rows(), in_.u32());
      }
      return;
    }
    // A header with one field wrong, or a wrong call: the engine must refuse
    // it or hand out a working bitmap, and never crash.
    // With a full colour table behind the header: a depth that needs one may
    // be read from it.
    struct InfoWithColors {
      BITMAPINFOHEADER header;
      RGBQUAD colors[256];
    };
    auto info = std::make_unique<InfoWithColors>();
    *info = InfoWithColors{};
    BITMAPINFOHEADER& bi = info->header;
    bi.biSize = sizeof(BITMAPINFOHEADER);
    bi.biWidth = w;
    bi.biHeight = h;
    bi.biPlanes = 1;
    bi.biBitCount = static_cast<WORD>(bits);
    bi.biCompression = BI_RGB;
    UINT usage = DIB_RGB_COLORS;
    HANDLE section = 0;
    DWORD offset = 0;
    HDC onDc = 0;
    bool nullInfo = false;
    switch (in_.u8() % 14) {
      case 0: bi.biSize = in_.u8() % 40; break;
      case 1: bi.biPlanes = in_.u16(); break;
      case 2: bi.biBitCount = static_cast<WORD>(in_.u8() % 40); break;
      case 3: bi.biCompression = 1 + in_.u8() % 4; break;
      case 4: bi.biWidth = kCoordTable[in_.u8() % std::size(kCoordTable)]; bi.biHeight = INT_MAX; break;
      case 5: bi.biWidth = 0; break;
      case 6: bi.biHeight = 0; break;
      case 7: bi.biHeight = INT_MIN; break;
      case 8: bi.biWidth = -w; break;
      case 9: bi.biWidth = INT_MAX; bi.biHeight = (kind & 1) ? -INT_MAX : INT_MAX; break;
      case 10: usage = in_.u32() | 1u; break;
      case 11: section = in_.u32() | 1u; offset = in_.u32(); break;
      case 12: onDc = dc(); break;
      default: nullInfo = true; break;
    }
    void* p = nullptr;
    const HBITMAP b = CreateDIBSection(onDc, nullInfo ? nullptr : reinterpret_cast<const BITMAPINFO*>(info.get()),
                                       usage, &p, section, offset);
    if (b == 0) return;
    objects_.push_back(b);
    BITMAP bm{};
    if (GetObjectA(b, sizeof(bm), &bm) != static_cast<int>(sizeof(bm)) || bm.bmBits != p || p == nullptr)
      fail("call %d: an accepted odd CreateDIBSection gives no usable bitmap", calls);
    const std::int64_t bytes = static_cast<std::int64_t>(bm.bmWidthBytes) * bm.bmHeight;
    if (bytes <= (1 << 16)) {
      pool(b);  // small enough to draw on
    } else {
      // Drawing on a bitmap this large costs the fuzzer too much memory.
      DeleteObject(b);
    }
  }

  void blit(int calls, bool stretch) {
    const HDC d = dc();
    const HDC s = in_.u8() < 0xE0 ? (dcs_.empty() ? 0 : dcs_[in_.u8() % dcs_.size()]) : dc();
    const int x = coord(in_), y = coord(in_), w = coord(in_), h = coord(in_);
    const int sx = coord(in_), sy = coord(in_);
    const int sw = stretch ? coord(in_) : 0, sh = stretch ? coord(in_) : 0;
    const DWORD r = rop(in_);
    // On a twin, the mirrored call reads from the mirrored DC itself when
    // the source is a twin: as the twins were equal before the call, that
    // self-overlapping copy must give what the copy between them gave.
    auto source = [&](HDC target) { return (target != d && (s == twins_[0] || s == twins_[1])) ? target : s; };
    if (stretch)
      both(d, calls, "StretchBlt", [&](HDC t) { return StretchBlt(t, x, y, w, h, source(t), sx, sy, sw, sh, r); });
    else
      both(d, calls, "BitBlt", [&](HDC t) { return BitBlt(t, x, y, w, h, source(t), sx, sy, r); });
  }

  // What the line test does for every line: a pen of its own, selected,
  // used, deselected and deleted. Nothing may be left behind, unless the pen
  // it replaced cannot be selected back (it was deleted while selected), in
  // which case the new pen stays selected and lives on legitimately.
  void penPerLine(int calls) {
    const HDC d = dc();
    const std::size_t before = liveHandleCount();
    const int width = penWidth(in_);
    const COLORREF c = color(in_);
    const int x = coord(in_), y = coord(in_);
    bool restored = true;
    both(d, calls, "pen per line", [&](HDC t) {
      const HPEN p = CreatePen(PS_SOLID, width, c);
      if (p == 0) fail("call %d: CreatePen(PS_SOLID, %d) failed", calls, width);
      const HGDIOBJ old = SelectObject(t, p);
      const BOOL r = LineTo(t, x, y);
      if (old != 0 && SelectObject(t, old) != p) restored = false;
      if (DeleteObject(p) == FALSE) fail("call %d: DeleteObject of a fresh pen failed", calls);
      return r;
    });
    if (restored && liveHandleCount() != before)
      fail("call %d: a pen created, used and deleted changed the live handle count from %zu to %zu",
           calls, before, liveHandleCount());
  }

  Input& in_;
  bool trace_;
  std::vector<HANDLE> pool_;
  std::size_t poolNext_ = 0;
  std::vector<HDC> dcs_;
  std::vector<HGDIOBJ> objects_;
  HDC twins_[2] = {0, 0};
  Dib twinDibs_[2];
  bool twinsOn_ = false;
  HDC view_ = 0;
  ViewGeometry geom_;
  std::unique_ptr<GuardedBuffer> buffer_;
  std::vector<std::uint8_t> shadow_;
  std::unique_ptr<LOGFONTA> lf_;
};

}  // namespace

// fontconfig leaves parts of its configuration unreachable once it has parsed
// it. That happens once per process and is not the engine's to free, so the
// font system is brought up here with leak tracking off; every later
// allocation, the engine's own font handling included, is tracked as usual.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A budget small enough that a few inputs with large fonts fill the glyph
  // cache, so the glyphs beyond it (rasterised on every use, inside the clip
  // only) are fuzzed too, not just after hours of running.
  gdi::detail::setGlyphCacheBudget(std::size_t{4} << 20);
  __lsan_disable();
  LOGFONTA lf{};
  lf.lfHeight = 16;
  std::strcpy(lf.lfFaceName, "Arial");
  const HFONT font = CreateFontIndirectA(&lf);
  const HDC dc = CreateCompatibleDC(0);
  SelectObject(dc, font);
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  DeleteDC(dc);
  DeleteObject(font);
  __lsan_enable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::size_t start = liveHandleCount();
  {
    Input in(data, size);
    Session session(in);
    session.run();
    session.tearDown();
  }
  const std::size_t end = liveHandleCount();
  if (end != start) fail("%zu handles were live before the input and %zu after deleting everything", start, end);
  return 0;
}
