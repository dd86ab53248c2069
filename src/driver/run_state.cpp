#include "driver/run_state.hpp"

#include <cstdlib>

namespace quorvel::driver {

DerivedCodes derive_codes(const RunSettings& settings) {
  DerivedCodes codes;
  if (settings.n_taxonomy_species != 0 && settings.n_divergence_levels != 0) {
    codes.phylogeny_kind = kTaxonomy;
  } else if (settings.n_tree_species > 0) {
    codes.phylogeny_kind = kUltrametricTree;
  } else if (settings.n_tree_species < 0) {
    codes.phylogeny_kind = kOtherTree;
  } else if (settings.n_divergence_species != 0) {
    codes.phylogeny_kind = kDivergenceFile;
  }
  if (settings.n_trait_species != 0) {
    codes.trait_kind = kSpeciesTraits;
  } else if (settings.trait_distance_layout != 0) {
    codes.trait_kind = kTraitDistances;
  }
  codes.has_abundances = settings.n_matrix_species != 0;
  // The species of the run come from the first source that defines them.
  for (const int count :
       {settings.n_matrix_species, settings.n_trait_species, settings.n_trait_distance_species,
        std::abs(settings.n_tree_species), settings.n_taxonomy_species, settings.n_divergence_species}) {
    if (count != 0) {
      codes.n_species = count;
      break;
    }
  }
  return codes;
}

}  // namespace quorvel::driver
