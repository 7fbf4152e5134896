#include "platform/gdi/draw.h"

namespace gdi::detail {

void drawLine(const Target&, const Stroke&, DevPoint, DevPoint) {}
void drawPolyline(const Target&, const Stroke&, const DevPoint*, std::size_t, bool) {}

}  // namespace gdi::detail
