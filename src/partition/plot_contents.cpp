#include "partition/plot_contents.hpp"

#include "core/constants.hpp"

namespace quorvel::partition {

std::vector<int> species_without_distances(const core::FMatrix& distances, const core::DMatrix& abundances, int n_plots,
                                           int n_species) {
  std::vector<int> left_out;
  if (n_species < 2) return left_out;
  for (int i = 1; i <= n_species; ++i) {
    bool present = false;
    for (int k = 1; k <= n_plots && !present; ++k) present = abundances(k, 0) != 0.0 && abundances(k, i) != 0.0;
    if (!present) continue;
    bool related = false;
    for (int j = 1; j <= n_species && !related; ++j) related = j != i && !is_missing(distances(i, j));
    if (!related) left_out.push_back(i);
  }
  return left_out;
}

PlotsLeftOut plots_left_out(const core::DMatrix& abundances, int n_plots, int n_species, int data_type) {
  PlotsLeftOut plots;
  for (int k = 1; k <= n_plots; ++k) {
    int richness = 0;
    for (int j = 1; j <= n_species; ++j) richness += abundances(k, j) != 0.0 ? 1 : 0;
    if (abundances(k, 0) == 0.0 || richness == 0) {
      plots.empty.push_back(k);
      continue;
    }
    if (data_type == kCountData && abundances(k, 0) == 1.0) plots.one_individual.push_back(k);
    if (richness == 1) plots.one_species.push_back(k);
  }
  return plots;
}

}  // namespace quorvel::partition
