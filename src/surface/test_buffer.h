// The off-screen buffer of one buffered test: a white cDIBSection the size
// of the main window's hidden reference picture box.
#pragma once

#include <functional>
#include <memory>

#include "surface/dib_section.h"

namespace surface {

// Replaces any buffer still held by a new one of ScaleWidth x ScaleHeight
// (each rounded, ties to even, and read afresh for the background fill),
// paints it white and sets lBufferDC to its DC (0 when it could not be made).
void CreateTestBuffer(std::unique_ptr<cDIBSection>& oBuffer, gdi::HDC& lBufferDC,
                      const std::function<float()>& scaleWidth,
                      const std::function<float()>& scaleHeight);

// Clears up and drops the buffer; nothing happens when none is held.
// lBufferDC keeps its value.
void FreeTestBuffer(std::unique_ptr<cDIBSection>& oBuffer);

}  // namespace surface
