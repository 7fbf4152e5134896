// The two 500 x 500 source pictures of the blitting and stretching tests,
// generated in code: a colourful radial star and a field of bubbles.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdi/engine.h"

namespace shell {

// A 24-bit top-down image that owns its pixels.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bytes;  // rows of width * 3 bytes padded to 4
  gdi::PixelView view();
};

Image makeStarPicture();     // 500 x 500
Image makeBubblesPicture();  // 500 x 500
// The program icon at the given size (32, 48, 256...), Xrgb32 with the
// coverage in the top byte (0 outside the disc).
std::vector<std::uint32_t> makeIcon(int size);

}  // namespace shell
