#pragma once

#include <vector>

#include "core/arrays.hpp"

namespace quorvel::partition {

// What the plots of community data hold, for the analyses that leave some
// plots or species out. `abundances` [0..n_plots][0..n_species]: column 0
// the plot totals, cells (k, j) relative abundances.

/// The plots that some statistics leave out: without individuals (total 0
/// or no species), of one individual (counts only), of one species.
struct PlotsLeftOut {
  std::vector<int> empty;
  std::vector<int> one_individual;
  std::vector<int> one_species;
};
PlotsLeftOut plots_left_out(const core::DMatrix& abundances, int n_plots, int n_species, int data_type);

}  // namespace quorvel::partition
