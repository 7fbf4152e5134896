#include "shell/pictures.h"

#include <cmath>
#include <cstring>

#include "platform/gdi/gdi.h"
#include "platform/gdi/scoped.h"

namespace shell {

using namespace gdi;

namespace {

constexpr int kSize = 500;

// Draws with the engine into a fresh 24-bit top-down DIB section and copies
// the pixels out.
template <typename Draw>
Image drawPicture(int width, int height, Draw&& draw) {
  Image img;
  img.width = width;
  img.height = height;
  const int stride = ((width * 3) + 3) & ~3;
  img.bytes.assign(static_cast<std::size_t>(stride) * height, 0);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  HDC dc = CreateCompatibleDC(0);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, 0, 0);
  if (dc == 0 || dib == 0) {
    DeleteDC(dc);
    return img;
  }
  HGDIOBJ old = SelectObject(dc, dib);
  draw(dc);
  std::memcpy(img.bytes.data(), bits, img.bytes.size());
  SelectObject(dc, old);
  DeleteObject(dib);
  DeleteDC(dc);
  return img;
}

COLORREF hue(double h, double s, double v) {
  h = std::fmod(h, 1.0) * 6.0;
  const int i = static_cast<int>(h);
  const double f = h - i, p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  double r = v, g = t, b = p;
  switch (i) {
    case 1: r = q, g = v, b = p; break;
    case 2: r = p, g = v, b = t; break;
    case 3: r = p, g = q, b = v; break;
    case 4: r = t, g = p, b = v; break;
    case 5: r = v, g = p, b = q; break;
    default: break;
  }
  return RGB(static_cast<BYTE>(r * 255), static_cast<BYTE>(g * 255), static_cast<BYTE>(b * 255));
}

void fillWith(HDC dc, COLORREF pen, COLORREF brush, auto&& shape) {
  ScopedPenBrush objects(dc, 1, pen, brush);
  shape();
}

}  // namespace

gdi::PixelView Image::view() {
  return gdi::PixelView{bytes.data(), static_cast<std::ptrdiff_t>(((width * 3) + 3) & ~3), width, height,
                        gdi::PixelFormat::Bgr24};
}

Image makeStarPicture() {
  return drawPicture(kSize, kSize, [](HDC dc) {
    fillWith(dc, RGB(10, 10, 40), RGB(10, 10, 40), [&] { Rectangle(dc, 0, 0, kSize, kSize); });
    const double c = kSize / 2.0;
    // Wedges of a full colour wheel, then a many-pointed star over them.
    const int wedges = 48;
    for (int i = 0; i < wedges; ++i) {
      const double a0 = 2 * M_PI * i / wedges, a1 = 2 * M_PI * (i + 1) / wedges;
      const POINT tri[] = {{static_cast<LONG>(c), static_cast<LONG>(c)},
                           {static_cast<LONG>(c + 360 * std::cos(a0)), static_cast<LONG>(c + 360 * std::sin(a0))},
                           {static_cast<LONG>(c + 360 * std::cos(a1)), static_cast<LONG>(c + 360 * std::sin(a1))}};
      const COLORREF col = hue(static_cast<double>(i) / wedges, i % 2 ? 0.9 : 0.6, i % 2 ? 1.0 : 0.7);
      fillWith(dc, col, col, [&] { Polygon(dc, tri, 3); });
    }
    for (int ring = 0; ring < 4; ++ring) {
      const int points = 12 + ring * 4;
      POINT star[64];
      const double outer = 230 - ring * 55, inner = outer * 0.45;
      for (int i = 0; i < points * 2; ++i) {
        const double a = M_PI * i / points + ring * 0.3;
        const double r = i % 2 ? inner : outer;
        star[i] = POINT{static_cast<LONG>(c + r * std::cos(a)), static_cast<LONG>(c + r * std::sin(a))};
      }
      const COLORREF col = hue(0.15 * ring + 0.05, 0.8, 1.0);
      fillWith(dc, RGB(255, 255, 255), col, [&] { Polygon(dc, star, points * 2); });
    }
    fillWith(dc, RGB(255, 255, 255), RGB(255, 240, 120), [&] { Ellipse(dc, 225, 225, 276, 276); });
  });
}

Image makeBubblesPicture() {
  return drawPicture(kSize, kSize, [](HDC dc) {
    // A vertical gradient sky, then bubbles from a fixed sequence.
    for (int y = 0; y < kSize; y += 4) {
      const COLORREF col = RGB(static_cast<BYTE>(20 + y / 10), static_cast<BYTE>(40 + y / 5), static_cast<BYTE>(120 + y / 5));
      fillWith(dc, col, col, [&] { Rectangle(dc, 0, y, kSize, y + 4); });
    }
    std::uint32_t s = 12345;
    auto next = [&s] {
      s = s * 1664525u + 1013904223u;
      return (s >> 8) & 0xFFFF;
    };
    for (int i = 0; i < 90; ++i) {
      const int r = 8 + static_cast<int>(next() % 45);
      const int x = static_cast<int>(next() % kSize), y = static_cast<int>(next() % kSize);
      const COLORREF col = hue((next() % 1000) / 1000.0, 0.7, 1.0);
      fillWith(dc, RGB(255, 255, 255), col, [&] { Ellipse(dc, x - r, y - r, x + r, y + r); });
      // A highlight that makes it a bubble.
      const int h = r / 3;
      fillWith(dc, RGB(255, 255, 255), RGB(255, 255, 255),
               [&] { Ellipse(dc, x - r / 2 - h / 2, y - r / 2 - h / 2, x - r / 2 + h / 2 + 1, y - r / 2 + h / 2 + 1); });
    }
  });
}

std::vector<std::uint32_t> makeIcon(int size) {
  std::vector<std::uint32_t> px(static_cast<std::size_t>(size) * size);
  const double c = (size - 1) / 2.0;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const double dx = x - c, dy = y - c;
      const double r = std::sqrt(dx * dx + dy * dy) / (size / 2.0);
      const double a = std::atan2(dy, dx) / (2 * M_PI) + 0.5;
      const COLORREF col = r > 1.0 ? RGB(0, 0, 0) : hue(a, 0.85, r < 0.35 ? 1.0 : 0.85);
      // The top byte is the coverage: transparent outside the disc, for
      // the icon files; the window icon ignores it.
      const std::uint32_t alpha = r > 1.0 ? 0 : 0xFFu;
      px[static_cast<std::size_t>(y) * size + x] = (alpha << 24) |
          (static_cast<std::uint32_t>(GetRValue(col)) << 16) | (GetGValue(col) << 8) | GetBValue(col);
    }
  return px;
}

}  // namespace shell
