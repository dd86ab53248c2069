#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/arrays.hpp"
#include "phylogeny/clade_tree.hpp"
#include "phylogeny/tree_divergences.hpp"

namespace quorvel::partition {

/// Working storage of compute_diversity_partition, reused from call to call
/// (a randomization test calls the partition thousands of times). It also
/// keeps the distances between species in coded form, rebuilt only when they
/// or the interval limits change. One workspace per thread: it is never
/// shared. Its contents are an implementation detail of the partition.
struct PartitionWorkspace {
  /// How the distances of the last call are coded: none yet, 0 within and 1
  /// between species, a table, rows computed from a tree, clades of a dated
  /// tree.
  enum class Coding { kNone, kUnit, kTable, kRows, kClades };
  Coding coding = Coding::kNone;
  int n_species = 0;
  int n_intervals = 0;
  std::vector<double> limits;  ///< t[1..R] of the coding, 0-based

  // --- Slots. A species pair's divergence falls in a slot: with few
  // distinct divergences (a classification) a slot is one divergence value,
  // otherwise one interval. Rows, tables and units keep one more slot for
  // the pairs without a divergence, which are left out of every sum. ---
  bool value_slots = false;
  int n_slots = 0;                    ///< slots with a value, missing slot excluded
  int slot_stride = 0;                ///< channels per slot and kind
  std::vector<float> values;          ///< the distinct divergences, increasing (value slots)
  std::vector<int> interval_of_slot;  ///< interval 1..R of each slot
  std::vector<double> value_of_slot;  ///< divergence of each value slot

  // --- Table coding: the table, its slot and divergence of every pair (0-based, row-major s*s). ---
  std::vector<float> divergence_copy;  ///< the table the coding was made from (cache key)
  std::vector<std::uint16_t> slot_of_pair;
  std::vector<float> divergence_of_pair;  ///< 0 for missing pairs

  // --- Rows coding (and unit coding): one row at a time. ---
  const phylogeny::Phylogeny* row_tree = nullptr;
  core::IVector row_tips;  ///< the tips the rows are computed for (cache key)
  std::unique_ptr<phylogeny::DivergenceRows> rows;
  int cached_row = -1;                   ///< 0-based species whose row the buffers hold
  std::vector<float> row_buffer;         ///< [1..s] as DivergenceRows fills it
  std::vector<std::uint16_t> row_slots;  ///< 0-based
  std::vector<float> row_divergences;    ///< 0-based, 0 for missing pairs

  // --- Clade coding (divergences as ages of common ancestors). ---
  std::vector<int> clade_parent;  ///< copy of the tree (cache key)
  std::vector<float> clade_age;   ///< copy of the ages (cache key)
  const phylogeny::CladeTree* clades = nullptr;
  std::vector<int> internal_order;        ///< internal nodes, every child before its parent
  std::vector<int> node_slot;             ///< slot of each node's age
  std::vector<int> node_interval;         ///< interval 1..R of each node's age
  std::vector<double> node_age;           ///< age of each node
  int zero_slot = 0;                      ///< slot of divergence 0
  std::vector<int> species_tip;           ///< 0-based species -> tip, 0 = none
  std::vector<double> clade_abundance;    ///< per node, of the current plot
  std::vector<double> clade_presence;     ///< per node: species of the plot under it
  std::vector<double> sibling_abundance;  ///< per node: under its parent but not under it
  std::vector<double> sibling_presence;   ///< the same in species
  std::vector<double> species_abundance;  ///< dense abundances of the plot whose channels are built
  /// Channels of every node for the current plot: node n reads
  /// channel_store[channel_of[n] * C ..]; nodes that add nothing to their
  /// parent's channels share its block (block 0 holds zeros).
  std::vector<int> channel_of;
  std::vector<double> channel_store;
  int channel_plot = -1;  ///< the plot whose channels are built

  // --- Per call. ---
  std::vector<double> weights;    ///< w[0..n]
  std::vector<int> list_start;    ///< species list of plot k: list_start[k]..list_start[k+1]
  std::vector<int> list_species;  ///< 0-based species
  std::vector<double> list_abundance;
  std::vector<double> within;         ///< per plot, 5*(R+1) values
  std::vector<char> complete;         ///< per plot: every within value defined (but column 1 of P*, S, PI)
  std::vector<double> pair;           ///< 5*(R+1) values of the current pair
  std::vector<double> raw;            ///< per-interval raw sums of a pair, 4*(R+1)
  std::vector<double> plot_channels;  ///< s*C partial sums of the current plot (tables and rows)
  std::vector<double> pair_channels;  ///< C sums of the current pair
  std::vector<double> sums;           ///< global accumulation
  std::vector<int> pool;              ///< species of the pooled sample
  std::vector<int> partners;          ///< plots l > k paired with the current plot k
};

}  // namespace quorvel::partition
