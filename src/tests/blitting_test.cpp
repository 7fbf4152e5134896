// The blitting test: 50000 unscaled blocks from the top-left of a 500 x 500
// picture, the raster operation cycling OR, copy, exclusive OR.
#include "platform/forms/forms.h"
#include "tests/draws.h"
#include "tests/handlers.h"
#include "tests/kernels.h"

namespace drawtests {

using namespace gdi;

void BlitKernel(HDC dc, std::int32_t W, std::int32_t H, HDC source, std::int32_t blocks) {
  // Every run starts the cycle at SRCPAINT.
  std::int32_t state = 0;
  for (std::int32_t i = 0; i < blocks; ++i) {
    const std::int32_t w = scaled(forms::Rnd(), kSourcePictureSize);
    const std::int32_t h = scaled(forms::Rnd(), kSourcePictureSize);
    // W - w is a 32-bit difference formed before the multiplication; it is
    // negative on a surface narrower than the block. With W of 0 or more
    // and w at most 500 it cannot overflow.
    const std::int32_t x = scaled(forms::Rnd(), W - w);
    const std::int32_t y = scaled(forms::Rnd(), H - h);
    switch (state) {
      case 1:
        BitBlt(dc, x, y, w, h, source, 0, 0, SRCCOPY);
        state = 2;
        break;
      case 2:
        BitBlt(dc, x, y, w, h, source, 0, 0, SRCINVERT);
        state = 0;
        break;
      default:
        BitBlt(dc, x, y, w, h, source, 0, 0, SRCPAINT);
        state = 1;
        break;
    }
  }
}

const TestRow kBlittingTest{
    .title = "Blitting",
    .iterations = kBlitCount,
    .numerator = 50000,
    .unit = " operations/sec",
    .slot = 6,
    .resultLabel = 6,
    .secondReading = SecondReading::AfterCopyBack,
    .kernel = [](const KernelArgs& a) { BlitKernel(a.dc, a.W, a.H, a.sourceDc, a.iterations); },
    .directSetup = DirectSetup::SolidBlack,
    .source = SourcePicture::Picture2,
};

void Command6_Click(TestHost& host) { RunDrawingTest(host, kBlittingTest); }

}  // namespace drawtests
