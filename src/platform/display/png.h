// PNG snapshots of pixel views (both formats), for the demo, the headless
// display and failing pixel tests.
#pragma once

#include <string>

#include "platform/pixels/pixel_view.h"

namespace display {

// Writes the view as an 8-bit RGB PNG. False (with nothing left behind) when
// the file cannot be written.
bool writePng(const std::string& path, const gdi::PixelView& view);

}  // namespace display
