#include "partition_fixtures.hpp"

#include <algorithm>

#include "partition/partition_types.hpp"

namespace quorvel::partition::testing {

core::DMatrix abundance_table(const std::vector<std::vector<double>>& plots, bool presence) {
  const int n = static_cast<int>(plots.size());
  const int s = n == 0 ? 0 : static_cast<int>(plots[0].size());
  core::DMatrix A = core::dmatrix(0, n, 0, s);
  for (int k = 1; k <= n; ++k) {
    double total = 0;
    for (int j = 1; j <= s; ++j) {
      const double v = plots[static_cast<std::size_t>(k - 1)][static_cast<std::size_t>(j - 1)];
      total += presence ? (v != 0 ? 1 : 0) : v;
    }
    A[k][0] = total;
    for (int j = 1; j <= s; ++j) {
      const double v = plots[static_cast<std::size_t>(k - 1)][static_cast<std::size_t>(j - 1)];
      A[k][j] = total == 0 ? 0 : (presence ? (v != 0 ? 1 : 0) : v) / total;
      A[0][j] += A[k][j] * total;
    }
    A[0][0] += total;
  }
  for (int j = 1; j <= s; ++j) A[0][j] = A[0][0] == 0 ? 0 : A[0][j] / A[0][0];
  return A;
}

core::DVector limits(const std::vector<double>& values) {
  core::DVector t = core::dvector(1, static_cast<int>(values.size()));
  for (std::size_t m = 0; m < values.size(); ++m) t[static_cast<int>(m) + 1] = values[m];
  return t;
}

core::FMatrix divergence_matrix(int s, const std::vector<std::vector<float>>& upper) {
  core::FMatrix D = core::matrix(0, s, 0, s);
  for (int i = 1; i <= s; ++i)
    for (int j = i + 1; j <= s; ++j) {
      const float d = upper[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(j - i - 1)];
      D[i][j] = D[j][i] = d;
    }
  D[0][0] = 1;
  return D;
}

core::DMatrix random_abundance_table(std::mt19937& rng, int n, int s, int data_type) {
  auto uniform = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto unit = [&rng]() { return std::uniform_real_distribution<double>(0, 1)(rng); };
  std::vector<std::vector<double>> plots(static_cast<std::size_t>(n), std::vector<double>(static_cast<std::size_t>(s)));
  for (auto& plot : plots) {
    const double density = unit();
    for (double& v : plot) {
      if (unit() > density) continue;
      v = data_type == kRelativeAbundanceData ? unit() : uniform(1, 6);
    }
    if (uniform(0, 9) == 0) std::fill(plot.begin(), plot.end(), 0.0);  // empty plot
    if (data_type == kCountData && uniform(0, 9) == 0) {               // a single individual
      std::fill(plot.begin(), plot.end(), 0.0);
      plot[static_cast<std::size_t>(uniform(0, s - 1))] = 1;
    }
  }
  return abundance_table(plots, data_type == kPresenceAbsenceData);
}

}  // namespace quorvel::partition::testing
