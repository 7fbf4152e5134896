// Draws every primitive family of the raster engine into a 24-bit DIB
// section and writes it as a PNG: a quick look at what the engine draws.
//
//   vex2d-demo [output.png]
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/display/png.h"
#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/scoped.h"

using namespace gdi;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

void withPenBrush(HDC dc, int width, COLORREF pen, COLORREF brush, bool hollow, void (*draw)(HDC)) {
  ScopedPenBrush objects(dc, width, pen, brush, hollow);
  draw(dc);
}

void drawLines(HDC dc) {
  // A fan of one-pixel and wide lines.
  for (int i = 0; i < 6; ++i) {
    HPEN p = CreatePen(PS_SOLID, i + 1, RGB(40 * i, 0, 255 - 40 * i));
    HGDIOBJ old = SelectObject(dc, p);
    MoveToEx(dc, 20, 20 + i * 6, nullptr);
    LineTo(dc, 200, 40 + i * 25);
    SelectObject(dc, old);
    DeleteObject(p);
  }
}

void drawShapes(HDC dc) {
  withPenBrush(dc, 1, RGB(0, 0, 0), RGB(255, 200, 0), false, [](HDC d) { Rectangle(d, 230, 20, 330, 100); });
  withPenBrush(dc, 3, RGB(128, 0, 0), RGB(0, 160, 255), false, [](HDC d) { Ellipse(d, 350, 20, 480, 110); });
  withPenBrush(dc, 1, RGB(0, 128, 0), RGB(0, 0, 0), true, [](HDC d) { Arc(d, 500, 20, 620, 120, 0, 0, 0, 0); });
  withPenBrush(dc, 1, RGB(0, 0, 128), RGB(120, 255, 120), false, [](HDC d) {
    const POINT star[] = {{110, 140}, {170, 320}, {20, 210}, {200, 210}, {50, 320}};
    Polygon(d, star, 5);
  });
  withPenBrush(dc, 4, RGB(200, 0, 160), RGB(0, 0, 0), true, [](HDC d) {
    const POINT curve[] = {{230, 300}, {260, 130}, {400, 380}, {460, 160}};
    PolyBezier(d, curve, 4);
  });
}

void drawText(HDC dc) {
  LOGFONTA lf{};
  lf.lfHeight = 40;
  lf.lfQuality = PROOF_QUALITY;
  lf.lfOutPrecision = OUT_CHARACTER_PRECIS;
  std::memcpy(lf.lfFaceName, "Arial", 6);
  HFONT font = CreateFontIndirectA(&lf);
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  TextOutA(dc, 20, 360, "Vex2D @ABCDEFGHIJKLMNOPQRSTUV", 29);
  SelectObject(dc, old);
  DeleteObject(font);
}

void drawBlits(HDC dc) {
  // Copies of the shapes area: plain, stretched (shrunk with the AND merge)
  // and mirrored.
  BitBlt(dc, 500, 140, 120, 100, dc, 340, 10, SRCCOPY);
  StretchBlt(dc, 500, 250, 60, 50, dc, 340, 10, 140, 120, SRCCOPY);
  StretchBlt(dc, 619, 250, -60, 50, dc, 340, 10, 140, 120, SRCCOPY);
  BitBlt(dc, 500, 310, 120, 40, dc, 20, 20, SRCINVERT);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string out = argc > 1 ? argv[1] : "vex2d-demo.png";
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = kWidth;
  bi.bmiHeader.biHeight = kHeight;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  HDC dc = CreateCompatibleDC(0);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, 0, 0);
  if (dc == 0 || dib == 0) {
    std::fprintf(stderr, "vex2d-demo: cannot create a %dx%d DIB section\n", kWidth, kHeight);
    return 1;
  }
  HGDIOBJ oldBitmap = SelectObject(dc, dib);
  withPenBrush(dc, 1, RGB(255, 255, 255), RGB(255, 255, 255), false,
               [](HDC d) { Rectangle(d, 0, 0, kWidth, kHeight); });
  drawLines(dc);
  drawShapes(dc);
  drawText(dc);
  drawBlits(dc);

  PixelView view;
  const bool ok = GetDCPixels(dc, &view) && display::writePng(out, view);
  SelectObject(dc, oldBitmap);
  DeleteObject(dib);
  DeleteDC(dc);
  if (!ok) {
    std::fprintf(stderr, "vex2d-demo: cannot write %s\n", out.c_str());
    return 1;
  }
  std::printf("vex2d-demo: wrote %s (%dx%d)\n", out.c_str(), kWidth, kHeight);
  return 0;
}
