// Engine-level calls outside the Win32 set: device contexts over pixels that
// someone else owns (a window's back buffer), per-function call counters, and
// the surface behind a device context.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/gdi/gdi.h"

namespace gdi {

enum class PixelFormat : std::uint8_t {
  Bgr24,   // 3 bytes a pixel: blue, green, red
  Xrgb32,  // 4 bytes a pixel: blue, green, red, unused (0 when we write it)
};

constexpr int bytesPerPixel(PixelFormat f) { return f == PixelFormat::Bgr24 ? 3 : 4; }

// A view of pixel rows. `top` is the first byte of the topmost row; `stride`
// is the signed distance from one row to the row below, so a bottom-up DIB
// has a negative stride.
struct PixelView {
  std::uint8_t* top = nullptr;
  std::ptrdiff_t stride = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  PixelFormat format = PixelFormat::Xrgb32;
};

// Creates a device context that draws into `view`, which the caller owns and
// keeps alive until DeleteDC. Logical (0, 0) lands on device pixel `origin`;
// drawing is clipped to `clip` (device pixels, right and bottom excluded),
// intersected with the view. Returns 0 for an invalid view.
HDC CreateViewDC(const PixelView& view, POINT origin, RECT clip);

// Points an existing view DC at new pixels, origin and clip (after a resize).
BOOL SetViewDC(HDC hdc, const PixelView& view, POINT origin, RECT clip);

// Called after every drawing call that reached a view DC, so a display can
// present what was drawn. The hook is cheap to call: it decides itself
// whether enough time has passed to present.
using DrawHook = void (*)(void* context);
BOOL SetDrawHook(HDC hdc, DrawHook hook, void* context);

// The pixels that drawing through `hdc` reaches (the selected bitmap of a
// memory DC, or the view of a view DC), without origin or clip. False for an
// invalid DC or one that holds no drawable bitmap.
bool GetDCPixels(HDC hdc, PixelView* out);

// Per-function call counters of the facade. They count every call, also the
// ones that fail; take two snapshots and subtract to count a stretch of code.
enum class Fn : std::uint8_t {
  CreatePen,
  CreateSolidBrush,
  GetStockObject,
  CreateFontIndirectA,
  SelectObject,
  DeleteObject,
  GetObjectA,
  CreateCompatibleDC,
  DeleteDC,
  CreateDIBSection,
  MoveToEx,
  LineTo,
  PolyBezier,
  Polygon,
  Rectangle,
  Ellipse,
  Arc,
  FillRect,
  SetPixel,
  GetPixel,
  TextOutA,
  SetTextColor,
  SetBkMode,
  SetBkColor,
  GetTextMetricsA,
  GetTextExtentPoint32A,
  BitBlt,
  StretchBlt,
  SetStretchBltMode,
  Count
};
constexpr std::size_t kFnCount = static_cast<std::size_t>(Fn::Count);
using CallCounts = std::array<std::uint64_t, kFnCount>;

const CallCounts& callCounts();
std::string_view fnName(Fn f);

// Number of live objects and DCs in the handle table (stock objects excluded);
// tests use it to prove that nothing leaks.
std::size_t liveHandleCount();

// Empty when the engine can draw text; otherwise one line saying which font
// is missing and which Debian package provides it. The programs refuse to
// start without a font rather than measure text that draws nothing.
std::string missingFontReason();

}  // namespace gdi
