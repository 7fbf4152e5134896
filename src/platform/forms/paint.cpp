// Small painting helpers of the controls, all drawn through the facade.
#include <cstring>

#include "platform/forms/internal.h"

namespace forms::detail {

gdi::HFONT createFont(const std::string& face, float points, bool bold) {
  gdi::LOGFONTA lf{};
  // A negative height asks for the em height in pixels: points at 96 dots
  // per inch.
  lf.lfHeight = -roundToInt(points * 96.0 / 72.0);
  lf.lfWeight = bold ? gdi::FW_BOLD : gdi::FW_NORMAL;
  lf.lfCharSet = gdi::ANSI_CHARSET;
  std::strncpy(lf.lfFaceName, face.c_str(), gdi::LF_FACESIZE - 1);
  return gdi::CreateFontIndirectA(&lf);
}

gdi::SIZE measureText(const std::string& face, float points, bool bold, const std::string& text) {
  gdi::SIZE size{0, 0};
  HDC dc = gdi::CreateCompatibleDC(0);
  if (dc == 0) return size;
  {
    ScopedObject font(dc, createFont(face, points, bold));
    gdi::GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
  }
  gdi::DeleteDC(dc);
  return size;
}

int lineHeight(const std::string& face, float points, bool bold) {
  gdi::TEXTMETRICA tm{};
  HDC dc = gdi::CreateCompatibleDC(0);
  if (dc == 0) return 0;
  {
    ScopedObject font(dc, createFont(face, points, bold));
    gdi::GetTextMetricsA(dc, &tm);
  }
  gdi::DeleteDC(dc);
  return tm.tmHeight;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back().push_back(c);
    }
  }
  return lines;
}

void fillRect(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
  if (right <= left || bottom <= top) return;
  const gdi::HBRUSH brush = gdi::CreateSolidBrush(color);
  const gdi::RECT r{left, top, right, bottom};
  gdi::FillRect(dc, &r, brush);
  gdi::DeleteObject(brush);
}

void hLine(HDC dc, int x0, int x1, int y, COLORREF color) { fillRect(dc, x0, y, x1, y + 1, color); }

void vLine(HDC dc, int x, int y0, int y1, COLORREF color) { fillRect(dc, x, y0, x + 1, y1, color); }

void frameRect(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
  if (right <= left || bottom <= top) return;
  hLine(dc, left, right, top, color);
  hLine(dc, left, right, bottom - 1, color);
  vLine(dc, left, top, bottom, color);
  vLine(dc, right - 1, top, bottom, color);
}

void dottedRect(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
  if (right - left < 2 || bottom - top < 2) return;
  // Walking the outline once with one counter keeps the dots evenly spaced
  // around the corners.
  int n = 0;
  auto dot = [&](int x, int y) {
    if ((n++ & 1) == 0) gdi::SetPixel(dc, x, y, color);
  };
  for (int x = left; x < right - 1; ++x) dot(x, top);
  for (int y = top; y < bottom - 1; ++y) dot(right - 1, y);
  for (int x = right - 1; x > left; --x) dot(x, bottom - 1);
  for (int y = bottom - 1; y > top; --y) dot(left, y);
}

void raisedEdge(HDC dc, int left, int top, int right, int bottom) {
  // Outer ring: light above and to the left, the dark shadow below and to
  // the right; inner ring one step softer. The light falls from the top left.
  hLine(dc, left, right - 1, top, kHighlight);
  vLine(dc, left, top, bottom - 1, kHighlight);
  hLine(dc, left, right, bottom - 1, kDarkShadow);
  vLine(dc, right - 1, top, bottom, kDarkShadow);
  hLine(dc, left + 1, right - 2, top + 1, kLight);
  vLine(dc, left + 1, top + 1, bottom - 2, kLight);
  hLine(dc, left + 1, right - 1, bottom - 2, kShadow);
  vLine(dc, right - 2, top + 1, bottom - 1, kShadow);
}

void sunkenEdge(HDC dc, int left, int top, int right, int bottom) {
  hLine(dc, left, right - 1, top, kShadow);
  vLine(dc, left, top, bottom - 1, kShadow);
  hLine(dc, left, right, bottom - 1, kHighlight);
  vLine(dc, right - 1, top, bottom, kHighlight);
  hLine(dc, left + 1, right - 2, top + 1, kDarkShadow);
  vLine(dc, left + 1, top + 1, bottom - 2, kDarkShadow);
  hLine(dc, left + 1, right - 1, bottom - 2, kLight);
  vLine(dc, right - 2, top + 1, bottom - 1, kLight);
}

void drawText(HDC dc, int x, int y, const std::string& text, COLORREF color) {
  if (text.empty()) return;
  gdi::SetTextColor(dc, color);
  gdi::SetBkMode(dc, gdi::TRANSPARENT);
  gdi::TextOutA(dc, x, y, text.data(), static_cast<int>(text.size()));
}

}  // namespace forms::detail
