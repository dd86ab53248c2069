#pragma once

#include <string>
#include <vector>

#include "phylogeny/tree_node.hpp"

namespace quorvel::partition {

/// The clades of a tree in an order fit for sums over clades: every node
/// reachable from the root (tips 1..n_tips, root n_tips+1, the internal nodes
/// kept by the clean-up) appears after all the nodes below it. Removed nodes
/// and unused taxon slots are not part of it. Built once per output, it
/// turns each sum over the species of a clade into one pass over the nodes.
struct CladeOrder {
  int n_tips = 0;
  int root = 0;
  int n_nodes = 0;                ///< last node index V
  std::vector<int> post_order;    ///< children before their parent; the root last
  std::vector<int> parent;        ///< [0..V]: parent in the walk, 0 for the root and unreached nodes
  std::vector<int> first_child;   ///< [0..V]: first child, 0 for none
  std::vector<int> next_sibling;  ///< [0..V]: next child of the same parent, 0 for none

  /// True when node v is a tip or internal node of the tree.
  bool reached(int v) const { return v == root || parent[static_cast<std::size_t>(v)] != 0; }
};

/// The order of the nodes 1..n_nodes of `nodes` (root n_tips+1), walked
/// iteratively from the root so that deep trees need no deep stack. A node
/// met twice (a corrupted table) is walked once.
CladeOrder make_clade_order(const phylogeny::NodeTable& nodes, int n_tips, int n_nodes);

/// Presence on the tips, summed over clades: `counts` [0..V] gets for every
/// node the number of present tips below it (a tip: 0 or 1). `present`
/// [0..V] marks the tips (non-zero = present); internal entries are ignored.
void count_present_tips(const CladeOrder& order, const std::vector<int>& present, std::vector<int>& counts);

}  // namespace quorvel::partition
