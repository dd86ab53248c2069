#include "traits/brownian_traits.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"

namespace quorvel::traits {

namespace {

// Sample variance (divisor n - 1) of the values of `row` at `species`.
double sample_variance(const std::vector<double>& values) {
  const double n = static_cast<double>(values.size());
  double mean = 0;
  for (double x : values) mean += x;
  mean /= n;
  double sum2 = 0;
  for (double x : values) sum2 += (x - mean) * (x - mean);
  return sum2 / (n - 1);
}

// Adds measurement error to the simulated values of variable v and rescales
// them so that their variance matches the observed one (Brownian values have
// an arbitrary scale; the observed variance includes the error variance).
void match_observed_variance(int v, int S, const std::vector<double>& errors, const core::FMatrix& observed,
                             core::FMatrix& simulated) {
  std::vector<int> with_value;
  std::vector<double> x, y;
  double squared_error = 0;
  for (int s = 1; s <= S; ++s) {
    // A species without a simulated value (no tip in the tree) has nothing
    // to match: it stays out of the matching and of the statistics, and
    // the target is the observed variance of the species simulated.
    if (observed[v][s] == MISSING_VALUE_F || simulated[v][s] == MISSING_VALUE_F) continue;
    with_value.push_back(s);
    x.push_back(observed[v][s]);
    y.push_back(simulated[v][s]);
    squared_error += errors[static_cast<std::size_t>(s)] * errors[static_cast<std::size_t>(s)];
  }
  const std::size_t n = with_value.size();
  if (n < 2) return;  // no variance to match
  const double dn = static_cast<double>(n);
  const double error_variance = squared_error / dn;
  const double observed_variance = sample_variance(x);
  if (observed_variance <= error_variance) {
    // The errors alone explain all the observed variation: no trait signal
    // can be simulated for this variable.
    for (int s = 1; s <= S; ++s) simulated[v][s] = MISSING_VALUE_F;
    return;
  }
  const double simulated_variance = sample_variance(y);
  double f = simulated_variance > 0 ? std::sqrt((observed_variance - error_variance) / simulated_variance) : 0.0;
  const double low = 0.99 * observed_variance;
  const double high = 1.01 * observed_variance;
  std::vector<double> result(n);
  double variance = observed_variance;  // the first pass keeps the initial f
  int pass = 0;
  for (;;) {
    if (variance < low) f *= 1.01;
    if (variance > high) f *= 0.99;
    double sum = 0, sum2 = 0;
    for (std::size_t k = 0; k < n; ++k) {
      result[k] = f * y[k] + errors[static_cast<std::size_t>(with_value[k])];
      sum += result[k];
      sum2 += result[k] * result[k];
    }
    variance = (sum2 / dn - (sum / dn) * (sum / dn)) * dn / (dn - 1);
    if (variance >= low && variance <= high) break;
    if (++pass >= kMaxVarianceMatchingPasses) {
      core::console_printf(
          "\n\nWARNING: Brownian evolution test, variable %i: the variance of the simulated values could not be "
          "matched to the observed variance",
          v);
      break;
    }
  }
  for (std::size_t k = 0; k < n; ++k) simulated[v][with_value[k]] = static_cast<float>(result[k]);
}

}  // namespace

void simulate_brownian_traits(const std::function<double()>& normal, const phylogeny::NodeTable& nodes, int n_nodes,
                              int n_tips, const core::IVector& species_of_leaf, int n_variables, int n_species,
                              const core::FMatrix& observed, const core::FMatrix& se, core::FMatrix& simulated,
                              const std::string& se_file) {
  const int T = n_tips;
  const int S = n_species;
  const int V = n_variables;
  // Brownian motion: each node departs from its parent by a normal step of
  // variance equal to the branch length. Parents are numbered before their
  // children among internal nodes, and tips come last.
  std::vector<double> value(static_cast<std::size_t>(std::max(n_nodes, T + 1)) + 1, 0.0);
  auto step = [&](int k) {
    const phylogeny::TreeNode& node = nodes[k];
    const double length = std::max(0.0f, node.branch_length);  // a negative length has no variance
    value[static_cast<std::size_t>(k)] =
        value[static_cast<std::size_t>(node.upper_node)] + std::sqrt(length) * normal();
  };
  value[static_cast<std::size_t>(T + 1)] = 0;
  for (int k = T + 2; k <= n_nodes; ++k) step(k);
  for (int l = 1; l <= T; ++l) step(l);

  for (int s = 0; s <= S; ++s) simulated[0][s] = static_cast<float>(s);
  for (int v = 1; v <= V; ++v) {
    for (int s = 1; s <= S; ++s) simulated[v][s] = MISSING_VALUE_F;
  }
  for (int l = 1; l <= T; ++l) {
    const int s = species_of_leaf[l];
    if (s == 0) continue;
    for (int v = 1; v <= V; ++v) {
      if (observed[v][s] != MISSING_VALUE_F) simulated[v][s] = static_cast<float>(value[static_cast<std::size_t>(l)]);
    }
  }
  if (se_file.empty()) return;

  std::vector<double> errors(static_cast<std::size_t>(S) + 1, 0.0);
  for (int v = 1; v <= V; ++v) {
    for (int s = 1; s <= S; ++s) {
      const double deviate = normal();
      errors[static_cast<std::size_t>(s)] = se[v][s] == MISSING_VALUE_F ? 0.0 : deviate * se[v][s];
    }
    match_observed_variance(v, S, errors, observed, simulated);
  }
}

}  // namespace quorvel::traits
