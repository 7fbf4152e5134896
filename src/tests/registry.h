// The eight drawing tests in one table: what the tests, the main window, the
// complete run, the runner and the benchmarks know of each. A test's own
// constants (title, unit, K, N, kernel) stay in its row of the protocol
// table, next to its kernel; the registry points at that row.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "tests/handlers.h"
#include "tests/kernels.h"
#include "tests/protocol.h"

namespace drawtests {

struct TestEntry {
  const char* name;     // the word scripts and result files use
  const char* caption;  // the caption of its start button
  int button;           // Command1 .. Command8
  int slot;             // its index in lResult (the same number as the button)
  double referenceRate;  // the rate that earns 100 points
  // Primitives drawn per iteration of the kernel (characters per font size,
  // transfers per stretching iteration), for the benchmarks' item counts.
  double primitivesPerIteration;
  const TestRow* row;   // title, unit, K, N, kernel and the test's additions
  void (*click)(TestHost& host);  // the Click handler of its button
  const char* progress;  // the complete run's progress caption while it runs
};

inline constexpr std::size_t kTestCount = 8;

// In the order of the complete run, which is the buttons' screen order:
// Text, Line, Splines/Bezier, Polygon, Rectangle, Arc/Ellipse, Blitting,
// Stretching.
inline constexpr std::array<TestEntry, kTestCount> kTests = {{
    {"text", "Text", 1, 1, 29000, kTextCharsPerSize, &kTextTest, Command1_Click, "Test 1 of 9 - render text"},
    {"line", "Line", 2, 2, 38032, 1, &kLineTest, Command2_Click, "Test 2 of 9 - lines and moves"},
    {"spline", "Splines/B\xE9zier", 8, 8, 22000, 1, &kSplineTest, Command8_Click, "Test 3 of 9 - splines/curves"},
    {"polygon", "Polygon", 3, 3, 2500, 1, &kPolygonTest, Command3_Click, "Test 4 of 9 - polygons"},
    {"rectangle", "Rectangle", 4, 4, 6300, 1, &kRectangleTest, Command4_Click, "Test 5 of 9 - rectangles"},
    {"ellipse", "Arc/Ellipse", 5, 5, 5000, 1, &kEllipseTest, Command5_Click, "Test 6 of 9 - ellipses and arcs"},
    {"blit", "Blitting", 6, 6, 8000, 1, &kBlittingTest, Command6_Click, "Test 7 of 9 - blitting"},
    {"stretch", "Stretching", 7, 7, 335, 3, &kStretchingTest, Command7_Click, "Test 8 of 9 - stretching"},
}};

// The entry of the test on button `button` (1 to 8); throws std::out_of_range
// for any other number.
const TestEntry& TestOfButton(int button);

// The entry named `name`, or null.
const TestEntry* TestNamed(std::string_view name);

// The reference rates by slot (index 0 unused), as the score reads them.
constexpr std::array<double, kTestCount + 1> ReferenceRatesBySlot() {
  std::array<double, kTestCount + 1> r{};
  for (const TestEntry& t : kTests) r[static_cast<std::size_t>(t.slot)] = t.referenceRate;
  return r;
}

}  // namespace drawtests
