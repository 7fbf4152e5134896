// The ellipse and arc test: 10000 iterations of one ellipse and one arc in
// independent random boxes, sharing one pen and a solid or hollow brush.
#include "platform/forms/forms.h"
#include "tests/draws.h"
#include "tests/handlers.h"
#include "tests/kernels.h"

namespace drawtests {

using namespace gdi;

void EllipseKernel(HDC dc, std::int32_t W, std::int32_t H, std::int32_t iterations) {
  for (std::int32_t i = 0; i < iterations; ++i) {
    const COLORREF colour = nextPaletteColour();
    const HPEN pen = CreatePen(PS_SOLID, 1, colour);
    const HGDIOBJ previousPen = SelectObject(dc, pen);
    const HGDIOBJ brush = nextBrush(colour);
    const HGDIOBJ previousBrush = SelectObject(dc, brush);
    std::int32_t x1 = nextCoordinate(W);
    std::int32_t y1 = nextCoordinate(H);
    std::int32_t x2 = nextCoordinate(W);
    std::int32_t y2 = nextCoordinate(H);
    Ellipse(dc, x1, y1, x2, y2);
    x1 = nextCoordinate(W);
    y1 = nextCoordinate(H);
    x2 = nextCoordinate(W);
    y2 = nextCoordinate(H);
    // Start and end radial at the same point: the whole ellipse's outline.
    Arc(dc, x1, y1, x2, y2, 0, 0, 0, 0);
    releasePenAndBrush(dc, previousPen, pen, previousBrush, brush);
  }
}

const TestRow kEllipseTest{
    .title = "Ellipses",
    .iterations = kEllipseCount,
    .numerator = 50000,
    .unit = " ellipses/sec",
    .slot = 5,
    .resultLabel = 5,
    .secondReading = SecondReading::BeforeCopyBack,
    .kernel = [](const KernelArgs& a) { EllipseKernel(a.dc, a.W, a.H, a.iterations); },
    .directSetup = DirectSetup::SolidBlack,
};

void Command5_Click(TestHost& host) { RunDrawingTest(host, kEllipseTest); }

}  // namespace drawtests
