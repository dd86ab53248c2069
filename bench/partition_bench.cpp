// The diversity partition is computed once per randomization, thousands of
// times per run. These benchmarks time it on two realistic communities, with
// the plain loops as the baseline:
//  - 50 plots x 225 species (a forest census), divergences from a taxonomy
//    (0 species, 1 genus, 2 family, 3 order, 4 beyond), counts;
//  - 400 plots x 300 species, divergences from an ultrametric tree, counts,
//    six divergence intervals.
// Both divergence sets come from a tree, so the partition from clade sums
// (what the phylogeny randomizations use) is timed as well.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "partition/diversity_partition.hpp"
#include "reference_partition.hpp"

namespace {

using namespace quorvel;
using partition::PartitionTables;

struct Community {
  int n = 0, s = 0, R = 0;
  core::DMatrix A;
  core::FMatrix D;
  core::DVector t;
  partition::CladeTree tree;  ///< the tree D comes from
  core::IVector tips;         ///< species j on tip j
};

// Appends an internal node of the given age; returns its index.
int add_node(partition::CladeTree& tree, float age) {
  tree.parent.push_back(0);
  tree.age.push_back(age);
  return static_cast<int>(tree.parent.size()) - 1;
}

void start_tree(Community& c) {
  c.tree.n_tips = c.s;
  c.tree.parent.assign(static_cast<std::size_t>(c.s) + 1, 0);
  c.tree.age.assign(static_cast<std::size_t>(c.s) + 1, 0.0f);
  c.tips = core::ivector(0, c.s);
  for (int j = 1; j <= c.s; ++j) c.tips[j] = j;
}

// Counts with a log-normal abundance spread over `present` random species per plot.
core::DMatrix random_counts(std::mt19937& rng, int n, int s, int present_lo, int present_hi) {
  core::DMatrix A = core::dmatrix(0, n, 0, s);
  std::vector<int> order(static_cast<std::size_t>(s));
  for (int j = 0; j < s; ++j) order[static_cast<std::size_t>(j)] = j + 1;
  std::lognormal_distribution<double> abundance(1.0, 1.2);
  for (int k = 1; k <= n; ++k) {
    std::shuffle(order.begin(), order.end(), rng);
    const int present = std::uniform_int_distribution<int>(present_lo, present_hi)(rng);
    double total = 0;
    for (int p = 0; p < present; ++p) {
      const double count = std::ceil(abundance(rng));
      A[k][order[static_cast<std::size_t>(p)]] = count;
      total += count;
    }
    A[k][0] = total;
    for (int j = 1; j <= s; ++j) {
      A[0][j] += A[k][j];
      A[k][j] /= total;
    }
    A[0][0] += total;
  }
  for (int j = 1; j <= s; ++j) A[0][j] /= A[0][0];
  return A;
}

Community taxonomy_community() {
  std::mt19937 rng(1);
  Community c;
  c.n = 50;
  c.s = 225;
  c.A = random_counts(rng, c.n, c.s, 70, 110);
  // Species in 110 genera, genera in 45 families, families in 15 orders.
  std::vector<int> genus(226), family(111), order(46);
  for (int j = 1; j <= 225; ++j) genus[static_cast<std::size_t>(j)] = std::uniform_int_distribution<int>(0, 109)(rng);
  for (int g = 0; g < 110; ++g) family[static_cast<std::size_t>(g)] = std::uniform_int_distribution<int>(0, 44)(rng);
  for (int f = 0; f < 45; ++f) order[static_cast<std::size_t>(f)] = std::uniform_int_distribution<int>(0, 14)(rng);
  c.D = core::matrix(0, c.s, 0, c.s);
  for (int i = 1; i <= c.s; ++i)
    for (int j = 1; j <= c.s; ++j) {
      const int gi = genus[static_cast<std::size_t>(i)], gj = genus[static_cast<std::size_t>(j)];
      const int fi = family[static_cast<std::size_t>(gi)], fj = family[static_cast<std::size_t>(gj)];
      float d = 4;
      if (i == j)
        d = 0;
      else if (gi == gj)
        d = 1;
      else if (fi == fj)
        d = 2;
      else if (order[static_cast<std::size_t>(fi)] == order[static_cast<std::size_t>(fj)])
        d = 3;
      c.D[i][j] = d;
    }
  // The same classification as a tree: genera at 1, families at 2, orders at 3, the root at 4.
  start_tree(c);
  const int root = add_node(c.tree, 4);
  std::vector<int> order_node(15), family_node(45), genus_node(110);
  for (int& node : order_node) {
    node = add_node(c.tree, 3);
    c.tree.parent[static_cast<std::size_t>(node)] = root;
  }
  for (int f = 0; f < 45; ++f) {
    family_node[static_cast<std::size_t>(f)] = add_node(c.tree, 2);
    c.tree.parent[static_cast<std::size_t>(family_node[static_cast<std::size_t>(f)])] =
        order_node[static_cast<std::size_t>(order[static_cast<std::size_t>(f)])];
  }
  for (int g = 0; g < 110; ++g) {
    genus_node[static_cast<std::size_t>(g)] = add_node(c.tree, 1);
    c.tree.parent[static_cast<std::size_t>(genus_node[static_cast<std::size_t>(g)])] =
        family_node[static_cast<std::size_t>(family[static_cast<std::size_t>(g)])];
  }
  for (int j = 1; j <= c.s; ++j)
    c.tree.parent[static_cast<std::size_t>(j)] =
        genus_node[static_cast<std::size_t>(genus[static_cast<std::size_t>(j)])];
  c.R = 4;
  c.t = core::dvector(1, 4);
  c.t[1] = 0;
  c.t[2] = 1.5;
  c.t[3] = 2.5;
  c.t[4] = 3.5;
  return c;
}

Community tree_community() {
  std::mt19937 rng(2);
  Community c;
  c.n = 400;
  c.s = 300;
  c.A = random_counts(rng, c.n, c.s, 20, 60);
  // A random ultrametric tree: clusters merge two at a time at increasing ages;
  // the divergence of two species is the age of the merge that joins them.
  c.D = core::matrix(0, c.s, 0, c.s);
  std::vector<std::vector<int>> clusters;
  for (int j = 1; j <= c.s; ++j) clusters.push_back({j});
  start_tree(c);
  std::vector<int> cluster_node(static_cast<std::size_t>(c.s));
  for (int j = 1; j <= c.s; ++j) cluster_node[static_cast<std::size_t>(j - 1)] = j;
  double age = 0;
  std::exponential_distribution<double> wait(1.0);
  while (clusters.size() > 1) {
    age += wait(rng) * 100.0 / static_cast<double>(clusters.size() * clusters.size()) * 4.0;
    const std::size_t a = std::uniform_int_distribution<std::size_t>(0, clusters.size() - 1)(rng);
    std::size_t b = std::uniform_int_distribution<std::size_t>(0, clusters.size() - 2)(rng);
    if (b >= a) ++b;
    for (int i : clusters[a])
      for (int j : clusters[b]) c.D[i][j] = c.D[j][i] = static_cast<float>(age);
    clusters[a].insert(clusters[a].end(), clusters[b].begin(), clusters[b].end());
    clusters.erase(clusters.begin() + static_cast<std::ptrdiff_t>(b));
    const int node = add_node(c.tree, static_cast<float>(age));
    c.tree.parent[static_cast<std::size_t>(cluster_node[a])] = node;
    c.tree.parent[static_cast<std::size_t>(cluster_node[b])] = node;
    cluster_node[a] = node;
    cluster_node.erase(cluster_node.begin() + static_cast<std::ptrdiff_t>(b));
  }
  c.R = 6;
  c.t = core::dvector(1, 6);
  const double limits[6] = {0, 2, 5, 10, 20, 40};
  for (int m = 1; m <= 6; ++m) c.t[m] = limits[m - 1];
  return c;
}

const Community& community(int which) {
  static const Community taxonomy = taxonomy_community();
  static const Community tree = tree_community();
  return which == 0 ? taxonomy : tree;
}

void BM_PartitionReference(benchmark::State& state) {
  const Community& c = community(static_cast<int>(state.range(0)));
  PartitionTables tables = partition::make_partition_tables(c.n);
  for (auto _ : state) {
    core::DMatrix A = c.A;
    partition::reference::compute_diversity_partition(c.n, c.s, A, partition::kCountData, partition::PairSelection(),
                                                      &c.D, c.R, c.t, partition::PlotWeighting::kEqual, tables);
    benchmark::DoNotOptimize(tables.pairwise[1].data());
  }
}

// Largest relative difference between the two versions over the interval
// tables (doubles), reported with the timing.
double largest_difference(const Community& c, const PartitionTables& fast) {
  PartitionTables slow = partition::make_partition_tables(c.n);
  core::DMatrix A = c.A;
  partition::reference::compute_diversity_partition(c.n, c.s, A, partition::kCountData, partition::PairSelection(),
                                                    &c.D, c.R, c.t, partition::PlotWeighting::kEqual, slow);
  double largest = 0;
  for (int code = 1; code <= 4; ++code)
    for (int row = 0; row <= 2; ++row)
      for (int m = 0; m <= c.R; ++m) {
        const double a = fast.interval[code][row][m], b = slow.interval[code][row][m];
        if (a == b) continue;
        largest = std::max(largest, std::fabs(a - b) / std::max(std::fabs(a), std::fabs(b)));
      }
  return largest;
}

void BM_PartitionFast(benchmark::State& state) {
  const Community& c = community(static_cast<int>(state.range(0)));
  PartitionTables tables = partition::make_partition_tables(c.n);
  partition::PartitionWorkspace workspace;
  for (auto _ : state) {
    core::DMatrix A = c.A;
    partition::compute_diversity_partition(c.n, c.s, A, partition::kCountData, partition::PairSelection(), &c.D, c.R,
                                           c.t, partition::PlotWeighting::kEqual, tables, workspace);
    benchmark::DoNotOptimize(tables.pairwise[1].data());
  }
  state.counters["max_rel_diff"] = largest_difference(c, tables);
}

// The same divergences from clade sums; the species are moved to other tips
// at every call, as by a randomization (the matrix version would then code a
// new matrix every time).
void BM_PartitionClades(benchmark::State& state) {
  const Community& c = community(static_cast<int>(state.range(0)));
  PartitionTables tables = partition::make_partition_tables(c.n);
  partition::PartitionWorkspace workspace;
  core::IVector tips = c.tips;
  partition::CladeDivergences clades;
  clades.tree = &c.tree;
  clades.tip_of_species = &tips;
  std::mt19937 rng(3);
  for (auto _ : state) {
    state.PauseTiming();
    std::shuffle(&tips[1], &tips[1] + c.s, rng);
    state.ResumeTiming();
    core::DMatrix A = c.A;
    partition::compute_diversity_partition(c.n, c.s, A, partition::kCountData, partition::PairSelection(), clades, c.R,
                                           c.t, partition::PlotWeighting::kEqual, tables, workspace);
    benchmark::DoNotOptimize(tables.pairwise[1].data());
  }
  tips = c.tips;
  core::DMatrix A = c.A;
  partition::compute_diversity_partition(c.n, c.s, A, partition::kCountData, partition::PairSelection(), clades, c.R,
                                         c.t, partition::PlotWeighting::kEqual, tables, workspace);
  state.counters["max_rel_diff"] = largest_difference(c, tables);
}

// Argument 0: 50 x 225 with a taxonomy; 1: 400 x 300 with a tree.
BENCHMARK(BM_PartitionReference)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartitionFast)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartitionClades)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartitionReference)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PartitionFast)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartitionClades)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
