// A phylogeny randomization test recomputes the whole partition at every
// randomization. This benchmark times one test of 999 randomizations (whole
// tree, sampled species) on a forest census: 50 plots x 225 species with
// counts, a classification-like ultrametric tree (genera of 3 species at age
// 1, families of 3 genera at 2, orders of 5 families at 3, root at 4), with
// one and two workers. The partition reads the tree as a run does: from its
// clade view (the path every user with a tree or a classification takes).
// The draws stay in one stream; only the partitions run in parallel, so both
// timings compute the same values.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "core/console.hpp"
#include "driver/plot_section_data.hpp"
#include "driver/plot_tests.hpp"
#include "driver/run_inputs.hpp"
#include "partition/plot_section.hpp"
#include "partition/species_distances.hpp"
#include "phylogeny/phylogeny.hpp"
#include "reports/results_table.hpp"

namespace {

using namespace quorvel;

// A run as the plots x phylogeny section reads it.
struct BenchRun {
  instructions::RunSettings settings;
  driver::ResolvedOutputs outputs{"/dev/null"};
  driver::DerivedCodes codes;
  driver::DataSet data;
  randomization::RandomGenerator generator;
  reports::ResultsTable table;
  driver::RunInputs inputs() const { return {settings, outputs, codes, data}; }
};

constexpr int kPlots = 50;
constexpr int kSpecies = 225;

// Groups of `size` consecutive nodes of the level below become one node of
// age `age`; returns the new nodes.
std::vector<int> group_level(phylogeny::NodeTable& nodes, int& next, const std::vector<int>& below, int size,
                             float age) {
  std::vector<int> level;
  for (std::size_t first = 0; first < below.size(); first += static_cast<std::size_t>(size)) {
    const int node = next++;
    nodes[node].age = age;
    nodes[node].first_tip = nodes[below[first]].first_tip;
    for (std::size_t k = first; k < first + static_cast<std::size_t>(size) && k < below.size(); ++k) {
      nodes[below[k]].upper_node = node;
      nodes[below[k]].branch_length = age - nodes[below[k]].age;
      nodes[node].last_tip = nodes[below[k]].last_tip;
    }
    level.push_back(node);
  }
  return level;
}

void build_tree(BenchRun& run) {
  // Tips 1..225, root 226, then orders, families and genera.
  const int n_nodes = kSpecies + 1 + 5 + 25 + 75;
  phylogeny::NodeTable nodes(0, n_nodes + 1);
  std::vector<int> tips;
  for (int t = 1; t <= kSpecies; ++t) {
    nodes[t].first_tip = nodes[t].last_tip = t;
    nodes[t].name = "s" + std::to_string(t);
    tips.push_back(t);
  }
  int next = kSpecies + 1 + 5 + 25;  // genera first, numbered after the orders and families
  const std::vector<int> genera = group_level(nodes, next, tips, 3, 1.0f);
  next = kSpecies + 1 + 5;
  const std::vector<int> families = group_level(nodes, next, genera, 3, 2.0f);
  next = kSpecies + 2;
  const std::vector<int> orders = group_level(nodes, next, families, 5, 3.0f);
  int root = kSpecies + 1;
  const std::vector<int> top = group_level(nodes, root, orders, 5, 4.0f);
  (void)top;
  driver::Phylogeny& tree = run.data.phylogeny;
  tree = phylogeny::compact_node_table(nodes, kSpecies, n_nodes, driver::PhylogenyOrigin::kDatedTree);
  tree.tip_of_species = core::ivector(0, kSpecies);
  tree.species_of_tip = core::ivector(0, kSpecies);
  for (int j = 1; j <= kSpecies; ++j) tree.tip_of_species[j] = tree.species_of_tip[j] = j;
}

void build_community(BenchRun& run) {
  input::Community& state = run.data.community;
  std::mt19937 rng(1);
  state.abundances = core::dmatrix(0, kPlots, 0, kSpecies);
  std::vector<int> order(kSpecies);
  for (int j = 0; j < kSpecies; ++j) order[static_cast<std::size_t>(j)] = j + 1;
  std::lognormal_distribution<double> abundance(1.0, 1.2);
  core::DMatrix& A = state.abundances;
  for (int k = 1; k <= kPlots; ++k) {
    std::shuffle(order.begin(), order.end(), rng);
    const int present = std::uniform_int_distribution<int>(70, 110)(rng);
    double total = 0;
    for (int p = 0; p < present; ++p) {
      const double count = std::ceil(abundance(rng));
      A(k, order[static_cast<std::size_t>(p)]) = count;
      total += count;
    }
    A(k, 0) = total;
    for (int j = 1; j <= kSpecies; ++j) {
      A(0, j) += A(k, j);
      A(k, j) /= total;
    }
    A(0, 0) += total;
  }
  for (int j = 1; j <= kSpecies; ++j) A(0, j) /= A(0, 0);
  state.data_type = kCountData;
  state.plot_names = core::name_table(0, kPlots);
  input::PlotList& plots = run.data.positions.list;
  plots = input::plots_without_list(kPlots);
  for (int k = 1; k <= kPlots; ++k) {
    plots.x[k] = (k - 1) % 10 * 20.0;
    plots.y[k] = (k - 1) / 10 * 20.0;
  }
  driver::IntervalSet& intervals = run.data.intervals;
  intervals.distance.n = 4;
  intervals.distance.limits = core::dvector(0, 7);
  for (int j = 1; j <= 4; ++j) intervals.distance.limits[j] = 30.0 * j;
  intervals.divergence.n = 2;
  intervals.divergence.limits = core::dvector(0, 2);
  intervals.divergence.limits[2] = 1;
}

void make_run(BenchRun& state, int threads) {
  instructions::RunSettings& settings = state.settings;
  settings.n_threads = threads;
  settings.n_phylogeny_tests = 1;
  settings.n_phylogeny_randomizations = 999;
  settings.test_species_pool = core::vector(1, driver::kMaxPhylogenyTests);
  settings.test_restriction = core::vector(1, driver::kMaxPhylogenyTests);
  settings.test_age_limit = core::vector(1, driver::kMaxPhylogenyTests);
  settings.test_clade_names = core::NameTable(1, driver::kMaxPhylogenyTests);
  state.codes.n_species = kSpecies;
  state.codes.phylogeny_kind = driver::kUltrametricTree;
  state.codes.spatial_kind = 2;
  state.codes.analysis_level = driver::kPlotLevel;
  state.codes.has_abundances = true;
  state.data.n_species = kSpecies;
  build_community(state);
  build_tree(state);
  state.generator = randomization::make_random_generator(-4242);
}

void BM_PhylogenyTest999(benchmark::State& bench) {
  std::FILE* sink = std::fopen("/dev/null", "w");
  core::set_console_streams(nullptr, sink);
  const int threads = static_cast<int>(bench.range(0));
  for (auto _ : bench) {
    bench.PauseTiming();
    BenchRun run;
    make_run(run, threads);
    const driver::RunInputs inputs = run.inputs();
    const partition::SpeciesDistances divergences =
        partition::phylogeny_distances(run.data.phylogeny, partition::clade_view(run.data.phylogeny));
    if (!divergences.clades) bench.SkipWithError("the tree has no clade view");
    driver::PlotSectionData data = driver::plot_section_data(inputs, divergences);
    driver::PlotSection section =
        driver::make_plot_section(inputs, data, divergences, driver::kPhylogenyAnalysis, true);
    partition::compute_observed_partition(section, data.community.abundances, kCountData, 0);
    bench.ResumeTiming();
    driver::run_phylogeny_section_tests({inputs, data, section, run.generator, nullptr, run.table});
  }
  core::set_console_streams(nullptr, nullptr);
  std::fclose(sink);
}

BENCHMARK(BM_PhylogenyTest999)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
