#pragma once

#include <string>
#include <vector>

#include "core/arrays.hpp"
#include "phylogeny/tree_node.hpp"

namespace quorvel::phylogeny {

/// Where the phylogeny of a run comes from, and so what a divergence between
/// two species is.
enum class PhylogenyOrigin {
  kNone,
  kDatedTree,       ///< "ULTRAMETRIC PHYLOGENETIC TREE": the age of the common ancestor
  kPathLengthTree,  ///< "PHYLOGENETIC TREE": the length of the path between the two tips
  kClassification,  ///< taxonomy and taxonomic divergences: the age of the lowest shared taxon
  kDivergenceFile,  ///< "INTER-SPECIES DIVERGENCES": a table of divergences, no tree
};

/// True for the origins whose divergences are ages of common ancestors.
inline bool is_dated(PhylogenyOrigin origin) {
  return origin == PhylogenyOrigin::kDatedTree || origin == PhylogenyOrigin::kClassification;
}

/// True for the origins that give a tree.
inline bool is_tree(PhylogenyOrigin origin) { return is_dated(origin) || origin == PhylogenyOrigin::kPathLengthTree; }

/// One node of a phylogeny.
struct PhylogenyNode {
  int number = 0;  ///< index in the node table as read: tips 1..T, root T+1 (the number the reports print)
  std::string name;
  int parent = 0;           ///< index of the parent node in the phylogeny, 0 for the root
  float branch_length = 0;  ///< length of the branch to the parent
  float age = 0;            ///< dated trees: age of the node (0 for tips); other trees: 0
  int first_tip = 0;        ///< tips of the clade: first_tip..last_tip (a tip: its own index)
  int last_tip = 0;
};

/// The levels of a classification, over levels 0..H+1 (level 0 the species,
/// H+1 the root "ALL"): the variable of each level, its number of taxa, and
/// the members of each taxon at the level below, taxa numbered in tip order
/// (fill_taxon_tables).
struct ClassificationLevels {
  core::IVector level_variable;
  core::IVector taxa_per_level;
  core::IMatrix first_member;  ///< [0..H+1][0..S]
  core::IMatrix last_member;
};

/// The phylogeny of a run: a tree read from Newick text or built from a
/// classification, with the maps between its tips and the species of the
/// run; or a table of divergences read from a file.
///
/// The tree is compacted: nodes 1..V are the tips 1..T (in Newick order, or
/// grouped by taxon), the root T+1, then the internal nodes the clean-up of
/// the reader kept, in the order of the node table as read. Every node knows
/// its number in that table, which the reports print; the nodes of the table
/// that are not part of the tree (dissolved zero-length branches, spliced
/// single-child nodes, unused taxon slots) are kept apart in `detached`, for
/// the writers that list the table as read. validate_phylogeny() states the
/// invariants.
struct Phylogeny {
  PhylogenyOrigin origin = PhylogenyOrigin::kNone;
  int n_tips = 0;                    ///< T
  std::vector<PhylogenyNode> nodes;  ///< [0..V], entry 0 unused
  std::vector<int> child_start;      ///< [0..V+1]: the children of v are children[child_start[v]..child_start[v+1]-1]
  std::vector<int> children;         ///< in increasing index order
  std::vector<int> postorder;        ///< the nodes reached from the root, every child before its parent, root last
  std::vector<PhylogenyNode> detached;  ///< table nodes outside the tree, in table order (parent: their upper node, 0)
  int last_number = 0;                  ///< N: the last node of the table as read
  int table_hi = 0;                     ///< the upper index of the table as the reader allocated it
  core::IVector tip_of_species;         ///< [0..S]: tip of each species, 0 = none
  core::IVector species_of_tip;         ///< [0..T]: species of each tip, 0 = none
  ClassificationLevels classification;  ///< classification only
  core::FMatrix divergences;            ///< divergence file only: [0..S][0..S], MISSING_VALUE where not given
  float max_divergence = 0;             ///< the largest divergence between two species of the run (0 when none)

  /// V, the number of nodes of the tree (0 without tree).
  int n_nodes() const { return nodes.empty() ? 0 : static_cast<int>(nodes.size()) - 1; }
  int root() const { return n_tips + 1; }
  /// True when the run has a tree with at least its root.
  bool has_tree() const { return is_tree(origin) && n_nodes() > n_tips; }
  /// Tip of species s, 0 when it has none (or s is out of range).
  int tip_of(int species) const {
    return species >= tip_of_species.lo() && species <= tip_of_species.hi() ? tip_of_species[species] : 0;
  }
  int first_child_index(int v) const { return child_start[static_cast<std::size_t>(v)]; }
  int end_child_index(int v) const { return child_start[static_cast<std::size_t>(v) + 1]; }
};

/// The tree of a node table as the readers leave it (tips 1..n_tips, root
/// n_tips + 1, nodes up to `n_nodes`, removed nodes with upper_node 0),
/// compacted. `origin` is a tree origin. The species maps are left empty.
Phylogeny compact_node_table(const NodeTable& table, int n_tips, int n_nodes, PhylogenyOrigin origin);

/// The node table of the tree as read, indexed 0..table_hi: the nodes at
/// their numbers, with upper_node the number of their parent, and the
/// detached nodes with upper_node 0. Empty without tree.
NodeTable node_table(const Phylogeny& phylogeny);

/// The node of the tree whose number in the table as read is `number`, 0
/// when that node is not part of the tree.
int node_of_number(const Phylogeny& phylogeny, int number);

/// Checks the invariants of a phylogeny; returns "" when they hold, else a
/// description of the first one broken. A tree: tips 1..T with their own tip
/// range and no children, root T+1 without parent, every other node with a
/// parent in the tree, children lists that match the parents, a postorder
/// holding every node once with each child before its parent and the root
/// last, tip ranges that are the contiguous union of the children's, table
/// numbers increasing, finite non-negative lengths and ages (tips of a dated
/// tree at age 0, every age 0 in a tree of branch lengths), species maps
/// (none before the tips are matched to species) within range and
/// consistent. A divergence file: a square table and no
/// tree.
std::string validate_phylogeny(const Phylogeny& phylogeny);

/// For the validations of a tree and of its views: "" when `postorder`
/// (which must hold V nodes, V >= 1) holds nodes 1..V once each, every node
/// after its children (`child_start`, `children` as in Phylogeny) and `root`
/// last; else a description of the first fault.
std::string postorder_problem(const std::vector<int>& child_start, const std::vector<int>& children,
                              const std::vector<int>& postorder, int root);

}  // namespace quorvel::phylogeny
