#pragma once

#include <vector>

#include "core/arrays.hpp"
#include "partition/diversity_indices.hpp"

namespace quorvel::partition {

/// What the lineages-through-time tables are written from.
struct LineagesInput {
  int n_plots = 0;
  int n_species = 0;
  const core::DMatrix* abundances = nullptr;  ///< [0..n][0..s]; column 0 the totals N, row 0 the pooled sample
  SpeciesTree tree;                           ///< a dated tree (ages of the nodes)
  int n_times = 0;                            ///< R
  const core::DVector* times = nullptr;       ///< t[1..R], before present
};

/// The lineages of a tree cut at one time, numbered 1..n_lineages in node
/// order, and the lineage of every tip.
struct LineageCut {
  int n_lineages = 0;            ///< lineages crossing the time
  core::IVector lineage_of_tip;  ///< [1..T]: index 1..n_lineages of the lineage of each tip, 0 = none
};

/// The lineages that cross time t (in node order): the nodes whose age is at
/// most t and whose parent is older than t (the root when t is older than
/// the root), and the lineage of every tip.
LineageCut cut_tree_at(const SpeciesTree& tree, double time);

/// The lineages present at one time: their number and Simpson diversity
/// (with the N/(N-1) factor when N >= 2) in the pooled sample and every plot,
/// and the Jaccard and Morisita-Horn similarity of the lineages of every pair
/// of plots. Undefined values (no lineage present) are MISSING_VALUE.
struct LineagesAtTime {
  double time = 0.0;                  ///< before present
  std::vector<int> lineages;          ///< [0..n]; 0 the pooled sample
  std::vector<double> simpson;        ///< [0..n]
  std::vector<double> jaccard;        ///< every pair k < l, k major; empty for one plot
  std::vector<double> morisita_horn;  ///< as jaccard
};

/// The lineages-through-time tables: one cut of the tree per time.
struct LineagesThroughTime {
  int n_plots = 0;
  std::vector<LineagesAtTime> times;  ///< in the order of the times given
};

LineagesThroughTime lineages_through_time(const LineagesInput& input);

}  // namespace quorvel::partition
