// A plain reference for BitBlt and StretchBlt: one pixel at a time, straight
// from the rules, with no attempt at speed. The optimised transfers are
// compared against it on small surfaces.
#pragma once

#include <cstdint>

#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"

namespace vex2d_test {

// Everything the reference needs to know about a device context: its pixels,
// where logical (0, 0) lands, its clip in device pixels (right and bottom
// excluded; it is intersected with the view here) and its stretch mode.
struct RefDc {
  gdi::PixelView view;
  gdi::POINT origin{0, 0};
  gdi::RECT clip{0, 0, 0, 0};
  int stretchMode = gdi::BLACKONWHITE;
};

// The same arguments as the facade calls, logical coordinates included.
// `src` may describe the same pixels as `dst`; the source is read completely
// before anything is written.
void refBitBlt(const RefDc& dst, int x, int y, int cx, int cy, const RefDc* src, int x1, int y1,
               gdi::DWORD rop);
void refStretchBlt(const RefDc& dst, int x, int y, int w, int h, const RefDc* src, int xs, int ys,
                   int ws, int hs, gdi::DWORD rop);

}  // namespace vex2d_test
