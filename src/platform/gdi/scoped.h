// Objects created, selected into a DC and, at the end of the scope,
// deselected (the previous object selected back) and deleted: the object
// discipline every drawing helper outside the benchmark kernels uses.
#pragma once

#include "platform/gdi/gdi.h"

namespace gdi {

// One object, owned: selected on construction, deselected and deleted at
// the end of the scope.
class ScopedObject {
 public:
  ScopedObject(HDC dc, HGDIOBJ object) : dc_(dc), object_(object), old_(SelectObject(dc, object)) {}
  ~ScopedObject() {
    SelectObject(dc_, old_);
    DeleteObject(object_);
  }
  ScopedObject(const ScopedObject&) = delete;
  ScopedObject& operator=(const ScopedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ object_;
  HGDIOBJ old_;
};

// A solid pen of `penWidth` (PS_NULL when nullPen) and a solid brush, or
// the stock hollow brush when `hollow`.
class ScopedPenBrush {
 public:
  ScopedPenBrush(HDC dc, int penWidth, COLORREF pen, COLORREF brush, bool hollow = false, bool nullPen = false)
      : pen_(dc, CreatePen(nullPen ? PS_NULL : PS_SOLID, penWidth, pen)),
        brush_(dc, hollow ? GetStockObject(NULL_BRUSH) : CreateSolidBrush(brush)) {}

 private:
  ScopedObject pen_;
  ScopedObject brush_;
};

}  // namespace gdi
