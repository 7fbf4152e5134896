// The text test: 100 font sizes of "Arial", 1000 single characters each, on
// a transparent background.
#include <cstring>

#include "platform/forms/forms.h"
#include "tests/draws.h"
#include "tests/handlers.h"
#include "tests/kernels.h"

namespace drawtests {

using namespace gdi;

void FillFontDescription(LOGFONTA& font, std::int32_t size, const TEXTMETRICA& metrics) {
  font.lfHeight = size;  // positive: matched by the character cell height
  font.lfWidth = 0;
  font.lfEscapement = 0;
  font.lfOrientation = 0;
  font.lfPitchAndFamily = metrics.tmPitchAndFamily;
  font.lfCharSet = metrics.tmCharSet;
  font.lfQuality = PROOF_QUALITY;
  font.lfItalic = 0;
  font.lfUnderline = 0;
  font.lfStrikeOut = 0;
  font.lfOutPrecision = OUT_CHARACTER_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  // The name, its terminating zero, and blanks to the full 32 characters;
  // the font mapper reads the name up to the zero.
  static constexpr char kFace[] = "Arial";
  std::memcpy(font.lfFaceName, kFace, sizeof kFace);
  std::memset(font.lfFaceName + sizeof kFace, ' ', sizeof font.lfFaceName - sizeof kFace);
}

void TextKernel(HDC dc, std::int32_t W, std::int32_t H, std::int32_t sizes) {
  // Both records live for the whole run and start zero-filled, so lfWeight
  // stays 0 (the mapper's default weight) and a failed metrics query leaves
  // the previous size's values.
  LOGFONTA font{};
  TEXTMETRICA metrics{};
  for (std::int32_t s = kTextFirstSize; s < kTextFirstSize + sizes; ++s) {
    // The test's own font is deselected at the end of every size, so these
    // are the metrics of the font the DC held before the test.
    GetTextMetricsA(dc, &metrics);
    FillFontDescription(font, s, metrics);
    const HFONT created = CreateFontIndirectA(&font);
    const HGDIOBJ previousFont = SelectObject(dc, created);
    for (std::int32_t j = 0; j < kTextCharsPerSize; ++j) {
      const COLORREF colour = nextPaletteColour();
      const char ch = static_cast<char>(scaled(forms::Rnd(), 22.0, 64.0));  // "@" to "V"
      // The 20 is subtracted after the multiplication, in double precision.
      const std::int32_t x = scaled(forms::Rnd(), W, -20.0);
      const std::int32_t y = scaled(forms::Rnd(), H, -20.0);
      SetTextColor(dc, colour);
      TextOutA(dc, x, y, &ch, 1);
    }
    SelectObject(dc, previousFont);
    DeleteObject(created);
  }
}

const TestRow kTextTest{
    .title = "Text",
    .iterations = kTextSizes,
    .numerator = 50000,
    .unit = " chars/sec",
    .slot = 1,
    .resultLabel = 1,
    .secondReading = SecondReading::AfterCopyBack,
    .kernel = [](const KernelArgs& a) { TextKernel(a.dc, a.W, a.H, a.iterations); },
    .transparentBackground = true,
};

void Command1_Click(TestHost& host) { RunDrawingTest(host, kTextTest); }

}  // namespace drawtests
