#pragma once

#include <functional>
#include <memory>

#include "core/arrays.hpp"
#include "driver/plot_section_data.hpp"
#include "driver/run_state.hpp"
#include "partition/clade_divergences.hpp"

namespace quorvel::driver {

/// How one randomized divergence (or trait distance) matrix is made: `draw`
/// draws the permutation from the run's stream (called in randomization
/// order on the calling thread); `apply` builds the matrix from it on a
/// worker, with `scratch` its own, and returns the number of permuted tips
/// that held no species (0 normally).
///
/// When the divergences are ages of common ancestors on a tree, `clade_tree`
/// holds the tree and `place` is used instead of `apply`: it puts every
/// species on the tip it takes (tip_of_species [0..n_species], 0 = none) and
/// returns the number of unmapped tips; the partition then works from the
/// tree, and no matrix is built.
struct MatrixRandomizer {
  std::function<void(core::IVector& permutation)> draw;
  std::function<int(const core::IVector& permutation, core::FMatrix& out, core::IVector& scratch)> apply;
  std::shared_ptr<const partition::CladeTree> clade_tree;
  std::function<int(const core::IVector& permutation, core::IVector& tip_of_species)> place;
};

/// What one randomized partition gives.
struct PartitionOutcome {
  int unmapped_tips = 0;
  double within[5] = {};             ///< [StatisticCode] table [0][0]
  double among[5] = {};              ///< [StatisticCode] table [1][0]
  float st[5] = {};                  ///< [StatisticCode] pairwise [0][0]
  partition::RegressionRow rows[5];  ///< P, P*, PI (codes 2..4) when regressions are asked for
  /// At the chosen divergence interval: P* within, among, species pool, then
  /// PI within, among, species pool.
  double interval[6] = {};
};

/// Runs randomizations 1..n of a partition test: each draws its matrix,
/// recomputes the partition of the section with it (in parallel batches),
/// and, when `regress`, the regression rows of P, P* and PI on the observed
/// positions; `interval_column` > 0 picks the interval whose values are
/// returned. `keep(outcome, i)` then runs in order, before the progress display.
void run_partition_randomizations(RunState& state, const PlotSection& section, int n,
                                  const MatrixRandomizer& randomizer, bool regress, int interval_column,
                                  const std::function<void(const PartitionOutcome&, int)>& keep);

/// Runs randomizations 1..n of the spatial test: plot positions (or the
/// inter-plot distances) are permuted and the observed pairwise matrices of
/// I, P, P*, PI regressed on them; keep(rows [StatisticCode], i) in order.
void run_spatial_randomizations(RunState& state, const PlotSection& section, int n,
                                const std::function<void(const partition::RegressionRow* rows, int)>& keep);

}  // namespace quorvel::driver
