#include "randomization/phylogeny_permutation.hpp"

#include <algorithm>
#include <cmath>

#include "core/console.hpp"
#include "randomization/permutation_units.hpp"

namespace quorvel::randomization {

namespace {

// Element i of v, or 0 outside its range: maps are never trusted as indices.
int entry_or_zero(const core::IVector& v, int i) { return i >= v.lo() && i <= v.hi() ? v[i] : 0; }

// The identity map over 0..n.
core::IVector identity(int n) {
  core::IVector perm = core::ivector(0, n);
  for (int i = 0; i <= n; ++i) perm[i] = i;
  return perm;
}

// Weights indexed by node: the tips' weights, 0 for internal nodes (clade
// units of a sub-clade age only move when the mode permutes every unit).
core::FVector node_weights(const core::FVector& leaf_weight, int n_nodes, int n_tips) {
  core::FVector weight = core::vector(0, n_nodes);
  for (int tip = 1; tip <= n_tips && tip <= n_nodes; ++tip) {
    if (tip >= leaf_weight.lo() && tip <= leaf_weight.hi()) weight[tip] = leaf_weight[tip];
  }
  return weight;
}

bool is_clade_selected(const phylogeny::NodeTable& nodes, int node, int n_tips, float restriction,
                       const std::string& clade_name) {
  if (restriction == kNamedClade) return nodes[node].name == clade_name;
  if (restriction > kNamedClade) return stem_crosses_age(nodes[node], node == n_tips + 1, restriction);
  return false;
}

}  // namespace

void draw_phylogeny_permutation(float sub_clade_age, float clade_restriction, const std::string& clade_name, float mode,
                                const phylogeny::NodeTable& nodes, int n_nodes, int n_tips,
                                const core::FVector& leaf_weight, core::IVector& perm, RandomGenerator& generator) {
  if (mode < kPermuteAllSpecies) mode = std::fabs(mode);
  perm = identity(std::max(n_nodes, n_tips));
  const core::FVector weight = node_weights(leaf_weight, n_nodes, n_tips);
  if (clade_restriction == kWholeTree) {
    core::IVector units = identity(n_tips);
    permute_unit_list(units, n_tips, mode, weight, perm, generator);
    return;
  }
  core::IVector units;
  for (int node = n_tips + 1; node <= n_nodes; ++node) {
    if (!is_live_node(nodes, node, n_tips) || !is_clade_selected(nodes, node, n_tips, clade_restriction, clade_name))
      continue;
    const int count = collect_clade_units(nodes, node, n_tips, sub_clade_age, units);
    if (count < 2) continue;
    permute_unit_list(units, count, mode, weight, perm, generator);
    if (clade_restriction == kNamedClade) break;
  }
}

int apply_phylogeny_permutation(int n_species, int n_tips, const core::IVector& leaf_of_species,
                                const core::IVector& species_of_leaf, const core::IVector& perm,
                                const core::FMatrix& in, core::FMatrix& out) {
  core::IVector source = core::ivector(0, n_species);
  int unmapped = 0;
  for (int i = 1; i <= n_species; ++i) {
    source[i] = i;
    const int leaf = entry_or_zero(leaf_of_species, i);
    if (leaf < 1 || leaf > n_tips) continue;
    const int target = entry_or_zero(perm, leaf);
    const int species = target >= 1 && target <= n_tips ? entry_or_zero(species_of_leaf, target) : 0;
    if (species < 1 || species > n_species) {
      ++unmapped;
      continue;
    }
    source[i] = species;
  }
  for (int i = 1; i <= n_species; ++i) {
    for (int j = i; j <= n_species; ++j) {
      const float value = in(source[i], source[j]);
      out(i, j) = value;
      out(j, i) = value;
    }
  }
  return unmapped;
}

void place_species_on_tips(int n_species, int n_tips, const core::IVector& leaf_of_species, const core::IVector& perm,
                           core::IVector& placement) {
  placement = core::ivector(0, n_species);
  for (int i = 1; i <= n_species; ++i) {
    const int leaf = entry_or_zero(leaf_of_species, i);
    placement[i] = leaf;
    if (leaf < 1 || leaf > n_tips) continue;
    const int target = entry_or_zero(perm, leaf);
    if (target >= 1 && target <= n_tips) placement[i] = target;
  }
}

void permute_phylogeny(float sub_clade_age, float clade_restriction, const std::string& clade_name, float mode,
                       const phylogeny::NodeTable& nodes, int n_nodes, int n_tips, const core::FVector& leaf_weight,
                       int n_species, const core::IVector& leaf_of_species, const core::IVector& species_of_leaf,
                       const core::FMatrix& in, core::FMatrix& out, const TreeDivergenceFunction& tree_divergences,
                       RandomGenerator& generator) {
  core::IVector perm;
  draw_phylogeny_permutation(sub_clade_age, clade_restriction, clade_name, mode, nodes, n_nodes, n_tips, leaf_weight,
                             perm, generator);
  if (mode == kPermuteAllSpecies) {
    core::IVector placement;
    place_species_on_tips(n_species, n_tips, leaf_of_species, perm, placement);
    out(0, 0) = in(0, 0);
    tree_divergences(nodes, n_species, placement, out);
    return;
  }
  const int unmapped = apply_phylogeny_permutation(n_species, n_tips, leaf_of_species, species_of_leaf, perm, in, out);
  for (int k = 0; k < unmapped; ++k) core::console_print("\ntrouble");
}

void draw_trait_permutation(float mode, const core::FVector& weight, int n, core::IVector& perm,
                            RandomGenerator& generator) {
  if (mode < kPermuteAllSpecies) mode = std::fabs(mode);
  perm = identity(n);
  const core::IVector units = identity(n);
  permute_unit_list(units, n, mode, weight, perm, generator);
}

void apply_trait_permutation(int n, const core::IVector& perm, const core::FMatrix& in, core::FMatrix& out) {
  for (int i = 1; i <= n; ++i) {
    for (int j = i; j <= n; ++j) {
      const float value = in(perm[i], perm[j]);
      out(i, j) = value;
      out(j, i) = value;
    }
  }
}

void permute_trait_distances(float mode, const core::FVector& weight, int n, const core::FMatrix& in,
                             core::FMatrix& out, RandomGenerator& generator) {
  core::IVector perm;
  draw_trait_permutation(mode, weight, n, perm, generator);
  apply_trait_permutation(n, perm, in, out);
}

}  // namespace quorvel::randomization
