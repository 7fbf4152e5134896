// A pen and a brush created, selected into a DC and, at the end of the
// scope, deselected (the previous objects selected back) and deleted: the
// object discipline every drawing helper outside the benchmark kernels uses.
#pragma once

#include "platform/gdi/gdi.h"

namespace gdi {

class ScopedPenBrush {
 public:
  // A solid pen of `penWidth` (PS_NULL when nullPen) and a solid brush, or
  // the stock hollow brush when `hollow`.
  ScopedPenBrush(HDC dc, int penWidth, COLORREF pen, COLORREF brush, bool hollow = false,
                 bool nullPen = false)
      : dc_(dc),
        pen_(CreatePen(nullPen ? PS_NULL : PS_SOLID, penWidth, pen)),
        brush_(hollow ? GetStockObject(NULL_BRUSH) : CreateSolidBrush(brush)),
        oldPen_(SelectObject(dc, pen_)),
        oldBrush_(SelectObject(dc, brush_)) {}
  ~ScopedPenBrush() {
    SelectObject(dc_, oldPen_);
    SelectObject(dc_, oldBrush_);
    DeleteObject(pen_);
    DeleteObject(brush_);
  }
  ScopedPenBrush(const ScopedPenBrush&) = delete;
  ScopedPenBrush& operator=(const ScopedPenBrush&) = delete;

 private:
  HDC dc_;
  HPEN pen_;
  HBRUSH brush_;
  HGDIOBJ oldPen_;
  HGDIOBJ oldBrush_;
};

}  // namespace gdi
