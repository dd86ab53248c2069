#include "phylogeny/clade_tree.hpp"

#include <cmath>

#include "core/format.hpp"

namespace quorvel::phylogeny {

namespace {

std::size_t at(int index) { return static_cast<std::size_t>(index); }

}  // namespace

CladeTree clade_tree(const Phylogeny& tree) {
  CladeTree clades;
  const int T = tree.n_tips;
  const int V = tree.n_nodes();
  clades.n_tips = T;
  // An internal node as old as its parent is merged into it; the others keep
  // their order. Parents come before children from the root down.
  auto merged = [&tree, T](int v) {
    const int up = tree.nodes[at(v)].parent;
    return v > T && up != 0 && tree.nodes[at(v)].age == tree.nodes[at(up)].age;
  };
  std::vector<int> index(at(V) + 1, 0);
  int next = 1;
  for (int v = 1; v <= V; ++v) {
    if (v <= T || !merged(v)) index[at(v)] = next++;
  }
  for (auto it = tree.postorder.rbegin(); it != tree.postorder.rend(); ++it) {
    if (merged(*it)) index[at(*it)] = index[at(tree.nodes[at(*it)].parent)];
  }
  const int W = next - 1;
  clades.parent.assign(at(W) + 1, 0);
  clades.age.assign(at(W) + 1, 0.0f);
  for (int v = 1; v <= V; ++v) {
    if (merged(v)) continue;
    const int self = index[at(v)];
    const int up = tree.nodes[at(v)].parent;
    clades.age[at(self)] = tree.nodes[at(v)].age;
    clades.parent[at(self)] = up == 0 ? 0 : index[at(up)];
  }
  clades.child_start.assign(at(W) + 2, 0);
  for (int v = 1; v <= W; ++v) {
    if (clades.parent[at(v)] != 0) ++clades.child_start[at(clades.parent[at(v)]) + 1];
  }
  for (int v = 1; v <= W + 1; ++v) clades.child_start[at(v)] += clades.child_start[at(v) - 1];
  clades.children.assign(at(clades.child_start[at(W) + 1]), 0);
  std::vector<int> cursor(clades.child_start.begin(), clades.child_start.end() - 1);
  for (int v = 1; v <= W; ++v) {
    const int up = clades.parent[at(v)];
    if (up != 0) clades.children[at(cursor[at(up)]++)] = v;
  }
  // A merged group stands where its oldest member, the one kept, stands in
  // the postorder of the tree: after every node below the group.
  for (const int v : tree.postorder) {
    if (!merged(v)) clades.postorder.push_back(index[at(v)]);
  }
  return clades;
}

std::string validate_clade_tree(const CladeTree& tree) {
  using core::format;
  const int T = tree.n_tips;
  const int V = tree.n_nodes();
  if (V < T + 1 || tree.age.size() != tree.parent.size()) return "no root";
  if (tree.child_start.size() != at(V) + 2) return "children lists of another size than the nodes";
  for (int v = 1; v <= V; ++v) {
    const int up = tree.parent[at(v)];
    const float age = tree.age[at(v)];
    if (!std::isfinite(age) || age < 0.0f) return format("node %d: age not an age", v);
    if (v <= T && age != 0.0f) return format("tip %d: age not 0", v);
    if (v <= T && tree.child_start[at(v)] != tree.child_start[at(v) + 1]) return format("tip %d: has children", v);
    if (v == tree.root()) {
      if (up != 0) return "the root has a parent";
      continue;
    }
    if (up <= T || up > V) return format("node %d: no parent in the tree", v);
    if (v > T && tree.age[at(up)] == age) return format("node %d: as old as its parent", v);
  }
  for (int v = 1; v <= V; ++v) {
    for (int c = tree.child_start[at(v)]; c < tree.child_start[at(v) + 1]; ++c) {
      if (tree.parent[at(tree.children[at(c)])] != v) return format("node %d: child lists", v);
    }
  }
  if (tree.postorder.size() != at(V)) return "the postorder does not hold every node";
  return postorder_problem(tree.child_start, tree.children, tree.postorder, tree.root());
}

}  // namespace quorvel::phylogeny
