#include "compare/significance.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace compare {

namespace {

constexpr std::size_t kExactLimit = 20;

// Counts of arrangements of the null distribution: counts[u] is the number
// of ways of interleaving m values of one sample with n of the other that
// give U = u (no ties). Built by the recurrence
// f(m, n, u) = f(m - 1, n, u - n) + f(m, n - 1, u), in doubles (at most
// C(40, 20) ways, well inside a double's exact range).
std::vector<double> uDistribution(std::size_t m, std::size_t n) {
  // table[j][u] for the current i.
  std::vector<std::vector<double>> prev(n + 1), cur(n + 1);
  for (std::size_t j = 0; j <= n; ++j) prev[j].assign(1, 1.0);  // i = 0: one way, U = 0
  for (std::size_t i = 1; i <= m; ++i) {
    cur[0].assign(1, 1.0);  // j = 0: one way, U = 0
    for (std::size_t j = 1; j <= n; ++j) {
      cur[j].assign(i * j + 1, 0.0);
      // The largest value belongs to the first sample: it beats all j others.
      for (std::size_t u = 0; u < prev[j].size(); ++u) cur[j][u + j] += prev[j][u];
      // It belongs to the second sample: it beats no value of the first.
      for (std::size_t u = 0; u < cur[j - 1].size(); ++u) cur[j][u] += cur[j - 1][u];
    }
    std::swap(prev, cur);
  }
  return prev[n];
}

// The smallest k with P(U <= k) > alpha/2 under the null (exact), so that
// the k-th smallest and k-th largest pairwise differences bound the
// interval. At least 1.
std::size_t exactRank(std::size_t m, std::size_t n, double alpha) {
  const std::vector<double> counts = uDistribution(m, n);
  double total = 0;
  for (double c : counts) total += c;
  double below = 0;
  for (std::size_t k = 0; k < counts.size(); ++k) {
    below += counts[k];
    if (below / total > alpha / 2) return std::max<std::size_t>(k, 1);
  }
  return 1;
}

double normalQuantile(double p) {
  // Acklam's rational approximation, refined by one Newton step on erfc;
  // accurate to about 1e-15 over (0, 1).
  static const double a[] = {-3.969683028665376e+01, 2.209460984245205e+02, -2.759285104469687e+02,
                             1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
  static const double b[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                             6.680131188771972e+01,  -1.328068155288572e+01};
  static const double c[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                             -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
  static const double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                             3.754408661907416e+00};
  double x;
  if (p < 0.02425) {
    const double q = std::sqrt(-2 * std::log(p));
    x = (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
        ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
  } else if (p > 1 - 0.02425) {
    const double q = std::sqrt(-2 * std::log(1 - p));
    x = -(((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
        ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
  } else {
    const double q = p - 0.5, r = q * q;
    x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
        (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
  }
  const double e = 0.5 * std::erfc(-x / std::sqrt(2.0)) - p;
  const double u = e * std::sqrt(2 * M_PI) * std::exp(x * x / 2);
  return x - u / (1 + x * u / 2);
}

}  // namespace

UTest mannWhitney(std::span<const double> a, std::span<const double> b) {
  UTest t;
  const std::size_t m = a.size(), n = b.size();
  if (m == 0 || n == 0) return t;

  // Midranks of the pooled sample; U of `a` from its rank sum.
  std::vector<std::pair<double, int>> pooled;
  pooled.reserve(m + n);
  for (double v : a) pooled.emplace_back(v, 0);
  for (double v : b) pooled.emplace_back(v, 1);
  std::sort(pooled.begin(), pooled.end(),
            [](const auto& x, const auto& y) { return x.first < y.first; });
  double rankSumA = 0, tieTerm = 0;
  bool ties = false;
  for (std::size_t i = 0; i < pooled.size();) {
    std::size_t j = i;
    while (j < pooled.size() && pooled[j].first == pooled[i].first) ++j;
    const double midrank = (static_cast<double>(i + 1) + static_cast<double>(j)) / 2;
    const double size = static_cast<double>(j - i);
    if (j - i > 1) ties = true;
    tieTerm += size * size * size - size;
    for (std::size_t k = i; k < j; ++k)
      if (pooled[k].second == 0) rankSumA += midrank;
    i = j;
  }
  const double dm = static_cast<double>(m), dn = static_cast<double>(n);
  t.u = rankSumA - dm * (dm + 1) / 2;
  const double mean = dm * dn / 2;

  if (!ties && m <= kExactLimit && n <= kExactLimit) {
    // P(U >= max(u, mn - u)) doubled; the distribution is symmetric.
    const std::vector<double> counts = uDistribution(m, n);
    double total = 0;
    for (double c : counts) total += c;
    const auto upper = static_cast<std::size_t>(std::max(t.u, dm * dn - t.u));
    double tail = 0;
    for (std::size_t k = upper; k < counts.size(); ++k) tail += counts[k];
    t.p = std::min(1.0, 2 * tail / total);
    t.exact = true;
    return t;
  }

  const double total = dm + dn;
  const double variance = dm * dn / 12 * ((total + 1) - tieTerm / (total * (total - 1)));
  if (variance <= 0) return t;  // every value equal: no evidence of a difference
  const double z = (std::abs(t.u - mean) - 0.5) / std::sqrt(variance);
  t.p = std::min(1.0, std::erfc(std::max(z, 0.0) / std::sqrt(2.0)));
  return t;
}

std::optional<RatioInterval> ratioInterval(std::span<const double> base, std::span<const double> other,
                                           double confidence) {
  const std::size_t m = base.size(), n = other.size();
  if (m == 0 || n == 0 || !(confidence > 0 && confidence < 1)) return std::nullopt;
  auto positive = [](double v) { return v > 0 && std::isfinite(v); };
  if (!std::all_of(base.begin(), base.end(), positive) || !std::all_of(other.begin(), other.end(), positive))
    return std::nullopt;

  std::vector<double> diffs;
  diffs.reserve(m * n);
  for (double y : other)
    for (double x : base) diffs.push_back(std::log(y) - std::log(x));
  std::sort(diffs.begin(), diffs.end());
  const std::size_t count = diffs.size();

  RatioInterval r;
  const double median =
      count % 2 == 1 ? diffs[count / 2] : (diffs[count / 2 - 1] + diffs[count / 2]) / 2;
  r.ratio = std::exp(median);

  const double alpha = 1 - confidence;
  std::size_t k;
  if (m <= kExactLimit && n <= kExactLimit) {
    k = exactRank(m, n, alpha);
  } else {
    const double dm = static_cast<double>(m), dn = static_cast<double>(n);
    const double z = normalQuantile(1 - alpha / 2);
    const double kk = dm * dn / 2 - z * std::sqrt(dm * dn * (dm + dn + 1) / 12);
    k = static_cast<std::size_t>(std::max(1.0, std::floor(kk)));
  }
  k = std::min(k, (count + 1) / 2);
  r.low = std::exp(diffs[k - 1]);
  r.high = std::exp(diffs[count - k]);
  return r;
}

std::optional<double> geometricMean(std::span<const double> values) {
  if (values.empty()) return std::nullopt;
  double sum = 0;
  for (double v : values) {
    if (!(v > 0) || !std::isfinite(v)) return std::nullopt;
    sum += std::log(v);
  }
  return std::exp(sum / static_cast<double>(values.size()));
}

}  // namespace compare
