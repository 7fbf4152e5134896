// The spline test: 100000 cubic Bezier curves, each with its own pen; the
// second control point of a curve follows from the previous curve's.
#include "platform/forms/forms.h"
#include "tests/draws.h"
#include "tests/handlers.h"
#include "tests/kernels.h"

namespace drawtests {

using namespace gdi;

void SplineKernel(HDC dc, std::int32_t W, std::int32_t H, std::int32_t curves) {
  // Start, two control points, end: contiguous x, y pairs. Zero at the
  // start of every run; the second control point carries between curves.
  POINT p[4] = {};
  for (std::int32_t i = 0; i < curves; ++i) {
    const COLORREF colour = nextPaletteColour();
    const std::int32_t width = scaled(forms::Rnd(), 5.0);
    const HPEN pen = CreatePen(PS_SOLID, width, colour);
    const HGDIOBJ previousPen = SelectObject(dc, pen);
    p[0].x = nextCoordinate(W);
    p[0].y = nextCoordinate(H);
    p[3].x = nextCoordinate(W);
    p[3].y = nextCoordinate(H);
    // Each offset is drawn before the sum is formed; the third point uses
    // the second point just computed.
    controlCoordinate(p[0].x, p[1].x, -static_cast<double>(forms::Rnd()) * 100.0, &p[1].x);
    controlCoordinate(p[0].y, p[1].y, -static_cast<double>(forms::Rnd()) * 100.0, &p[1].y);
    controlCoordinate(p[0].x, p[1].x, static_cast<double>(forms::Rnd()) * 100.0, &p[2].x);
    controlCoordinate(p[0].y, p[1].y, static_cast<double>(forms::Rnd()) * 100.0, &p[2].y);
    PolyBezier(dc, p, 4);
    SelectObject(dc, previousPen);
    DeleteObject(pen);
  }
}

const TestRow kSplineTest{
    .title = "Splines",
    .iterations = kSplineCurves,
    .numerator = 100000,
    .unit = " splines/sec",
    .slot = 8,
    .resultLabel = 8,
    .secondReading = SecondReading::AfterCopyBack,
    .kernel = [](const KernelArgs& a) { SplineKernel(a.dc, a.W, a.H, a.iterations); },
    .copyBackMessages = true,
};

void Command8_Click(TestHost& host) { RunDrawingTest(host, kSplineTest); }

}  // namespace drawtests
