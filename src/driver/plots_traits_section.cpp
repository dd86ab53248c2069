#include "core/console.hpp"
#include "driver/plot_section_data.hpp"
#include "driver/plot_sections.hpp"
#include "driver/plot_tests.hpp"

namespace quorvel::driver {

void run_plots_traits_section(const RunInputs& run, const core::FMatrix& trait_distances,
                              randomization::RandomGenerator& generator, randomization::SliceLedger* slices,
                              reports::ResultsTable& table) {
  core::console_print("\n\n\n\n\nAnalyse PLOTS x TRAITS data");
  const partition::SpeciesDistances distances = partition::table_distances(&trait_distances);
  PlotSectionData data = plot_section_data(run, distances);
  PlotSection section = make_plot_section(run, data, distances, kTraitAnalysis, false);
  report_observed_partition(run, data, section, table);
  const instructions::RunSettings& settings = run.settings;
  if (settings.n_phylogeny_randomizations != 0 || settings.n_spatial_randomizations != 0) {
    run_traits_section_tests({run, data, section, generator, slices, table});
  }
  if (!settings.pairwise_indices_output.empty()) write_pairwise_values(run, data, section);
}

}  // namespace quorvel::driver
