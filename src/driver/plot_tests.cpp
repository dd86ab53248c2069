#include "driver/plot_tests.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/format.hpp"
#include "core/text_output.hpp"
#include "driver/plot_randomization_loops.hpp"
#include "driver/plot_test_store.hpp"
#include "phylogeny/tree_divergences.hpp"
#include "randomization/permutation_summary.hpp"
#include "randomization/permutation_units.hpp"
#include "randomization/phylogeny_permutation.hpp"
#include "randomization/randomization_results.hpp"
#include "reports/test_rows.hpp"

namespace quorvel::driver {

namespace {

using core::format;
using partition::kStatisticI;
using partition::kStatisticP;
using partition::kStatisticPI;
using partition::kStatisticPStar;
using randomization::TestSummaryMatrix;

// A phylogeny test that the instruction file defines but marks as not to run.
constexpr float kSkippedTest = -2.0f;

// The run's plot-level statistic codes, in report order.
core::IVector statistic_codes() {
  core::IVector codes = core::ivector(0, 4);
  for (int code = 1; code <= 4; ++code) codes[code] = code;
  return codes;
}

// What a test of the section writes, besides its summaries.
struct TestDescription {
  int n_randomizations = 0;
  int test_type = randomization::kLocationsTest;
  float restriction = 0;
  std::string clade_name;
  float mode = 0;
  int pairwise_kind = 0;
  int data_kind = 0;
};

// A test shows exactly the statistics of the section's partition report:
// without divergences I alone (the others would test rounding noise around
// 0), and with presence/absence data and divergences the PI (or TAU) block
// alone, since the statistics on individuals are then those on species.
void write_test(RunState& state, const PlotSection& section, const TestDescription& test,
                const TestSummaryMatrix& global, const TestSummaryMatrix& regression) {
  const int n_statistics = section.n_statistics;
  const int all_statistics = state.data_type == 0 && n_statistics >= 4 ? 0 : 1;
  const core::IVector codes = statistic_codes();
  randomization::write_plot_randomization_results(
      state.settings.main_result_file, section.classes.classes, n_statistics, codes, test.n_randomizations,
      test.test_type, test.restriction, test.clade_name, test.mode, state.settings.pair_selection_mode, state.pair_key1,
      state.pair_key2, state.category_names, 1, global, regression, test.pairwise_kind, all_statistics, test.data_kind);
  reports::add_plot_test_rows(
      state.reports.table, {test.data_kind, test.test_type, test.n_randomizations, test.restriction, test.clade_name,
                            test.mode, section.classes.classes, &section.classes.limit, n_statistics, &codes, &global,
                            &regression, test.pairwise_kind, all_statistics});
}

// Observed values at index 0 of a store.
void put_observed(PlotTestStore& store, const PlotSection& section) {
  for (int code = kStatisticI; code <= kStatisticPI; ++code) {
    const float st = section.tables.pairwise[code](0, 0);
    store.put_global(0, code, section.summary(code, 1), section.summary(code, 2), st);
    store.put_row(0, code, section.rows[code]);
  }
}

struct SummaryTables {
  TestSummaryMatrix global;
  TestSummaryMatrix regression;
};

// A table of summaries in which every record not summarized later shows as
// empty cells (the fourth global value of a statistic, for one).
TestSummaryMatrix empty_summaries(int row_lo, int row_hi, int col_lo, int col_hi) {
  TestSummaryMatrix table = randomization::resample_stat_type_matrix(row_lo, row_hi, col_lo, col_hi);
  randomization::TestSummary empty;
  for (float* value : {&empty.observed, &empty.mean, &empty.sd, &empty.ci95_low, &empty.ci95_high, &empty.ci99_low,
                       &empty.ci99_high}) {
    *value = MISSING_VALUE_F;
  }
  empty.p_lower = empty.p_upper = empty.p_two_sided = MISSING_VALUE;
  table.fill(empty);
  return table;
}

SummaryTables make_summary_tables(const PlotSection& section) {
  const int classes = std::max(section.classes.classes, 0);
  return {empty_summaries(0, 4, 0, 4), empty_summaries(0, 4, -20, classes + 3)};
}

// One partition test (phylogeny or trait distances). Every randomization is
// kept: the partition leaves out of each statistic the plots without a
// value of it, so a randomization never empties a statistic that the
// observed data define.
void run_partition_test(RunState& state, const PlotSection& section, const MatrixRandomizer& randomizer,
                        const TestDescription& test) {
  const int n = test.n_randomizations;
  PlotTestStore store(section.classes.classes, n);
  put_observed(store, section);
  run_partition_randomizations(state, section, n, randomizer, true, 0, [&](const PartitionOutcome& outcome, int i) {
    for (int k = 0; k < outcome.unmapped_tips; ++k) core::console_print("\ntrouble");
    for (int code = kStatisticP; code <= kStatisticPI; ++code) {
      store.put_global(i, code, outcome.within[code], outcome.among[code], outcome.st[code]);
      store.put_row(i, code, outcome.rows[code]);
    }
  });
  SummaryTables summaries = make_summary_tables(section);
  store.summarize(kStatisticP, kStatisticPI, n, true, summaries.global, summaries.regression);
  write_test(state, section, test, summaries.global, summaries.regression);
}

void run_spatial_test(RunState& state, const PlotSection& section, int data_kind) {
  const int n = state.settings.n_spatial_randomizations;
  core::console_print(format("\n\nSpatial randomization test (%i random.)\n", n));
  PlotTestStore store(section.classes.classes, n);
  put_observed(store, section);
  run_spatial_randomizations(state, section, n, [&](const partition::RegressionRow* rows, int i) {
    for (int code = kStatisticI; code <= kStatisticPI; ++code) store.put_row(i, code, rows[code]);
  });
  SummaryTables summaries = make_summary_tables(section);
  store.summarize(kStatisticI, kStatisticPI, n, false, summaries.global, summaries.regression);
  TestDescription test;
  test.n_randomizations = n;
  test.test_type = randomization::kLocationsTest;
  test.pairwise_kind = 2;
  test.data_kind = data_kind;
  write_test(state, section, test, summaries.global, summaries.regression);
}

bool has_tree(const RunState& state) { return state.codes.phylogeny_kind != kDivergenceFile && state.n_tree_nodes > 0; }

int entry_or_zero(const core::IVector& v, int i) { return i >= v.lo() && i <= v.hi() ? v[i] : 0; }

// Mean number of nodes climbed from the tips of the species to their root.
double mean_tip_depth(const partition::CladeTree& tree, const core::IVector& leaf_of_species, int n_species) {
  double steps = 0;
  int tips = 0;
  for (int i = 1; i <= n_species; ++i) {
    const int tip = leaf_of_species[i];
    if (tip == 0) continue;
    ++tips;
    for (int n = tree.parent[static_cast<std::size_t>(tip)]; n != 0; n = tree.parent[static_cast<std::size_t>(n)])
      steps += 1.0;
  }
  return tips == 0 ? 0.0 : steps / tips;
}

double mean_plot_richness(const RunState& state) {
  const int n_plots = state.settings.n_matrix_plots;
  const int n_species = state.codes.n_species;
  double present = 0;
  for (int k = 1; k <= n_plots; ++k)
    for (int j = 1; j <= n_species; ++j)
      if (state.abundances(k, j) != 0.0) present += 1.0;
  return n_plots == 0 ? 0.0 : present / n_plots;
}

}  // namespace

std::shared_ptr<const partition::CladeTree> clade_tree_of(const RunState& state) {
  const int n_nodes = state.n_tree_nodes;
  const int n_species = state.codes.n_species;
  if (n_nodes <= 0 || state.n_tips <= 0 || state.nodes.hi() < n_nodes || state.divergences(0, 0) == -1.0f)
    return nullptr;
  if (state.divergences.row_hi() < n_species || state.leaf_of_species.hi() < n_species) return nullptr;
  auto tree = std::make_shared<partition::CladeTree>();
  tree->n_tips = state.n_tips;
  tree->parent.assign(static_cast<std::size_t>(n_nodes) + 1, 0);
  tree->age.assign(static_cast<std::size_t>(n_nodes) + 1, 0.0f);
  for (int n = 1; n <= n_nodes; ++n) {
    tree->parent[static_cast<std::size_t>(n)] = state.nodes[n].upper_node;
    tree->age[static_cast<std::size_t>(n)] = state.nodes[n].age;
  }
  if (!partition::is_clade_tree(*tree)) return nullptr;
  for (int i = 1; i <= n_species; ++i)
    if (state.leaf_of_species[i] < 0 || state.leaf_of_species[i] > state.n_tips) return nullptr;
  // Climbing from every tip must cost less than the loops over the species
  // of a plot (a deep, comb-like tree keeps the matrix).
  if (mean_tip_depth(*tree, state.leaf_of_species, n_species) > std::max(32.0, mean_plot_richness(state)))
    return nullptr;
  // The tree must stand for exactly the observed divergences.
  core::FMatrix check = core::matrix(0, n_species, 0, n_species);
  partition::CladeDivergences clades;
  clades.tree = tree.get();
  clades.tip_of_species = &state.leaf_of_species;
  partition::clade_divergence_matrix(clades, n_species, check);
  for (int i = 1; i <= n_species; ++i)
    if (std::memcmp(&check(i, 1), &state.divergences(i, 1), sizeof(float) * static_cast<std::size_t>(n_species)) != 0)
      return nullptr;
  return tree;
}

MatrixRandomizer phylogeny_randomizer(RunState& state, float sub_clade_age, float restriction,
                                      const std::string& clade_name, float mode, const core::FVector& weights,
                                      bool use_clades) {
  MatrixRandomizer randomizer;
  randomizer.draw = [&state, sub_clade_age, restriction, clade_name, mode, weights](core::IVector& perm) {
    randomization::draw_phylogeny_permutation(sub_clade_age, restriction, clade_name, mode, state.nodes,
                                              state.n_tree_nodes, state.n_tips, weights, perm, state.generator);
  };
  randomizer.apply = [&state, mode](const core::IVector& perm, core::FMatrix& out, core::IVector& placement) {
    const int n_species = state.codes.n_species;
    if (mode == randomization::kPermuteAllSpecies) {
      randomization::place_species_on_tips(n_species, state.n_tips, state.leaf_of_species, perm, placement);
      out(0, 0) = state.divergences(0, 0);
      phylogeny::compute_tree_divergences(state.nodes, n_species, placement, out);
      return 0;
    }
    return randomization::apply_phylogeny_permutation(n_species, state.n_tips, state.leaf_of_species,
                                                      state.species_of_leaf, perm, state.divergences, out);
  };
  if (use_clades) randomizer.clade_tree = clade_tree_of(state);
  if (!randomizer.clade_tree) return randomizer;
  // The same randomized divergences as `apply`, as tips of the tree. Mode -1
  // places the species as above; the other modes give species i the row of
  // species q(i), that is the tip of q(i) (its own when q(i) is none).
  randomizer.place = [&state, mode](const core::IVector& perm, core::IVector& tips) {
    const int n_species = state.codes.n_species;
    if (mode == randomization::kPermuteAllSpecies) {
      randomization::place_species_on_tips(n_species, state.n_tips, state.leaf_of_species, perm, tips);
      return 0;
    }
    if (tips.lo() != 0 || tips.hi() != n_species) tips = core::ivector(0, n_species);
    int unmapped = 0;
    for (int i = 1; i <= n_species; ++i) {
      int source = i;
      const int leaf = entry_or_zero(state.leaf_of_species, i);
      if (leaf >= 1 && leaf <= state.n_tips) {
        const int target = entry_or_zero(perm, leaf);
        const int species = target >= 1 && target <= state.n_tips ? entry_or_zero(state.species_of_leaf, target) : 0;
        if (species >= 1 && species <= n_species)
          source = species;
        else
          ++unmapped;
      }
      tips[i] = state.leaf_of_species[source];
    }
    return unmapped;
  };
  return randomizer;
}

namespace {

// Species permuted over a whole distance matrix (trait distances, or
// divergences read from a file, which have no tree).
MatrixRandomizer matrix_randomizer(RunState& state, const core::FMatrix& observed, float mode, core::FVector weights) {
  MatrixRandomizer randomizer;
  randomizer.draw = [&state, mode, weights](core::IVector& perm) {
    randomization::draw_trait_permutation(mode, weights, state.codes.n_species, perm, state.generator);
  };
  randomizer.apply = [&state, &observed](const core::IVector& perm, core::FMatrix& out, core::IVector&) {
    randomization::apply_trait_permutation(state.codes.n_species, perm, observed, out);
    return 0;
  };
  return randomizer;
}

// Time decomposition: for each divergence interval m = 2..R, species are
// permuted within the clades whose stem crosses t[m], which leaves the
// structure older than t[m] intact.
void run_time_decomposition(RunState& state, const PlotSection& section) {
  const int n = state.settings.n_phylogeny_randomizations;
  const int R = section.n_intervals;
  if (!has_tree(state)) {
    core::echo_to_file(
        state.settings.main_result_file,
        "\n\nNo phylogeny randomization test for time decomposition: divergences read from a file have no tree\n");
    return;
  }
  // Stores [row][interval] over 0..Np: P* within, among, P*st, PAD; PI within, among, PIst.
  std::vector<core::FVector> p_star(static_cast<std::size_t>(4 * (R + 1)), core::vector(0, n));
  std::vector<core::FVector> pi(static_cast<std::size_t>(3 * (R + 1)), core::vector(0, n));
  auto p_star_values = [&](int row, int m) -> core::FVector& {
    return p_star[static_cast<std::size_t>(row * (R + 1) + m)];
  };
  auto pi_values = [&](int row, int m) -> core::FVector& { return pi[static_cast<std::size_t>(row * (R + 1) + m)]; };
  auto put = [&](int index, int m, const double* v) {
    // v: P* within, among, pool, PI within, among, pool.
    p_star_values(0, m)[index] = store_value(v[0]);
    p_star_values(1, m)[index] = store_value(v[1]);
    p_star_values(2, m)[index] = store_value(one_minus_ratio(v[0], v[1]));
    p_star_values(3, m)[index] = store_value(one_minus_ratio(v[2], v[5]));
    pi_values(0, m)[index] = store_value(v[3]);
    pi_values(1, m)[index] = store_value(v[4]);
    pi_values(2, m)[index] = store_value(one_minus_ratio(v[3], v[4]));
  };
  const auto& observed_p_star = section.tables.interval[kStatisticPStar];
  const auto& observed_pi = section.tables.interval[kStatisticPI];
  for (int m = 1; m <= R; ++m) {
    const double v[6] = {observed_p_star(0, m), observed_p_star(1, m), observed_p_star(2, m),
                         observed_pi(0, m),     observed_pi(1, m),     observed_pi(2, m)};
    put(0, m, v);
  }
  TestSummaryMatrix p_star_summaries = empty_summaries(0, 3, 0, R);
  TestSummaryMatrix pi_summaries = empty_summaries(0, 2, 0, R);
  const core::FVector weights = permutation_weights(state, randomization::kPermuteSampledSpecies, true);
  for (int m = 2; m <= R; ++m) {
    const float age = static_cast<float>(section.limits[m]);
    core::console_print(format("\n\nPhylogeny randomization test for time decomposition: clades age<=%f (%i random.)\n",
                               section.limits[m], n));
    const MatrixRandomizer randomizer =
        phylogeny_randomizer(state, 0.0f, age, std::string(), randomization::kPermuteSampledSpecies, weights, true);
    run_partition_randomizations(state, section, n, randomizer, false, m, [&](const PartitionOutcome& outcome, int i) {
      for (int k = 0; k < outcome.unmapped_tips; ++k) core::console_print("\ntrouble");
      put(i, m, outcome.interval);
    });
    for (int row = 0; row <= 3; ++row) summarize_values(p_star_values(row, m), n, p_star_summaries(row, m));
    for (int row = 0; row <= 2; ++row) summarize_values(pi_values(row, m), n, pi_summaries(row, m));
  }
  // Interval 1 (one species) is never randomized: its observed values alone.
  for (int row = 0; row <= 3; ++row) summarize_values(p_star_values(row, 1), 0, p_star_summaries(row, 1));
  for (int row = 0; row <= 2; ++row) summarize_values(pi_values(row, 1), 0, pi_summaries(row, 1));
  randomization::write_interval_randomization_results(state.settings.main_result_file, R, section.limits, n,
                                                      p_star_summaries, pi_summaries);
  reports::add_interval_test_rows(state.reports.table, R, section.limits, n, p_star_summaries, pi_summaries);
}

void run_phylogeny_tests(RunState& state, const PlotSection& section) {
  const RunSettings& settings = state.settings;
  const int n_tests = std::min(settings.n_phylogeny_tests, kMaxPhylogenyTests);
  for (int t = 1; t <= n_tests; ++t) {
    const float restriction = settings.test_restriction[t];
    if (restriction == kSkippedTest) continue;
    core::console_print(format("\n\nPhylogeny randomization test %i\n", t));
    const float mode = settings.test_species_pool[t];
    TestDescription test;
    test.n_randomizations = settings.n_phylogeny_randomizations;
    test.test_type = randomization::kPhylogenyTest;
    test.restriction = restriction;
    test.clade_name = settings.test_clade_names[t];
    test.mode = mode;
    test.pairwise_kind = state.codes.spatial_kind;
    test.data_kind = 1;
    if (has_tree(state)) {
      const core::FVector weights = mode != randomization::kPermuteAllSpecies ? permutation_weights(state, mode, true)
                                                                              : core::vector(0, state.n_tips);
      run_partition_test(
          state, section,
          phylogeny_randomizer(state, settings.test_age_limit[t], restriction, test.clade_name, mode, weights, true),
          test);
    } else if (restriction == randomization::kWholeTree) {
      const core::FVector weights = permutation_weights(state, mode, false);
      run_partition_test(state, section, matrix_randomizer(state, state.divergences, mode, weights), test);
    } else {
      core::echo_to_file(settings.main_result_file,
                         format("\n\nPhylogeny randomization test %i not run: permutations within clades need a "
                                "phylogenetic tree\n",
                                t));
    }
  }
}

}  // namespace

core::FVector permutation_weights(const RunState& state, float mode, bool by_tip) {
  const int n_units = by_tip ? state.n_tips : state.codes.n_species;
  core::FVector weight = core::vector(0, n_units);
  const core::DMatrix& A = state.abundances;
  const int n_plots = state.settings.n_matrix_plots;
  for (int k = 1; k <= n_plots; ++k) {
    if (!plot_in_selection(state, k)) continue;
    for (int unit = 1; unit <= n_units; ++unit) {
      const int j = by_tip ? state.species_of_leaf[unit] : unit;
      if (j == 0 || A(k, j) == 0.0) continue;
      weight[unit] = mode > 1.0f ? static_cast<float>(weight[unit] + A(k, j)) : weight[unit] + 1.0f;
    }
  }
  return weight;
}

void run_phylogeny_section_tests(RunState& state, const PlotSection& section) {
  const RunSettings& settings = state.settings;
  const int n_phylogeny = settings.n_phylogeny_randomizations;
  const bool has_phylogeny = state.codes.phylogeny_kind != kNoPhylogeny;
  if (has_phylogeny && n_phylogeny != 0 && section.n_intervals > 2) run_time_decomposition(state, section);
  if (has_phylogeny && n_phylogeny != 0 && settings.n_phylogeny_tests >= 1) run_phylogeny_tests(state, section);
  if (settings.n_spatial_randomizations != 0) run_spatial_test(state, section, has_phylogeny ? 1 : 0);
}

void run_traits_section_tests(RunState& state, const PlotSection& section) {
  const RunSettings& settings = state.settings;
  if (settings.n_phylogeny_randomizations != 0 && settings.n_phylogeny_tests >= 1) {
    const int n_tests = std::min(settings.n_phylogeny_tests, kMaxPhylogenyTests);
    for (int t = 1; t <= n_tests; ++t) {
      if (settings.test_restriction[t] == kSkippedTest) continue;
      core::console_print(format("\n\nTraits randomization test %i\n", t));
      const float mode = settings.test_species_pool[t];
      TestDescription test;
      test.n_randomizations = settings.n_phylogeny_randomizations;
      test.test_type = randomization::kTraitDistancesTest;
      test.mode = mode;
      test.pairwise_kind = state.codes.spatial_kind;
      test.data_kind = 2;
      const core::FVector weights = mode != randomization::kPermuteAllSpecies ? permutation_weights(state, mode, false)
                                                                              : core::vector(0, state.codes.n_species);
      run_partition_test(state, section, matrix_randomizer(state, *section.distances, mode, weights), test);
    }
  }
  if (settings.n_spatial_randomizations != 0) run_spatial_test(state, section, 2);
}

}  // namespace quorvel::driver
