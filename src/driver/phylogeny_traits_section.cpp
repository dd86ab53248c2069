#include "driver/phylogeny_traits_section.hpp"

#include <algorithm>

#include "core/console.hpp"
#include "core/format.hpp"
#include "driver/plot_tests.hpp"
#include "reports/report_files.hpp"
#include "reports/run_notes.hpp"
#include "reports/section_reports.hpp"
#include "traits/signal_tests.hpp"

namespace quorvel::driver {

namespace {

// Tests of the phylogeny whose clade restriction marks them as meant for
// other sections only.
constexpr float kTestSkippedHere = -2.0f;

// Whether test t of the instruction file runs in this section: not reserved
// for other sections, and without an abundance or occurrence ratio (this
// section has no plots to weigh the species by).
bool runs_in_this_section(const instructions::RunSettings& settings, int t) {
  if (settings.test_restriction[t] == kTestSkippedHere) return false;
  const float pool = settings.test_species_pool[t];
  return pool >= -1.0f && pool <= 1.0f;
}

}  // namespace

void run_phylogeny_traits_section(const RunInputs& run, bool has_trait_distances,
                                  randomization::RandomGenerator& generator, randomization::SliceLedger* slices,
                                  reports::ResultsTable& table) {
  const DataSet& data = run.data;
  const Traits& traits = data.traits;
  traits::SignalData signal;
  signal.n_species = run.codes.n_species;
  signal.n_intervals = data.intervals.divergence.n;
  signal.limits = &data.intervals.divergence.limits;
  signal.n_trait_variables = traits.variables.n_variables;
  signal.variable_categories = &traits.variables.variable_categories;
  signal.traits = &traits.list.values;
  signal.distances = &traits.distances.matrices;
  signal.n_distance_variables = std::max(traits.distances.matrices.hi(), 0);
  // Species traits without a quantitative variable that varies carry no
  // signal to measure; the driver has already said that the trait analyses
  // are skipped.
  if (run.codes.trait_kind == kSpeciesTraits && !has_trait_distances && signal.n_distance_variables == 0) return;

  core::console_print("\n\n\n\n\nAnalyse PHYLO x TRAITS data");
  const reports::TraitSignalRecord record{
      signal.n_rows(), signal.n_distance_variables > 0,
      signal.n_distance_variables > 0 ? &traits.distances.variable_names : &traits.variables.variable_names,
      signal.n_intervals, signal.limits};
  core::FMatrix observed = traits::signal_table(signal);
  traits::compute_signal(signal, traits.list.values, data.divergence_table(), observed);
  const std::string& main_result_file = run.outputs.main_result_file;
  reports::append_section(main_result_file, reports::report_trait_signal(table, record, observed));

  const instructions::RunSettings& settings = run.settings;
  const bool phylogeny_tests = settings.n_phylogeny_tests > 0 && settings.n_phylogeny_randomizations > 0;
  // The simulated traits replace trait values; a signal measured on trait
  // distance matrices does not read them.
  const bool brownian_test =
      settings.n_brownian_replicates > 0 && run.codes.trait_kind == kSpeciesTraits && signal.n_distance_variables == 0;
  if (!phylogeny_tests && !brownian_test) return;
  if (data.phylogeny.n_tips < 2 || !data.phylogeny.has_tree()) {
    // Divergences read from a file come without a tree: there are no tips to
    // permute species among and no branches to simulate evolution along.
    reports::write_note(main_result_file, reports::kNoTreeForSignalTests);
    return;
  }
  const phylogeny::NodeTable nodes = phylogeny::node_table(data.phylogeny);
  const randomization::PhylogenyView tree = phylogeny_view(data, nodes);
  const int n = settings.n_phylogeny_randomizations;
  for (int t = 1; phylogeny_tests && t <= settings.n_phylogeny_tests; ++t) {
    if (!runs_in_this_section(settings, t)) continue;
    core::console_print(core::format("\n\nPhylogeny randomization test %i\n", t));
    const randomization::TestSummaryMatrix summaries =
        traits::signal_phylogeny_test(signal, tree, observed, settings.test_age_limit[t], settings.test_restriction[t],
                                      settings.test_clade_names[t], n, settings.n_threads, slices, generator);
    core::console_print("\nWriting permutation results. Please, wait.");
    reports::append_section(main_result_file,
                            reports::report_trait_signal_test(table, record, false, 0.0f, settings.test_restriction[t],
                                                              settings.test_clade_names[t], n, summaries, t));
  }
  if (brownian_test) {
    const int replicates = settings.n_brownian_replicates;
    core::console_print("\n\nBrownian evolution test\n");
    const randomization::TestSummaryMatrix summaries =
        traits::brownian_signal_test(signal, tree, observed, traits.se, settings.species_se_traits.file, replicates,
                                     settings.n_threads, slices, generator);
    core::console_print("\nWriting permutation results. Please, wait.");
    reports::append_section(main_result_file, reports::report_trait_signal_test(
                                                  table, record, true, 0, 0, std::string(), replicates, summaries, 0));
  }
}

}  // namespace quorvel::driver
