#pragma once

#include <vector>

#include "core/arrays.hpp"

// Divergences that are the ages of most recent common ancestors, as on an
// ultrametric tree or a taxonomic classification. The partition can then work
// from clade sums (how much of a plot lies under each node) instead of a
// species x species matrix: a randomization that moves species between tips
// only changes which tip each species sits on.
namespace quorvel::partition {

/// The shape of a tree: parent[n] (0 for a root or a detached node) and the
/// age of every node 1..n_nodes (tips 1..n_tips have age 0). Both vectors are
/// indexed 0..n_nodes; entry 0 is unused.
struct CladeTree {
  int n_tips = 0;
  std::vector<int> parent;
  std::vector<float> age;
};

/// Divergences of the species of a run read from a tree: d(i, i) = 0; for two
/// species on tips a and b, the age of their most recent common ancestor (the
/// age of the tip when a = b); MISSING_VALUE when a species has no tip (tip
/// 0) or the two tips have no common ancestor.
struct CladeDivergences {
  const CladeTree* tree = nullptr;
  const core::IVector* tip_of_species = nullptr;  ///< [0..n_species], 0 = no tip
};

/// True when the tree can stand for a divergence matrix computed by climbing
/// from the younger node: parents exist, ages are finite, not negative and
/// grow strictly toward the root (so the climb meets at the true common
/// ancestor and there is no cycle), and tips have age 0.
bool is_clade_tree(const CladeTree& tree);

/// The divergence matrix that `clades` stands for, over species 1..n_species
/// (cell (0, 0) is left alone). For checks and tests: the partition never
/// builds it.
void clade_divergence_matrix(const CladeDivergences& clades, int n_species, core::FMatrix& out);

}  // namespace quorvel::partition
