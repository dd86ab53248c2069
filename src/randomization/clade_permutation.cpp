#include "randomization/clade_permutation.hpp"

#include "core/arrays.hpp"
#include "core/constants.hpp"
#include "randomization/permutation_units.hpp"
#include "randomization/shuffle.hpp"

namespace quorvel::randomization {

namespace {

bool is_selected(const phylogeny::NodeTable& nodes, int node, int n_tips, float restriction,
                 const std::string& clade_name) {
  if (restriction > -1.0f) return stem_crosses_age(nodes[node], node == n_tips + 1, restriction);
  return nodes[node].name == clade_name;
}

}  // namespace

void permute_clades(float sub_clade_age, float clade_restriction, const std::string& clade_name,
                    const phylogeny::NodeTable& nodes, int n_nodes, int n_tips, phylogeny::NodeTable& out,
                    RandomGenerator& generator) {
  // The attachment points are read from an unchanged copy: a unit may take
  // the attachment of a unit already moved in the same shuffle.
  const core::IVector original_upper = [&] {
    core::IVector upper = core::ivector(0, n_nodes);
    for (int node = 1; node <= n_nodes; ++node) upper[node] = nodes[node].upper_node;
    return upper;
  }();
  if (&out != &nodes) {
    if (out.lo() > 0 || out.hi() < n_nodes) {
      out = nodes;
    } else {
      for (int node = 1; node <= n_nodes; ++node) {
        out[node].upper_node = nodes[node].upper_node;
        out[node].age = nodes[node].age;
      }
    }
  }

  core::IVector units;
  if (clade_restriction == 0.0f) {
    units = core::ivector(0, n_tips);
    for (int tip = 0; tip <= n_tips; ++tip) units[tip] = tip;
    shuffle_range(units, 1, n_tips, generator);
    for (int tip = 1; tip <= n_tips; ++tip) out[tip].upper_node = original_upper[units[tip]];
    return;
  }
  for (int node = 1; node <= n_nodes; ++node) {
    if (!is_live_node(nodes, node, n_tips) || !is_selected(nodes, node, n_tips, clade_restriction, clade_name))
      continue;
    const int count = collect_clade_units(nodes, node, n_tips, sub_clade_age, units);
    core::IVector shuffled = units;
    shuffle_range(shuffled, 1, count, generator);
    for (int k = 1; k <= count; ++k) out[units[k]].upper_node = original_upper[shuffled[k]];
  }
}

// Its clades no longer hold contiguous tips, so the common ancestor of two
// tips is found by climbing: the ancestors of the first tip are marked, then
// the second climbs to the first marked node.
void randomized_tree_divergences(const phylogeny::NodeTable& nodes, int n_species, const core::IVector& leaf_of_species,
                                 core::FMatrix& divergences, std::vector<int>& marks) {
  const int n_nodes = nodes.hi();
  marks.assign(static_cast<std::size_t>(n_nodes) + 1, 0);
  for (int i = 1; i <= n_species; ++i) {
    divergences(i, i) = 0;
    const int tip_i = leaf_of_species[i];
    int steps = 0;
    for (int node = tip_i; node > 0 && node <= n_nodes && steps <= n_nodes; node = nodes[node].upper_node, ++steps) {
      marks[static_cast<std::size_t>(node)] = i;
    }
    for (int j = i + 1; j <= n_species; ++j) {
      const int tip_j = leaf_of_species[j];
      float value = MISSING_VALUE_F;
      if (tip_i != 0 && tip_j != 0) {
        steps = 0;
        int node = tip_j;
        while (node > 0 && node <= n_nodes && steps <= n_nodes && marks[static_cast<std::size_t>(node)] != i) {
          node = nodes[node].upper_node;
          ++steps;
        }
        if (node > 0 && node <= n_nodes && marks[static_cast<std::size_t>(node)] == i) value = nodes[node].age;
      }
      divergences(i, j) = value;
      divergences(j, i) = value;
    }
  }
}

}  // namespace quorvel::randomization
