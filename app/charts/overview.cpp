#include "charts/overview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "charts/canvas.h"

namespace charts {

using gdi::COLORREF;
using gdi::RGB;

namespace {

constexpr int kColumns = 4;
constexpr int kMargin = 16;
constexpr int kCellWidth = kThumbnailWidth + 16;
constexpr int kCellHeight = kThumbnailHeight + 44;
constexpr int kWidth = 2 * kMargin + kColumns * kCellWidth;
constexpr int kHeader = 64;
constexpr int kBarHeight = 18;
constexpr int kBarGap = 8;
constexpr int kFont = 13;

constexpr COLORREF kInk = RGB(32, 32, 32);
constexpr COLORREF kMuted = RGB(100, 100, 100);
constexpr COLORREF kGrid = RGB(215, 215, 215);
constexpr COLORREF kBar = RGB(38, 110, 190);
constexpr COLORREF kReference = RGB(200, 30, 30);

int strideOf(int width) { return ((width * 3) + 3) & ~3; }

std::string pointsText(double p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, p < 10 ? "%.1f" : "%.0f", p);
  return buf;
}

}  // namespace

Thumbnail Thumbnail::of(const gdi::PixelView& surface, int maxWidth, int maxHeight) {
  Thumbnail t;
  if (surface.top == nullptr || surface.width <= 0 || surface.height <= 0) return t;
  const double scale = std::min(static_cast<double>(maxWidth) / surface.width,
                                static_cast<double>(maxHeight) / surface.height);
  t.width = std::max(1, static_cast<int>(std::lround(surface.width * scale)));
  t.height = std::max(1, static_cast<int>(std::lround(surface.height * scale)));
  Canvas canvas(t.width, t.height);
  canvas.picture(0, 0, t.width, t.height, surface);
  const gdi::PixelView v = canvas.view();
  t.pixels.assign(v.top, v.top + static_cast<std::ptrdiff_t>(v.stride) * t.height);
  return t;
}

gdi::PixelView Thumbnail::view() {
  return gdi::PixelView{pixels.data(), strideOf(width), width, height, gdi::PixelFormat::Bgr24};
}

bool writeOverview(const Overview& o, const std::string& path,
                   const std::vector<std::pair<std::string, std::string>>& text) {
  const int rows = (static_cast<int>(o.tests.size()) + kColumns - 1) / kColumns;
  const int chartTop = kHeader + rows * kCellHeight + 24;
  const int chartRows = static_cast<int>(o.tests.size());
  const int height = chartTop + 58 + chartRows * (kBarHeight + kBarGap) + 70;
  Canvas canvas(kWidth, height);

  canvas.text(kMargin, 12, o.title, 18, kInk, Align::Left, true);
  canvas.text(kMargin, 38, o.subtitle, kFont, kMuted);

  // The pictures, four to a row, each under its name and rate.
  for (std::size_t i = 0; i < o.tests.size(); ++i) {
    const OverviewTest& t = o.tests[i];
    const int x = kMargin + static_cast<int>(i % kColumns) * kCellWidth;
    const int y = kHeader + static_cast<int>(i / kColumns) * kCellHeight;
    canvas.text(x, y, t.caption, kFont, kInk, Align::Left, true);
    canvas.text(x, y + 17, t.label.empty() ? "not tested" : t.label, kFont - 1, kMuted);
    const int top = y + 36;
    if (t.picture) {
      Thumbnail copy = *t.picture;
      canvas.picture(x, top, copy.width, copy.height, copy.view());
      canvas.frame(x - 1, top - 1, x + copy.width + 1, top + copy.height + 1, RGB(160, 160, 160));
    } else {
      canvas.frame(x - 1, top - 1, x + kThumbnailWidth + 1, top + kThumbnailHeight + 1, kGrid);
      canvas.text(x + kThumbnailWidth / 2, top + kThumbnailHeight / 2 - 8, "no picture", kFont, kMuted, Align::Center);
    }
  }

  // Points on a logarithmic scale from 1 to the next power of ten past the
  // largest, so that tests hundreds of times past the reference and tests
  // near it can be read on one chart.
  canvas.text(kMargin, chartTop, "Points of the median rate (reference = 100 points, logarithmic scale)", kFont + 1, kInk,
              Align::Left, true);
  double most = 1000;
  for (const OverviewTest& t : o.tests)
    if (t.points) most = std::max(most, *t.points);
  const double decades = std::ceil(std::log10(most) + 1e-9);
  const int left = kMargin + 130, right = kWidth - kMargin - 70;
  const int plotTop = chartTop + 44, plotBottom = plotTop + chartRows * (kBarHeight + kBarGap);
  auto xOf = [&](double points) {
    const double d = std::clamp(std::log10(std::max(points, 1.0)) / decades, 0.0, 1.0);
    return left + static_cast<int>(std::lround(d * (right - left)));
  };
  for (int d = 0; d <= static_cast<int>(decades); ++d) {
    const double value = std::pow(10.0, d);
    canvas.line(xOf(value), plotTop - 2, xOf(value), plotBottom, kGrid);
    canvas.text(xOf(value), plotBottom + 4, std::to_string(static_cast<long long>(value)), kFont - 2, kMuted, Align::Center);
  }
  for (std::size_t i = 0; i < o.tests.size(); ++i) {
    const OverviewTest& t = o.tests[i];
    const int y = plotTop + static_cast<int>(i) * (kBarHeight + kBarGap);
    canvas.text(left - 10, y + 2, t.caption, kFont, kInk, Align::Right);
    if (!t.points) {
      canvas.text(left + 6, y + 2, "not measured", kFont - 1, kMuted);
      continue;
    }
    const int end = std::max(left + 1, xOf(*t.points));
    canvas.fill(left, y + 2, end, y + kBarHeight - 2, kBar);
    canvas.text(end + 6, y + 2, pointsText(*t.points), kFont - 1, kInk);
  }
  canvas.line(xOf(100), plotTop - 8, xOf(100), plotBottom + 1, kReference, 2);
  canvas.text(xOf(100), plotTop - 22, "reference", kFont - 2, kReference, Align::Center);

  std::string score;
  if (o.scoreOfMedians) score = "Score of the medians: " + pointsText(*o.scoreOfMedians);
  if (o.scoreShown) score += (score.empty() ? "" : "     ") + std::string("Score shown: ") + std::to_string(*o.scoreShown);
  if (score.empty()) score = "No score: not a complete run of all eight tests";
  canvas.text(kMargin, plotBottom + 30, score, kFont + 3, kInk, Align::Left, true);
  return writePicture(path, canvas.view(), text);
}

}  // namespace charts
