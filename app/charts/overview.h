// overview.png of a run: the last picture of each test as a thumbnail with
// its name and rate, and a bar chart of each test's points against the
// reference (100 points) with the score.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/gdi/engine.h"

namespace charts {

// A small 24-bit copy of a surface, scaled to fit a box.
struct Thumbnail {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // Bgr24, top-down, rows padded to 4 bytes

  static Thumbnail of(const gdi::PixelView& surface, int maxWidth, int maxHeight);
  gdi::PixelView view();
};

struct OverviewTest {
  std::string caption;  // the button's caption (UTF-8)
  std::string label;    // what the result label showed (UTF-8)
  std::optional<double> points;  // of the median rate
  std::optional<Thumbnail> picture;
};

struct Overview {
  std::string title;
  std::string subtitle;
  std::vector<OverviewTest> tests;  // in the order of the buttons
  std::optional<double> scoreOfMedians;
  std::optional<std::int64_t> scoreShown;
};

inline constexpr int kThumbnailWidth = 240;
inline constexpr int kThumbnailHeight = 180;

// Draws the overview and writes it as a PNG with the text chunks given;
// false when it could not be written.
bool writeOverview(const Overview& o, const std::string& path,
                   const std::vector<std::pair<std::string, std::string>>& text);

}  // namespace charts
