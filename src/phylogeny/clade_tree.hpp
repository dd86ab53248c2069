#pragma once

#include <string>
#include <vector>

#include "phylogeny/phylogeny.hpp"

namespace quorvel::phylogeny {

/// A dated tree (or a classification) as sums over clades see it: the
/// divergence between two species is the age of the node where their
/// lineages meet, so the partition and its randomizations can work from how
/// much of a plot lies under each node, with no species x species table.
///
/// Nodes 1..T are the tips of the phylogeny (same numbers), T+1 the root,
/// then the internal nodes kept. An internal node as old as its parent (a
/// branch shorter than the resolution of the ages, or two taxonomic levels
/// of one age) is merged into the parent, making a polytomy: no divergence
/// changes. Tips are never merged: two species on tips under a node of age 0
/// (zero-length tip branches, as rounding in Newick files leaves them)
/// diverge by 0.
struct CladeTree {
  int n_tips = 0;                ///< T
  std::vector<int> parent;       ///< [0..V]: 0 for the root
  std::vector<float> age;        ///< [0..V]: tips 0
  std::vector<int> child_start;  ///< [0..V+1]: children of v are children[child_start[v]..child_start[v+1]-1]
  std::vector<int> children;
  std::vector<int> postorder;  ///< every node after its children, the root last

  int n_nodes() const { return static_cast<int>(parent.size()) - 1; }
  int root() const { return n_tips + 1; }
};

/// The clade view of a dated tree or classification (`tree.has_tree()` and
/// is_dated(tree.origin)).
CladeTree clade_tree(const Phylogeny& tree);

/// "" when the clade view holds together: tips 1..T without children, root
/// T+1, parents in range, children matching parents, a postorder of every
/// node once with children first and the root last, finite non-negative
/// ages, tips at 0, no internal node as old as its parent. O(nodes).
std::string validate_clade_tree(const CladeTree& tree);

}  // namespace quorvel::phylogeny
