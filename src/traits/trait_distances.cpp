#include "traits/trait_distances.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"

namespace quorvel::traits {

int count_quantitative_traits(int n_variables, const core::IVector& categories) {
  int count = 0;
  for (int v = 1; v <= n_variables; ++v) {
    if (categories[v] == 0) ++count;
  }
  return count;
}

bool compute_trait_distances(int n_species, int n_variables, const core::IVector& categories,
                             const core::NameTable& variable_names, const core::FMatrix& traits,
                             core::FMatrix& distances) {
  const int S = n_species;
  // Variance of each variable over the species that have a value (divisor n,
  // the population variance); variables that cannot scale a difference are
  // left out.
  std::vector<int> used;
  std::vector<double> variance;
  for (int v = 1; v <= n_variables; ++v) {
    if (categories[v] != 0) continue;
    int n = 0;
    double sum = 0, sum2 = 0;
    float lowest = MISSING_VALUE_F, highest = -MISSING_VALUE_F;
    for (int s = 1; s <= S; ++s) {
      const float x = traits[v][s];
      if (x == MISSING_VALUE_F) continue;
      ++n;
      sum += x;
      sum2 += static_cast<double>(x) * x;
      lowest = std::min(lowest, x);
      highest = std::max(highest, x);
    }
    if (n < 2) continue;  // no pair of species can use it
    const double mean = sum / n;
    const double var = sum2 / n - mean * mean;
    if (lowest == highest || !(var > 0)) {
      // Without spread there is no unit to measure differences in.
      core::console_printf(
          "\n\nWARNING: trait %s has the same value for every species: it is left out of the trait distances",
          variable_names[v].c_str());
      continue;
    }
    used.push_back(v);
    variance.push_back(var);
  }

  for (int i = 1; i <= S; ++i) {
    for (int j = 1; j <= S; ++j) distances[i][j] = i == j ? 0.0f : MISSING_VALUE_F;
  }
  if (used.empty()) return false;

  for (int i = 1; i < S; ++i) {
    for (int j = i + 1; j <= S; ++j) {
      double sum = 0;
      int count = 0;
      for (std::size_t k = 0; k < used.size(); ++k) {
        const float xi = traits[used[k]][i];
        const float xj = traits[used[k]][j];
        if (xi == MISSING_VALUE_F || xj == MISSING_VALUE_F) continue;
        const double diff = static_cast<double>(xi) - xj;
        sum += std::sqrt(diff * diff / variance[k]);
        ++count;
      }
      if (count > 0) {
        distances[i][j] = distances[j][i] = static_cast<float>(sum / count);
      } else {
        core::console_printf("\n\nWARNING: trait distance between species %i and %i cannot be computed", i, j);
      }
    }
  }
  return true;
}

std::vector<int> species_without_trait_values(const core::FMatrix& traits, const core::IVector& categories,
                                              int n_variables, const core::DMatrix& abundances, int n_plots,
                                              int n_species) {
  std::vector<int> left_out;
  n_variables = std::min(n_variables, traits.row_hi());
  if (count_quantitative_traits(n_variables, categories) == 0) return left_out;
  for (int i = 1; i <= n_species; ++i) {
    bool present = false;
    for (int k = 1; k <= n_plots && !present; ++k) present = abundances(k, 0) != 0.0 && abundances(k, i) != 0.0;
    bool has_value = false;
    for (int v = 1; v <= n_variables && !has_value; ++v)
      has_value = categories[v] == 0 && traits(v, i) != MISSING_VALUE_F;
    if (present && !has_value) left_out.push_back(i);
  }
  return left_out;
}

}  // namespace quorvel::traits
