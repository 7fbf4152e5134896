// The U test, the ratio interval and the geometric mean against values
// worked out independently (scipy.stats.mannwhitneyu for the p-values).
#include "compare/significance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using compare::geometricMean;
using compare::mannWhitney;
using compare::ratioInterval;

struct UCase {
  const char* what;
  std::vector<double> a, b;
  double u, p;
  bool exact;
};

TEST(MannWhitney, MatchesWorkedValues) {
  const UCase cases[] = {
      {"separated, exact", {1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}, 0, 0.007936507936507936, true},
      {"interleaved, exact", {1.1, 2.2, 3.1, 4.5, 5.0, 6.1}, {2.0, 3.5, 4.0, 6.5, 7.2, 8.1, 9.0}, 11,
       0.18065268065268064, true},
      {"ties: normal approximation", {1, 2, 2, 3, 4, 5}, {2, 3, 3, 5, 6, 6, 7}, 9.5, 0.11105494577590766, false},
      {"slower by a tenth, exact", {90, 91, 89.5, 92, 88, 90.5, 91.5}, {100, 100.5, 99, 101, 98, 102}, 0,
       0.0011655011655011655, true},
  };
  for (const UCase& c : cases) {
    const compare::UTest t = mannWhitney(c.a, c.b);
    EXPECT_DOUBLE_EQ(t.u, c.u) << c.what;
    EXPECT_NEAR(t.p, c.p, 1e-12) << c.what;
    EXPECT_EQ(t.exact, c.exact) << c.what;
    // Swapping the samples gives the complementary U and the same p.
    const compare::UTest s = mannWhitney(c.b, c.a);
    EXPECT_DOUBLE_EQ(s.u, static_cast<double>(c.a.size() * c.b.size()) - c.u) << c.what;
    EXPECT_NEAR(s.p, c.p, 1e-12) << c.what;
  }
}

TEST(MannWhitney, LargeSamplesUseTheNormalApproximation) {
  std::vector<double> a, b;
  for (int i = 0; i < 30; ++i) a.push_back(i);
  for (int i = 0; i < 25; ++i) b.push_back(i + 5.5);
  const compare::UTest t = mannWhitney(a, b);
  EXPECT_FALSE(t.exact);
  EXPECT_DOUBLE_EQ(t.u, 300);
  EXPECT_NEAR(t.p, 0.20792927248164417, 1e-9);
}

TEST(MannWhitney, DegenerateSamples) {
  const std::vector<double> none, same{5, 5, 5, 5, 5};
  EXPECT_EQ(mannWhitney(none, same).p, 1);
  EXPECT_EQ(mannWhitney(same, none).p, 1);
  // Every value equal on both sides: no difference, not a division by zero.
  const compare::UTest t = mannWhitney(same, same);
  EXPECT_EQ(t.p, 1);
  EXPECT_DOUBLE_EQ(t.u, 12.5);
}

TEST(RatioInterval, HodgesLehmannWithTheExactRank) {
  const std::vector<double> base{100, 101, 102, 103, 104}, other{110, 111, 112, 113, 114};
  const auto r = ratioInterval(base, other);
  ASSERT_TRUE(r);
  // 25 pairwise log differences: the estimate is the 13th, and for five
  // against five the 95% interval runs from the 3rd to the 23rd.
  EXPECT_NEAR(r->ratio, 1.0980392156862746, 1e-12);
  EXPECT_NEAR(r->low, 1.0679611650485439, 1e-12);
  EXPECT_NEAR(r->high, 1.1287128712871286, 1e-12);
}

TEST(RatioInterval, CoversAKnownShiftAndRefusesBadInput) {
  std::vector<double> base, other;
  for (int i = 0; i < 40; ++i) {
    base.push_back(1000 + (i * 37) % 50);
    other.push_back(2 * (1000 + (i * 53) % 50));
  }
  const auto r = ratioInterval(base, other);
  ASSERT_TRUE(r);
  EXPECT_LT(r->low, 2.0);
  EXPECT_GT(r->high, 2.0);
  EXPECT_LE(r->low, r->ratio);
  EXPECT_GE(r->high, r->ratio);

  const std::vector<double> empty, withZero{1, 0, 2};
  EXPECT_FALSE(ratioInterval(empty, base));
  EXPECT_FALSE(ratioInterval(withZero, base));
  EXPECT_FALSE(ratioInterval(base, other, 1.0));
}

TEST(GeometricMean, WorkedValues) {
  EXPECT_DOUBLE_EQ(*geometricMean(std::vector<double>{2, 8}), 4);
  EXPECT_NEAR(*geometricMean(std::vector<double>{1.1, 0.9, 1.2}), std::cbrt(1.1 * 0.9 * 1.2), 1e-15);
  EXPECT_FALSE(geometricMean(std::vector<double>{}));
  EXPECT_FALSE(geometricMean(std::vector<double>{1, -2}));
  EXPECT_FALSE(geometricMean(std::vector<double>{1, 0}));
}

}  // namespace
