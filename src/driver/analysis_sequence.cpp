#include "driver/analysis_sequence.hpp"

#include "core/console.hpp"
#include "core/text_output.hpp"
#include "driver/individual_section.hpp"
#include "driver/phylogeny_traits_section.hpp"
#include "driver/plot_sections.hpp"
#include "traits/trait_distances.hpp"

namespace quorvel::driver {

namespace {

// The trait distances the trait sections use: computed from the species
// traits, or the first matrix of the trait distance file. A trait list
// without a usable quantitative variable gives none, and the trait sections
// are skipped with one line saying why.
void prepare_trait_distances(RunState& state) {
  const RunSettings& settings = state.settings;
  const int n_species = state.codes.n_species;
  if (state.codes.trait_kind == kSpeciesTraits) {
    state.section_trait_distances = core::matrix(0, n_species, 0, n_species);
    state.has_trait_distances =
        traits::compute_trait_distances(n_species, settings.n_trait_variables, settings.trait_variable_categories,
                                        settings.trait_variable_names, state.traits, state.section_trait_distances);
    if (!state.has_trait_distances) core::echo_to_file(settings.main_result_file, traits::kNoQuantitativeTraits);
  } else if (state.codes.trait_kind == kTraitDistances && !state.trait_distances.empty()) {
    state.section_trait_distances = state.trait_distances[1];
    state.has_trait_distances = true;
  }
}

}  // namespace

void run_analysis_sequence(RunState& state) {
  const DerivedCodes& codes = state.codes;
  prepare_trait_distances(state);
  // Plot-level sections: plots of a species-plot matrix, or of individuals
  // grouped by position; individuals analysed one by one have none.
  const bool has_plots = codes.analysis_level == kPlotLevel || codes.analysis_level == kGroupedIndividuals;
  if (has_plots) run_plots_phylogeny_section(state);
  if (has_plots && codes.trait_kind != kNoTraits && state.has_trait_distances) run_plots_traits_section(state);
  if (codes.trait_kind != kNoTraits && codes.phylogeny_kind != kNoPhylogeny) run_phylogeny_traits_section(state);
  if (codes.analysis_level == kIndividualLevel) run_individual_section(state);
}

}  // namespace quorvel::driver
