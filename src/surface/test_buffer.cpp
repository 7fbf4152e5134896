#include "surface/test_buffer.h"

#include "platform/forms/forms.h"

namespace surface {

using namespace gdi;
using forms::resumeNext;
using forms::roundToInt;

void CreateTestBuffer(std::unique_ptr<cDIBSection>& oBuffer, HDC& lBufferDC,
                      const std::function<float()>& scaleWidth,
                      const std::function<float()>& scaleHeight) {
  if (oBuffer) {
    oBuffer->ClearUp();
    oBuffer.reset();  // its destructor clears up once more, harmlessly
  }
  oBuffer = std::make_unique<cDIBSection>();
  resumeNext([&] { oBuffer->Create(roundToInt(scaleWidth()), roundToInt(scaleHeight())); });
  lBufferDC = oBuffer->hdc();
  const COLORREF white = RGB(255, 255, 255);
  HPEN pen = CreatePen(PS_SOLID, 1, white);
  HGDIOBJ previousPen = SelectObject(lBufferDC, pen);
  HBRUSH brush = CreateSolidBrush(white);
  HGDIOBJ previousBrush = SelectObject(lBufferDC, brush);
  resumeNext([&] { Rectangle(lBufferDC, 0, 0, roundToInt(scaleWidth()), roundToInt(scaleHeight())); });
  SelectObject(lBufferDC, previousPen);
  DeleteObject(pen);
  SelectObject(lBufferDC, previousBrush);
  DeleteObject(brush);
}

void FreeTestBuffer(std::unique_ptr<cDIBSection>& oBuffer) {
  if (!oBuffer) return;
  oBuffer->ClearUp();
  oBuffer.reset();
}

}  // namespace surface
