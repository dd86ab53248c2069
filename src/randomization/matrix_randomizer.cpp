#include "randomization/matrix_randomizer.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "randomization/permutation_units.hpp"
#include "randomization/phylogeny_permutation.hpp"

namespace quorvel::randomization {

namespace {

int entry_or_zero(const core::IVector& v, int i) { return i >= v.lo() && i <= v.hi() ? v[i] : 0; }

}  // namespace

partition::SpeciesDistances MatrixRandomizer::distances_of(const core::IVector& tips) const {
  return partition::phylogeny_distances(*tree, clades, &tips);
}

MatrixRandomizer phylogeny_randomizer(const PhylogenyView& view, const PhylogenyPermutation& permutation,
                                      std::shared_ptr<const phylogeny::CladeTree> clades, RandomGenerator& generator) {
  const PhylogenyView* tree = &view;
  MatrixRandomizer randomizer;
  randomizer.draw = [tree, permutation, &generator](core::IVector& perm) {
    const phylogeny::Phylogeny& phylogeny = *tree->tree;
    draw_phylogeny_permutation(permutation.sub_clade_age, permutation.restriction, permutation.clade_name,
                               permutation.mode, *tree->nodes, phylogeny.last_number, phylogeny.n_tips,
                               permutation.weights, perm, generator);
  };
  randomizer.tree = view.tree;
  randomizer.clades = std::move(clades);
  // Mode -1 places the species where the permutation moves their tips; the
  // other modes give species i the divergences of species q(i), that is the
  // tip of q(i) (its own when q(i) is none).
  const float mode = permutation.mode;
  randomizer.place = [tree, mode](const core::IVector& perm, core::IVector& tips) {
    const phylogeny::Phylogeny& phylogeny = *tree->tree;
    const int n_species = tree->n_species;
    const int n_tips = phylogeny.n_tips;
    const core::IVector& leaf_of_species = phylogeny.tip_of_species;
    if (mode == kPermuteAllSpecies) {
      place_species_on_tips(n_species, n_tips, leaf_of_species, perm, tips);
      return 0;
    }
    if (tips.lo() != 0 || tips.hi() != n_species) tips = core::ivector(0, n_species);
    int unmapped = 0;
    for (int i = 1; i <= n_species; ++i) {
      int source = i;
      const int leaf = entry_or_zero(leaf_of_species, i);
      if (leaf >= 1 && leaf <= n_tips) {
        const int target = entry_or_zero(perm, leaf);
        const int species = target >= 1 && target <= n_tips ? entry_or_zero(phylogeny.species_of_tip, target) : 0;
        if (species >= 1 && species <= n_species)
          source = species;
        else
          ++unmapped;
      }
      tips[i] = entry_or_zero(leaf_of_species, source);
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
