// Statistics for comparing two sets of rate samples: the Mann-Whitney U
// test, a distribution-free interval for the ratio of two rates, and the
// geometric mean of ratios.
#pragma once

#include <optional>
#include <span>

namespace compare {

struct UTest {
  double u = 0;   // U of the first sample: pairs (a, b) with a > b, ties count one half
  double p = 1;   // two-sided p-value
  bool exact = false;  // from the exact null distribution, not the normal approximation
};

// Two-sided Mann-Whitney U test of `a` against `b`. Exact when there are no
// ties and both samples have at most 20 values; otherwise the normal
// approximation with the tie correction and a continuity correction of one
// half. Either sample empty: U 0, p 1.
UTest mannWhitney(std::span<const double> a, std::span<const double> b);

struct RatioInterval {
  double ratio = 1;  // Hodges-Lehmann estimate of other / base
  double low = 1;
  double high = 1;
};

// The ratio other/base of two positive samples with its confidence interval
// (`confidence` in (0, 1)), from the Hodges-Lehmann shift of the logarithms
// and the order statistics of the pairwise differences that the U
// distribution gives. Empty when a sample is empty or holds a value <= 0.
std::optional<RatioInterval> ratioInterval(std::span<const double> base, std::span<const double> other,
                                           double confidence = 0.95);

// The geometric mean of positive values; empty for none or a value <= 0.
std::optional<double> geometricMean(std::span<const double> values);

}  // namespace compare
