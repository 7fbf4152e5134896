// A view of pixel rows in one of the two formats we draw: what the raster
// engine draws into, the displays present and the PNG writer saves. It is a
// header of its own so that those can share it without depending on each
// other.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gdi {

enum class PixelFormat : std::uint8_t {
  Bgr24,   // 3 bytes a pixel: blue, green, red
  Xrgb32,  // 4 bytes a pixel: blue, green, red, and a top byte that fills write 0
           // and transfers between 32-bit surfaces carry
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

}  // namespace gdi
