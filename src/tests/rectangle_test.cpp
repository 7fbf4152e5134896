// The rectangle test: 200000 filled rectangles between random corners, each
// with its own pen and brush of one colour.
#include "platform/forms/forms.h"
#include "tests/draws.h"
#include "tests/handlers.h"
#include "tests/kernels.h"

namespace drawtests {

using namespace gdi;

void RectangleKernel(HDC dc, std::int32_t W, std::int32_t H, std::int32_t rectangles) {
  for (std::int32_t i = 0; i < rectangles; ++i) {
    const COLORREF colour = nextPaletteColour();
    const HPEN pen = CreatePen(PS_SOLID, 1, colour);
    const HGDIOBJ previousPen = SelectObject(dc, pen);
    const HBRUSH brush = CreateSolidBrush(colour);
    const HGDIOBJ previousBrush = SelectObject(dc, brush);
    // The corners reach Rectangle unsorted.
    const std::int32_t x1 = nextCoordinate(W);
    const std::int32_t y1 = nextCoordinate(H);
    const std::int32_t x2 = nextCoordinate(W);
    const std::int32_t y2 = nextCoordinate(H);
    Rectangle(dc, x1, y1, x2, y2);
    releasePenAndBrush(dc, previousPen, pen, previousBrush, brush);
  }
}

const TestRow kRectangleTest{
    .title = "Rectangle",
    .iterations = kRectangleCount,
    .numerator = 20000,
    .unit = " rects/sec",
    .slot = 4,
    .resultLabel = 4,
    .secondReading = SecondReading::BeforeCopyBack,
    .kernel = [](const KernelArgs& a) { RectangleKernel(a.dc, a.W, a.H, a.iterations); },
    .directSetup = DirectSetup::MessagesThenSolidBlack,
};

void Command4_Click(TestHost& host) { RunDrawingTest(host, kRectangleTest); }

}  // namespace drawtests
