#pragma once

#include <vector>

#include "core/arrays.hpp"
#include "partition/partition_workspace.hpp"
#include "partition/species_distances.hpp"

// The inner sums of the diversity partition. For one pair of plots (k, l) and
// one divergence interval m the partition needs
//   F[m]  = sum over species i of k, j of l with d(i,j) in m of a_ki a_lj,
//   M[m]  = the same sum weighted by d(i,j),
//   SP[m] = number of such species pairs with d(i,j) != 0,
//   MS[m] = the sum of those d(i,j).
// These are bilinear forms of the plots' abundance and presence vectors. For a
// plot k the kernel first forms, for every species j, the partial sums over the
// species of k (the "channels" of j: one per slot and sum); the sums of every
// pair (k, l) are then dot products of plot l's sparse vectors with them. This
// costs (species of k) x (all species) once per plot plus (species of l) x
// (channels) per pair, instead of (species of k) x (species of l) searches of
// the interval per pair.
//
// With divergences that are ages of common ancestors (clade coding,
// clade_kernel.cpp) the channels come from clade sums instead: the species of
// plot k whose common ancestor with species j is node n are those under n but
// not under the child of n on the way to j's tip. One pass up the tree gives
// the clade sums of k, one pass down the channels of every node, and a species
// of plot l reads the channels of its tip: (nodes) per plot instead of
// (species of k) x (all species), and no species x species table.
namespace quorvel::partition::kernel {

/// Index of a quantity in a pair's raw sums: raw[q * (R + 1) + m], m = 1..R.
inline constexpr int kRawF = 0;
inline constexpr int kRawM = 1;
inline constexpr int kRawSP = 2;
inline constexpr int kRawMS = 3;

/// Codes the distances for the interval limits t[1..R]; does nothing when the
/// workspace already holds the same coding.
void code_distances(PartitionWorkspace& ws, int n_species, const SpeciesDistances& distances, int n_intervals,
                    const core::DVector& limits);

/// Interval 1..R of divergence d: the smallest m with d <= t[m], at most R.
int interval_of(double d, int n_intervals, const double* limits);

/// Raw sums of plot k with itself (its species lists must be built). With
/// count data two different individuals are drawn: distinct species weigh
/// p_i p_j N/(N - 1), one species p_i (n_i - 1)/(N - 1), so that the terms
/// sum to 1; a plot of a single individual sets `undefined_draws`.
void within_plot_sums(PartitionWorkspace& ws, int k, int data_type, double plot_total, double* raw,
                      bool& undefined_draws);

/// Number of channels per species of the current coding.
int channel_count(const PartitionWorkspace& ws);

/// Forms the channels of every species for plot k (first stage).
void plot_channel_sums(PartitionWorkspace& ws, int k);

/// Raw sums of the pair (k, l) from the channels of k (second stage).
void pair_sums(PartitionWorkspace& ws, int l, double* raw);

/// Channel totals of a pair (`total`, the layout of the workspace's coding)
/// into raw interval sums: per interval the frequency, the mean divergence
/// and their analogues over pairs of distinct species.
void totals_to_raw(const PartitionWorkspace& ws, const double* total, double* raw);

/// The divergences of 0-based species i with every species j (0-based) and
/// their slots (n_slots for a pair without divergence, whose divergence reads
/// 0), under a table, rows or unit coding. Valid until the next call.
struct DivergenceRow {
  const std::uint16_t* slot;
  const float* divergence;
};
DivergenceRow divergence_row(PartitionWorkspace& ws, int i);

// --- Clade coding (clade_kernel.cpp). ---

/// Codes clade divergences: the node tables are rebuilt only when the tree or
/// the limits change; the tips of the species are read at every call.
void code_clades(PartitionWorkspace& ws, int n_species, const phylogeny::CladeTree& tree,
                 const core::IVector& tip_of_species, int n_intervals, const core::DVector& limits);

/// Channels of plot k from its clade sums (clade coding).
void clade_channel_sums(PartitionWorkspace& ws, int k);

/// Raw sums of plot k with itself under the clade coding (same contract as
/// within_plot_sums).
void clade_within_sums(PartitionWorkspace& ws, int k, int data_type, double plot_total, double* raw,
                       bool& undefined_draws);

/// Raw sums of the pair (k, l) under the clade coding, from the channels of
/// k; `with_self` counts the pairs of one species (d = 0) as well.
void clade_pair_sums(PartitionWorkspace& ws, int l, bool with_self, double* raw);

/// Sums over the unordered pairs of distinct pool species with a common
/// ancestor, by the node where they meet: per interval m = 1..R the abundance
/// products W[m], the divergence-weighted products DW[m], the pair count K[m]
/// and the divergence sum DK[m]. `pool` are 0-based species, `weight` their
/// abundances.
void clade_pool_sums(PartitionWorkspace& ws, const std::vector<int>& pool, const std::vector<double>& weight, double* W,
                     double* DW, double* K, double* DK);

}  // namespace quorvel::partition::kernel
