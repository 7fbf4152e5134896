// The optimised line, rectangle and polygon kernels against the per-pixel
// reference, on seeded random call streams, compared after every call.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <sstream>
#include <vector>

#include "gdi/reference_raster.h"
#include "gdi/support.h"

namespace gditest {
namespace {

const COLORREF kPalette[] = {RGB(0, 0, 0), RGB(255, 0, 0), RGB(0, 160, 0), RGB(0, 0, 255),
                             RGB(255, 255, 0), RGB(12, 34, 56), RGB(255, 255, 255)};

// The surface under test: a DC, the device offset of its logical origin
// relative to the compared area, and a way to read the compared area.
struct Surface {
  std::string name;
  HDC dc;
  int width, height;      // of the compared area (the clip)
  int offsetX, offsetY;   // reference pixel = logical + offset
  std::function<COLORREF(int, int)> read;
};

std::int64_t coordinate(Rng& rng, int extent, bool allowHuge) {
  if (allowHuge && rng.range(0, 19) == 0) {
    const int pick = rng.range(0, 3);
    return pick == 0 ? INT_MAX : pick == 1 ? INT_MIN + 1 : rng.range(-1 << 30, 1 << 30);
  }
  return rng.range(-8, extent + 8);
}

void runStream(Surface& s, std::uint64_t seed, int calls) {
  Rng rng(seed);
  RefImage ref(s.width, s.height, RGB(255, 255, 255));
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) SetPixel(s.dc, x - s.offsetX, y - s.offsetY, RGB(255, 255, 255));
  POINT current{0, 0};
  MoveToEx(s.dc, 0, 0, nullptr);
  auto refPoint = [&s](std::int64_t x, std::int64_t y) { return RefPoint{x + s.offsetX, y + s.offsetY}; };
  for (int call = 0; call < calls; ++call) {
    std::ostringstream what;
    const int kind = rng.range(0, 5);
    const COLORREF pen = kPalette[rng.range(0, 6)];
    const COLORREF brushColour = kPalette[rng.range(0, 6)];
    int width = rng.range(0, 3) == 0 ? rng.range(2, 6) : 1;
    const bool hollow = rng.range(0, 3) == 0;
    const bool nullPen = kind == 2 && rng.range(0, 4) == 0;
    HPEN hp = CreatePen(nullPen ? PS_NULL : PS_SOLID, width, pen);
    HBRUSH hb = hollow ? GetStockObject(NULL_BRUSH) : CreateSolidBrush(brushColour);
    const HGDIOBJ oldPen = SelectObject(s.dc, hp);
    const HGDIOBJ oldBrush = SelectObject(s.dc, hb);
    // Wide segments keep to coordinates a screen could have; one-pixel ones
    // and fills also get coordinates near the ends of the int32 range.
    const bool huge = width == 1;
    switch (kind) {
      case 0:
      case 1: {
        const auto x = static_cast<int>(coordinate(rng, s.width, huge));
        const auto y = static_cast<int>(coordinate(rng, s.height, huge));
        what << "LineTo(" << x << "," << y << ") from (" << current.x << "," << current.y << ") width " << width;
        LineTo(s.dc, x, y);
        if (width == 1)
          ref.thinLine(refPoint(current.x, current.y), refPoint(x, y), pen);
        else
          ref.wideLine(refPoint(current.x, current.y), refPoint(x, y), width, pen);
        current = POINT{x, y};
        break;
      }
      case 2: {
        int v[4];
        for (int i = 0; i < 4; ++i) v[i] = static_cast<int>(coordinate(rng, i % 2 ? s.height : s.width, width == 1));
        what << "Rectangle(" << v[0] << "," << v[1] << "," << v[2] << "," << v[3] << ") pen " << (nullPen ? 0 : width)
             << (hollow ? " hollow" : "");
        Rectangle(s.dc, v[0], v[1], v[2], v[3]);
        ref.rectangle(refPoint(v[0], v[1]), refPoint(v[2], v[3]), nullPen ? 0 : width, pen, !hollow, brushColour);
        break;
      }
      case 3: {
        RECT r{rng.range(-5, s.width + 5), rng.range(-5, s.height + 5), rng.range(-5, s.width + 5),
               rng.range(-5, s.height + 5)};
        what << "FillRect(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
        FillRect(s.dc, &r, hb);
        if (!hollow) {
          const RefPoint a = refPoint(r.left, r.top), b = refPoint(r.right, r.bottom);
          ref.fillBox(a.x, a.y, b.x, b.y, brushColour);
        }
        break;
      }
      case 4: {
        const int n = rng.range(2, 9);
        std::vector<POINT> pts(static_cast<std::size_t>(n));
        std::vector<RefPoint> rp;
        what << "Polygon(";
        for (POINT& p : pts) {
          p = POINT{static_cast<int>(coordinate(rng, s.width, width == 1)),
                    static_cast<int>(coordinate(rng, s.height, width == 1))};
          rp.push_back(refPoint(p.x, p.y));
          what << "(" << p.x << "," << p.y << ")";
        }
        what << ") pen " << width << (hollow ? " hollow" : "");
        Polygon(s.dc, pts.data(), n);
        ref.polygon(rp, width, pen, !hollow, brushColour);
        break;
      }
      default: {
        const int x = rng.range(-3, s.width + 3) - s.offsetX, y = rng.range(-3, s.height + 3) - s.offsetY;
        what << "SetPixel(" << x << "," << y << ")";
        SetPixel(s.dc, x, y, pen);
        const RefPoint p = refPoint(x, y);
        ref.set(static_cast<int>(p.x), static_cast<int>(p.y), pen);
        break;
      }
    }
    SelectObject(s.dc, oldPen);
    SelectObject(s.dc, oldBrush);
    DeleteObject(hp);
    DeleteObject(hb);
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; ++x) {
        if (s.read(x, y) != ref.at(x, y)) {
          FAIL() << s.name << ": call " << call << " (" << what.str() << ") first differs at " << x << "," << y
                 << ": engine " << std::hex << s.read(x, y) << ", reference " << ref.at(x, y);
        }
      }
  }
}

TEST(RandomStream, KernelsMatchTheReferenceOnDibSections) {
  for (const auto& [bits, height] : std::vector<std::pair<int, int>>{{24, 23}, {24, -23}, {32, 17}, {32, -17}}) {
    Dib dib(37, height, bits);
    Surface s{std::to_string(bits) + "-bit " + (height > 0 ? "bottom-up" : "top-down"), dib.dc(), 37, dib.height(), 0, 0,
              [&dib](int x, int y) { return dib.at(x, y); }};
    runStream(s, static_cast<std::uint64_t>(bits * 100 + height + 1000), 1500);
  }
}

TEST(RandomStream, KernelsMatchTheReferenceThroughAViewWithOriginAndClip) {
  std::vector<std::uint32_t> pixels(40 * 30, 0x00123456);
  PixelView view{reinterpret_cast<std::uint8_t*>(pixels.data()), 40 * 4, 40, 30, PixelFormat::Xrgb32};
  // Logical (0, 0) at device (5, 3); the clip is [3, 35) x [2, 27).
  HDC dc = CreateViewDC(view, POINT{5, 3}, RECT{3, 2, 35, 27});
  ASSERT_NE(dc, 0u);
  Surface s{"view", dc, 32, 25, 2, 1, [&pixels](int x, int y) {
              const std::uint32_t v = pixels[static_cast<std::size_t>(y + 2) * 40 + x + 3];
              return RGB(v >> 16 & 255, v >> 8 & 255, v & 255);
            }};
  runStream(s, 99, 1500);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      if (x < 3 || x >= 35 || y < 2 || y >= 27) {
        ASSERT_EQ(pixels[static_cast<std::size_t>(y) * 40 + x], 0x00123456u) << "outside the clip at " << x << "," << y;
      }
  DeleteDC(dc);
}

}  // namespace
}  // namespace gditest
