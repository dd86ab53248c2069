#include "phylogeny/common_ancestor.hpp"

namespace quorvel::phylogeny {

namespace {

bool holds(const PhylogenyNode& node, int tip) { return tip >= node.first_tip && tip <= node.last_tip; }

}  // namespace

int most_recent_common_ancestor(const Phylogeny& tree, int tip_a, int tip_b) {
  int node = tip_a;
  // No honest climb takes more steps than there are nodes.
  for (int steps = 0; node != 0 && steps <= tree.n_nodes(); ++steps) {
    const PhylogenyNode& current = tree.nodes[static_cast<std::size_t>(node)];
    if (holds(current, tip_b)) return node;
    node = current.parent;
  }
  return 0;
}

void common_ancestors_of_tip(const Phylogeny& tree, int tip, core::IVector& ancestors) {
  const int n_tips = tree.n_tips;
  if (ancestors.lo() != 1 || ancestors.hi() != n_tips) ancestors = core::ivector(1, n_tips);
  ancestors.fill(0);
  // Climbing from the tip, each node's range grows by the ranges of the
  // clades met on the way: the tips new to this node have it as ancestor.
  int lo = tip;
  int hi = tip;
  ancestors[tip] = tip;
  int node = tree.nodes[static_cast<std::size_t>(tip)].parent;
  for (int steps = 0; node != 0 && steps <= tree.n_nodes(); ++steps) {
    const PhylogenyNode& current = tree.nodes[static_cast<std::size_t>(node)];
    const int first = current.first_tip < 1 ? 1 : current.first_tip;
    const int last = current.last_tip > n_tips ? n_tips : current.last_tip;
    for (int t = first; t < lo; ++t) ancestors[t] = node;
    for (int t = hi + 1; t <= last; ++t) ancestors[t] = node;
    if (first < lo) lo = first;
    if (last > hi) hi = last;
    node = current.parent;
  }
}

}  // namespace quorvel::phylogeny
