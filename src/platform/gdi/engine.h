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
#include "platform/pixels/pixel_view.h"

namespace gdi {

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

// The facade's functions, in one list: the counters, their names and the
// fuzzer's operations are all made from it (fuzz/seeds.py reads it too).
#define VEX2D_FACADE_FUNCTIONS(X) \
  X(CreatePen) X(CreateSolidBrush) X(GetStockObject) X(CreateFontIndirectA) X(SelectObject) \
  X(DeleteObject) X(GetObjectA) X(CreateCompatibleDC) X(DeleteDC) X(CreateDIBSection) X(MoveToEx) \
  X(LineTo) X(PolyBezier) X(Polygon) X(Rectangle) X(Ellipse) X(Arc) X(FillRect) X(SetPixel) \
  X(GetPixel) X(TextOutA) X(SetTextColor) X(SetBkMode) X(SetBkColor) X(GetTextMetricsA) \
  X(GetTextExtentPoint32A) X(BitBlt) X(StretchBlt) X(SetStretchBltMode)

// Per-function call counters of the facade. They count every call, also the
// ones that fail; take two snapshots and subtract to count a stretch of code.
enum class Fn : std::uint8_t {
#define VEX2D_FN_ENUMERATOR(name) name,
  VEX2D_FACADE_FUNCTIONS(VEX2D_FN_ENUMERATOR)
#undef VEX2D_FN_ENUMERATOR
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
