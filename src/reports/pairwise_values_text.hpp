#pragma once

#include <string>
#include <vector>

#include "core/arrays.hpp"
#include "partition/partition_types.hpp"

namespace quorvel::reports {

/// What the pairwise values file is written from. Tables are borrowed.
struct PairwiseValuesInput {
  int n_plots = 0;
  const core::NameTable* plot_names = nullptr;  ///< [1..n]
  partition::PairSelection selection;           ///< filters the column form (key2 not consulted)
  int form = 0;                                 ///< < 0 matrices only, 0 matrices then columns, > 0 columns only
  const core::DVector* x = nullptr;             ///< plot coordinates [1..n], or null
  const core::DVector* y = nullptr;
  const core::DMatrix* distances = nullptr;  ///< inter-plot distances; [0][0] == 0 (or null): from coordinates
  const core::IVector* groups = nullptr;     ///< group of each plot (data level 1), or null
  int data_level = 2;                        ///< 1 individuals, >= 2 plots
  std::vector<int> statistics;               ///< StatisticCode of each position
  const partition::PairwiseStatMatrix* matrices = nullptr;  ///< [StatisticCode 1..4], floats [0..n][0..n]
};

/// The text of the pairwise values: one square matrix per statistic, then the
/// selected pairs in column form with their spatial distance, then the
/// within-plot values (the diagonals). MISSING_VALUE is an empty cell.
std::string pairwise_values_text(const PairwiseValuesInput& input);

}  // namespace quorvel::reports
