// The overview picture: decodes, has the size its layout gives, and is the
// same file for the same input.
#include "charts/overview.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::vector<char> bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A 64x48 Xrgb32 surface with a gradient and a diagonal, so a thumbnail of
// it is not uniform.
std::vector<std::uint32_t> surface() {
  std::vector<std::uint32_t> px(64 * 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) px[y * 64 + x] = x == y ? 0x000000u : (static_cast<std::uint32_t>(x * 4) << 16) | (y * 5);
  return px;
}

charts::Overview sample(std::vector<std::uint32_t>& px) {
  const gdi::PixelView view{reinterpret_cast<std::uint8_t*>(px.data()), 64 * 4, 64, 48, gdi::PixelFormat::Xrgb32};
  charts::Overview o;
  o.title = "Vex2D 2.0.0: direct drawing";
  o.subtitle = "2026-12-11T10:00:00+00:00   64x48 headless";
  const char* captions[] = {"Text", "Line", "Polygon", "Rectangle", "Arc/Ellipse", "Blitting", "Stretching",
                            "Splines/B\xC3\xA9zier"};
  for (int i = 0; i < 8; ++i) {
    charts::OverviewTest t;
    t.caption = captions[i];
    t.label = std::to_string(1000 * (i + 1)) + " things/sec";
    t.points = 40.0 * (i + 1) * (i + 1);
    if (i != 3) t.picture = charts::Thumbnail::of(view, charts::kThumbnailWidth, charts::kThumbnailHeight);
    o.tests.push_back(t);
  }
  o.scoreOfMedians = 1234.5;
  o.scoreShown = 1234;
  return o;
}

TEST(Overview, DecodesWithItsLayoutsSizeAndIsReproducible) {
  std::vector<std::uint32_t> px = surface();
  const charts::Overview o = sample(px);
  // The thumbnail keeps the surface's shape: 240x180 for 64x48.
  EXPECT_EQ(o.tests[0].picture->width, 240);
  EXPECT_EQ(o.tests[0].picture->height, 180);

  const std::string a = ::testing::TempDir() + "overview-a.png", b = ::testing::TempDir() + "overview-b.png";
  ASSERT_TRUE(charts::writeOverview(o, a, {{"vex2d mode", "direct"}}));
  ASSERT_TRUE(charts::writeOverview(o, b, {{"vex2d mode", "direct"}}));
  EXPECT_EQ(bytesOf(a), bytesOf(b));

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, a.c_str()));
  EXPECT_EQ(image.width, 1056u);   // four cells of 256 and two margins of 16
  EXPECT_EQ(image.height, 872u);   // two rows of pictures, eight bars and the score
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  // The first thumbnail's diagonal shows at its top-left corner (the cell
  // starts at 16, 64 + 36).
  const std::size_t at = (static_cast<std::size_t>(100) * image.width + 16) * 3;
  EXPECT_EQ(rgb[at] + rgb[at + 1] + rgb[at + 2], 0);
  EXPECT_FALSE(charts::writeOverview(o, "/nonexistent/overview.png", {}));
  std::remove(a.c_str());
  std::remove(b.c_str());
}

}  // namespace
