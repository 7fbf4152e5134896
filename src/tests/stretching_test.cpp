// The stretching test: 3000 blocks of 10..500 from the top-left of a
// 500 x 500 picture, each stretched onto one random rectangle three times.
#include "platform/forms/forms.h"
#include "tests/draws.h"
#include "tests/handlers.h"
#include "tests/kernels.h"

namespace drawtests {

using namespace gdi;

void StretchKernel(HDC dc, std::int32_t W, std::int32_t H, HDC source, std::int32_t iterations) {
  for (std::int32_t i = 0; i < iterations; ++i) {
    const std::int32_t sw = scaled(forms::Rnd(), 490.0, 10.0);
    const std::int32_t sh = scaled(forms::Rnd(), 490.0, 10.0);
    // W - sw and H - sh are 32-bit differences formed first; with W and H
    // of 0 or more they cannot overflow.
    const std::int32_t dx = scaled(forms::Rnd(), W - sw, -10.0);
    const std::int32_t dy = scaled(forms::Rnd(), H - sh, -10.0);
    const std::int32_t dw = scaled(forms::Rnd(), W - 10, 10.0);
    const std::int32_t dh = scaled(forms::Rnd(), H - 10, 10.0);
    // Copy, exclusive OR (black), copy again: the rectangle ends as after
    // one copy. The stretching mode stays the DC's default.
    StretchBlt(dc, dx, dy, dw, dh, source, 0, 0, sw, sh, SRCCOPY);
    StretchBlt(dc, dx, dy, dw, dh, source, 0, 0, sw, sh, SRCINVERT);
    StretchBlt(dc, dx, dy, dw, dh, source, 0, 0, sw, sh, SRCCOPY);
  }
}

const TestRow kStretchingTest{
    .title = "Stretching",
    .iterations = kStretchCount,
    .numerator = 10000,
    .unit = " operations/sec",
    .slot = 7,
    .resultLabel = 7,
    .secondReading = SecondReading::AfterCopyBack,
    .kernel = [](const KernelArgs& a) { StretchKernel(a.dc, a.W, a.H, a.sourceDc, a.iterations); },
    .directSetup = DirectSetup::SolidBlack,
    .source = SourcePicture::Picture3,
};

void Command7_Click(TestHost& host) { RunDrawingTest(host, kStretchingTest); }

}  // namespace drawtests
