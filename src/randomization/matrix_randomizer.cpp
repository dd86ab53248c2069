#include "randomization/matrix_randomizer.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "phylogeny/tree_divergences.hpp"
#include "randomization/permutation_units.hpp"
#include "randomization/phylogeny_permutation.hpp"

namespace quorvel::randomization {

namespace {

int entry_or_zero(const core::IVector& v, int i) { return i >= v.lo() && i <= v.hi() ? v[i] : 0; }

// Mean number of nodes climbed from the tips of the species to their root.
double mean_tip_depth(const partition::CladeTree& tree, const core::IVector& leaf_of_species, int n_species) {
  double steps = 0;
  int tips = 0;
  for (int i = 1; i <= n_species; ++i) {
    const int tip = leaf_of_species[i];
    if (tip == 0) continue;
    ++tips;
    for (int n = tree.parent[static_cast<std::size_t>(tip)]; n != 0; n = tree.parent[static_cast<std::size_t>(n)])
      steps += 1.0;
  }
  return tips == 0 ? 0.0 : steps / tips;
}

}  // namespace

std::shared_ptr<const partition::CladeTree> clade_tree_of(const PhylogenyView& view, double mean_plot_richness) {
  const int n_nodes = view.n_nodes;
  const int n_species = view.n_species;
  const core::FMatrix& divergences = *view.divergences;
  const core::IVector& leaf_of_species = *view.leaf_of_species;
  if (n_nodes <= 0 || view.n_tips <= 0 || view.nodes->hi() < n_nodes || !phylogeny::is_dated(view.tree->origin))
    return nullptr;
  if (divergences.row_hi() < n_species || leaf_of_species.hi() < n_species) return nullptr;
  auto tree = std::make_shared<partition::CladeTree>();
  tree->n_tips = view.n_tips;
  tree->parent.assign(static_cast<std::size_t>(n_nodes) + 1, 0);
  tree->age.assign(static_cast<std::size_t>(n_nodes) + 1, 0.0f);
  for (int n = 1; n <= n_nodes; ++n) {
    tree->parent[static_cast<std::size_t>(n)] = (*view.nodes)[n].upper_node;
    tree->age[static_cast<std::size_t>(n)] = (*view.nodes)[n].age;
  }
  if (!partition::is_clade_tree(*tree)) return nullptr;
  for (int i = 1; i <= n_species; ++i)
    if (leaf_of_species[i] < 0 || leaf_of_species[i] > view.n_tips) return nullptr;
  // Climbing from every tip must cost less than the loops over the species
  // of a plot (a deep, comb-like tree keeps the matrix).
  if (mean_tip_depth(*tree, leaf_of_species, n_species) > std::max(32.0, mean_plot_richness)) return nullptr;
  // The tree must stand for exactly the observed divergences.
  core::FMatrix check = core::matrix(0, n_species, 0, n_species);
  partition::CladeDivergences clades;
  clades.tree = tree.get();
  clades.tip_of_species = &leaf_of_species;
  partition::clade_divergence_matrix(clades, n_species, check);
  for (int i = 1; i <= n_species; ++i)
    if (std::memcmp(&check(i, 1), &divergences(i, 1), sizeof(float) * static_cast<std::size_t>(n_species)) != 0)
      return nullptr;
  return tree;
}

MatrixRandomizer phylogeny_randomizer(const PhylogenyView& view, const PhylogenyPermutation& permutation,
                                      std::shared_ptr<const partition::CladeTree> clade_tree,
                                      RandomGenerator& generator) {
  const PhylogenyView* tree = &view;
  MatrixRandomizer randomizer;
  randomizer.draw = [tree, permutation, &generator](core::IVector& perm) {
    draw_phylogeny_permutation(permutation.sub_clade_age, permutation.restriction, permutation.clade_name,
                               permutation.mode, *tree->nodes, tree->n_nodes, tree->n_tips, permutation.weights, perm,
                               generator);
  };
  const float mode = permutation.mode;
  randomizer.apply = [tree, mode](const core::IVector& perm, core::FMatrix& out, core::IVector& placement) {
    if (mode == kPermuteAllSpecies) {
      place_species_on_tips(tree->n_species, tree->n_tips, *tree->leaf_of_species, perm, placement);
      phylogeny::compute_tree_divergences(*tree->tree, placement, tree->n_species, out);
      return 0;
    }
    return apply_phylogeny_permutation(tree->n_species, tree->n_tips, *tree->leaf_of_species, *tree->species_of_leaf,
                                       perm, *tree->divergences, out);
  };
  randomizer.clade_tree = std::move(clade_tree);
  if (!randomizer.clade_tree) return randomizer;
  // The same randomized divergences as `apply`, as tips of the tree. Mode -1
  // places the species as above; the other modes give species i the row of
  // species q(i), that is the tip of q(i) (its own when q(i) is none).
  randomizer.place = [tree, mode](const core::IVector& perm, core::IVector& tips) {
    const int n_species = tree->n_species;
    const core::IVector& leaf_of_species = *tree->leaf_of_species;
    if (mode == kPermuteAllSpecies) {
      place_species_on_tips(n_species, tree->n_tips, leaf_of_species, perm, tips);
      return 0;
    }
    if (tips.lo() != 0 || tips.hi() != n_species) tips = core::ivector(0, n_species);
    int unmapped = 0;
    for (int i = 1; i <= n_species; ++i) {
      int source = i;
      const int leaf = entry_or_zero(leaf_of_species, i);
      if (leaf >= 1 && leaf <= tree->n_tips) {
        const int target = entry_or_zero(perm, leaf);
        const int species = target >= 1 && target <= tree->n_tips ? entry_or_zero(*tree->species_of_leaf, target) : 0;
        if (species >= 1 && species <= n_species)
          source = species;
        else
          ++unmapped;
      }
      tips[i] = leaf_of_species[source];
    }
    return unmapped;
  };
  return randomizer;
}

MatrixRandomizer matrix_randomizer(const core::FMatrix& observed, int n_species, float mode, core::FVector weights,
                                   RandomGenerator& generator) {
  MatrixRandomizer randomizer;
  randomizer.draw = [n_species, mode, weights = std::move(weights), &generator](core::IVector& perm) {
    draw_trait_permutation(mode, weights, n_species, perm, generator);
  };
  randomizer.apply = [n_species, &observed](const core::IVector& perm, core::FMatrix& out, core::IVector&) {
    apply_trait_permutation(n_species, perm, observed, out);
    return 0;
  };
  return randomizer;
}

core::FVector permutation_weights(const core::DMatrix& abundances, const std::vector<int>& plots, int n_units,
                                  const core::IVector* species_of_unit, float mode) {
  core::FVector weight = core::vector(0, n_units);
  for (const int k : plots) {
    for (int unit = 1; unit <= n_units; ++unit) {
      const int j = species_of_unit ? (*species_of_unit)[unit] : unit;
      if (j == 0 || abundances(k, j) == 0.0) continue;
      weight[unit] = mode > 1.0f ? static_cast<float>(weight[unit] + abundances(k, j)) : weight[unit] + 1.0f;
    }
  }
  return weight;
}

}  // namespace quorvel::randomization
