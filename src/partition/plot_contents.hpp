#pragma once

#include <vector>

#include "core/arrays.hpp"

namespace quorvel::partition {

// What the plots of community data hold, for the analyses that leave some
// plots or species out. `abundances` [0..n_plots][0..n_species]: column 0
// the plot totals, cells (k, j) relative abundances.

/// Species present in a plot with a non-zero total that have no distance to
/// any other species in `distances` [0..S][0..S] (every cell (i, j), j != i,
/// MISSING_VALUE): no tip in the tree or the classification, no row in a
/// divergence file, no trait value. Empty with fewer than two species.
std::vector<int> species_without_distances(const core::FMatrix& distances, const core::DMatrix& abundances, int n_plots,
                                           int n_species);

/// The plots that some statistics leave out: without individuals (total 0
/// or no species), of one individual (counts only), of one species.
struct PlotsLeftOut {
  std::vector<int> empty;
  std::vector<int> one_individual;
  std::vector<int> one_species;
};
PlotsLeftOut plots_left_out(const core::DMatrix& abundances, int n_plots, int n_species, int data_type);

}  // namespace quorvel::partition
