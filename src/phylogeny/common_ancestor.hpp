#pragma once

#include "core/arrays.hpp"
#include "phylogeny/tree_node.hpp"

namespace quorvel::phylogeny {

/// Most recent common ancestor of two tips: the deepest node whose tip range
/// (first_tip..last_tip) holds both. Tip ranges are exact whatever the ages,
/// so a child with the same age as its parent (an internal branch shorter
/// than the single-precision resolution of the ages) is never passed over.
/// Returns the tip itself when tip_a == tip_b, 0 when the tips share no
/// ancestor (a corrupted table). Cost: the depth of tip_a.
int most_recent_common_ancestor(const NodeTable& nodes, int tip_a, int tip_b);

/// The common ancestors of `tip` with every tip 1..n_tips in one climb from
/// `tip` to the root: `ancestors` [1..n_tips] (resized when needed) gets
/// most_recent_common_ancestor(nodes, tip, t) for every t (0 when none).
/// Every tip is written once, so the cost is O(n_tips + depth) and a whole
/// table of ancestors costs O(n_tips^2) whatever the shape of the tree.
void common_ancestors_of_tip(const NodeTable& nodes, int n_tips, int tip, core::IVector& ancestors);

}  // namespace quorvel::phylogeny
