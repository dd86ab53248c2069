#include "partition/distance_classes.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/constants.hpp"

namespace quorvel::partition {

double PlotPositions::distance(int k, int l) const {
  if (distances && (*distances)(0, 0) != 0.0) return (*distances)(k, l);
  if (!x || !y) return MISSING_VALUE;
  const double dx = (*x)[k] - (*x)[l];
  const double dy = (*y)[k] - (*y)[l];
  return std::sqrt(dx * dx + dy * dy);
}

DistanceClassTable make_distance_class_table(int classes) {
  DistanceClassTable table;
  const int room = std::abs(classes) + 3;
  table.classes = classes;
  table.limit = core::dvector(0, room);
  table.pairs = core::ivector(0, room);
  table.mean_distance = core::dvector(0, room);
  table.mean_ln_distance = core::dvector(0, room);
  table.participation = core::matrix(0, room, 0, 1);
  return table;
}

namespace {

// Limits that give classes of (about) equal numbers of pairs, taken from the
// sorted single-precision distances; the last is widened so that the largest
// distance falls inside.
void equal_frequency_limits(int n, DistanceClassTable& table, const PlotPositions& positions,
                            const PairSelection& selection, const std::vector<char>& in_analysis) {
  const int classes = table.classes;
  std::vector<float> sorted;
  sorted.reserve(static_cast<std::size_t>(n) * static_cast<std::size_t>(std::max(n - 1, 0)) / 2);
  for (int k = 1; k <= n; ++k)
    for (int l = k + 1; l <= n; ++l) {
      if (!in_analysis[static_cast<std::size_t>(k)] || !in_analysis[static_cast<std::size_t>(l)] ||
          !selection.selects(k, l))
        continue;
      const double d = positions.distance(k, l);
      if (!is_missing(d)) sorted.push_back(static_cast<float>(d));
    }
  std::sort(sorted.begin(), sorted.end());
  const long long P = static_cast<long long>(sorted.size());
  for (int j = 1; j <= classes; ++j) {
    // The (j P / classes)-th smallest distance, at least the first.
    const long long rank = std::max(1LL, j * P / classes);
    table.limit[j] = P == 0 ? 0.0 : static_cast<double>(sorted[static_cast<std::size_t>(rank - 1)]);
  }
  if (classes >= 1) table.limit[classes] *= 1.0001;
}

}  // namespace

void assign_distance_classes(int n, DistanceClassTable& table, const PlotPositions& positions,
                             const PairSelection& selection, const std::vector<int>& empty_plots) {
  std::vector<char> in_analysis(static_cast<std::size_t>(n) + 1, 1);
  for (const int k : empty_plots)
    if (k >= 1 && k <= n) in_analysis[static_cast<std::size_t>(k)] = 0;
  const int n_plots = n - static_cast<int>(std::count(in_analysis.begin() + 1, in_analysis.end(), 0));
  if (table.classes < 0) {
    table.classes = -table.classes;
    equal_frequency_limits(n, table, positions, selection, in_analysis);
  }
  int classes = table.classes;
  const int top = classes + 2;  // a class may be added, and one past it is searched
  std::vector<double> sum(static_cast<std::size_t>(top) + 1, 0.0), ln_sum(static_cast<std::size_t>(top) + 1, 0.0);
  std::vector<int> positive(static_cast<std::size_t>(top) + 1, 0);
  for (int j = 0; j <= top && j <= table.pairs.hi(); ++j) table.pairs[j] = 0;
  core::IMatrix per_plot = core::imatrix(0, n, 0, top);

  double dmax = 0;
  bool extra_class = false;
  for (int k = 1; k <= n; ++k) {
    if (!in_analysis[static_cast<std::size_t>(k)]) continue;
    for (int l = k + 1; l <= n; ++l) {
      if (!in_analysis[static_cast<std::size_t>(l)] || !selection.selects(k, l)) continue;
      const double d = positions.distance(k, l);
      if (is_missing(d)) continue;
      bool opened = false;
      if (classes >= 1 && d > table.limit[classes] && !extra_class) {
        classes += 1;
        extra_class = true;
        opened = true;
      }
      if (d > dmax) dmax = d * 1.000001;
      // The added class reaches the largest distance seen (also when the pair
      // that opens it lies within a millionth of an earlier maximum).
      if (extra_class && (opened || table.limit[classes] < dmax)) table.limit[classes] = dmax;
      int j = 1;
      if (classes >= 1 && !(d <= table.limit[1])) {
        j = 2;
        while (j < classes + 1 && !(d <= table.limit[j])) ++j;
      }
      table.pairs[j] += 1;
      sum[static_cast<std::size_t>(j)] += d;
      if (d > 0) {
        positive[static_cast<std::size_t>(j)] += 1;
        ln_sum[static_cast<std::size_t>(j)] += std::log(d);
      }
      per_plot(k, j) += 1;
      per_plot(l, j) += 1;
    }
  }
  table.classes = classes;

  int total = 0;
  for (int j = 1; j <= classes; ++j) {
    const int count = table.pairs[j];
    total += count;
    table.mean_distance[j] = count != 0 ? sum[static_cast<std::size_t>(j)] / count : MISSING_VALUE;
    const int pos = positive[static_cast<std::size_t>(j)];
    table.mean_ln_distance[j] = pos != 0 ? ln_sum[static_cast<std::size_t>(j)] / pos : MISSING_VALUE;
  }
  table.pairs[classes + 1] = total;
  table.mean_distance[0] = MISSING_VALUE;
  table.mean_ln_distance[0] = MISSING_VALUE;

  table.participation(0, 0) = 1.0f;
  table.participation(0, 1) = 0.0f;
  for (int j = 1; j <= classes; ++j) {
    if (table.pairs[j] == 0) {
      table.participation(j, 0) = MISSING_VALUE_F;
      table.participation(j, 1) = MISSING_VALUE_F;
      continue;
    }
    int taking_part = 0;
    const double mean = 2.0 * table.pairs[j] / n_plots;
    double squares = 0;
    for (int k = 1; k <= n; ++k) {
      if (!in_analysis[static_cast<std::size_t>(k)]) continue;
      if (per_plot(k, j) != 0) ++taking_part;
      const double deviation = per_plot(k, j) - mean;
      squares += deviation * deviation;
    }
    table.participation(j, 0) = static_cast<float>(static_cast<double>(taking_part) / n_plots);
    table.participation(j, 1) =
        n_plots > 1 ? static_cast<float>(std::sqrt(squares / (n_plots - 1)) / mean) : MISSING_VALUE_F;
  }
}

}  // namespace quorvel::partition
