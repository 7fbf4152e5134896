#include "tests/handlers.h"

#include <array>
#include <stdexcept>

namespace drawtests {

const TestRow& TestRowOfButton(int button) {
  static const std::array<const TestRow*, 9> rows = {nullptr,         &kTextTest,      &kLineTest,
                                                     &kPolygonTest,   &kRectangleTest, &kEllipseTest,
                                                     &kBlittingTest,  &kStretchingTest, &kSplineTest};
  if (button < 1 || button > 8) throw std::out_of_range("no drawing test on that button");
  return *rows[static_cast<std::size_t>(button)];
}

}  // namespace drawtests
