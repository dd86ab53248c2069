#include "partition/clade_order.hpp"

namespace quorvel::partition {

CladeOrder make_clade_order(const phylogeny::NodeTable& nodes, int n_tips, int n_nodes) {
  CladeOrder order;
  order.n_tips = n_tips;
  order.root = n_tips + 1;
  order.n_nodes = n_nodes;
  const std::size_t size = static_cast<std::size_t>(n_nodes) + 1;
  order.parent.assign(size, 0);
  order.first_child.assign(size, 0);
  order.next_sibling.assign(size, 0);
  if (order.root > n_nodes) return order;

  // Children lists from the parent links, in decreasing index so that each
  // list reads in increasing node order.
  for (int v = n_nodes; v >= 1; --v) {
    if (v == order.root) continue;
    const int up = nodes[v].upper_node;
    if (up < 1 || up > n_nodes || up == v) continue;
    order.next_sibling[static_cast<std::size_t>(v)] = order.first_child[static_cast<std::size_t>(up)];
    order.first_child[static_cast<std::size_t>(up)] = v;
  }

  // Iterative depth-first walk: a node is emitted once all its children are.
  std::vector<char> seen(size, 0);
  std::vector<int> stack{order.root};
  std::vector<int> next(size, 0);  // next child to visit of each node on the stack
  seen[static_cast<std::size_t>(order.root)] = 1;
  next[static_cast<std::size_t>(order.root)] = order.first_child[static_cast<std::size_t>(order.root)];
  while (!stack.empty()) {
    const int v = stack.back();
    const int child = next[static_cast<std::size_t>(v)];
    if (child == 0) {
      order.post_order.push_back(v);
      stack.pop_back();
      continue;
    }
    next[static_cast<std::size_t>(v)] = order.next_sibling[static_cast<std::size_t>(child)];
    if (seen[static_cast<std::size_t>(child)]) continue;
    seen[static_cast<std::size_t>(child)] = 1;
    order.parent[static_cast<std::size_t>(child)] = v;
    next[static_cast<std::size_t>(child)] = order.first_child[static_cast<std::size_t>(child)];
    stack.push_back(child);
  }
  return order;
}

void count_present_tips(const CladeOrder& order, const std::vector<int>& present, std::vector<int>& counts) {
  counts.assign(static_cast<std::size_t>(order.n_nodes) + 1, 0);
  for (const int v : order.post_order) {
    std::size_t i = static_cast<std::size_t>(v);
    if (v <= order.n_tips) counts[i] = present[i] != 0 ? 1 : 0;
    const int up = order.parent[i];
    if (up != 0) counts[static_cast<std::size_t>(up)] += counts[i];
  }
}

}  // namespace quorvel::partition
