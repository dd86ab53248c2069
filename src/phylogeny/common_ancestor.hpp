#pragma once

#include "core/arrays.hpp"
#include "phylogeny/phylogeny.hpp"

namespace quorvel::phylogeny {

/// Most recent common ancestor of two tips: the deepest node whose tip range
/// (first_tip..last_tip) holds both. Tip ranges are exact whatever the ages,
/// so a child with the same age as its parent (an internal branch shorter
/// than the single-precision resolution of the ages) is never passed over.
/// Returns the tip itself when tip_a == tip_b, 0 when the tips share no
/// ancestor. Cost: the depth of tip_a.
int most_recent_common_ancestor(const Phylogeny& tree, int tip_a, int tip_b);

/// The common ancestors of `tip` with every tip 1..T in one climb from `tip`
/// to the root: `ancestors` [1..T] (resized when needed) gets
/// most_recent_common_ancestor(tree, tip, t) for every t (0 when none).
/// Every tip is written once, so the cost is O(T + depth) and a whole table
/// of ancestors costs O(T^2) whatever the shape of the tree.
void common_ancestors_of_tip(const Phylogeny& tree, int tip, core::IVector& ancestors);

}  // namespace quorvel::phylogeny
