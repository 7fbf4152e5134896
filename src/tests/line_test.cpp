// The line test: one connected polyline of 150000 segments, each with its
// own pen of random width and palette colour.
#include "platform/forms/forms.h"
#include "tests/draws.h"
#include "tests/handlers.h"
#include "tests/kernels.h"

namespace drawtests {

using namespace gdi;

void LineKernel(HDC dc, std::int32_t W, std::int32_t H, std::int32_t segments) {
  // The start point and its MoveToEx are part of the timed run.
  const std::int32_t x0 = nextCoordinate(W);
  const std::int32_t y0 = nextCoordinate(H);
  POINT previousPosition;
  MoveToEx(dc, x0, y0, &previousPosition);
  for (std::int32_t i = 0; i < segments; ++i) {
    const COLORREF colour = nextPaletteColour();
    const std::int32_t width = scaled(forms::Rnd(), 5.0, 1.0);
    const HPEN pen = CreatePen(PS_SOLID, width, colour);
    const HGDIOBJ previousPen = SelectObject(dc, pen);
    const std::int32_t x = nextCoordinate(W);
    const std::int32_t y = nextCoordinate(H);
    LineTo(dc, x, y);
    SelectObject(dc, previousPen);
    DeleteObject(pen);
  }
}

const TestRow kLineTest{
    .title = "Lines",
    .iterations = kLineSegments,
    .numerator = 150000,
    .unit = " lines/sec",
    .slot = 2,
    .resultLabel = 2,
    .secondReading = SecondReading::BeforeCopyBack,
    .kernel = [](const KernelArgs& a) { LineKernel(a.dc, a.W, a.H, a.iterations); },
};

void Command2_Click(TestHost& host) { RunDrawingTest(host, kLineTest); }

}  // namespace drawtests
