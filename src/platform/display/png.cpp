#include "platform/display/png.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace display {

bool writePng(const std::string& path, const gdi::PixelView& view) {
  if (view.top == nullptr || view.width <= 0 || view.height <= 0) return false;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  std::vector<png_byte> row(static_cast<std::size_t>(view.width) * 3);
  bool ok = false;
  if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(view.width),
                 static_cast<png_uint_32>(view.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int bpp = gdi::bytesPerPixel(view.format);
    for (std::int32_t y = 0; y < view.height; ++y) {
      const std::uint8_t* src = view.top + static_cast<std::ptrdiff_t>(y) * view.stride;
      for (std::int32_t x = 0; x < view.width; ++x) {
        // Stored blue, green, red; PNG wants red, green, blue.
        row[static_cast<std::size_t>(x) * 3 + 0] = src[x * bpp + 2];
        row[static_cast<std::size_t>(x) * 3 + 1] = src[x * bpp + 1];
        row[static_cast<std::size_t>(x) * 3 + 2] = src[x * bpp + 0];
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
  if (std::fclose(f) != 0) ok = false;
  if (!ok) std::remove(path.c_str());
  return ok;
}

}  // namespace display
