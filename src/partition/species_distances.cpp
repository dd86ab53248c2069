#include "partition/species_distances.hpp"

#include "core/constants.hpp"

namespace quorvel::partition {

namespace {

bool present_in_plots(const core::DMatrix& abundances, int n_plots, int species) {
  for (int k = 1; k <= n_plots; ++k)
    if (abundances(k, 0) != 0.0 && abundances(k, species) != 0.0) return true;
  return false;
}

int tip_of(const SpeciesDistances& distances, int species) {
  const core::IVector& tips = *distances.tip_of_species;
  const int tip = species >= tips.lo() && species <= tips.hi() ? tips[species] : 0;
  return tip >= 1 && tip <= distances.tree->n_tips ? tip : 0;
}

}  // namespace

std::shared_ptr<const phylogeny::CladeTree> clade_view(const phylogeny::Phylogeny& tree) {
  if (!tree.has_tree() || !phylogeny::is_dated(tree.origin)) return nullptr;
  auto clades = std::make_shared<phylogeny::CladeTree>(phylogeny::clade_tree(tree));
  if (!phylogeny::validate_clade_tree(*clades).empty()) return nullptr;
  return clades;
}

SpeciesDistances phylogeny_distances(const phylogeny::Phylogeny& phylogeny,
                                     std::shared_ptr<const phylogeny::CladeTree> clades,
                                     const core::IVector* tip_of_species) {
  SpeciesDistances distances;
  if (phylogeny.has_tree()) {
    distances.tree = &phylogeny;
    distances.clades = std::move(clades);
    distances.tip_of_species = tip_of_species ? tip_of_species : &phylogeny.tip_of_species;
  } else if (phylogeny.origin == phylogeny::PhylogenyOrigin::kDivergenceFile) {
    distances.matrix = &phylogeny.divergences;
  }
  return distances;
}

std::vector<int> species_without_distances(const SpeciesDistances& distances, const core::DMatrix& abundances,
                                           int n_plots, int n_species) {
  std::vector<int> left_out;
  if (n_species < 2) return left_out;
  if (distances.tree) {
    // On one tree every two species with tips have a common ancestor.
    int with_tip = 0;
    for (int i = 1; i <= n_species; ++i) with_tip += tip_of(distances, i) != 0 ? 1 : 0;
    for (int i = 1; i <= n_species; ++i) {
      if (!present_in_plots(abundances, n_plots, i)) continue;
      const bool tip = tip_of(distances, i) != 0;
      if (!tip || with_tip < 2) left_out.push_back(i);
    }
    return left_out;
  }
  const core::FMatrix& table = *distances.matrix;
  for (int i = 1; i <= n_species; ++i) {
    if (!present_in_plots(abundances, n_plots, i)) continue;
    bool related = false;
    for (int j = 1; j <= n_species && !related; ++j) related = j != i && !is_missing(table(i, j));
    if (!related) left_out.push_back(i);
  }
  return left_out;
}

}  // namespace quorvel::partition
