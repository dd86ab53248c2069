#include "partition/distance_regression.hpp"

#include <functional>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/constants.hpp"
#include "core/paired_sums.hpp"

namespace quorvel::partition {

RegressionRow make_regression_row(int classes) { return core::vector(-20, std::max(classes, 0) + 3); }

namespace {

// Sums of one regression: x = d or ln d, y = the pairwise statistic.
using PairedSums = core::PairedSums;

double divide(double a, double b) { return b == 0.0 ? MISSING_VALUE : a / b; }

// The eight values b, a, r2, N, Md, Vd, Mv, Vv of one regression over set 0.
void simple_regression(const PairedSums& s, double* out) {
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
void pooled_regression(const std::vector<PairedSums>& sets, double linear_n, int n_categories, double* out) {
  for (int i = 0; i < 8; ++i) out[i] = MISSING_VALUE;
  const PairedSums& all = sets[0];
  if (all.n == 0) return;
  double sxx = 0, syy = 0, sxy = 0;
  for (std::size_t g = 1; g < sets.size(); ++g) {
    const PairedSums& s = sets[g];
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

RegressionPairs regression_layout(int n, const DistanceClassTable& table, const PairSelection& selection,
                                  int n_categories) {
  RegressionPairs out;
  out.classes = table.classes;
  out.n_categories = n_categories;
  out.by_category = selection.mode == 1 && selection.key1 == 0;
  if (out.by_category) {
    out.n_sets = std::max(n_categories, 0) + 1;
    for (int k = 1; k <= n; ++k) out.n_sets = std::max(out.n_sets, (*selection.categories)[k] + 1);
  }
  return out;
}

void for_each_regression_pair(int n, const DistanceClassTable& table, const PairSelection& selection,
                              const PlotPositions& positions, const RegressionPairs& layout,
                              const std::function<void(const RegressionPairs::Pair&)>& visit) {
  const int classes = table.classes;
  for (int k = 1; k <= n; ++k) {
    for (int l = k + 1; l <= n; ++l) {
      if (!selection.selects(k, l)) continue;
      // Without classes only the mean over all pairs is wanted: positions
      // may then be absent.
      const double d = classes >= 1 ? positions.distance(k, l) : 0.0;
      if (is_missing(d)) continue;
      RegressionPairs::Pair pair;
      pair.k = k;
      pair.l = l;
      if (classes >= 1)
        while (pair.distance_class < classes + 1 && !(d <= table.limit[pair.distance_class])) ++pair.distance_class;
      pair.set = layout.by_category ? std::max((*selection.categories)[k], 0) : 0;
      pair.distance = d;
      if (d != 0) pair.ln_distance = std::log(d);
      visit(pair);
    }
  }
}

RegressionPairs regression_pairs(int n, const DistanceClassTable& table, const PairSelection& selection,
                                 int n_categories, const PlotPositions& positions) {
  RegressionPairs out = regression_layout(n, table, selection, n_categories);
  for_each_regression_pair(n, table, selection, positions, out,
                           [&out](const RegressionPairs::Pair& pair) { out.pairs.push_back(pair); });
  return out;
}

RegressionSums::RegressionSums(const RegressionPairs& pairs) : pairs_(pairs) { clear(); }

void RegressionSums::clear() {
  const std::size_t top = static_cast<std::size_t>(std::max(pairs_.classes, 0)) + 1;
  linear_.assign(static_cast<std::size_t>(pairs_.n_sets), core::PairedSums());
  logarithmic_.assign(static_cast<std::size_t>(pairs_.n_sets), core::PairedSums());
  class_sum_.assign(top + 1, 0.0);
  class_count_.assign(top + 1, 0);
}

void RegressionSums::take_positions(const RegressionSums& other) {
  class_count_ = other.class_count_;
  auto take = [](std::vector<core::PairedSums>& to, const std::vector<core::PairedSums>& from) {
    for (std::size_t g = 0; g < to.size(); ++g) {
      to[g].n = from[g].n;
      to[g].x = from[g].x;
      to[g].xx = from[g].xx;
    }
  };
  take(linear_, other.linear_);
  take(logarithmic_, other.logarithmic_);
}

void RegressionSums::finish(RegressionRow& row) {
  const int classes = pairs_.classes;
  const int top = std::max(classes, 0) + 1;
  std::vector<double> out(static_cast<std::size_t>(top) + 21, MISSING_VALUE);
  double* at = out.data() + 20;  // at[i] = row[i], i = -20..top
  const int last = std::max(classes, 1);
  double all_sum = 0;
  int all_count = 0;
  for (int j = 1; j <= last; ++j) {
    at[j] = divide(class_sum_[static_cast<std::size_t>(j)], class_count_[static_cast<std::size_t>(j)]);
    all_sum += class_sum_[static_cast<std::size_t>(j)];
    all_count += class_count_[static_cast<std::size_t>(j)];
  }
  if (classes >= 1) {
    at[classes + 1] = divide(all_sum, all_count);
    if (pairs_.by_category) {
      for (int g = 1; g < pairs_.n_sets; ++g) {
        linear_[0].add(linear_[static_cast<std::size_t>(g)]);
        logarithmic_[0].add(logarithmic_[static_cast<std::size_t>(g)]);
      }
      if (linear_[0].n != 0 || logarithmic_[0].n != 0) {
        pooled_regression(linear_, linear_[0].n, pairs_.n_categories, at - 20);
        pooled_regression(logarithmic_, linear_[0].n, pairs_.n_categories, at - 10);
      }
    } else {
      simple_regression(linear_[0], at - 20);
      simple_regression(logarithmic_[0], at - 10);
    }
    at[-2] = at[-20];
    at[-1] = at[-10];
  }
  at[-12] = at[-11] = MISSING_VALUE;
  at[0] = 0;
  for (int i = -20; i <= top && i <= row.hi(); ++i)
    row[i] = is_missing(at[i]) ? MISSING_VALUE_F : static_cast<float>(at[i]);
}

void regress_pairs(const RegressionPairs& pairs, const PairwiseStatMatrix& statistic, RegressionSums& sums,
                   RegressionRow& row) {
  sums.clear();
  for (const RegressionPairs::Pair& pair : pairs.pairs) {
    const double v = statistic(pair.k, pair.l);
    if (!is_missing(v)) sums.add(pair, v);
  }
  sums.finish(row);
}

void regress_on_distance(int n, const DistanceClassTable& table, const PairSelection& selection, int n_categories,
                         const PlotPositions& positions, const PairwiseStatMatrix& statistic, RegressionRow& row) {
  const RegressionPairs layout = regression_layout(n, table, selection, n_categories);
  RegressionSums sums(layout);
  for_each_regression_pair(n, table, selection, positions, layout, [&](const RegressionPairs::Pair& pair) {
    const double v = statistic(pair.k, pair.l);
    if (!is_missing(v)) sums.add(pair, v);
  });
  sums.finish(row);
}

}  // namespace quorvel::partition
