#include "charts/canvas.h"

#include <cstring>

#include "platform/display/png.h"
#include "platform/gdi/scoped.h"

namespace charts {

using namespace gdi;

namespace {

int strideOf(int width) { return ((width * 3) + 3) & ~3; }

// A font of the window's face for one piece of text.
HFONT windowFont(int pixelHeight, bool bold) {
  LOGFONTA lf{};
  lf.lfHeight = -pixelHeight;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  std::strncpy(lf.lfFaceName, "Arial", sizeof lf.lfFaceName - 1);
  return CreateFontIndirectA(&lf);
}

}  // namespace

std::string toWindows1252(const std::string& utf8) {
  // The 0x80..0x9F codes of Windows-1252 that the charts' texts may use.
  static constexpr std::pair<char32_t, unsigned char> kHigh[] = {
      {0x20AC, 0x80}, {0x2013, 0x96}, {0x2014, 0x97}, {0x2022, 0x95}, {0x2026, 0x85}, {0x00D7, 0xD7}};
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    char32_t cp = '?';
    std::size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
      cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
      len = 2;
    } else if ((c & 0xF0) == 0xE0 && i + 2 < utf8.size()) {
      cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
           (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
      len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
    }
    i += len;
    unsigned char b = '?';
    if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100)) b = static_cast<unsigned char>(cp);
    for (const auto& [u, code] : kHigh)
      if (u == cp) b = code;
    out += static_cast<char>(b);
  }
  return out;
}

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(strideOf(width)) * height, 0xFF) {
  dc_ = CreateViewDC(view(), POINT{0, 0}, RECT{0, 0, width, height});
  SetBkMode(dc_, TRANSPARENT);
}

Canvas::~Canvas() { DeleteDC(dc_); }

PixelView Canvas::view() {
  return PixelView{pixels_.data(), strideOf(width_), width_, height_, PixelFormat::Bgr24};
}

void Canvas::fill(int left, int top, int right, int bottom, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  const RECT r{left, top, right, bottom};
  FillRect(dc_, &r, brush);
  DeleteObject(brush);
}

void Canvas::frame(int left, int top, int right, int bottom, COLORREF color) {
  ScopedPenBrush pb(dc_, 1, color, color, /*hollow=*/true);
  Rectangle(dc_, left, top, right, bottom);
}

void Canvas::line(int x0, int y0, int x1, int y1, COLORREF color, int penWidth) {
  ScopedPenBrush pb(dc_, penWidth, color, color, /*hollow=*/true);
  MoveToEx(dc_, x0, y0, nullptr);
  LineTo(dc_, x1, y1);
}

int Canvas::textWidth(const std::string& utf8, int pixelHeight, bool bold) {
  const std::string s = toWindows1252(utf8);
  ScopedObject font(dc_, windowFont(pixelHeight, bold));
  SIZE size{};
  GetTextExtentPoint32A(dc_, s.c_str(), static_cast<int>(s.size()), &size);
  return size.cx;
}

void Canvas::text(int x, int y, const std::string& utf8, int pixelHeight, COLORREF color, Align align, bool bold) {
  const std::string s = toWindows1252(utf8);
  ScopedObject font(dc_, windowFont(pixelHeight, bold));
  SIZE size{};
  GetTextExtentPoint32A(dc_, s.c_str(), static_cast<int>(s.size()), &size);
  if (align == Align::Center) x -= size.cx / 2;
  if (align == Align::Right) x -= size.cx;
  SetTextColor(dc_, color);
  TextOutA(dc_, x, y, s.c_str(), static_cast<int>(s.size()));
}

void Canvas::picture(int left, int top, int width, int height, const PixelView& src) {
  HDC from = CreateViewDC(src, POINT{0, 0}, RECT{0, 0, src.width, src.height});
  if (from == 0) return;
  SetStretchBltMode(dc_, COLORONCOLOR);
  StretchBlt(dc_, left, top, width, height, from, 0, 0, src.width, src.height, SRCCOPY);
  DeleteDC(from);
}

bool writePicture(const std::string& path, const PixelView& view,
                  const std::vector<std::pair<std::string, std::string>>& text) {
  display::PngOptions options;
  options.text = text;
  return display::writePng(path, view, options);
}

}  // namespace charts
