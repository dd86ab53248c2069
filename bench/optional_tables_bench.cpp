// The optional tables of a large survey: 400 plots x 300 species (counts,
// 20 to 150 species per plot), a random ultrametric tree of the 300
// species, six divergence-interval limits. Each table is built once per
// run; the pair tables grow with the 79,800 pairs of plots. The divergences
// are read from the tree, row by row, as a run with a tree reads them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/constants.hpp"
#include "core/format.hpp"
#include "partition/diversity_indices.hpp"
#include "partition/lineages_through_time.hpp"
#include "partition/node_decomposition.hpp"
#include "partition/species_distances.hpp"
#include "phylogeny/newick_reader.hpp"
#include "phylogeny/phylogeny.hpp"
#include "reports/node_decomposition_text.hpp"
#include "reports/pairwise_values_text.hpp"
#include "reports/plot_tables_text.hpp"

namespace {

using namespace quorvel;

constexpr int kPlots = 400;
constexpr int kSpecies = 300;

struct Survey {
  core::DMatrix A;
  phylogeny::Phylogeny phylogeny;
  phylogeny::NodeTable nodes;  // as read, for the tables that walk it
  int n_tips = 0, n_nodes = 0;
  core::IVector leaf;
  core::NameTable plot_names, species_names;
  core::DVector times;
  partition::PairwiseStatMatrix pairwise[5];
  core::IVector categories;

  partition::SpeciesTree tree() const {
    partition::SpeciesTree t;
    t.nodes = &nodes;
    t.n_tips = n_tips;
    t.n_nodes = n_nodes;
    t.leaf_of_species = &leaf;
    return t;
  }
};

// A random coalescent: clusters merge two at a time at increasing ages.
std::string random_tree(std::mt19937& rng, int n) {
  struct Cluster {
    std::string text;
    double age;
  };
  std::vector<Cluster> clusters;
  for (int j = 1; j <= n; ++j) clusters.push_back({"s" + std::to_string(j), 0.0});
  double age = 0;
  std::exponential_distribution<double> wait(1.0);
  while (clusters.size() > 1) {
    age += wait(rng) / static_cast<double>(clusters.size());
    std::uniform_int_distribution<std::size_t> pick(0, clusters.size() - 1);
    const std::size_t a = pick(rng);
    std::size_t b = pick(rng);
    while (b == a) b = pick(rng);
    const Cluster& x = clusters[std::min(a, b)];
    const Cluster& y = clusters[std::max(a, b)];
    Cluster merged{core::format("(%s:%.6f,%s:%.6f)", x.text.c_str(), age - x.age, y.text.c_str(), age - y.age), age};
    clusters.erase(clusters.begin() + static_cast<std::ptrdiff_t>(std::max(a, b)));
    clusters[std::min(a, b)] = merged;
  }
  return clusters[0].text + ";";
}

const Survey& survey() {
  static const Survey s = [] {
    Survey c;
    std::mt19937 rng(2024);
    const std::string text = random_tree(rng, kSpecies);
    c.n_tips = phylogeny::count_newick_tips(text);
    c.phylogeny = phylogeny::read_newick_tree(text, true, c.n_tips);
    c.nodes = phylogeny::node_table(c.phylogeny);
    c.n_nodes = c.phylogeny.last_number;
    // Species j on tip j.
    c.leaf = core::ivector(0, kSpecies);
    for (int j = 1; j <= kSpecies; ++j) c.leaf[j] = j;
    c.phylogeny.tip_of_species = c.leaf;
    c.phylogeny.species_of_tip = c.leaf;
    c.A = core::dmatrix(0, kPlots, 0, kSpecies);
    std::vector<int> order(kSpecies);
    for (int j = 0; j < kSpecies; ++j) order[static_cast<std::size_t>(j)] = j + 1;
    std::lognormal_distribution<double> abundance(1.0, 1.2);
    for (int k = 1; k <= kPlots; ++k) {
      std::shuffle(order.begin(), order.end(), rng);
      const int present = std::uniform_int_distribution<int>(20, 150)(rng);
      double total = 0;
      for (int p = 0; p < present; ++p) {
        const double count = std::ceil(abundance(rng));
        c.A(k, order[static_cast<std::size_t>(p)]) = count;
        total += count;
      }
      for (int j = 1; j <= kSpecies; ++j) c.A(k, j) /= total;
      c.A(k, 0) = total;
      c.A(0, 0) += total;
    }
    for (int j = 1; j <= kSpecies; ++j) {
      for (int k = 1; k <= kPlots; ++k) c.A(0, j) += c.A(k, j) / kPlots;
    }
    c.plot_names = core::name_table(0, kPlots);
    for (int k = 1; k <= kPlots; ++k) c.plot_names[k] = "plot" + std::to_string(k);
    c.times = core::dvector(1, 6);
    const double limits[] = {0, 0.01, 0.05, 0.2, 1, 100};
    for (int m = 1; m <= 6; ++m) c.times[m] = limits[m - 1];
    std::uniform_real_distribution<float> value(-0.2f, 0.8f);
    for (int code = 1; code <= 4; ++code) {
      c.pairwise[code] = core::matrix(0, kPlots, 0, kPlots);
      for (int k = 1; k <= kPlots; ++k)
        for (int l = k + 1; l <= kPlots; ++l) c.pairwise[code](k, l) = c.pairwise[code](l, k) = value(rng);
    }
    c.categories = core::ivector(0, kPlots);
    for (int k = 1; k <= kPlots; ++k) c.categories[k] = 1 + k % 4;
    return c;
  }();
  return s;
}

void BM_NodeDecomposition(benchmark::State& state) {
  const Survey& s = survey();
  partition::NodeDecompositionInput in;
  in.n_plots = kPlots;
  in.n_species = kSpecies;
  in.abundances = &s.A;
  in.data_type = kCountData;
  in.tree = s.tree();
  for (auto _ : state) {
    const partition::NodeDecomposition r = partition::compute_node_decomposition(in);
    benchmark::DoNotOptimize(reports::node_decomposition_text(in, r));
  }
}

void BM_DiversityIndices(benchmark::State& state) {
  const Survey& s = survey();
  partition::DiversityIndicesInput in;
  in.n_plots = kPlots;
  in.n_species = kSpecies;
  in.abundances = &s.A;
  in.divergences = partition::phylogeny_distances(s.phylogeny, nullptr);
  in.tree = s.tree();
  for (auto _ : state) {
    benchmark::DoNotOptimize(reports::diversity_indices_text(s.plot_names, partition::diversity_indices(in)));
  }
}

void BM_LineagesThroughTime(benchmark::State& state) {
  const Survey& s = survey();
  partition::LineagesInput in;
  in.n_plots = kPlots;
  in.n_species = kSpecies;
  in.abundances = &s.A;
  in.tree = s.tree();
  in.n_times = 6;
  in.times = &s.times;
  for (auto _ : state) {
    benchmark::DoNotOptimize(reports::lineages_through_time_text(s.plot_names, partition::lineages_through_time(in)));
  }
}

void BM_PairwiseValues(benchmark::State& state) {
  const Survey& s = survey();
  core::DVector x = core::dvector(0, kPlots), y = core::dvector(0, kPlots);
  for (int k = 1; k <= kPlots; ++k) {
    x[k] = k % 20;
    y[k] = k / 20;
  }
  core::DMatrix no_distances = core::dmatrix(0, 1, 0, 1);
  reports::PairwiseValuesInput in;
  in.n_plots = kPlots;
  in.plot_names = &s.plot_names;
  in.selection.mode = 1;
  in.selection.categories = &s.categories;
  in.x = &x;
  in.y = &y;
  in.distances = &no_distances;
  in.statistics = {1, 2, 3, 4};
  in.matrices = s.pairwise;
  for (auto _ : state) benchmark::DoNotOptimize(reports::pairwise_values_text(in));
}

BENCHMARK(BM_NodeDecomposition)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiversityIndices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LineagesThroughTime)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PairwiseValues)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
