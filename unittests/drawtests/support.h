// Small surfaces for the drawing tests: a 24-bit DIB section in its own
// memory DC and a view DC over a 32-bit buffer (a window surface), a hash of
// their pixels, and the 500 x 500 source picture of the block transfers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"

namespace drawtest {

// FNV-1a over the `width` pixels of every row (never the row padding).
inline std::uint64_t hashPixels(const gdi::PixelView& v) {
  std::uint64_t h = 14695981039346656037ull;
  const std::size_t rowBytes = static_cast<std::size_t>(v.width) * static_cast<std::size_t>(gdi::bytesPerPixel(v.format));
  for (int y = 0; y < v.height; ++y) {
    const std::uint8_t* row = v.top + static_cast<std::ptrdiff_t>(y) * v.stride;
    for (std::size_t i = 0; i < rowBytes; ++i) h = (h ^ row[i]) * 1099511628211ull;
  }
  return h;
}

// A 24-bit bottom-up DIB section selected into its own memory DC.
class Dib {
 public:
  Dib(int width, int height, gdi::COLORREF fill = gdi::RGB(255, 255, 255)) {
    gdi::BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(gdi::BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = gdi::BI_RGB;
    void* bits = nullptr;
    bitmap_ = gdi::CreateDIBSection(0, &bi, gdi::DIB_RGB_COLORS, &bits, 0, 0);
    dc_ = gdi::CreateCompatibleDC(0);
    previous_ = gdi::SelectObject(dc_, bitmap_);
    EXPECT_TRUE(gdi::GetDCPixels(dc_, &view_));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) set(x, y, fill);
  }
  ~Dib() {
    gdi::SelectObject(dc_, previous_);
    gdi::DeleteDC(dc_);
    gdi::DeleteObject(bitmap_);
  }
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;

  gdi::HDC dc() const { return dc_; }
  const gdi::PixelView& view() const { return view_; }
  std::uint64_t hash() const { return hashPixels(view_); }
  std::uint8_t* at(int x, int y) const { return view_.top + static_cast<std::ptrdiff_t>(y) * view_.stride + x * 3; }
  void set(int x, int y, gdi::COLORREF c) const {
    std::uint8_t* p = at(x, y);
    p[0] = gdi::GetBValue(c);
    p[1] = gdi::GetGValue(c);
    p[2] = gdi::GetRValue(c);
  }

 private:
  gdi::HBITMAP bitmap_ = 0;
  gdi::HDC dc_ = 0;
  gdi::HGDIOBJ previous_ = 0;
  gdi::PixelView view_;
};

// A view DC over a 32-bit buffer, as a window surface is drawn.
class WindowSurface {
 public:
  WindowSurface(int width, int height) : pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0x00404040u) {
    view_ = gdi::PixelView{reinterpret_cast<std::uint8_t*>(pixels_.data()), width * 4, width, height,
                           gdi::PixelFormat::Xrgb32};
    dc_ = gdi::CreateViewDC(view_, gdi::POINT{0, 0}, gdi::RECT{0, 0, width, height});
  }
  ~WindowSurface() { gdi::DeleteDC(dc_); }
  WindowSurface(const WindowSurface&) = delete;
  WindowSurface& operator=(const WindowSurface&) = delete;
  gdi::HDC dc() const { return dc_; }
  std::uint64_t hash() const { return hashPixels(view_); }

 private:
  std::vector<std::uint32_t> pixels_;
  gdi::PixelView view_;
  gdi::HDC dc_ = 0;
};

// The source picture: every byte differs between neighbours, so a block
// placed one pixel off shows.
inline void paintSourcePattern(const Dib& d, int width, int height) {
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      d.set(x, y, gdi::RGB(static_cast<std::uint8_t>(x * 7 + y), static_cast<std::uint8_t>(y * 5 + 3 * x),
                           static_cast<std::uint8_t>((x ^ y) * 3)));
}

}  // namespace drawtest
