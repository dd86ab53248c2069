#include "traits/trait_signal.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "core/constants.hpp"
#include "core/paired_sums.hpp"

namespace quorvel::traits {

namespace {

constexpr int kTransforms = 4;  // d, ln d, d^2, sqrt d

// Moments of one pair statistic (y) against one transform of the divergence (x).
using CorrelationSums = core::PairedSums;

// A variance from its moments, 0 when it is only rounding noise around a
// constant (then no correlation or slope is defined).
double variance_of(double sum, double sum2, double n) {
  const double mean_square = sum2 / n;
  const double mean = sum / n;
  const double var = mean_square - mean * mean;
  return var > 1e-12 * mean_square ? var : 0.0;
}

// Everything one row of the table accumulates over the pairs.
struct RowSums {
  bool active = false;
  double mean = 0;      // trait values: mean over species with a value
  double variance = 0;  // trait values: population variance
  int n_values = 0;     // trait values: species with a value
  std::vector<double> interval_sum;
  std::vector<double> interval_count;
  std::array<CorrelationSums, kTransforms> correlation;
};

// The pair statistic of a row for species i < j; false when the pair has none.
bool pair_statistic(const RowSums& row, bool distances, const core::FMatrix& table, int v, int i, int j,
                    double& interval_value, double& statistic) {
  if (distances) {
    const float t = table[i][j];
    if (t == MISSING_VALUE_F) return false;
    interval_value = statistic = t;
    return true;
  }
  const float xi = table[v][i];
  const float xj = table[v][j];
  if (xi == MISSING_VALUE_F || xj == MISSING_VALUE_F) return false;
  // The product of deviations from the mean is the covariance contribution
  // of the pair; scaled by the variance it is Moran's pair term.
  interval_value = (xi - row.mean) * (xj - row.mean);
  statistic = interval_value / row.variance;
  return true;
}

void store_row(const RowSums& sums, bool distances, int K, core::RowView<float> out) {
  for (int c = kSignalFirstColumn; c <= K; ++c) out[c] = MISSING_VALUE_F;
  if (!sums.active) return;
  for (int c = 1; c <= K; ++c) {
    const double count = sums.interval_count[static_cast<std::size_t>(c)];
    if (count == 0) continue;
    const double mean = sums.interval_sum[static_cast<std::size_t>(c)] / count;
    out[c] = static_cast<float>(distances ? mean : mean / sums.variance + 1.0 / (sums.n_values - 1));
  }
  for (int t = 0; t < kTransforms; ++t) {
    const CorrelationSums& m = sums.correlation[static_cast<std::size_t>(t)];
    if (m.n == 0) continue;
    const double var_f = variance_of(m.x, m.xx, m.n);
    const double var_y = variance_of(m.y, m.yy, m.n);
    if (var_f == 0) continue;
    const double cov = m.xy / m.n - (m.y / m.n) * (m.x / m.n);
    if (var_y > 0) out[kSignalCorrelationColumn - t] = static_cast<float>(cov / (std::sqrt(var_f) * std::sqrt(var_y)));
    out[kSignalSlopeColumn - t] = static_cast<float>(cov / var_f);
  }
}

}  // namespace

void analyse_trait_signal(int n_species, int n_intervals, const core::DVector& limits, int n_variables,
                          const core::IVector& categories, const core::FMatrix& traits,
                          const core::Vector<core::FMatrix>& trait_distances, int n_distance_variables,
                          const core::FMatrix& divergences, core::FMatrix& result) {
  const int S = n_species;
  const int K = n_intervals;
  const bool distances = n_distance_variables > 0;
  const int n_rows = distances ? n_distance_variables : n_variables;
  if (result.row_lo() > -1 || result.row_hi() < n_rows || result.col_lo() > kSignalFirstColumn || result.col_hi() < K) {
    throw std::invalid_argument("analyse_trait_signal: the result table is too small");
  }

  std::vector<RowSums> rows(static_cast<std::size_t>(n_rows) + 1);
  for (int v = 1; v <= n_rows; ++v) {
    RowSums& row = rows[static_cast<std::size_t>(v)];
    row.interval_sum.assign(static_cast<std::size_t>(K) + 2, 0.0);
    row.interval_count.assign(static_cast<std::size_t>(K) + 2, 0.0);
    if (distances) {
      row.active = true;
      continue;
    }
    if (categories[v] != 0) continue;  // categories have no mean or variance
    double sum = 0, sum2 = 0;
    for (int s = 1; s <= S; ++s) {
      const float x = traits[v][s];
      if (x == MISSING_VALUE_F) continue;
      ++row.n_values;
      sum += x;
      sum2 += static_cast<double>(x) * x;
    }
    if (row.n_values < 2) continue;
    row.mean = sum / row.n_values;
    row.variance = sum2 / row.n_values - row.mean * row.mean;
    row.active = row.variance > 1e-12 * (sum2 / row.n_values);
  }

  std::vector<double> pair_count(static_cast<std::size_t>(K) + 2, 0.0);
  std::vector<double> divergence_sum(static_cast<std::size_t>(K) + 2, 0.0);
  for (int i = 1; i < S; ++i) {
    for (int j = i + 1; j <= S; ++j) {
      const float dv = divergences[i][j];
      if (dv == MISSING_VALUE_F) continue;
      const double d = dv;
      // First interval whose upper limit is not below d; K+1 beyond them all.
      int c = 1;
      while (c <= K && d > limits[c]) ++c;
      const std::size_t ci = static_cast<std::size_t>(c);
      pair_count[0] += 1;
      divergence_sum[0] += d;
      pair_count[ci] += 1;
      divergence_sum[ci] += d;
      const std::array<double, kTransforms> f = {d, d > 0 ? std::log(d) : 0.0, d * d, std::sqrt(d)};
      for (int v = 1; v <= n_rows; ++v) {
        RowSums& row = rows[static_cast<std::size_t>(v)];
        if (!row.active) continue;
        double interval_value = 0, statistic = 0;
        const core::FMatrix& table = distances ? trait_distances[v] : traits;
        if (!pair_statistic(row, distances, table, v, i, j, interval_value, statistic)) continue;
        row.interval_sum[ci] += interval_value;
        row.interval_count[ci] += 1;
        for (int t = 0; t < kTransforms; ++t) {
          if (t == 1 && d <= 0) continue;  // ln d is defined for d > 0 only
          row.correlation[static_cast<std::size_t>(t)].add(f[static_cast<std::size_t>(t)], statistic);
        }
      }
    }
  }

  for (int c = 0; c <= K; ++c) {
    const double count = pair_count[static_cast<std::size_t>(c)];
    result[0][c] = static_cast<float>(count);
    result[-1][c] =
        count > 0 ? static_cast<float>(divergence_sum[static_cast<std::size_t>(c)] / count) : MISSING_VALUE_F;
  }
  for (int v = 1; v <= n_rows; ++v) store_row(rows[static_cast<std::size_t>(v)], distances, K, result[v]);
}

}  // namespace quorvel::traits
