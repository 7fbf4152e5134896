#include "reference_blit.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace vex2d_test {

namespace {

using namespace gdi;
// Blue, green, red and the top byte; the top byte is set only when the
// source is a 32-bit surface.
struct Colour {
  std::array<std::uint8_t, 4> b{};
  bool hasTop = false;
  std::uint8_t operator[](int k) const { return b[static_cast<std::size_t>(k)]; }
};

int bppOf(const PixelView& v) { return v.format == PixelFormat::Bgr24 ? 3 : 4; }

std::uint8_t* pixelAt(const PixelView& v, std::int64_t x, std::int64_t y) {
  return v.top + static_cast<std::ptrdiff_t>(y) * v.stride +
         static_cast<std::ptrdiff_t>(x) * bppOf(v);
}

// A device-space box, right and bottom excluded.
struct Box {
  std::int64_t left, top, right, bottom;
  bool contains(std::int64_t x, std::int64_t y) const {
    return x >= left && x < right && y >= top && y < bottom;
  }
};

Box clipOf(const RefDc& dc) {
  return Box{std::max<std::int64_t>(0, dc.clip.left), std::max<std::int64_t>(0, dc.clip.top),
             std::min<std::int64_t>(dc.view.width, dc.clip.right),
             std::min<std::int64_t>(dc.view.height, dc.clip.bottom)};
}

// Every pixel of a source inside its clip, read before the transfer writes.
class SourceCopy {
 public:
  explicit SourceCopy(const RefDc& dc) : box_(clipOf(dc)) {
    for (std::int64_t y = box_.top; y < box_.bottom; ++y)
      for (std::int64_t x = box_.left; x < box_.right; ++x) {
        const std::uint8_t* p = pixelAt(dc.view, x, y);
        pixels_.push_back(dc.view.format == PixelFormat::Xrgb32 ? Colour{{p[0], p[1], p[2], p[3]}, true}
                                                                 : Colour{{p[0], p[1], p[2], 0}, false});
      }
  }
  const Box& box() const { return box_; }
  bool inside(std::int64_t x, std::int64_t y) const { return box_.contains(x, y); }
  Colour at(std::int64_t x, std::int64_t y) const {
    const std::int64_t w = box_.right - box_.left;
    return pixels_[static_cast<std::size_t>((y - box_.top) * w + (x - box_.left))];
  }

 private:
  Box box_;
  std::vector<Colour> pixels_;
};

bool knownRop(DWORD rop) {
  switch (rop) {
    case SRCCOPY:
    case SRCPAINT:
    case SRCAND:
    case SRCINVERT:
    case NOTSRCCOPY:
    case DSTINVERT:
    case BLACKNESS:
    case WHITENESS: return true;
    default: return false;
  }
}

bool usesSource(DWORD rop) { return rop != DSTINVERT && rop != BLACKNESS && rop != WHITENESS; }

std::uint8_t ropByte(DWORD rop, std::uint8_t s, std::uint8_t d) {
  switch (rop) {
    case SRCCOPY: return s;
    case SRCPAINT: return static_cast<std::uint8_t>(s | d);
    case SRCAND: return static_cast<std::uint8_t>(s & d);
    case SRCINVERT: return static_cast<std::uint8_t>(s ^ d);
    case NOTSRCCOPY: return static_cast<std::uint8_t>(~s);
    case DSTINVERT: return static_cast<std::uint8_t>(~d);
    case BLACKNESS: return 0;
    default: return 0xFF;  // WHITENESS
  }
}

// Applies the operation to one stored pixel. Between 32-bit surfaces the top
// byte takes part like the others; otherwise a 32-bit pixel gets 0 there.
void writePixel(const PixelView& v, std::int64_t x, std::int64_t y, DWORD rop, const Colour& s) {
  std::uint8_t* p = pixelAt(v, x, y);
  for (int k = 0; k < 3; ++k) p[k] = ropByte(rop, s[k], p[k]);
  if (v.format == PixelFormat::Xrgb32) p[3] = s.hasTop ? ropByte(rop, s[3], p[3]) : 0;
}

// One axis of a stretch: where a rectangle at `pos` with size `size` starts
// (a negative size covers pos + size + 1 .. pos) and how long it is.
struct Span {
  std::int64_t start;
  std::int64_t length;
};
Span spanOf(std::int64_t pos, std::int64_t size) {
  return size < 0 ? Span{pos + size + 1, -size} : Span{pos, size};
}

// The source positions, inside [lo, hi), that destination position p takes
// on one axis. Source index j counts from the source start, or from its far
// end when the axis is mirrored.
std::vector<std::int64_t> sourcesOf(std::int64_t p, Span d, Span s, bool mirror, bool mergeMode,
                                    std::int64_t lo, std::int64_t hi) {
  std::vector<std::int64_t> out;
  const __int128 i = p - d.start;
  const __int128 dn = d.length, sn = s.length;
  const bool merges = mergeMode && dn < sn;
  for (std::int64_t q = lo; q < hi; ++q) {
    const __int128 j = mirror ? s.start + s.length - 1 - q : q - s.start;
    if (j < 0 || j >= sn) continue;
    if (merges) {
      // Source pixel j lands in destination pixel floor(((2j + 1)d - 1) / 2s);
      // a one-pixel destination leaves out the last source pixel.
      if (dn == 1 && j == sn - 1) continue;
      if (((2 * j + 1) * dn - 1) / (2 * sn) == i) out.push_back(q);
    } else {
      // Destination pixel i takes source pixel floor(((2i + 1)s - 1) / 2d).
      if (((2 * i + 1) * sn - 1) / (2 * dn) == j) out.push_back(q);
    }
  }
  return out;
}

}  // namespace

void refBitBlt(const RefDc& dst, int x, int y, int cx, int cy, const RefDc* src, int x1, int y1,
               DWORD rop) {
  if (!knownRop(rop) || cx <= 0 || cy <= 0) return;
  const bool needsSource = usesSource(rop);
  if (needsSource && src == nullptr) return;
  std::optional<SourceCopy> copy;
  if (needsSource) copy.emplace(*src);
  const std::int64_t dx = std::int64_t{x} + dst.origin.x;
  const std::int64_t dy = std::int64_t{y} + dst.origin.y;
  const std::int64_t sx = needsSource ? std::int64_t{x1} + src->origin.x : 0;
  const std::int64_t sy = needsSource ? std::int64_t{y1} + src->origin.y : 0;
  const Box box = clipOf(dst);
  for (std::int64_t py = box.top; py < box.bottom; ++py) {
    for (std::int64_t px = box.left; px < box.right; ++px) {
      if (px < dx || px >= dx + cx || py < dy || py >= dy + cy) continue;
      Colour s{};
      if (needsSource) {
        const std::int64_t qx = sx + (px - dx), qy = sy + (py - dy);
        if (!copy->inside(qx, qy)) continue;
        s = copy->at(qx, qy);
      }
      writePixel(dst.view, px, py, rop, s);
    }
  }
}

void refStretchBlt(const RefDc& dst, int x, int y, int w, int h, const RefDc* src, int xs, int ys,
                   int ws, int hs, DWORD rop) {
  if (!knownRop(rop) || w == 0 || h == 0) return;
  const bool needsSource = usesSource(rop);
  const Span dX = spanOf(std::int64_t{x} + dst.origin.x, w);
  const Span dY = spanOf(std::int64_t{y} + dst.origin.y, h);
  const Box box = clipOf(dst);
  auto insideDst = [&](std::int64_t px, std::int64_t py) {
    return px >= dX.start && px < dX.start + dX.length && py >= dY.start &&
           py < dY.start + dY.length;
  };
  if (!needsSource) {
    for (std::int64_t py = box.top; py < box.bottom; ++py)
      for (std::int64_t px = box.left; px < box.right; ++px)
        if (insideDst(px, py)) writePixel(dst.view, px, py, rop, Colour{});
    return;
  }
  if (src == nullptr || ws == 0 || hs == 0) return;
  const SourceCopy copy(*src);
  const Span sX = spanOf(std::int64_t{xs} + src->origin.x, ws);
  const Span sY = spanOf(std::int64_t{ys} + src->origin.y, hs);
  const bool mirrorX = (w < 0) != (ws < 0);
  const bool mirrorY = (h < 0) != (hs < 0);
  const int mode = dst.stretchMode;
  const bool mergeMode = mode == BLACKONWHITE || mode == WHITEONBLACK;
  const bool andMerge = mode == BLACKONWHITE;
  const Box& sb = copy.box();
  for (std::int64_t py = box.top; py < box.bottom; ++py) {
    for (std::int64_t px = box.left; px < box.right; ++px) {
      if (!insideDst(px, py)) continue;
      const auto cols = sourcesOf(px, dX, sX, mirrorX, mergeMode, sb.left, sb.right);
      const auto rows = sourcesOf(py, dY, sY, mirrorY, mergeMode, sb.top, sb.bottom);
      if (cols.empty() || rows.empty()) continue;
      Colour v = copy.at(cols[0], rows[0]);
      for (std::int64_t qy : rows)
        for (std::int64_t qx : cols) {
          const Colour c = copy.at(qx, qy);
          for (int k = 0; k < 4; ++k)
            v.b[k] = static_cast<std::uint8_t>(andMerge ? (v[k] & c[k]) : (v[k] | c[k]));
        }
      writePixel(dst.view, px, py, rop, v);
    }
  }
}

}  // namespace vex2d_test
