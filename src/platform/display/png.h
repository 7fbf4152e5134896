// PNG snapshots of pixel views (both formats), for the demo, the headless
// display and failing pixel tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/pixels/pixel_view.h"

namespace display {

// Writes the view as an 8-bit RGB PNG. False (with nothing left behind) when
// the file cannot be written.
bool writePng(const std::string& path, const gdi::PixelView& view);

struct PngOptions {
  // tEXt chunks, key and value, written before the pixels (Latin-1 keys of
  // 1 to 79 characters; values as given).
  std::vector<std::pair<std::string, std::string>> text;
  // An Xrgb32 view's top byte is the alpha: an 8-bit RGBA PNG.
  bool alphaFromTopByte = false;
};
bool writePng(const std::string& path, const gdi::PixelView& view, const PngOptions& options);

}  // namespace display
