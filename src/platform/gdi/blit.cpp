// Block transfers: BitBlt and StretchBlt on both pixel formats.
//
// Raster operations are bitwise operations on the stored pixel bytes. Every
// call clips once at its top and then runs row kernels that trust their
// arguments. Nothing here allocates per call: row data that has to be copied
// out goes through a fixed-size stack buffer, and the per-call tables of a
// stretch live in scratch buffers that grow and never shrink.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/gdi/blit_rows.h"
#include "platform/gdi/draw.h"

namespace gdi::detail {

// ---- raster operations ---------------------------------------------------

RopKind ropKindOf(std::uint32_t rop) {
  switch (rop) {
    case SRCCOPY: return RopKind::Copy;
    case SRCPAINT: return RopKind::Or;
    case SRCAND: return RopKind::And;
    case SRCINVERT: return RopKind::Xor;
    case NOTSRCCOPY: return RopKind::NotCopy;
    case BLACKNESS: return RopKind::Zero;
    case WHITENESS: return RopKind::Ones;
    case DSTINVERT: return RopKind::Invert;
    default: return RopKind::Invalid;
  }
}

namespace {

// ---- buffers ---------------------------------------------------------------

// Rows that must be copied out (overlapping transfers, format conversion)
// pass through the stack in chunks of this many pixels.
constexpr std::size_t kChunkPixels = 256;
constexpr std::size_t kChunkBytes = kChunkPixels * 4;

// A per-process buffer that grows on demand and never shrinks, so that a
// transfer allocates only while the program warms up. The engine runs on one
// thread (its handle table does too), so one set of buffers serves all calls.
template <typename T>
class Scratch {
 public:
  T* get(std::size_t n) {
    if (data_.size() < n) data_.resize(std::max(n, data_.size() * 2));
    return data_.data();
  }

 private:
  std::vector<T> data_;
};

Scratch<std::uint8_t> gSourceCopy;      // a copied-out source region
Scratch<std::ptrdiff_t> gColumnOffset;  // stretch: byte offset of each column's first source pixel
Scratch<std::int32_t> gColumnCount;     // stretch: how many source pixels each column merges
Scratch<std::int32_t> gRowRange;        // stretch: first and last source row of each row
Scratch<std::uint8_t> gMergedRow;       // stretch: source rows merged vertically
Scratch<std::uint8_t> gStretchedRow;    // stretch: one finished row in the destination format
Scratch<std::ptrdiff_t> gPickBase;      // stretch: the pick plan's loads
Scratch<std::uint64_t> gPickLoad;
Scratch<std::uint8_t> gPickIndex;       // 64 bytes a block, aligned by hand

// Address range [lo, hi) of the bytes a w x h pixel block of `t` touches.
struct ByteRange {
  std::uintptr_t lo;
  std::uintptr_t hi;
  bool intersects(const ByteRange& o) const { return lo < o.hi && o.lo < hi; }
};

ByteRange blockBytes(const Target& t, std::int32_t x, std::int32_t y, std::int64_t w,
                     std::int64_t h) {
  const auto first =
      reinterpret_cast<std::uintptr_t>(t.row(y) + static_cast<std::ptrdiff_t>(x) * t.bpp());
  const auto last = reinterpret_cast<std::uintptr_t>(t.row(static_cast<std::int32_t>(y + h - 1)) +
                                                     static_cast<std::ptrdiff_t>(x) * t.bpp());
  return ByteRange{std::min(first, last),
                   std::max(first, last) + static_cast<std::uintptr_t>(w * t.bpp())};
}

// Copies rows [y0, y0 + h) x columns [x0, x0 + w) of `t` into the source
// scratch buffer, packed; returns the first byte.
const std::uint8_t* copySourceOut(const Target& t, std::int32_t x0, std::int32_t y0, std::int64_t w,
                                  std::int64_t h) {
  const auto rowBytes = static_cast<std::size_t>(w * t.bpp());
  std::uint8_t* out = gSourceCopy.get(rowBytes * static_cast<std::size_t>(h));
  for (std::int64_t j = 0; j < h; ++j) {
    const std::uint8_t* row = t.row(static_cast<std::int32_t>(y0 + j));
    std::memcpy(out + static_cast<std::size_t>(j) * rowBytes,
                row + static_cast<std::ptrdiff_t>(x0) * t.bpp(), rowBytes);
  }
  return out;
}

// The geometry we accept: logical int32 values plus an int32 origin stay far
// below this, so every sum and product of two values fits in 64 or 128 bits.
constexpr std::int64_t kCoordLimit = std::int64_t{1} << 40;
bool sane(const BlitRect& r) {
  auto ok = [](std::int64_t v) { return v > -kCoordLimit && v < kCoordLimit; };
  return ok(r.x) && ok(r.y) && ok(r.w) && ok(r.h);
}

// ---- unscaled transfers ----------------------------------------------------

// What one unscaled transfer does to each row.
struct RowJob {
  RopKind kind;
  RowFn row;
  bool sameFormat;
  bool plainMove;  // 24-bit copy between equal formats: memmove of the row
  int dbpp;
};

// Applies the job to n pixels at d from s. When the source and destination
// bytes of this row overlap, `backwards` says in which direction the chunks
// have to go so that no source byte is overwritten before it is read.
void runRow(const RowJob& job, std::uint8_t* d, const std::uint8_t* s, std::int64_t n,
            bool overlapping, bool backwards) {
  if (!readsSource(job.kind)) {
    // The row kernels step their source pointer along with the destination
    // even where they never read it: give them one that may be stepped.
    job.row(d, d, static_cast<std::size_t>(n));
    return;
  }
  // Between formats the source never shares memory with the destination
  // here: the caller copies such a source out first.
  if (!job.sameFormat || !overlapping) {
    job.row(d, s, static_cast<std::size_t>(n));
    return;
  }
  if (job.plainMove) {
    std::memmove(d, s, static_cast<std::size_t>(n * job.dbpp));
    return;
  }
  alignas(64) std::uint8_t chunk[kChunkBytes];
  const auto step = static_cast<std::int64_t>(kChunkPixels);
  if (backwards) {
    for (std::int64_t end = n; end > 0;) {
      const std::int64_t len = std::min(step, end);
      const std::int64_t off = end - len;
      std::memcpy(chunk, s + off * job.dbpp, static_cast<std::size_t>(len * job.dbpp));
      job.row(d + off * job.dbpp, chunk, static_cast<std::size_t>(len));
      end = off;
    }
  } else {
    for (std::int64_t off = 0; off < n; off += step) {
      const std::int64_t len = std::min(step, n - off);
      std::memcpy(chunk, s + off * job.dbpp, static_cast<std::size_t>(len * job.dbpp));
      job.row(d + off * job.dbpp, chunk, static_cast<std::size_t>(len));
    }
  }
}

// An unscaled transfer of a block that lies inside both clips.
void blitUnchecked(const Target& dst, std::int32_t dx, std::int32_t dy, std::int64_t w,
                   std::int64_t h, const Target* src, std::int32_t sx, std::int32_t sy,
                   RopKind kind) {
  RowJob job{};
  job.kind = kind;
  const PixelFormat srcFormat = src != nullptr ? src->format : dst.format;
  job.row = rowKernel(dst.kernels->level, kind, dst.format, srcFormat);
  job.sameFormat = srcFormat == dst.format;
  job.dbpp = dst.bpp();
  const int sbpp = bytesPerPixel(srcFormat);
  job.plainMove = kind == RopKind::Copy && job.sameFormat && dst.format == PixelFormat::Bgr24;

  if (src == nullptr) {
    for (std::int64_t j = 0; j < h; ++j) {
      std::uint8_t* row = dst.row(static_cast<std::int32_t>(dy + j));
      runRow(job, row + static_cast<std::ptrdiff_t>(dx) * job.dbpp, nullptr, w, false, false);
    }
    return;
  }

  const std::uint8_t* srcBase = src->row(sy) + static_cast<std::ptrdiff_t>(sx) * sbpp;
  std::ptrdiff_t srcStride = src->stride;
  std::uint8_t* const dstBase = dst.row(dy) + static_cast<std::ptrdiff_t>(dx) * job.dbpp;
  bool ordered = false;  // rows in an order that is safe for a shared buffer
  std::ptrdiff_t delta = 0;
  if (blockBytes(dst, dx, dy, w, h).intersects(blockBytes(*src, sx, sy, w, h))) {
    if (src->format == dst.format && src->stride == dst.stride) {
      // Both blocks lie in one buffer with one layout, so every destination
      // byte sits `delta` bytes after its source byte. Working through the
      // bytes from the far end of that shift (as memmove does) reads every
      // source byte before it is overwritten.
      ordered = true;
      delta = reinterpret_cast<std::intptr_t>(dstBase) - reinterpret_cast<std::intptr_t>(srcBase);
    } else {
      // Two views of one buffer with different layouts: no order is safe in
      // general, so the source block is copied out first.
      srcBase = copySourceOut(*src, sx, sy, w, h);
      srcStride = static_cast<std::ptrdiff_t>(w * sbpp);
    }
  }

  const std::int64_t rowBytes = w * job.dbpp;
  // With a positive shift, go from high addresses to low ones.
  const bool backwards = ordered && delta > 0;
  const bool rowsUp = backwards == (dst.stride > 0);  // last row first
  const bool sameRowOverlap = ordered && (delta < 0 ? -delta : delta) < rowBytes;
  for (std::int64_t k = 0; k < h; ++k) {
    const std::int64_t j = rowsUp ? h - 1 - k : k;
    runRow(job, dstBase + j * dst.stride, srcBase + j * srcStride, w, sameRowOverlap, backwards);
  }
}

// Clips an unscaled transfer (source first, then destination) and runs it.
void clipAndBlit(const Target& dst, BlitRect d, const Target* src, std::int64_t sx, std::int64_t sy,
                 RopKind kind) {
  std::int64_t dx = d.x, dy = d.y, w = d.w, h = d.h;
  if (w <= 0 || h <= 0) return;
  if (src != nullptr) {
    // Only destination pixels that have a real source pixel are written.
    if (sx < src->clip.left) {
      const std::int64_t cut = src->clip.left - sx;
      sx += cut, dx += cut, w -= cut;
    }
    if (sy < src->clip.top) {
      const std::int64_t cut = src->clip.top - sy;
      sy += cut, dy += cut, h -= cut;
    }
    w = std::min<std::int64_t>(w, src->clip.right - sx);
    h = std::min<std::int64_t>(h, src->clip.bottom - sy);
  }
  if (dx < dst.clip.left) {
    const std::int64_t cut = dst.clip.left - dx;
    sx += cut, dx += cut, w -= cut;
  }
  if (dy < dst.clip.top) {
    const std::int64_t cut = dst.clip.top - dy;
    sy += cut, dy += cut, h -= cut;
  }
  w = std::min<std::int64_t>(w, dst.clip.right - dx);
  h = std::min<std::int64_t>(h, dst.clip.bottom - dy);
  if (w <= 0 || h <= 0) return;
  blitUnchecked(dst, static_cast<std::int32_t>(dx), static_cast<std::int32_t>(dy), w, h, src,
                static_cast<std::int32_t>(sx), static_cast<std::int32_t>(sy), kind);
}

// ---- stretching: the mapping of one axis -----------------------------------

// One axis of a stretch, normalised: the destination covers dStart .. dStart
// + d - 1 and the source sStart .. sStart + s - 1 (a negative size w at x
// covers x + w + 1 .. x). Destination index i counts from dStart upwards;
// source index j counts from sStart upwards, or from the far end when the
// axis is mirrored. Mirroring thus keeps the destination in device order and
// walks the source backwards.
struct Axis {
  std::int64_t dStart;
  std::int64_t d;
  std::int64_t sStart;
  std::int64_t s;
  bool mirror;
};

Axis makeAxis(std::int64_t dPos, std::int64_t dSize, std::int64_t sPos, std::int64_t sSize) {
  Axis a{};
  a.d = dSize < 0 ? -dSize : dSize;
  a.dStart = dSize < 0 ? dPos + dSize + 1 : dPos;
  a.s = sSize < 0 ? -sSize : sSize;
  a.sStart = sSize < 0 ? sPos + sSize + 1 : sPos;
  a.mirror = (dSize < 0) != (sSize < 0);
  return a;
}

// floor((step * i + base) / den) for i = i0, i0 + 1, ..., one division at
// the start and additions after it. The start needs 128 bits (step * i0 can
// exceed 64); after it the quotient stays near the source size and the
// remainder below den, both far inside 64 bits.
class FloorStepper {
 public:
  FloorStepper() = default;
  FloorStepper(__int128 base, __int128 step, __int128 den, __int128 i0)
      : den_(static_cast<std::int64_t>(den)) {
    const __int128 num = step * i0 + base;
    const __int128 q = floorDiv128(num, den);
    q_ = static_cast<std::int64_t>(q);
    r_ = static_cast<std::int64_t>(num - q * den);
    qStep_ = static_cast<std::int64_t>(step / den);
    rStep_ = static_cast<std::int64_t>(step % den);
  }
  std::int64_t value() const { return q_; }
  void advance() {
    q_ += qStep_;
    r_ += rStep_;
    if (r_ >= den_) {
      r_ -= den_;
      ++q_;
    }
  }

 private:
  std::int64_t q_ = 0, r_ = 0, den_ = 1, qStep_ = 0, rStep_ = 0;
};

// Walks the destination positions of one axis from a given start and says,
// for each, which source positions it takes, clipped to the source bounds.
//
// Enlarging (and deleting when shrinking): position i takes the single
// source index floor(((2i + 1)s - 1) / 2d). Merging when shrinking: source
// index j goes into floor(((2j + 1)d - 1) / 2s), so position i takes the
// indices from floor((2si + d) / 2d), the smallest j that lands in i, up to
// the smallest that lands in i + 1, minus one.
class AxisWalker {
 public:
  AxisWalker(const Axis& a, bool merge, std::int64_t firstDst, std::int64_t clipLo,
             std::int64_t clipHi)
      : a_(a), merge_(merge && a.d < a.s), clipLo_(clipLo), clipHi_(clipHi) {
    const __int128 i0 = firstDst - a.dStart;
    const __int128 s = a.s, d = a.d;
    if (merge_) {
      cur_ = FloorStepper(d, 2 * s, 2 * d, i0);
      next_ = FloorStepper(d, 2 * s, 2 * d, i0 + 1);
      // Measured behaviour: a destination of one pixel merges only the first
      // s - 1 source pixels.
      quirkLast_ = a.d == 1 ? a.s - 2 : -1;
    } else {
      cur_ = FloorStepper(s - 1, 2 * s, 2 * d, i0);
    }
  }

  // The source range [*lo, *hi] of the current position in device
  // coordinates, clipped; false when nothing of it is inside the source.
  bool source(std::int64_t* lo, std::int64_t* hi) const {
    const std::int64_t jLo = cur_.value();
    std::int64_t jHi = jLo;
    if (merge_) jHi = quirkLast_ >= 0 ? quirkLast_ : next_.value() - 1;
    std::int64_t a, b;
    if (a_.mirror) {
      a = a_.sStart + a_.s - 1 - jHi;
      b = a_.sStart + a_.s - 1 - jLo;
    } else {
      a = a_.sStart + jLo;
      b = a_.sStart + jHi;
    }
    *lo = std::max(a, clipLo_);
    *hi = std::min(b, clipHi_ - 1);
    return *lo <= *hi;
  }

  void advance() {
    if (merge_) {
      cur_ = next_;
      next_.advance();
    } else {
      cur_.advance();
    }
  }

 private:
  Axis a_;
  bool merge_;
  std::int64_t clipLo_, clipHi_;
  std::int64_t quirkLast_ = -1;
  FloorStepper cur_, next_;
};

// ---- stretching: row kernels -----------------------------------------------

// A 24-bit pixel read as four bytes: the top byte belongs to the next pixel
// and is garbage. Only for pixels that are not the last of their row span.
inline std::uint32_t loadPixel24Wide(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Stores a pixel into the stretched-row buffer. 24-bit pixels are stored as
// four bytes: the fourth is overwritten by the next pixel, or lands in the
// buffer's slack after the last one. A 32-bit pixel keeps the top byte of a
// 32-bit source and gets 0 from a 24-bit one.
template <PixelFormat S, PixelFormat D>
inline void storeStretched(std::uint8_t* p, std::uint32_t px) {
  if constexpr (D == PixelFormat::Bgr24)
    std::memcpy(p, &px, 4);
  else if constexpr (S == PixelFormat::Xrgb32)
    Px32::store(p, px);
  else
    Px32::store(p, px & 0xFFFFFFu);
}

inline void clearTopBytes(std::uint8_t* row, std::int64_t n) {
  for (std::int64_t i = 0; i < n; ++i) Px32::store(row + 4 * i, Px32::load(row + 4 * i) & 0xFFFFFFu);
}

using PickFn = void (*)(std::uint8_t* out, const std::uint8_t* line, const std::ptrdiff_t* offset,
                        const std::int32_t* count, std::int64_t n);

// One source pixel per destination pixel: a table lookup and a store.
// kWide reads 24-bit source pixels as four bytes, which is about twice as
// fast as assembling three; the caller keeps it away from the last pixel of
// the span, whose fourth byte may lie past the end of the pixels.
template <PixelFormat S, PixelFormat D, bool kWide = false>
void pickRow(std::uint8_t* __restrict out, const std::uint8_t* __restrict line,
             const std::ptrdiff_t* __restrict offset, const std::int32_t*, std::int64_t n) {
  constexpr int kOut = bytesPerPixel(D);
  for (std::int64_t c = 0; c < n; ++c) {
    const std::uint8_t* p = line + offset[c];
    const std::uint32_t v = (kWide && S == PixelFormat::Bgr24) ? loadPixel24Wide(p) : PixelTraits<S>::load(p);
    storeStretched<S, D>(out + c * kOut, v);
  }
}

// Several source pixels per destination pixel, combined with AND or OR.
template <PixelFormat S, PixelFormat D, bool kAnd>
void mergeRow(std::uint8_t* __restrict out, const std::uint8_t* __restrict line,
              const std::ptrdiff_t* __restrict offset, const std::int32_t* __restrict count,
              std::int64_t n) {
  constexpr int kIn = bytesPerPixel(S);
  constexpr int kOut = bytesPerPixel(D);
  for (std::int64_t c = 0; c < n; ++c) {
    const std::uint8_t* p = line + offset[c];
    std::uint32_t v = PixelTraits<S>::load(p);
    for (std::int32_t k = 1; k < count[c]; ++k) {
      p += kIn;
      v = kAnd ? (v & PixelTraits<S>::load(p)) : (v | PixelTraits<S>::load(p));
    }
    storeStretched<S, D>(out + c * kOut, v);
  }
}

template <PixelFormat S, PixelFormat D>
PickFn horizontalFor(bool merge, bool andMerge) {
  if (!merge) return pickRow<S, D>;
  return andMerge ? mergeRow<S, D, true> : mergeRow<S, D, false>;
}

PickFn horizontalFor(PixelFormat s, PixelFormat d, bool merge, bool andMerge) {
  using enum PixelFormat;
  if (s == Bgr24) {
    return d == Bgr24 ? horizontalFor<Bgr24, Bgr24>(merge, andMerge)
                      : horizontalFor<Bgr24, Xrgb32>(merge, andMerge);
  }
  return d == Bgr24 ? horizontalFor<Xrgb32, Bgr24>(merge, andMerge)
                    : horizontalFor<Xrgb32, Xrgb32>(merge, andMerge);
}

PickFn widePickFor(PixelFormat d) {
  return d == PixelFormat::Bgr24 ? pickRow<PixelFormat::Bgr24, PixelFormat::Bgr24, true>
                                 : pickRow<PixelFormat::Bgr24, PixelFormat::Xrgb32, true>;
}

// The destination columns a stretch writes and where each reads: columns
// whose source lies entirely outside the source bounds are not written;
// since the mapping is monotonic, the columns that remain are one run.
struct ColumnMap {
  std::ptrdiff_t* offset = nullptr;  // byte offset of each column's first source pixel in the span
  std::int32_t* count = nullptr;     // source pixels merged into each column (merging only)
  std::int64_t firstX = 0;           // device column of the first
  std::int64_t n = 0;                // columns; 0 when none
  std::int64_t spanLo = 0;           // the source columns read: [spanLo, spanHi]
  std::int64_t spanHi = 0;
};

ColumnMap columnMap(const Axis& ax, bool mergeX, std::int64_t vx0, std::int64_t vx1, const Target& src) {
  ColumnMap c;
  c.offset = gColumnOffset.get(static_cast<std::size_t>(vx1 - vx0));
  c.count = mergeX ? gColumnCount.get(static_cast<std::size_t>(vx1 - vx0)) : nullptr;
  c.spanLo = std::numeric_limits<std::int64_t>::max();
  AxisWalker walk(ax, mergeX, vx0, src.clip.left, src.clip.right);
  for (std::int64_t x = vx0; x < vx1; ++x, walk.advance()) {
    std::int64_t lo, hi;
    if (!walk.source(&lo, &hi)) {
      if (c.n > 0) break;
      continue;
    }
    if (c.n == 0) c.firstX = x;
    c.offset[c.n] = static_cast<std::ptrdiff_t>(lo);  // made relative to spanLo below
    if (c.count != nullptr) c.count[c.n] = static_cast<std::int32_t>(hi - lo + 1);
    c.spanLo = std::min(c.spanLo, lo);
    c.spanHi = std::max(c.spanHi, hi);
    ++c.n;
  }
  for (std::int64_t k = 0; k < c.n; ++k) c.offset[k] = (c.offset[k] - c.spanLo) * src.bpp();
  return c;
}

// The destination rows a stretch writes and the source rows [lo, hi] each
// reads, likewise.
struct RowMap {
  std::int32_t* rows = nullptr;  // lo and hi of each row
  std::int64_t firstY = 0;
  std::int64_t m = 0;
};

RowMap rowMap(const Axis& ay, bool mergeY, std::int64_t vy0, std::int64_t vy1, const Target& src) {
  RowMap r;
  r.rows = gRowRange.get(static_cast<std::size_t>(vy1 - vy0) * 2);
  AxisWalker walk(ay, mergeY, vy0, src.clip.top, src.clip.bottom);
  for (std::int64_t y = vy0; y < vy1; ++y, walk.advance()) {
    std::int64_t lo, hi;
    if (!walk.source(&lo, &hi)) {
      if (r.m > 0) break;
      continue;
    }
    if (r.m == 0) r.firstY = y;
    r.rows[2 * r.m] = static_cast<std::int32_t>(lo);
    r.rows[2 * r.m + 1] = static_cast<std::int32_t>(hi);
    ++r.m;
  }
  return r;
}

// The source block a stretch reads. When it shares memory with the
// destination block it is copied out first, so the result is that of a
// separate source.
struct SourceBlock {
  const std::uint8_t* base;  // the first pixel of the span on row `top`
  std::ptrdiff_t stride;
  std::int64_t top;
  std::int64_t spanW;
  std::size_t spanBytes;
  const std::uint8_t* row(std::int64_t y) const { return base + (y - top) * stride; }
};

SourceBlock sourceBlock(const Target& dst, const Target& src, const ColumnMap& cols, const RowMap& rm) {
  const std::int64_t srcTop = std::min(rm.rows[0], rm.rows[2 * (rm.m - 1)]);
  const std::int64_t srcBottom = std::max(rm.rows[1], rm.rows[2 * rm.m - 1]);
  const std::int64_t spanW = cols.spanHi - cols.spanLo + 1;
  const std::int64_t srcH = srcBottom - srcTop + 1;
  const int sbpp = src.bpp();
  SourceBlock b{src.row(static_cast<std::int32_t>(srcTop)) + static_cast<std::ptrdiff_t>(cols.spanLo) * sbpp,
                src.stride, srcTop, spanW, static_cast<std::size_t>(spanW * sbpp)};
  const auto spanLo = static_cast<std::int32_t>(cols.spanLo);
  if (blockBytes(dst, static_cast<std::int32_t>(cols.firstX), static_cast<std::int32_t>(rm.firstY), cols.n, rm.m)
          .intersects(blockBytes(src, spanLo, static_cast<std::int32_t>(srcTop), spanW, srcH))) {
    b.base = copySourceOut(src, spanLo, static_cast<std::int32_t>(srcTop), spanW, srcH);
    b.stride = static_cast<std::ptrdiff_t>(b.spanBytes);
  }
  return b;
}

// Enlarging (or keeping) the width, 16 destination pixels take at most 16
// consecutive source pixels: with AVX-512 the horizontal pass becomes one
// load and one byte permute per 16 pixels, from a plan made once per call.
// False when the plan cannot be made.
bool makePickPlan(const ColumnMap& cols, std::size_t spanBytes, PixelFormat srcFormat, PixelFormat dstFormat,
                  PickPlan* plan) {
  const std::int64_t n = cols.n;
  const std::size_t blocks = static_cast<std::size_t>((n + PickPlan::kBlock - 1) / PickPlan::kBlock);
  std::ptrdiff_t* base = gPickBase.get(blocks);
  std::uint64_t* load = gPickLoad.get(blocks);
  std::uint8_t* raw = gPickIndex.get(blocks * 64 + 64);
  std::uint8_t* index = raw + ((64 - (reinterpret_cast<std::uintptr_t>(raw) & 63)) & 63);
  const int sbpp = bytesPerPixel(srcFormat), obpp = bytesPerPixel(dstFormat);
  // Between 32-bit surfaces the top byte travels too.
  const bool allFour = srcFormat == PixelFormat::Xrgb32 && dstFormat == PixelFormat::Xrgb32;
  const int keptBytes = allFour ? 4 : 3;
  for (std::size_t b = 0; b < blocks; ++b) {
    const std::int64_t c0 = static_cast<std::int64_t>(b) * PickPlan::kBlock;
    const std::int64_t cn = std::min<std::int64_t>(PickPlan::kBlock, n - c0);
    std::ptrdiff_t lo = cols.offset[c0], hi = cols.offset[c0];
    for (std::int64_t k = 1; k < cn; ++k) {
      lo = std::min(lo, cols.offset[c0 + k]);
      hi = std::max(hi, cols.offset[c0 + k]);
    }
    if (hi + sbpp - lo > 64) return false;  // cannot happen when enlarging; kept as a guard
    base[b] = lo;
    const auto inside = static_cast<std::ptrdiff_t>(spanBytes) - lo;
    load[b] = inside >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << inside) - 1;
    std::uint8_t* ix = index + 64 * b;
    std::memset(ix, 0, 64);
    for (std::int64_t k = 0; k < cn; ++k)
      for (int j = 0; j < keptBytes; ++j)
        ix[k * obpp + j] = static_cast<std::uint8_t>(cols.offset[c0 + k] - lo + j);
  }
  *plan = PickPlan{base, load, index, blocks, dstFormat,
                   allFour || dstFormat == PixelFormat::Bgr24 ? ~std::uint64_t{0} : 0x7777777777777777ull};
  return true;
}

// The horizontal pass of one source line into the stretched row, by the
// fastest way the call has set up.
struct HorizontalPass {
  PickFn pick;                // any columns
  PickFn widePick = nullptr;  // 24-bit sources: columns [wideBegin, wideEnd) with four-byte loads
  std::int64_t wideBegin = 0, wideEnd = 0;
  const PickPlan* plan = nullptr;  // AVX-512 enlarging: the planned permutes

  void run(std::uint8_t* out, const std::uint8_t* line, const ColumnMap& c, int dbpp) const {
    if (plan != nullptr) {
      pickPlanned(out, line, *plan);
    } else if (widePick != nullptr) {
      pick(out, line, c.offset, c.count, wideBegin);
      widePick(out + wideBegin * dbpp, line, c.offset + wideBegin, c.count, wideEnd - wideBegin);
      pick(out + wideEnd * dbpp, line, c.offset + wideEnd, c.count, c.n - wideEnd);
    } else {
      pick(out, line, c.offset, c.count, c.n);
    }
  }
};

void stretchScaled(const Target& dst, const Axis& ax, const Axis& ay, const Target& src,
                   RopKind kind, int stretchMode) {
  const bool merging = stretchMode == BLACKONWHITE || stretchMode == WHITEONBLACK;
  const bool andMerge = stretchMode == BLACKONWHITE;
  const bool mergeX = merging && ax.d < ax.s;
  const bool mergeY = merging && ay.d < ay.s;
  const int dbpp = dst.bpp();

  // Visible destination columns and rows; the mapping itself is that of the
  // unclipped rectangles.
  const std::int64_t vx0 = std::max<std::int64_t>(ax.dStart, dst.clip.left);
  const std::int64_t vx1 = std::min<std::int64_t>(ax.dStart + ax.d, dst.clip.right);
  const std::int64_t vy0 = std::max<std::int64_t>(ay.dStart, dst.clip.top);
  const std::int64_t vy1 = std::min<std::int64_t>(ay.dStart + ay.d, dst.clip.bottom);
  if (vx0 >= vx1 || vy0 >= vy1) return;

  const ColumnMap cols = columnMap(ax, mergeX, vx0, vx1, src);
  if (cols.n == 0) return;
  const RowMap rm = rowMap(ay, mergeY, vy0, vy1, src);
  if (rm.m == 0) return;
  const SourceBlock block = sourceBlock(dst, src, cols, rm);
  const std::int64_t n = cols.n;

  HorizontalPass pass{horizontalFor(src.format, dst.format, mergeX, andMerge)};
  // Picking from a 24-bit source: columns [wideBegin, wideEnd) do not take
  // the last pixel of the span and may use four-byte loads. The columns that
  // do take it form a run at one end, since the map is monotonic.
  if (!mergeX && src.format == PixelFormat::Bgr24) {
    const std::ptrdiff_t lastOffset = static_cast<std::ptrdiff_t>(block.spanW - 1) * src.bpp();
    pass.wideEnd = n;
    while (pass.wideBegin < pass.wideEnd && cols.offset[pass.wideBegin] == lastOffset) ++pass.wideBegin;
    while (pass.wideEnd > pass.wideBegin && cols.offset[pass.wideEnd - 1] == lastOffset) --pass.wideEnd;
    pass.widePick = widePickFor(dst.format);
  }
  const SimdLevel level = dst.kernels->level;
  PickPlan plan{};
  if (level == SimdLevel::Avx512 && !mergeX && ax.d >= ax.s &&
      makePickPlan(cols, block.spanBytes, src.format, dst.format, &plan))
    pass.plan = &plan;
  const RowFn mergeRows = rowKernel(level, andMerge ? RopKind::And : RopKind::Or, src.format, src.format);
  const RowFn apply = rowKernel(level, kind, dst.format, dst.format);
  const bool clearTop = dst.format == PixelFormat::Xrgb32 && src.format == PixelFormat::Bgr24 &&
                        kind != RopKind::Copy && kind != RopKind::And;

  std::uint8_t* merged = mergeY ? gMergedRow.get(block.spanBytes) : nullptr;
  const auto outBytes = static_cast<std::size_t>(n * dbpp);
  std::uint8_t* stretched = gStretchedRow.get(static_cast<std::size_t>(n) * 4 + 128);
  const auto x0 = static_cast<std::int32_t>(cols.firstX);
  const auto y0 = static_cast<std::int32_t>(rm.firstY);

  std::int64_t lastLo = -1, lastHi = -1;
  for (std::int64_t k = 0; k < rm.m; ++k) {
    const std::int64_t lo = rm.rows[2 * k], hi = rm.rows[2 * k + 1];
    // When enlarging, consecutive rows often take the same source rows: the
    // stretched row is built once and applied to each of them.
    if (lo != lastLo || hi != lastHi) {
      const std::uint8_t* line = block.row(lo);
      if (hi > lo) {
        // Rows first, then columns: the merge is associative, and merging
        // whole rows is a vector operation.
        std::memcpy(merged, line, block.spanBytes);
        for (std::int64_t y = lo + 1; y <= hi; ++y)
          mergeRows(merged, block.row(y), static_cast<std::size_t>(block.spanW));
        line = merged;
      }
      pass.run(stretched, line, cols, dbpp);
      lastLo = lo;
      lastHi = hi;
    }
    std::uint8_t* d = dst.row(static_cast<std::int32_t>(y0 + k)) + static_cast<std::ptrdiff_t>(x0) * dbpp;
    // The stretched row already holds the top bytes the rule gives.
    if (kind == RopKind::Copy) {
      std::memcpy(d, stretched, outBytes);
    } else {
      apply(d, stretched, static_cast<std::size_t>(n));
      // The operation ran as between two 32-bit rows; from a 24-bit source
      // the top byte of the result is 0.
      if (clearTop) clearTopBytes(d, n);
    }
  }
}

}  // namespace

void bitBlt(const Target& dst, BlitRect d, const Target* src, std::int64_t sx, std::int64_t sy,
            std::uint32_t rop) {
  const RopKind kind = ropKindOf(rop);
  if (kind == RopKind::Invalid || !sane(d) || !sane(BlitRect{sx, sy, 0, 0})) return;
  if (!readsSource(kind))
    src = nullptr;
  else if (src == nullptr)
    return;
  clipAndBlit(dst, d, src, sx, sy, kind);
}

void stretchBlt(const Target& dst, BlitRect d, const Target* src, BlitRect s, std::uint32_t rop,
                int stretchMode) {
  const RopKind kind = ropKindOf(rop);
  if (kind == RopKind::Invalid || !sane(d) || !sane(s) || d.w == 0 || d.h == 0) return;
  const Axis ax0 = makeAxis(d.x, d.w, 0, 1);
  const Axis ay0 = makeAxis(d.y, d.h, 0, 1);
  if (!readsSource(kind)) {
    // Nothing to stretch: the operation covers the normalised rectangle.
    clipAndBlit(dst, BlitRect{ax0.dStart, ay0.dStart, ax0.d, ay0.d}, nullptr, 0, 0, kind);
    return;
  }
  if (src == nullptr || s.w == 0 || s.h == 0) return;
  const Axis ax = makeAxis(d.x, d.w, s.x, s.w);
  const Axis ay = makeAxis(d.y, d.h, s.y, s.h);
  if (!ax.mirror && !ay.mirror && ax.d == ax.s && ay.d == ay.s) {
    // Equal sizes are a plain transfer.
    clipAndBlit(dst, BlitRect{ax.dStart, ay.dStart, ax.d, ay.d}, src, ax.sStart, ay.sStart, kind);
    return;
  }
  stretchScaled(dst, ax, ay, *src, kind, stretchMode);
}

}  // namespace gdi::detail
