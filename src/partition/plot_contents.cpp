#include "partition/plot_contents.hpp"

#include "core/constants.hpp"

namespace quorvel::partition {

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
