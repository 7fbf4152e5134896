// Small surfaces for exact-pixel tests: a DIB section selected into its own
// memory DC, pixel access in COLORREF terms, a row hash that skips padding,
// and an ASCII picture of the surface for failure messages.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/scoped.h"
#include "platform/gdi/simd.h"

namespace gditest {

using namespace gdi;

// The instruction-set levels this processor has, the scalar reference first.
inline std::vector<SimdLevel> supportedSimdLevels() {
  std::vector<SimdLevel> out;
  for (const SimdLevel l : kAllSimdLevels)
    if (simdLevelSupported(l)) out.push_back(l);
  return out;
}

// Puts the kernels on one level for the life of the object.
class ScopedSimdLevel {
 public:
  explicit ScopedSimdLevel(SimdLevel l) : previous_(setSimdLevel(l)) {}
  ~ScopedSimdLevel() { setSimdLevel(previous_); }
  ScopedSimdLevel(const ScopedSimdLevel&) = delete;
  ScopedSimdLevel& operator=(const ScopedSimdLevel&) = delete;

 private:
  SimdLevel previous_;
};

class Dib {
 public:
  // bitCount 24 or 32; a negative height makes a top-down section.
  Dib(int width, int height, int bitCount = 24) : width_(width), height_(height < 0 ? -height : height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
    bi.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(0);
    bitmap_ = gdi::CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits_, 0, 0);
    previous_ = SelectObject(dc_, bitmap_);
    clear(RGB(255, 255, 255));
  }
  ~Dib() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;

  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_; }
  void* bits() const { return bits_; }
  int width() const { return width_; }
  int height() const { return height_; }

  void clear(COLORREF c) {
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) SetPixel(dc_, x, y, c);
  }
  COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }

  // The set of pixels that differ from `background`.
  std::set<std::pair<int, int>> inked(COLORREF background = RGB(255, 255, 255)) const {
    std::set<std::pair<int, int>> s;
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x)
        if (at(x, y) != background) s.insert({x, y});
    return s;
  }

  // '.' for the background, '#' for anything else; one line per row.
  std::string picture(COLORREF background = RGB(255, 255, 255)) const {
    std::string out;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) out += at(x, y) == background ? '.' : '#';
      out += '\n';
    }
    return out;
  }

  // FNV-1a over the pixel bytes of every row, padding excluded.
  std::uint64_t hash() const {
    PixelView v;
    if (!GetDCPixels(dc_, &v)) return 0;
    std::uint64_t h = 1469598103934665603ull;
    const int rowBytes = v.width * bytesPerPixel(v.format);
    for (int y = 0; y < v.height; ++y) {
      const std::uint8_t* row = v.top + static_cast<std::ptrdiff_t>(y) * v.stride;
      for (int i = 0; i < rowBytes; ++i) h = (h ^ row[i]) * 1099511628211ull;
    }
    return h;
  }

 private:
  int width_;
  int height_;
  HDC dc_ = 0;
  HBITMAP bitmap_ = 0;
  HGDIOBJ previous_ = 0;
  void* bits_ = nullptr;
};

// Selects a fresh pen and brush into a DC for the lifetime of the object.
using PenBrush = gdi::ScopedPenBrush;

// A deterministic generator for seeded call streams.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : s_(seed * 2654435761u + 1) {}
  std::uint64_t next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 7;
    s_ ^= s_ << 17;
    return s_;
  }
  // Uniform in [lo, hi].
  int range(int lo, int hi) {
    return lo + static_cast<int>(next() % static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo + 1));
  }

 private:
  std::uint64_t s_;
};

}  // namespace gditest
