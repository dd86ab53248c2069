#pragma once

#include <string>
#include <vector>

#include "core/arrays.hpp"

#include "phylogeny/tree_node.hpp"
#include "randomization/random_generator.hpp"

namespace quorvel::randomization {

/// One randomized copy of the tree in which clades younger than
/// `sub_clade_age` swap their attachment points (upper_node) within the
/// clades selected by `clade_restriction`: 0 permutes the tips over the whole
/// tree; an age > -1 selects every node whose stem crosses it (the root when
/// its age is at most that age); -1 or below selects the nodes named
/// `clade_name`. Every selected node is processed, in node order 1..n_nodes.
/// `out` receives the tree (a full copy when it does not cover 0..n_nodes,
/// otherwise upper_node and age of nodes 1..n_nodes) with the new attachments,
/// read from `nodes`; `out` may be `nodes` itself. The run then recomputes the
/// divergences from `out`.
void permute_clades(float sub_clade_age, float clade_restriction, const std::string& clade_name,
                    const phylogeny::NodeTable& nodes, int n_nodes, int n_tips, phylogeny::NodeTable& out,
                    RandomGenerator& generator);

/// Divergences (ages of common ancestors) of species 1..n_species of a
/// randomized tree (permute_clades) into `divergences`: MISSING_VALUE for a
/// species without tip. `marks` is working storage.
void randomized_tree_divergences(const phylogeny::NodeTable& nodes, int n_species, const core::IVector& leaf_of_species,
                                 core::FMatrix& divergences, std::vector<int>& marks);

}  // namespace quorvel::randomization
