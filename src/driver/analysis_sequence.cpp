#include "driver/analysis_sequence.hpp"

#include "driver/individual_section.hpp"
#include "driver/phylogeny_traits_section.hpp"
#include "driver/plot_sections.hpp"
#include "reports/run_notes.hpp"
#include "traits/trait_distances.hpp"

namespace quorvel::driver {

const core::FMatrix* section_trait_distances(const RunInputs& run, core::FMatrix& computed) {
  const DerivedCodes& codes = run.codes;
  const Traits& traits = run.data.traits;
  if (codes.trait_kind == kSpeciesTraits) {
    computed = core::matrix(0, codes.n_species, 0, codes.n_species);
    const input::SpeciesListHeader& variables = traits.variables;
    return traits::compute_trait_distances(codes.n_species, variables.n_variables, variables.variable_categories,
                                           variables.variable_names, traits.list.values, computed)
               ? &computed
               : nullptr;
  }
  if (codes.trait_kind == kTraitDistances && !traits.distances.matrices.empty()) return &traits.distances.matrices[1];
  return nullptr;
}

void run_analysis_sequence(const RunInputs& run, randomization::RandomGenerator& generator,
                           randomization::SliceLedger* slices, reports::ResultsTable& table) {
  const DerivedCodes& codes = run.codes;
  // A trait list without a usable quantitative variable gives no trait
  // distances: the trait sections are skipped with one line saying why.
  core::FMatrix computed;
  const core::FMatrix* trait_distances = section_trait_distances(run, computed);
  if (codes.trait_kind == kSpeciesTraits && trait_distances == nullptr) {
    reports::write_note(run.outputs.main_result_file, traits::kNoQuantitativeTraits);
  }

  // Plot-level sections: plots of a species-plot matrix, or of individuals
  // grouped by position; individuals analysed one by one have none.
  const bool has_plots = codes.analysis_level == kPlotLevel || codes.analysis_level == kGroupedIndividuals;
  if (has_plots) run_plots_phylogeny_section(run, generator, slices, table);
  if (has_plots && trait_distances != nullptr)
    run_plots_traits_section(run, *trait_distances, generator, slices, table);
  if (codes.trait_kind != kNoTraits && codes.phylogeny_kind != kNoPhylogeny) {
    run_phylogeny_traits_section(run, trait_distances != nullptr, generator, slices, table);
  }
  if (codes.analysis_level == kIndividualLevel) run_individual_section(run, generator, slices, table);
}

}  // namespace quorvel::driver
