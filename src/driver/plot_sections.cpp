#include "driver/plot_sections.hpp"

#include "core/console.hpp"
#include "driver/plot_section_data.hpp"
#include "driver/plot_tests.hpp"

namespace quorvel::driver {

void run_plots_phylogeny_section(RunState& state) {
  const bool has_phylogeny = state.codes.phylogeny_kind != kNoPhylogeny;
  core::console_print(has_phylogeny ? "\n\n\n\nAnalyse PLOTS x PHYLO data" : "\n\n\n\nAnalyse PLOTS data");
  prepare_plot_pairs(state);
  const SectionSpecies species(state, has_phylogeny ? &state.divergences : nullptr);
  PlotSection section = make_plot_section(state, has_phylogeny ? &state.divergences : nullptr,
                                          has_phylogeny ? kPhylogenyAnalysis : kPlainAnalysis, true);
  compute_observed_partition(state, section);
  core::console_print(global_statistics_line(section));
  write_section_report(state, section, state.codes.n_reported_indices, section.n_intervals);

  // Optional outputs, in this order, when their files are named:
  // decomposition by tree node (node_decomposition_output, trees and
  // classifications only),
  // plot phylodiversity and similarity (plot_phylodiversity_output),
  // lineages through time (lineage_through_time_output, ultrametric divergences only),
  // pairwise values (pairwise_indices_output).

  const RunSettings& settings = state.settings;
  if (settings.n_phylogeny_randomizations != 0 || settings.n_spatial_randomizations != 0) {
    run_phylogeny_section_tests(state, section);
  }
}

void run_plots_traits_section(RunState& state) {
  core::console_print("\n\n\n\n\nAnalyse PLOTS x TRAITS data");
  prepare_plot_pairs(state);
  const SectionSpecies species(state, &state.section_trait_distances);
  PlotSection section = make_plot_section(state, &state.section_trait_distances, kTraitAnalysis, false);
  compute_observed_partition(state, section);
  core::console_print(global_statistics_line(section));
  write_section_report(state, section, 4, 0);

  const RunSettings& settings = state.settings;
  if (settings.n_phylogeny_randomizations != 0 || settings.n_spatial_randomizations != 0) {
    run_traits_section_tests(state, section);
  }
  // Pairwise values of the trait statistics (pairwise_indices_output), after the tests.
}

}  // namespace quorvel::driver
