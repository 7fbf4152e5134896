// The pixel copy behind the SDL backend's present, on its own so that its
// format conversion and clipping can be tested on plain SDL surfaces.
#pragma once

#include "platform/pixels/pixel_view.h"

struct SDL_Surface;

namespace display {

// Copies `src` into the top left of `dst`: cut to the surface where the view
// is larger, the rest of the surface black where it is smaller. Rows are
// copied as they are when the surface stores blue, green, red, unused bytes
// (XRGB8888 on a little-endian machine), made opaque for ARGB8888, and
// converted otherwise. False when the surface cannot be written.
bool copyToSurface(const gdi::PixelView& src, SDL_Surface* dst);

}  // namespace display
