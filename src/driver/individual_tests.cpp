#include "driver/individual_tests.hpp"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/format.hpp"
#include "core/text_output.hpp"
#include "randomization/clade_permutation.hpp"
#include "randomization/permutation_summary.hpp"
#include "randomization/randomization_runner.hpp"
#include "randomization/value_store.hpp"
#include "reports/individual_rows.hpp"
#include "reports/report_files.hpp"
#include "reports/test_text.hpp"

namespace quorvel::driver {

namespace {

// Tests of the phylogeny whose clade restriction reserves them for other sections.
constexpr float kTestSkippedHere = -2.0f;
// The two statistics of a test: P (mean divergence) and R (mean divergence
// of heterospecific pairs), each relative to the base population.
constexpr int kStatistics = 2;

// Records of one row of a store: -1 the value of the whole base population
// ("Dp", the total), 0 the row's value over all pairs, 1 the average of its
// distance classes, 2..C+1 the classes 1..C.
int records_per_row(int n_classes) { return n_classes + 3; }

// Fills `values` [statistic][row][record] (flattened) from one turnover.
void turnover_values(const individuals::SpeciesTurnover& turnover, int rows, int n_classes, float* values) {
  const int width = records_per_row(n_classes);
  for (int statistic = 0; statistic < kStatistics; ++statistic) {
    const double total = statistic == 0 ? turnover.total_D : turnover.total_R;
    for (int r = 0; r <= rows; ++r) {
      const core::DVector& row = statistic == 0 ? turnover.rows[r].P : turnover.rows[r].R;
      float* out = values + (statistic * (rows + 1) + r) * width;
      out[0] = total == MISSING_VALUE ? MISSING_VALUE_F : static_cast<float>(total);
      out[1] = row[0] == MISSING_VALUE ? MISSING_VALUE_F : static_cast<float>(row[0]);
      double sum = 0;
      int count = 0;
      for (int c = 1; c <= n_classes; ++c) {
        out[c + 2] = row[c] == MISSING_VALUE ? MISSING_VALUE_F : static_cast<float>(row[c]);
        if (row[c] != MISSING_VALUE) {
          sum += row[c];
          ++count;
        }
      }
      out[2] = count > 0 ? static_cast<float>(sum / count) : MISSING_VALUE_F;
    }
  }
}

std::string test_heading(const RunSettings& settings, int t) {
  const int Np = settings.n_phylogeny_randomizations;
  const double age = settings.test_age_limit[t];
  if (settings.test_restriction[t] == -1.0f) {
    return core::format("\n\nPhylogeny test: clades age<=%f within clade \"%s\" (%i random.)\n", age,
                        settings.test_clade_names[t].c_str(), Np);
  }
  return core::format("\n\nPhylogeny test: clades age<=%f within clades age<=%f (%i random.)\n", age,
                      static_cast<double>(settings.test_restriction[t]), Np);
}

// One test t on selection test q: Np randomized trees, drawn in order from
// the run's stream, each giving the turnover of every row.
void run_one_test(RunState& state, const IndividualSectionData& data, int t, int q) {
  const RunSettings& settings = state.settings;
  const individuals::IndividualPairResults& observed = data.results[q];
  const int rows = observed.pair_counts.hi();
  const int C = observed.n_classes;
  const int S = state.codes.n_species;
  const int Np = settings.n_phylogeny_randomizations;
  const int width = records_per_row(C);
  const std::size_t block = static_cast<std::size_t>(kStatistics * (rows + 1) * width);

  randomization::ValueStore store(static_cast<int>(block), Np);
  turnover_values(observed.turnover, rows, C, store.values(0));

  const randomization::RandomizationRunner runner =
      randomization::RandomizationRunner::for_test(settings.n_threads, Np, &state.slices);
  std::vector<phylogeny::NodeTable> trees(static_cast<std::size_t>(runner.batch_size()), state.nodes);
  std::vector<core::FMatrix> worker_divergences(static_cast<std::size_t>(runner.workers()), core::matrix(0, S, 0, S));
  std::vector<std::vector<int>> worker_marks(static_cast<std::size_t>(runner.workers()));
  const std::string clade_name = settings.test_clade_names[t];
  randomization::RandomizationSteps steps;
  steps.n_values = static_cast<int>(block);
  steps.draw = [&](int slot) {
    randomization::permute_clades(settings.test_age_limit[t], settings.test_restriction[t], clade_name, state.nodes,
                                  state.n_tree_nodes, state.n_tips, trees[static_cast<std::size_t>(slot)],
                                  state.generator);
  };
  steps.evaluate = [&](int slot, int worker, float* values) {
    core::FMatrix& divergences = worker_divergences[static_cast<std::size_t>(worker)];
    randomization::randomized_tree_divergences(trees[static_cast<std::size_t>(slot)], S, state.leaf_of_species,
                                               divergences, worker_marks[static_cast<std::size_t>(worker)]);
    const individuals::SpeciesTurnover turnover =
        individuals::compute_species_turnover(divergences, observed.pair_counts, S, C);
    turnover_values(turnover, rows, C, values);
  };
  runner.run(steps, store);

  const char* labels[kStatistics] = {
      "\n\nStatistic P (mean divergence between individuals, relative to the base population): the base population, "
      "then each individual-pair test",
      "\n\nStatistic R (mean divergence between individuals of distinct species, relative to the base population): "
      "the base population, then each individual-pair test"};
  for (int statistic = 0; statistic < kStatistics; ++statistic) {
    // One summary per record; a record without observed value, or without
    // any valid randomized value, has none.
    randomization::TestSummaryMatrix summaries = randomization::resample_stat_type_matrix(0, rows, -1, C + 3);
    for (int r = 0; r <= rows; ++r) {
      for (int record = 0; record < width; ++record) {
        const int offset = (statistic * (rows + 1) + r) * width + record;
        summaries(r, record - 1) =
            randomization::summarize_value(store, offset, Np, randomization::UndefinedRule::kNothing);
        summaries(r, record - 1).object = r;
      }
    }
    core::echo_to_file(settings.main_result_file, labels[statistic]);
    reports::append_test_section(settings.main_result_file,
                                 reports::individual_test_text(C, rows + 1, Np, 1, settings.phyletic_level_names, 0, 0,
                                                               settings.test_age_limit[t], settings.test_restriction[t],
                                                               clade_name, 1, summaries));
    reports::add_individual_test_rows(
        state.reports.table, statistic == 0 ? "P" : "R", observed, data.texts[q], summaries,
        reports::individual_test_title(settings.test_age_limit[t], settings.test_restriction[t], clade_name), Np, q,
        data.tests.hi() - data.tests.lo() + 1, t);
  }
}

}  // namespace

void run_individual_phylogeny_tests(RunState& state, const IndividualSectionData& data) {
  const RunSettings& settings = state.settings;
  if (state.codes.phylogeny_kind != kUltrametricTree) {
    // Permuting clades needs the ages of an ultrametric tree; permuting the
    // taxa of a classification needs the levels to permute and within which,
    // which no keyword of the instruction file gives.
    core::echo_to_file(
        settings.main_result_file,
        state.codes.phylogeny_kind == kTaxonomy
            ? "\n\nPhylogeny tests at the individual level with a taxonomic classification need the levels to "
              "permute, which the instruction file cannot give: they are not run."
            : "\n\nPhylogeny tests at the individual level permute the clades of an ultrametric tree: without one "
              "they are not run.");
    return;
  }
  for (int t = 1; t <= std::min(settings.n_phylogeny_tests, kMaxPhylogenyTests); ++t) {
    if (settings.test_restriction[t] == kTestSkippedHere) continue;
    core::echo_to_file(settings.main_result_file, test_heading(settings, t));
    for (int q = data.results.lo(); q <= data.results.hi(); ++q) {
      if (data.n_selection_tests > 0) {
        core::echo_to_file(settings.main_result_file,
                           core::format("\nSelection test %i: %s", q, data.texts[q][0].c_str()));
      }
      run_one_test(state, data, t, q);
    }
  }
}

}  // namespace quorvel::driver
