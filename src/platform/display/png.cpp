#include "platform/display/png.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace display {

namespace {

// The libpng part, alone in its frame: libpng reports errors by longjmp, so
// nothing here may live across the setjmp but what the caller owns.
bool encode(png_structp png, png_infop info, FILE* f, const gdi::PixelView& view, bool alpha,
            png_text* chunks, int chunkCount, png_byte* row) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(view.width), static_cast<png_uint_32>(view.height), 8,
               alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (chunkCount > 0) png_set_text(png, info, chunks, chunkCount);
  png_write_info(png, info);
  const int bpp = gdi::bytesPerPixel(view.format);
  const int channels = alpha ? 4 : 3;
  for (std::int32_t y = 0; y < view.height; ++y) {
    const std::uint8_t* src = view.top + static_cast<std::ptrdiff_t>(y) * view.stride;
    for (std::int32_t x = 0; x < view.width; ++x) {
      // Stored blue, green, red; PNG wants red, green, blue.
      png_byte* out = row + static_cast<std::ptrdiff_t>(x) * channels;
      out[0] = src[x * bpp + 2];
      out[1] = src[x * bpp + 1];
      out[2] = src[x * bpp + 0];
      if (alpha) out[3] = src[x * bpp + 3];
    }
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool writePng(const std::string& path, const gdi::PixelView& view) { return writePng(path, view, PngOptions{}); }

bool writePng(const std::string& path, const gdi::PixelView& view, const PngOptions& options) {
  if (view.top == nullptr || view.width <= 0 || view.height <= 0) return false;
  const bool alpha = options.alphaFromTopByte && view.format == gdi::PixelFormat::Xrgb32;
  std::vector<png_byte> row(static_cast<std::size_t>(view.width) * (alpha ? 4 : 3));
  std::vector<png_text> chunks(options.text.size());
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    chunks[i].compression = PNG_TEXT_COMPRESSION_NONE;
    chunks[i].key = const_cast<char*>(options.text[i].first.c_str());
    chunks[i].text = const_cast<char*>(options.text[i].second.c_str());
    chunks[i].text_length = options.text[i].second.size();
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool ok = info != nullptr &&
            encode(png, info, f, view, alpha, chunks.data(), static_cast<int>(chunks.size()), row.data());
  png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
  if (std::fclose(f) != 0) ok = false;
  if (!ok) std::remove(path.c_str());
  return ok;
}

}  // namespace display
