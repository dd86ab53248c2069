#include "phylogeny/common_ancestor.hpp"

namespace quorvel::phylogeny {

namespace {

bool holds(const TreeNode& node, int tip) { return tip >= node.first_tip && tip <= node.last_tip; }

}  // namespace

int most_recent_common_ancestor(const NodeTable& nodes, int tip_a, int tip_b) {
  int node = tip_a;
  // No honest climb takes more steps than there are nodes: a cyclic table
  // gives 0 instead of a hang.
  for (int steps = 0; node != 0 && steps <= nodes.hi(); ++steps) {
    if (holds(nodes[node], tip_b)) return node;
    node = nodes[node].upper_node;
  }
  return 0;
}

void common_ancestors_of_tip(const NodeTable& nodes, int n_tips, int tip, core::IVector& ancestors) {
  if (ancestors.lo() != 1 || ancestors.hi() != n_tips) ancestors = core::ivector(1, n_tips);
  ancestors.fill(0);
  // Climbing from the tip, each node's range grows by the ranges of the
  // clades met on the way: the tips new to this node have it as ancestor.
  int lo = tip;
  int hi = tip;
  ancestors[tip] = tip;
  int node = nodes[tip].upper_node;
  for (int steps = 0; node != 0 && steps <= nodes.hi(); ++steps) {
    const int first = nodes[node].first_tip < 1 ? 1 : nodes[node].first_tip;
    const int last = nodes[node].last_tip > n_tips ? n_tips : nodes[node].last_tip;
    for (int t = first; t < lo; ++t) ancestors[t] = node;
    for (int t = hi + 1; t <= last; ++t) ancestors[t] = node;
    if (first < lo) lo = first;
    if (last > hi) hi = last;
    node = nodes[node].upper_node;
  }
}

}  // namespace quorvel::phylogeny
