#include "surface/dib_section.h"

#include <cmath>
#include <limits>

#include "platform/forms/forms.h"

namespace surface {

using namespace gdi;

namespace {

// Converts to a 32-bit integer, ties to even; a value that does not fit is
// a run-time overflow.
std::int32_t checkedRound(double v) {
  if (!std::isfinite(v)) throw forms::RuntimeError("Overflow");
  const double r = std::nearbyint(v);
  if (r < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
      r > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    throw forms::RuntimeError("Overflow");
  return static_cast<std::int32_t>(r);
}

}  // namespace

cDIBSection::~cDIBSection() { ClearUp(); }

std::int32_t cDIBSection::BytesPerScanLine() const {
  std::int32_t bytes = 0;
  if (__builtin_mul_overflow(tBitmapInfo.bmiHeader.biWidth, 3, &bytes) ||
      __builtin_add_overflow(bytes, 3, &bytes))
    throw forms::RuntimeError("Overflow");
  return bytes & ~3;
}

bool cDIBSection::CreateDIB(HDC lHDC, std::int32_t lWidth, std::int32_t lHeight, HBITMAP& hDib) {
  BITMAPINFOHEADER& h = tBitmapInfo.bmiHeader;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = lWidth;
  h.biHeight = lHeight;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biCompression = BI_RGB;
  std::int32_t image = 0;
  if (__builtin_mul_overflow(BytesPerScanLine(), h.biHeight, &image)) throw forms::RuntimeError("Overflow");
  h.biSizeImage = static_cast<DWORD>(image);
  hDib = gdi::CreateDIBSection(lHDC, &tBitmapInfo, DIB_RGB_COLORS, &lBitsPtr, 0, 0);
  return hDib != 0;
}

bool cDIBSection::Create(std::int32_t lWidth, std::int32_t lHeight) {
  ClearUp();
  hMemDC = CreateCompatibleDC(0);
  if (hMemDC == 0) return false;
  bool made = false;
  try {
    made = CreateDIB(hMemDC, lWidth, lHeight, hDibBitmap);
  } catch (const forms::RuntimeError&) {
    made = false;
  }
  if (made) {
    hPrevBitmap = SelectObject(hMemDC, hDibBitmap);
    return true;
  }
  DeleteDC(hMemDC);
  hMemDC = 0;
  hDibBitmap = 0;
  lBitsPtr = nullptr;
  return false;
}

bool cDIBSection::CreateFromPicture(const Picture& picThis) {
  BITMAP bm{};
  forms::resumeNext([&] { GetObjectA(picThis.Handle, 24, &bm); });
  if (!Create(bm.bmWidth, bm.bmHeight)) return false;
  const forms::HWND desktop = forms::GetDesktopWindow();
  const HDC desktopDc = forms::GetDC(desktop);
  if (desktopDc == 0) return false;
  const HDC temp = CreateCompatibleDC(desktopDc);
  forms::ReleaseDC(desktop, desktopDc);
  if (temp == 0) return false;
  const HGDIOBJ displaced = SelectObject(temp, picThis.Handle);
  forms::resumeNext([&] { LoadPictureBlt(temp, 0, 0, -1, -1, SRCCOPY); });
  SelectObject(temp, displaced);
  DeleteDC(temp);
  return true;
}

void cDIBSection::LoadPictureBlt(HDC lHDC, std::int32_t lSrcLeft, std::int32_t lSrcTop,
                                 std::int32_t lSrcWidth, std::int32_t lSrcHeight, DWORD eRop) {
  if (lSrcWidth < 0) lSrcWidth = tBitmapInfo.bmiHeader.biWidth;
  if (lSrcHeight < 0) lSrcHeight = tBitmapInfo.bmiHeader.biHeight;
  BitBlt(hMemDC, 0, 0, lSrcWidth, lSrcHeight, lHDC, lSrcLeft, lSrcTop, eRop);
}

void cDIBSection::PaintPicture(HDC lHDC, std::int32_t lDestLeft, std::int32_t lDestTop,
                               std::int32_t lDestWidth, std::int32_t lDestHeight,
                               std::int32_t lSrcLeft, std::int32_t lSrcTop, DWORD eRop) {
  const BITMAPINFOHEADER& h = tBitmapInfo.bmiHeader;
  if (lDestWidth < 0) lDestWidth = h.biWidth;
  if (lDestHeight < 0) lDestHeight = h.biHeight;
  if (lDestWidth == h.biWidth && lDestHeight == h.biHeight) {
    BitBlt(lHDC, lDestLeft, lDestTop, lDestWidth, lDestHeight, hMemDC, lSrcLeft, lSrcTop, eRop);
  } else {
    StretchBlt(lHDC, lDestLeft, lDestTop, lDestWidth, lDestHeight, hMemDC, 0, 0, h.biWidth,
               h.biHeight, eRop);
  }
}

void cDIBSection::EffectWhipe(HDC lHDC, std::int32_t lDestWidth, std::int32_t lDestHeight,
                              std::uint8_t Direction) {
  const std::int32_t height = tBitmapInfo.bmiHeader.biHeight;
  const std::int32_t width = tBitmapInfo.bmiHeader.biWidth;
  // The scale is divided in double precision and kept in single precision.
  const float s = static_cast<float>(static_cast<double>(lDestHeight) / static_cast<double>(height));
  const float rowHeight = s < 1.0f ? 1.0f : s;
  auto copyRow = [&](std::int32_t j) {
    forms::resumeNext([&] {
      StretchBlt(lHDC, 0, checkedRound(static_cast<float>(s * static_cast<float>(j))), lDestWidth,
                 checkedRound(rowHeight), hMemDC, 0, j, width, 1, SRCCOPY);
    });
  };
  if (Direction == 0) {
    for (std::int32_t p = 0; p <= 50; ++p) {
      const double started = forms::Timer();
      const std::int32_t bound = tBitmapInfo.bmiHeader.biHeight;
      for (std::int64_t j = p; j <= bound; j += 50) copyRow(static_cast<std::int32_t>(j));
      if (forms::Timer() - started < 20.0) forms::Sleep(15);
    }
  } else {
    for (std::int32_t p = 50; p >= 0; --p) {
      const double started = forms::Timer();
      const std::int64_t bound = static_cast<std::int64_t>(tBitmapInfo.bmiHeader.biHeight) - 49;
      for (std::int64_t j = p; j <= bound; j += 50) copyRow(static_cast<std::int32_t>(j));
      if (forms::Timer() - started < 10.0) forms::Sleep(10);
    }
  }
  StretchBlt(lHDC, 0, 0, lDestWidth, lDestHeight, hMemDC, 0, 0, width, height, SRCCOPY);
}

void cDIBSection::ClearUp() {
  if (hMemDC != 0) {
    if (hDibBitmap != 0) {
      SelectObject(hMemDC, hPrevBitmap);
      DeleteObject(hDibBitmap);
    }
    DeleteDC(hMemDC);
  }
  hMemDC = 0;
  hDibBitmap = 0;
  hPrevBitmap = 0;
  lBitsPtr = nullptr;
}

}  // namespace surface
