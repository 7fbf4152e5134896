#include "platform/gdi/draw.h"

namespace gdi::detail {

void drawRectangle(const Target&, const Stroke&, const Fill&, DevPoint, DevPoint) {}
void drawEllipse(const Target&, const Stroke&, const Fill&, DevPoint, DevPoint) {}
void drawArc(const Target&, const Stroke&, DevPoint, DevPoint, DevPoint, DevPoint) {}
void drawPolygon(const Target&, const Stroke&, const Fill&, const POINT*, std::size_t) {}
void drawBeziers(const Target&, const Stroke&, const DevPoint*, std::size_t) {}
void fillPolygonFixed(const SpanPainter&, const DevPoint*, std::size_t, std::int64_t) {}

}  // namespace gdi::detail
