#include "partition/distance_regression.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/constants.hpp"
#include "core/paired_sums.hpp"

namespace quorvel::partition {

RegressionRow make_regression_row(int classes) { return core::vector(-20, std::max(classes, 0) + 3); }

namespace {

// Sums of one regression: x = d or ln d, y = the pairwise statistic.
using RegressionSums = core::PairedSums;

double divide(double a, double b) { return b == 0.0 ? MISSING_VALUE : a / b; }

// The eight values b, a, r2, N, Md, Vd, Mv, Vv of one regression over set 0.
void simple_regression(const RegressionSums& s, double* out) {
  for (int i = 0; i < 8; ++i) out[i] = MISSING_VALUE;
  if (s.n == 0) return;
  const double N = s.n;
  double sxx = s.xx - s.x * s.x / N;
  double syy = s.yy - s.y * s.y / N;
  if (sxx < 1e-9) sxx = 0;
  if (syy < 1e-9) syy = 0;
  const double md = s.x / N;
  const double mv = s.y / N;
  out[3] = N;
  out[4] = md;
  out[5] = divide(sxx, N - 1);
  out[6] = mv;
  out[7] = divide(syy, N - 1);
  if (sxx == 0 || syy == 0) return;
  const double sxy = s.xy - s.x * s.y / N;
  const double b = sxy / sxx;
  out[0] = b;
  out[1] = mv - b * md;
  out[2] = sxy * sxy / (syy * sxx);
}

// The same with sums of squares and products pooled within categories: the
// common slope of parallel lines, one per category.
void pooled_regression(const std::vector<RegressionSums>& sets, double linear_n, int n_categories, double* out) {
  for (int i = 0; i < 8; ++i) out[i] = MISSING_VALUE;
  const RegressionSums& all = sets[0];
  if (all.n == 0) return;
  double sxx = 0, syy = 0, sxy = 0;
  for (std::size_t g = 1; g < sets.size(); ++g) {
    const RegressionSums& s = sets[g];
    if (s.n == 0) continue;
    sxx += s.xx - s.x * s.x / s.n;
    syy += s.yy - s.y * s.y / s.n;
    sxy += s.xy - s.x * s.y / s.n;
  }
  const double md = all.x / all.n;
  const double mv = all.y / all.n;
  out[3] = all.n;
  out[4] = md;
  out[5] = divide(sxx, linear_n - n_categories);
  out[6] = mv;
  out[7] = divide(syy, linear_n - n_categories);
  if (syy < 1e-9) syy = 0;
  if (sxx < 1e-9 || syy == 0) return;
  const double b = sxy / sxx;
  out[0] = b;
  out[1] = mv - b * md;
  out[2] = sxy * sxy / (syy * sxx);
}

}  // namespace

void regress_on_distance(int n, const DistanceClassTable& table, const PairSelection& selection, int n_categories,
                         const PlotPositions& positions, const PairwiseStatMatrix& statistic, RegressionRow& row) {
  const int classes = table.classes;
  const bool by_category = selection.mode == 1 && selection.key1 == 0;
  int n_sets = 1;
  if (by_category) {
    n_sets = std::max(n_categories, 0) + 1;
    for (int k = 1; k <= n; ++k) n_sets = std::max(n_sets, (*selection.categories)[k] + 1);
  }
  std::vector<RegressionSums> linear(static_cast<std::size_t>(n_sets)), logarithmic(static_cast<std::size_t>(n_sets));
  const int top = std::max(classes, 0) + 1;
  std::vector<double> class_sum(static_cast<std::size_t>(top) + 1, 0.0);
  std::vector<int> class_count(static_cast<std::size_t>(top) + 1, 0);

  for (int k = 1; k <= n; ++k) {
    for (int l = k + 1; l <= n; ++l) {
      if (!selection.selects(k, l)) continue;
      const double v = statistic(k, l);
      if (is_missing(v)) continue;
      // Without classes only the mean over all pairs is wanted: positions
      // may then be absent.
      const double d = classes >= 1 ? positions.distance(k, l) : 0.0;
      if (is_missing(d)) continue;
      int j = 1;
      if (classes >= 1)
        while (j < classes + 1 && !(d <= table.limit[j])) ++j;
      class_count[static_cast<std::size_t>(j)] += 1;
      class_sum[static_cast<std::size_t>(j)] += v;
      const int g = by_category ? std::max((*selection.categories)[k], 0) : 0;
      linear[static_cast<std::size_t>(g)].add(d, v);
      if (d != 0) logarithmic[static_cast<std::size_t>(g)].add(std::log(d), v);
    }
  }

  std::vector<double> out(static_cast<std::size_t>(top) + 21, MISSING_VALUE);
  double* at = out.data() + 20;  // at[i] = row[i], i = -20..top
  const int last = std::max(classes, 1);
  double all_sum = 0;
  int all_count = 0;
  for (int j = 1; j <= last; ++j) {
    at[j] = divide(class_sum[static_cast<std::size_t>(j)], class_count[static_cast<std::size_t>(j)]);
    all_sum += class_sum[static_cast<std::size_t>(j)];
    all_count += class_count[static_cast<std::size_t>(j)];
  }
  if (classes >= 1) {
    at[classes + 1] = divide(all_sum, all_count);
    if (by_category) {
      for (int g = 1; g < n_sets; ++g) {
        linear[0].add(linear[static_cast<std::size_t>(g)]);
        logarithmic[0].add(logarithmic[static_cast<std::size_t>(g)]);
      }
      if (linear[0].n != 0 || logarithmic[0].n != 0) {
        pooled_regression(linear, linear[0].n, n_categories, at - 20);
        pooled_regression(logarithmic, linear[0].n, n_categories, at - 10);
      }
    } else {
      simple_regression(linear[0], at - 20);
      simple_regression(logarithmic[0], at - 10);
    }
    at[-2] = at[-20];
    at[-1] = at[-10];
  }
  at[-12] = at[-11] = MISSING_VALUE;
  at[0] = 0;
  for (int i = -20; i <= top && i <= row.hi(); ++i)
    row[i] = is_missing(at[i]) ? MISSING_VALUE_F : static_cast<float>(at[i]);
}

}  // namespace quorvel::partition
