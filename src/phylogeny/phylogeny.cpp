#include "phylogeny/phylogeny.hpp"

#include <algorithm>
#include <cmath>

#include "core/format.hpp"

namespace quorvel::phylogeny {

namespace {

std::size_t at(int index) { return static_cast<std::size_t>(index); }

// Children lists from the parents (in increasing index order) and the
// postorder of the nodes reached from the root, walked iteratively so that
// a deep tree needs no deep stack. A node met twice (a corrupted table) is
// walked once.
void link_nodes(Phylogeny& tree) {
  const int V = tree.n_nodes();
  tree.child_start.assign(at(V) + 2, 0);
  for (int v = 1; v <= V; ++v) {
    const int up = tree.nodes[at(v)].parent;
    if (up >= 1 && up <= V && up != v) ++tree.child_start[at(up) + 1];
  }
  for (int v = 1; v <= V + 1; ++v) tree.child_start[at(v)] += tree.child_start[at(v) - 1];
  tree.children.assign(at(tree.child_start[at(V) + 1]), 0);
  std::vector<int> cursor(tree.child_start.begin(), tree.child_start.end() - 1);
  for (int v = 1; v <= V; ++v) {
    const int up = tree.nodes[at(v)].parent;
    if (up >= 1 && up <= V && up != v) tree.children[at(cursor[at(up)]++)] = v;
  }
  tree.postorder.clear();
  const int root = tree.root();
  if (root > V) return;
  std::vector<char> seen(at(V) + 1, 0);
  std::vector<int> stack{root};
  std::vector<int> next(at(V) + 1, 0);
  seen[at(root)] = 1;
  next[at(root)] = tree.child_start[at(root)];
  while (!stack.empty()) {
    const int v = stack.back();
    const int c = next[at(v)];
    if (c == tree.child_start[at(v) + 1]) {
      tree.postorder.push_back(v);
      stack.pop_back();
      continue;
    }
    next[at(v)] = c + 1;
    const int child = tree.children[at(c)];
    if (seen[at(child)]) continue;
    seen[at(child)] = 1;
    next[at(child)] = tree.child_start[at(child)];
    stack.push_back(child);
  }
}

PhylogenyNode node_record(const TreeNode& node, int number) {
  PhylogenyNode out;
  out.number = number;
  out.name = node.name;
  out.parent = node.upper_node;
  out.branch_length = node.branch_length;
  out.age = node.age;
  out.first_tip = node.first_tip;
  out.last_tip = node.last_tip;
  return out;
}

TreeNode table_record(const PhylogenyNode& node, int upper_number) {
  TreeNode out;
  out.name = node.name;
  out.upper_node = upper_number;
  out.branch_length = node.branch_length;
  out.age = node.age;
  out.first_tip = node.first_tip;
  out.last_tip = node.last_tip;
  return out;
}

bool finite_non_negative(float value) { return std::isfinite(value) && value >= 0.0f; }

std::string check_tree(const Phylogeny& tree) {
  using core::format;
  const int T = tree.n_tips;
  const int V = tree.n_nodes();
  if (T < 1) return "a tree without tips";
  if (V < T) return format("%d nodes for %d tips", V, T);
  if (tree.child_start.size() != at(V) + 2) return "children lists of another size than the nodes";
  const int root = tree.root();
  for (int v = 1; v <= V; ++v) {
    const PhylogenyNode& node = tree.nodes[at(v)];
    if (v > 1 && node.number <= tree.nodes[at(v) - 1].number) return format("node %d: table numbers not increasing", v);
    if (v <= T + 1 && node.number != v) return format("node %d: numbered %d in the table", v, node.number);
    if (node.number > tree.last_number) return format("node %d: numbered beyond the table", v);
    if (!finite_non_negative(node.branch_length)) return format("node %d: branch length not a length", v);
    if (!finite_non_negative(node.age)) return format("node %d: age not an age", v);
    if (is_dated(tree.origin) && v <= T && node.age != 0.0f) return format("tip %d: age not 0", v);
    if (!is_dated(tree.origin) && node.age != 0.0f) return format("node %d: an age in a tree of branch lengths", v);
    if (v == root) {
      if (node.parent != 0) return "the root has a parent";
    } else if (node.parent < 1 || node.parent > V || node.parent == v) {
      return format("node %d: no parent in the tree", v);
    } else if (node.parent <= T) {
      return format("node %d: hangs from tip %d", v, node.parent);
    }
    const int first = tree.child_start[at(v)];
    const int end = tree.child_start[at(v) + 1];
    if (v <= T) {
      if (first != end) return format("tip %d: has children", v);
      if (node.first_tip != v || node.last_tip != v) return format("tip %d: tip range not its own", v);
      continue;
    }
    if (first == end) return format("node %d: internal without children", v);
    int lo = T + 1, hi = 0, count = 0;
    for (int c = first; c < end; ++c) {
      const int child = tree.children[at(c)];
      if (child < 1 || child > V || tree.nodes[at(child)].parent != v) return format("node %d: child lists", v);
      if (c > first && child <= tree.children[at(c) - 1]) return format("node %d: children out of order", v);
      const PhylogenyNode& below = tree.nodes[at(child)];
      lo = std::min(lo, below.first_tip);
      hi = std::max(hi, below.last_tip);
      count += below.last_tip - below.first_tip + 1;
    }
    if (node.first_tip != lo || node.last_tip != hi || count != hi - lo + 1) {
      return format("node %d: tip range %d-%d is not that of its children", v, node.first_tip, node.last_tip);
    }
  }
  if (tree.postorder.size() != at(V)) return "the postorder does not hold every node (the tree is not connected)";
  const std::string order = postorder_problem(tree.child_start, tree.children, tree.postorder, root);
  if (!order.empty()) return order;
  for (const PhylogenyNode& node : tree.detached) {
    if (node.number <= T + 1 || node.number > tree.last_number || node_of_number(tree, node.number) != 0) {
      return format("detached node numbered %d", node.number);
    }
  }
  // A tree not yet matched to the species of a run has no maps.
  if (tree.species_of_tip.empty() && tree.tip_of_species.empty()) return "";
  if (tree.species_of_tip.empty() || tree.species_of_tip.lo() != 0 || tree.species_of_tip.hi() != T) {
    return "species of the tips not over 0..T";
  }
  const int S = tree.tip_of_species.empty() ? 0 : tree.tip_of_species.hi();
  for (int s = 1; s <= S; ++s) {
    const int tip = tree.tip_of_species[s];
    if (tip < 0 || tip > T) return format("species %d: tip %d out of range", s, tip);
    if (tip != 0 && tree.species_of_tip[tip] != s) return format("species %d: tip %d names another species", s, tip);
  }
  for (int tip = 1; tip <= T; ++tip) {
    const int s = tree.species_of_tip[tip];
    if (s < 0 || s > S) return format("tip %d: species %d out of range", tip, s);
  }
  return "";
}

}  // namespace

Phylogeny compact_node_table(const NodeTable& table, int n_tips, int n_nodes, PhylogenyOrigin origin) {
  Phylogeny tree;
  tree.origin = origin;
  tree.n_tips = n_tips;
  tree.last_number = n_nodes;
  tree.table_hi = table.empty() ? n_nodes : table.hi();
  // A node of the tree is a tip, the root, or an internal node that still
  // hangs from another.
  std::vector<int> index(at(std::max(n_nodes, 0)) + 1, 0);
  tree.nodes.emplace_back();
  for (int v = 1; v <= n_nodes; ++v) {
    if (v <= n_tips + 1 || table[v].upper_node != 0) {
      index[at(v)] = static_cast<int>(tree.nodes.size());
      tree.nodes.push_back(node_record(table[v], v));
    } else {
      tree.detached.push_back(node_record(table[v], v));
    }
  }
  for (PhylogenyNode& node : tree.nodes) {
    const int up = node.parent;
    node.parent = up >= 1 && up <= n_nodes ? index[at(up)] : 0;
  }
  link_nodes(tree);
  return tree;
}

NodeTable node_table(const Phylogeny& tree) {
  if (tree.nodes.empty()) return NodeTable();
  NodeTable table(0, std::max(tree.table_hi, tree.last_number));
  for (int v = 1; v <= tree.n_nodes(); ++v) {
    const PhylogenyNode& node = tree.nodes[at(v)];
    table[node.number] = table_record(node, node.parent == 0 ? 0 : tree.nodes[at(node.parent)].number);
  }
  for (const PhylogenyNode& node : tree.detached) table[node.number] = table_record(node, node.parent);
  return table;
}

int node_of_number(const Phylogeny& tree, int number) {
  // Numbers increase with the index, and no index exceeds its number.
  const auto begin = tree.nodes.begin() + (tree.nodes.empty() ? 0 : 1);
  const auto found = std::lower_bound(begin, tree.nodes.end(), number,
                                      [](const PhylogenyNode& node, int n) { return node.number < n; });
  return found != tree.nodes.end() && found->number == number ? static_cast<int>(found - tree.nodes.begin()) : 0;
}

std::string postorder_problem(const std::vector<int>& child_start, const std::vector<int>& children,
                              const std::vector<int>& postorder, int root) {
  using core::format;
  const int V = static_cast<int>(postorder.size());
  std::vector<char> done(at(V) + 1, 0);
  for (const int v : postorder) {
    if (v < 1 || v > V || done[at(v)]) return "the postorder holds a node twice";
    for (int c = child_start[at(v)]; c < child_start[at(v) + 1]; ++c) {
      if (!done[at(children[at(c)])]) return format("node %d: before one of its children in the postorder", v);
    }
    done[at(v)] = 1;
  }
  if (postorder.back() != root) return "the postorder does not end at the root";
  return "";
}

std::string validate_phylogeny(const Phylogeny& tree) {
  switch (tree.origin) {
    case PhylogenyOrigin::kNone:
      return tree.nodes.empty() ? "" : "nodes without an origin";
    case PhylogenyOrigin::kDivergenceFile:
      if (!tree.nodes.empty()) return "a tree beside a table of divergences";
      if (tree.divergences.empty() || tree.divergences.row_lo() != 0 || tree.divergences.col_lo() != 0 ||
          tree.divergences.row_hi() != tree.divergences.col_hi()) {
        return "the table of divergences is not square over 0..S";
      }
      return "";
    default:
      return check_tree(tree);
  }
}

}  // namespace quorvel::phylogeny
