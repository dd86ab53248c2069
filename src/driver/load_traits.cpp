#include "driver/load_data.hpp"
#include "input/species_traits.hpp"
#include "input/trait_distances_file.hpp"

namespace quorvel::driver {

void load_species_traits(const instructions::RunSettings& settings, const DataHeaders& headers, DataSet& data) {
  // With community data the lists give values to its species; without, the
  // first list read defines the species of the run.
  const bool with_community = headers.n_community_species() > 0;
  const core::NameTable* known_species = with_community ? &data.species_names : nullptr;
  Traits& traits = data.traits;
  // The variables the run reads: those of the species traits, or of the
  // taxonomy list that carries the levels; none without a list.
  traits.species_traits = headers.species_traits.counts_read;
  traits.variables = headers.species_list();
  if (!traits.variables.counts_read) {
    traits.variables.n_variables = 0;
    traits.variables.variable_names = core::name_table(0, 0);
    traits.variables.variable_categories = core::ivector(0, 0);
  }
  if (headers.species_traits.counts_read) {
    traits.list = input::read_species_traits(settings.species_traits.file, headers.species_traits, known_species);
    if (!with_community) data.species_names = traits.list.species_names;
    // Standard errors are 0 unless a file gives them.
    traits.se = settings.species_se_traits.given()
                    ? input::read_species_se_traits(settings.species_se_traits.file, headers.species_traits,
                                                    data.species_names, data.n_species)
                    : core::matrix(0, headers.species_traits.n_variables, 0, data.n_species);
  }
  if (headers.taxonomy_as_species_list) {
    // No trait list: the taxonomy list, read by the same reader, gives the
    // levels of the classification (categorical columns, not traits).
    traits.list = input::read_species_traits(settings.species_taxonomy.file, headers.species_list(), known_species);
    if (!with_community) data.species_names = traits.list.species_names;
  }
  if (headers.trait_distances.layout != 0) {
    // The distance file defines the species when nothing else does.
    const bool defines_species =
        !with_community && headers.individuals.n_individuals == 0 && !headers.species_traits.counts_read;
    traits.distances = input::read_trait_distances(settings.trait_distances.file, headers.trait_distances,
                                                   defines_species ? nullptr : &data.species_names);
    if (defines_species) {
      data.species_names = traits.distances.species_names;
      data.n_species = traits.distances.n_found;
    }
  }
}

}  // namespace quorvel::driver
