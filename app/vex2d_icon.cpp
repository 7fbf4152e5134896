// vex2d-icon: writes the program's icon, the one its window shows, as an
// RGBA PNG of the given size; the build makes the installed icon files with
// it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/display/png.h"
#include "shell/pictures.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vex2d-icon SIZE FILE.png\n");
    return 2;
  }
  const int size = std::atoi(argv[1]);
  if (size < 16 || size > 1024) {
    std::fprintf(stderr, "vex2d-icon: the size must be 16 to 1024, not %s\n", argv[1]);
    return 2;
  }
  std::vector<std::uint32_t> px = shell::makeIcon(size);
  const gdi::PixelView view{reinterpret_cast<std::uint8_t*>(px.data()), size * 4, size, size,
                            gdi::PixelFormat::Xrgb32};
  display::PngOptions options;
  options.alphaFromTopByte = true;
  options.text = {{"Title", "Vex2D"}, {"Software", "vex2d-icon"}};
  if (!display::writePng(argv[2], view, options)) {
    std::fprintf(stderr, "vex2d-icon: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
