#pragma once

#include <cstdint>
#include <vector>

#include "core/arrays.hpp"

namespace quorvel::partition {

/// Working storage of compute_diversity_partition, reused from call to call
/// (a randomization test calls the partition thousands of times). It also
/// keeps the divergence matrix (or the tree of clade divergences) in coded
/// form, rebuilt only when the matrix, the tree or the interval limits change.
/// One workspace per thread: it is never shared. Its contents are an
/// implementation detail of the partition.
struct PartitionWorkspace {
  // --- Coded divergences (cache key: the matrix and the limits). ---
  bool coded = false;  ///< the fields below describe the last divergences seen
  bool has_divergences = false;
  int n_species = 0;
  int n_intervals = 0;
  std::vector<double> limits;          ///< t[1..R] of the coding, 0-based
  std::vector<float> divergence_copy;  ///< s*s, the matrix the coding was made from
  /// Each species pair (0-based, row-major s*s) is coded as a slot. With few
  /// distinct divergences (a classification) a slot is one divergence value;
  /// otherwise a slot is one interval. The last slot collects the pairs
  /// without a divergence, which are left out of every sum.
  bool value_slots = false;
  int n_slots = 0;  ///< slots with a value, missing slot excluded
  std::vector<std::uint16_t> slot_of_pair;
  std::vector<float> divergence_of_pair;  ///< 0 for missing pairs
  std::vector<int> interval_of_slot;      ///< interval 1..R of each slot (value slots)
  std::vector<double> value_of_slot;      ///< divergence of each value slot
  /// Channels per slot and kind: the matrix coding keeps one more slot for
  /// the missing pairs; the clade coding has none.
  int slot_stride = 0;

  // --- Clade coding (divergences as ages of common ancestors). ---
  bool clade_mode = false;                ///< the slots above code a tree, not a matrix
  std::vector<int> clade_parent;          ///< copy of the tree (cache key)
  std::vector<float> clade_age;           ///< copy of the ages (cache key)
  std::vector<int> child_start;           ///< children of node n: child_list[child_start[n]..child_start[n+1]]
  std::vector<int> child_list;            ///< in node order
  std::vector<int> internal_order;        ///< nodes with children, every child before its parent
  std::vector<int> node_slot;             ///< slot of each node's age
  std::vector<int> node_interval;         ///< interval 1..R of each node's age
  std::vector<double> node_age;           ///< age of each node
  int zero_slot = 0;                      ///< slot of divergence 0
  std::vector<int> species_tip;           ///< 0-based species -> tip, 0 = none
  std::vector<double> clade_abundance;    ///< per node, of the current plot
  std::vector<double> clade_presence;     ///< per node: species of the plot under it
  std::vector<double> sibling_abundance;  ///< per node: under its parent but not under it
  std::vector<double> sibling_presence;   ///< the same in species
  std::vector<double> species_abundance;  ///< dense abundances of the current plot

  // --- Per call. ---
  std::vector<double> weights;    ///< w[0..n]
  std::vector<int> list_start;    ///< species list of plot k: list_start[k]..list_start[k+1]
  std::vector<int> list_species;  ///< 0-based species
  std::vector<double> list_abundance;
  std::vector<double> within;         ///< per plot, 5*(R+1) values
  std::vector<char> complete;         ///< per plot: every within value defined (but column 1 of P*, S, PI)
  std::vector<double> pair;           ///< 5*(R+1) values of the current pair
  std::vector<double> raw;            ///< per-interval raw sums of a pair, 4*(R+1)
  std::vector<double> plot_channels;  ///< s*C partial sums of the current plot
  std::vector<double> pair_channels;  ///< C sums of the current pair
  std::vector<double> sums;           ///< global accumulation
  std::vector<int> pool;              ///< species of the pooled sample
  std::vector<int> partners;          ///< plots l > k paired with the current plot k
};

}  // namespace quorvel::partition
