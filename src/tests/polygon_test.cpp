// The polygon test: 5000 polygons of 3 to 13 random vertices, filled or
// hollow, each with its own pen and brush.
#include <array>

#include "platform/forms/forms.h"
#include "tests/draws.h"
#include "tests/handlers.h"
#include "tests/kernels.h"

namespace drawtests {

using namespace gdi;

void PolygonKernel(HDC dc, std::int32_t W, std::int32_t H, std::int32_t polygons) {
  for (std::int32_t i = 0; i < polygons; ++i) {
    const COLORREF colour = nextPaletteColour();
    const HPEN pen = CreatePen(PS_SOLID, 1, colour);
    const HGDIOBJ previousPen = SelectObject(dc, pen);
    const HGDIOBJ brush = nextBrush(colour);
    const HGDIOBJ previousBrush = SelectObject(dc, brush);
    const std::int32_t n = scaled(forms::Rnd(), 10.0, 3.0);
    // The vertex array is made anew for every polygon; on the stack, since
    // no polygon has more than 13 vertices.
    std::array<POINT, kPolygonMaxVertices> vertices{};
    for (std::int32_t j = 0; j < n; ++j) {
      vertices[static_cast<std::size_t>(j)].x = nextCoordinate(W);
      vertices[static_cast<std::size_t>(j)].y = nextCoordinate(H);
    }
    Polygon(dc, vertices.data(), n);
    releasePenAndBrush(dc, previousPen, pen, previousBrush, brush);
  }
}

const TestRow kPolygonTest{
    .title = "Polygons",
    .iterations = kPolygonCount,
    .numerator = 60000,
    .unit = " polygons/sec",
    .slot = 3,
    .resultLabel = 3,
    .secondReading = SecondReading::BeforeCopyBack,
    .kernel = [](const KernelArgs& a) { PolygonKernel(a.dc, a.W, a.H, a.iterations); },
};

void Command3_Click(TestHost& host) { RunDrawingTest(host, kPolygonTest); }

}  // namespace drawtests
