#include "compare/chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "charts/canvas.h"

namespace compare {

using charts::Align;
using charts::Canvas;
using gdi::COLORREF;
using gdi::RGB;

namespace {

constexpr int kWidth = 900;
constexpr int kLeft = 170;   // where the bars start (ratio 0)
constexpr int kRight = 90;   // room for the ratio texts
constexpr int kTop = 80;
constexpr int kBar = 16;
constexpr int kGap = 10;
constexpr int kFont = 13;

constexpr COLORREF kColors[] = {RGB(38, 110, 190), RGB(214, 120, 30), RGB(60, 150, 70), RGB(160, 60, 160),
                                RGB(120, 120, 40)};
constexpr COLORREF kInk = RGB(32, 32, 32);
constexpr COLORREF kGrid = RGB(215, 215, 215);

std::string ratioText(double r) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", r);
  return buf;
}

}  // namespace

bool writeChart(const Comparison& c, const std::string& path) {
  const std::size_t others = c.labels.size() > 1 ? c.labels.size() - 1 : 0;
  const int group = static_cast<int>(std::max<std::size_t>(others, 1)) * kBar + kGap;
  const int rows = static_cast<int>(c.rows.size()) + 1;  // the geometric mean last
  const int legend = static_cast<int>(others) * 18 + 16;
  const int height = kTop + rows * group + 40 + legend;
  Canvas canvas(kWidth, height);

  // The scale: 0 to a round value past the largest ratio or interval end.
  double top = 1.5;
  for (const Row& r : c.rows)
    for (const Cell& cell : r.cells) {
      if (cell.ratio) top = std::max(top, *cell.ratio);
      if (cell.interval) top = std::max(top, cell.interval->high);
    }
  top = std::min(std::ceil(top * 1.05 * 4) / 4, 20.0);
  const int plotWidth = kWidth - kLeft - kRight;
  auto xOf = [&](double ratio) { return kLeft + static_cast<int>(std::lround(std::min(ratio, top) / top * plotWidth)); };

  canvas.text(12, 10, "Vex2D: rate of each file relative to " + (c.labels.empty() ? std::string() : c.labels[0]), 16,
              kInk, Align::Left, true);
  canvas.text(12, 34, "bars: ratio of the median rates; whiskers: 95% interval (5 or more samples on both sides)", kFont,
              RGB(90, 90, 90));

  const int plotBottom = kTop + rows * group;
  // Grid lines every 0.25 or 0.5 or 1, labelled under the plot.
  const double step = top <= 2 ? 0.25 : top <= 5 ? 0.5 : 1.0;
  for (double g = 0; g <= top + 1e-9; g += step) {
    const int x = xOf(g);
    canvas.line(x, kTop - 4, x, plotBottom, kGrid);
    canvas.text(x, plotBottom + 4, ratioText(g).substr(0, g < 10 ? 4 : 5), kFont - 2, RGB(90, 90, 90), Align::Center);
  }

  // The line at 1.0, equal to the base, under the bars and their texts.
  const int one = xOf(1.0);
  canvas.line(one, kTop - 8, one, plotBottom + 1, RGB(200, 30, 30), 2);
  canvas.text(one, kTop - 22, "1.0 = " + (c.labels.empty() ? std::string() : c.labels[0]), kFont - 1, RGB(200, 30, 30),
              Align::Center);

  auto drawBar = [&](int y, double ratio, const RatioInterval* interval, COLORREF color) {
    canvas.fill(kLeft, y + 2, std::max(kLeft + 1, xOf(ratio)), y + kBar - 2, color);
    if (interval != nullptr) {
      const int lo = xOf(interval->low), hi = xOf(interval->high), mid = y + kBar / 2;
      canvas.line(lo, mid, hi + 1, mid, kInk);
      canvas.line(lo, y + 3, lo, y + kBar - 3, kInk);
      canvas.line(hi, y + 3, hi, y + kBar - 3, kInk);
    }
    canvas.text(xOf(ratio) + 6 + (interval ? std::max(0, xOf(interval->high) - xOf(ratio)) : 0), y + 1, ratioText(ratio),
                kFont - 1, kInk);
  };

  int y = kTop;
  for (const Row& r : c.rows) {
    canvas.text(kLeft - 10, y + (group - kGap) / 2 - kFont / 2 - 1, r.caption, kFont, kInk, Align::Right);
    for (std::size_t i = 1; i < r.cells.size(); ++i) {
      const Cell& cell = r.cells[i];
      const int barY = y + static_cast<int>(i - 1) * kBar;
      if (cell.ratio)
        drawBar(barY, *cell.ratio, cell.interval ? &*cell.interval : nullptr, kColors[(i - 1) % std::size(kColors)]);
      else
        canvas.text(kLeft + 6, barY + 1, "missing", kFont - 1, RGB(150, 40, 40));
    }
    y += group;
  }
  canvas.line(kLeft - 150, y - kGap / 2, kWidth - 10, y - kGap / 2, RGB(160, 160, 160));
  canvas.text(kLeft - 10, y + (group - kGap) / 2 - kFont / 2 - 1, "Geometric mean", kFont, kInk, Align::Right, true);
  for (std::size_t i = 1; i < c.geometricMeans.size(); ++i)
    if (c.geometricMeans[i])
      drawBar(y + static_cast<int>(i - 1) * kBar, *c.geometricMeans[i], nullptr, kColors[(i - 1) % std::size(kColors)]);


  int ly = plotBottom + 26;
  for (std::size_t i = 1; i < c.labels.size(); ++i) {
    canvas.fill(kLeft, ly + 2, kLeft + 24, ly + 14, kColors[(i - 1) % std::size(kColors)]);
    canvas.text(kLeft + 32, ly, c.labels[i], kFont, kInk);
    ly += 18;
  }
  return charts::writePicture(path, canvas.view(), {{"Title", "Vex2D comparison"}, {"Software", "vex2d-compare"}});
}

}  // namespace compare
