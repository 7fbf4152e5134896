// Placeholder until the font engine lands: no font is ever available.
#include "platform/gdi/text.h"

namespace gdi::detail {

const Realization* realizeFont(const LOGFONTA&) { return nullptr; }
const Realization* systemFontRealization() { return nullptr; }
void fillTextMetrics(const Realization*, bool, TEXTMETRICA* tm) { *tm = TEXTMETRICA{}; }
SIZE textExtent(const Realization*, bool, const char*, int) { return SIZE{0, 0}; }
void drawText(const Target&, const Realization*, bool, std::int64_t, std::int64_t, const char*, int,
              std::uint32_t, bool, std::uint32_t) {}

}  // namespace gdi::detail
