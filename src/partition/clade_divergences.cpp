#include "partition/clade_divergences.hpp"

#include <cmath>

#include "core/constants.hpp"

namespace quorvel::partition {

bool is_clade_tree(const CladeTree& tree) {
  const int n_nodes = static_cast<int>(tree.parent.size()) - 1;
  if (n_nodes < 0 || tree.age.size() != tree.parent.size() || tree.n_tips < 0 || tree.n_tips > n_nodes) return false;
  for (int node = 1; node <= n_nodes; ++node) {
    const float age = tree.age[static_cast<std::size_t>(node)];
    if (!std::isfinite(age) || age < 0.0f) return false;
    if (node <= tree.n_tips && age != 0.0f) return false;
    const int up = tree.parent[static_cast<std::size_t>(node)];
    if (up < 0 || up > n_nodes || up == node) return false;
    // Strictly older parents also rule out cycles.
    if (up != 0 && !(tree.age[static_cast<std::size_t>(up)] > age)) return false;
  }
  return true;
}

void clade_divergence_matrix(const CladeDivergences& clades, int n_species, core::FMatrix& out) {
  const CladeTree& tree = *clades.tree;
  const core::IVector& tip = *clades.tip_of_species;
  std::vector<int> mark(tree.parent.size(), 0);
  for (int i = 1; i <= n_species; ++i) {
    out(i, i) = 0.0f;
    const int a = tip[i];
    if (a != 0)
      for (int n = a; n != 0; n = tree.parent[static_cast<std::size_t>(n)]) mark[static_cast<std::size_t>(n)] = i;
    for (int j = i + 1; j <= n_species; ++j) {
      const int b = tip[j];
      float d = MISSING_VALUE_F;
      if (a != 0 && b != 0) {
        int n = b;
        while (n != 0 && mark[static_cast<std::size_t>(n)] != i) n = tree.parent[static_cast<std::size_t>(n)];
        if (n != 0) d = tree.age[static_cast<std::size_t>(n)];
      }
      out(i, j) = out(j, i) = d;
    }
  }
}

}  // namespace quorvel::partition
