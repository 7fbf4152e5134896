// Placeholder until the block transfers land.
#include "platform/gdi/draw.h"

namespace gdi::detail {

bool ropUsesSource(std::uint32_t rop) {
  return rop != BLACKNESS && rop != WHITENESS && rop != DSTINVERT;
}
bool ropSupported(std::uint32_t rop) {
  switch (rop) {
    case SRCCOPY: case SRCPAINT: case SRCAND: case SRCINVERT: case NOTSRCCOPY: case DSTINVERT:
    case BLACKNESS: case WHITENESS: return true;
    default: return false;
  }
}
void bitBlt(const Target&, BlitRect, const Target*, std::int64_t, std::int64_t, std::uint32_t) {}
void stretchBlt(const Target&, BlitRect, const Target*, BlitRect, std::uint32_t, int) {}

}  // namespace gdi::detail
