#pragma once

#include "core/arrays.hpp"
#include "partition/partition_types.hpp"

namespace quorvel::partition::reference {

/// The diversity partition written as its plain loops: every pair of plots,
/// every pair of their species, the interval searched for each, and the
/// per-pair values kept in five (n+1) x (n+1) x (R+1) arrays allocated per
/// call. Slow and obviously faithful: the yardstick of the fast version in the
/// tests and the benchmark. Same arguments as compute_diversity_partition.
void compute_diversity_partition(int n_plots, int n_species, core::DMatrix& abundances, int data_type,
                                 const PairSelection& selection, const core::FMatrix* divergences, int n_intervals,
                                 const core::DVector& limits, PlotWeighting weighting, PartitionTables& tables);

}  // namespace quorvel::partition::reference
