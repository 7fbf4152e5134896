// A white 24-bit picture drawn through the engine's facade, for the charts
// and the overview that the programs write as PNG files: rectangles, lines,
// text in the window's font, and other pictures scaled into place.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"

namespace charts {

enum class Align { Left, Center, Right };

class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }
  gdi::HDC dc() const { return dc_; }
  gdi::PixelView view();

  // A filled rectangle, right and bottom excluded.
  void fill(int left, int top, int right, int bottom, gdi::COLORREF color);
  // A rectangle's one-pixel outline, right and bottom excluded.
  void frame(int left, int top, int right, int bottom, gdi::COLORREF color);
  void line(int x0, int y0, int x1, int y1, gdi::COLORREF color, int penWidth = 1);
  // UTF-8 text with its cell's top at `y`; `x` is its left edge, centre or
  // right edge by `align`. Characters outside Windows-1252 show as '?'.
  void text(int x, int y, const std::string& utf8, int pixelHeight, gdi::COLORREF color,
            Align align = Align::Left, bool bold = false);
  int textWidth(const std::string& utf8, int pixelHeight, bool bold = false);
  // `src` scaled into the box.
  void picture(int left, int top, int width, int height, const gdi::PixelView& src);

 private:
  int width_, height_;
  std::vector<std::uint8_t> pixels_;
  gdi::HDC dc_ = 0;
};

// UTF-8 to Windows-1252, the engine's text encoding; what 1252 lacks becomes '?'.
std::string toWindows1252(const std::string& utf8);

// Writes `view` as a PNG with text chunks (key, value); false when it
// could not be written completely.
bool writePicture(const std::string& path, const gdi::PixelView& view,
                  const std::vector<std::pair<std::string, std::string>>& text);

}  // namespace charts
