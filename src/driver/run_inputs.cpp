#include "driver/run_inputs.hpp"

#include <cstdlib>

#include "instructions/keyword_table.hpp"

namespace quorvel::driver {

DerivedCodes derive_codes(const DataHeaders& headers) {
  DerivedCodes codes;
  const int tree_tips = headers.signed_tree_tips();
  if (headers.taxonomy.counts_read && headers.taxonomic_levels.n_levels != 0) {
    codes.phylogeny_kind = kTaxonomy;
  } else if (tree_tips > 0) {
    codes.phylogeny_kind = kUltrametricTree;
  } else if (tree_tips < 0) {
    codes.phylogeny_kind = kOtherTree;
  } else if (headers.n_divergence_species != 0) {
    codes.phylogeny_kind = kDivergenceFile;
  }
  const int n_trait_species = headers.species_traits.counts_read ? headers.species_traits.n_species : 0;
  if (n_trait_species != 0) {
    codes.trait_kind = kSpeciesTraits;
  } else if (headers.trait_distances.layout != 0) {
    codes.trait_kind = kTraitDistances;
  }
  codes.has_abundances = headers.n_community_species() != 0;
  // The species of the run come from the first source that defines them.
  const int n_taxonomy_species = headers.taxonomy.counts_read ? headers.taxonomy.n_species : 0;
  for (const int count : {headers.n_community_species(), n_trait_species, headers.trait_distances.n_rows,
                          std::abs(tree_tips), n_taxonomy_species, headers.n_divergence_species}) {
    if (count != 0) {
      codes.n_species = count;
      break;
    }
  }
  return codes;
}

DerivedCodes loaded_codes(const DataHeaders& headers, const DataSet& data) {
  DerivedCodes codes = derive_codes(headers);
  codes.n_species = data.n_species;
  // Pairwise values with plot positions: coordinates or a distance matrix.
  if (headers.community.n_plots != 0 && (headers.plot_list.n_coordinates != 0 || data.positions.distances_read)) {
    codes.spatial_kind = 2;
  }
  if (codes.phylogeny_kind == kNoPhylogeny) codes.n_reported_indices = 1;
  return codes;
}

std::string ResolvedOutputs::file(const std::string& name) const {
  return instructions::output_file(name, main_result_file);
}

}  // namespace quorvel::driver
