#include <cstdlib>

#include "driver/load_data.hpp"
#include "input/species_traits.hpp"
#include "input/trait_distances_file.hpp"

namespace quorvel::driver {

void load_species_traits(RunState& state) {
  RunSettings& settings = state.settings;
  if (settings.n_trait_species != 0) {
    state.trait_categories_found = input::read_species_traits(
        settings.species_traits_file, settings.n_trait_species, settings.n_trait_variables, settings.n_matrix_species,
        settings.trait_variable_names, settings.trait_variable_categories, state.species_names, state.traits,
        state.trait_category_names);
    // Standard errors are 0 unless a file gives them.
    state.trait_se = core::matrix(0, settings.n_trait_variables, 0, state.codes.n_species);
    if (!settings.species_se_traits_file.empty()) {
      input::read_species_se_traits(settings.species_se_traits_file, settings.n_trait_species, state.codes.n_species,
                                    settings.n_trait_variables, settings.trait_variable_categories, state.trait_se,
                                    state.species_names);
    }
  }
  if (settings.taxonomy_as_species_list) {
    // No trait list: the taxonomy list, read by the same reader, gives the
    // levels of the classification (categorical columns, not traits).
    state.trait_categories_found = input::read_species_traits(
        settings.species_taxonomy_file, settings.n_taxonomy_species, settings.n_trait_variables,
        settings.n_matrix_species, settings.trait_variable_names, settings.trait_variable_categories,
        state.species_names, state.traits, state.trait_category_names);
  }
  if (settings.trait_distance_layout != 0) {
    // The distance file defines the species when nothing else does.
    const bool defines_species =
        !state.codes.has_abundances && settings.n_individuals == 0 && settings.n_trait_species == 0;
    const int found = input::read_trait_distances(settings.trait_distances_file, state.codes.n_species,
                                                  settings.n_trait_distance_species, settings.trait_distance_layout,
                                                  defines_species, state.species_names, state.trait_distance_names,
                                                  state.trait_distances, &state.trait_distance_species);
    if (defines_species) state.codes.n_species = found;
    settings.trait_distance_layout = std::abs(settings.trait_distance_layout);
  }
}

}  // namespace quorvel::driver
