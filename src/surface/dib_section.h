// cDIBSection: a 24-bit DIB section permanently selected into a memory DC of
// its own. The off-screen buffer of a buffered test is one of these.
#pragma once

#include <cstdint>

#include "platform/gdi/gdi.h"

namespace surface {

using gdi::BITMAPINFO;
using gdi::DWORD;
using gdi::HBITMAP;
using gdi::HDC;
using gdi::HGDIOBJ;

// Something that yields a bitmap handle (a picture object).
struct Picture {
  HBITMAP Handle = 0;
};

class cDIBSection {
 public:
  cDIBSection() = default;
  ~cDIBSection();  // Class_Terminate
  cDIBSection(const cDIBSection&) = delete;
  cDIBSection& operator=(const cDIBSection&) = delete;

  // Fills tBitmapInfo for lWidth x lHeight and creates the section; true if
  // a bitmap was made. An overflow of the size arithmetic raises a
  // forms::RuntimeError to the caller, with the header fields already written.
  bool CreateDIB(HDC lHDC, std::int32_t lWidth, std::int32_t lHeight, HBITMAP& hDib);
  bool CreateFromPicture(const Picture& picThis);
  bool Create(std::int32_t lWidth, std::int32_t lHeight);
  // (biWidth * 3 + 3) with the two low bits cleared, in signed 32-bit
  // arithmetic; raises a forms::RuntimeError on overflow.
  std::int32_t BytesPerScanLine() const;
  std::int32_t Width() const { return tBitmapInfo.bmiHeader.biWidth; }
  std::int32_t Height() const { return tBitmapInfo.bmiHeader.biHeight; }
  void LoadPictureBlt(HDC lHDC, std::int32_t lSrcLeft = 0, std::int32_t lSrcTop = 0,
                      std::int32_t lSrcWidth = -1, std::int32_t lSrcHeight = -1,
                      DWORD eRop = gdi::SRCCOPY);
  void PaintPicture(HDC lHDC, std::int32_t lDestLeft = 0, std::int32_t lDestTop = 0,
                    std::int32_t lDestWidth = -1, std::int32_t lDestHeight = -1,
                    std::int32_t lSrcLeft = 0, std::int32_t lSrcTop = 0, DWORD eRop = gdi::SRCCOPY);
  void EffectWhipe(HDC lHDC, std::int32_t lDestWidth, std::int32_t lDestHeight,
                   std::uint8_t Direction = 0);
  HDC hdc() const { return hMemDC; }
  HBITMAP hDib() const { return hDibBitmap; }
  void* DIBSectionBitsPtr() const { return lBitsPtr; }
  void ClearUp();

 private:
  HBITMAP hDibBitmap = 0;
  HGDIOBJ hPrevBitmap = 0;
  HDC hMemDC = 0;
  void* lBitsPtr = nullptr;
  BITMAPINFO tBitmapInfo{};
};

}  // namespace surface
