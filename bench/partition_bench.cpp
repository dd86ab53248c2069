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
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/constants.hpp"
#include "core/format.hpp"
#include "partition/diversity_partition.hpp"
#include "partition/partition_workspace.hpp"
#include "partition/species_distances.hpp"
#include "phylogeny/newick_reader.hpp"
#include "phylogeny/tree_divergences.hpp"
#include "reference_partition.hpp"

namespace {

using namespace quorvel;
using partition::PartitionTables;

// A dated tree while it is drawn: nodes 1..s the species, then internal
// nodes with their parent and age.
struct Draft {
  std::vector<int> parent{0};
  std::vector<float> age{0.0f};

  int add(float node_age) {
    parent.push_back(0);
    age.push_back(node_age);
    return static_cast<int>(parent.size()) - 1;
  }
  std::string newick(int node, const std::vector<std::vector<int>>& children) const {
    const std::vector<int>& below = children[static_cast<std::size_t>(node)];
    if (below.empty()) return "s" + std::to_string(node);
    std::string text = "(";
    for (std::size_t c = 0; c < below.size(); ++c) {
      const int child = below[c];
      text += (c ? "," : "") + newick(child, children) +
              core::format(":%.9g", static_cast<double>(age[static_cast<std::size_t>(node)]) -
                                        static_cast<double>(age[static_cast<std::size_t>(child)]));
    }
    return text + ")";
  }
};

struct Community {
  int n = 0, s = 0, R = 0;
  core::DMatrix A;
  core::FMatrix D;  ///< the divergences of the tree
  core::DVector t;
  phylogeny::Phylogeny tree;  ///< species j on tip j
  std::shared_ptr<const phylogeny::CladeTree> clades;
};

// The tree of a draft whose root is `root`, read from its Newick text; the
// species are renumbered in tip order, with the divergences of the tree.
void finish_tree(Community& c, const Draft& draft, int root) {
  std::vector<std::vector<int>> children(draft.parent.size());
  for (std::size_t v = 1; v < draft.parent.size(); ++v)
    if (draft.parent[v] != 0) children[static_cast<std::size_t>(draft.parent[v])].push_back(static_cast<int>(v));
  const std::string text = draft.newick(root, children) + ";";
  c.tree = phylogeny::read_newick_tree(text, true, phylogeny::count_newick_tips(text));
  core::NameTable names;
  phylogeny::species_from_tips(c.tree, names);
  c.D = core::matrix(0, c.s, 0, c.s);
  phylogeny::compute_tree_divergences(c.tree, c.tree.tip_of_species, c.s, c.D);
  c.clades = partition::clade_view(c.tree);
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
  // Genera at 1, families at 2, orders at 3, the root at 4.
  Draft draft;
  for (int j = 1; j <= c.s; ++j) draft.add(0.0f);
  const int root = draft.add(4);
  std::vector<int> order_node(15), family_node(45), genus_node(110);
  for (int& node : order_node) {
    node = draft.add(3);
    draft.parent[static_cast<std::size_t>(node)] = root;
  }
  for (int f = 0; f < 45; ++f) {
    family_node[static_cast<std::size_t>(f)] = draft.add(2);
    draft.parent[static_cast<std::size_t>(family_node[static_cast<std::size_t>(f)])] =
        order_node[static_cast<std::size_t>(order[static_cast<std::size_t>(f)])];
  }
  for (int g = 0; g < 110; ++g) {
    genus_node[static_cast<std::size_t>(g)] = draft.add(1);
    draft.parent[static_cast<std::size_t>(genus_node[static_cast<std::size_t>(g)])] =
        family_node[static_cast<std::size_t>(family[static_cast<std::size_t>(g)])];
  }
  for (int j = 1; j <= c.s; ++j)
    draft.parent[static_cast<std::size_t>(j)] =
        genus_node[static_cast<std::size_t>(genus[static_cast<std::size_t>(j)])];
  // Taxa the draw left empty are no nodes of the tree.
  std::vector<int> members(draft.parent.size(), 0);
  for (int j = 1; j <= c.s; ++j) members[static_cast<std::size_t>(draft.parent[static_cast<std::size_t>(j)])] += 1;
  for (const std::vector<int>* level : {&genus_node, &family_node, &order_node}) {
    for (const int node : *level) {
      const std::size_t v = static_cast<std::size_t>(node);
      if (members[v] == 0) {
        draft.parent[v] = 0;
      } else {
        members[static_cast<std::size_t>(draft.parent[v])] += 1;
      }
    }
  }
  finish_tree(c, draft, root);
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
  // A random ultrametric tree: clusters merge two at a time at increasing ages.
  Draft draft;
  for (int j = 1; j <= c.s; ++j) draft.add(0.0f);
  std::vector<int> cluster_node(static_cast<std::size_t>(c.s));
  for (int j = 1; j <= c.s; ++j) cluster_node[static_cast<std::size_t>(j - 1)] = j;
  double age = 0;
  std::exponential_distribution<double> wait(1.0);
  while (cluster_node.size() > 1) {
    age += wait(rng) * 100.0 / static_cast<double>(cluster_node.size() * cluster_node.size()) * 4.0;
    const std::size_t a = std::uniform_int_distribution<std::size_t>(0, cluster_node.size() - 1)(rng);
    std::size_t b = std::uniform_int_distribution<std::size_t>(0, cluster_node.size() - 2)(rng);
    if (b >= a) ++b;
    const int node = draft.add(static_cast<float>(age));
    draft.parent[static_cast<std::size_t>(cluster_node[a])] = node;
    draft.parent[static_cast<std::size_t>(cluster_node[b])] = node;
    cluster_node[a] = node;
    cluster_node.erase(cluster_node.begin() + static_cast<std::ptrdiff_t>(b));
  }
  finish_tree(c, draft, cluster_node[0]);
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
    partition::reference::compute_diversity_partition(c.n, c.s, A, kCountData, partition::PairSelection(), &c.D, c.R,
                                                      c.t, partition::PlotWeighting::kEqual, tables);
    benchmark::DoNotOptimize(tables.pairwise[1].data());
  }
}

// Largest relative difference between the two versions over the interval
// tables (doubles), reported with the timing.
double largest_difference(const Community& c, const PartitionTables& fast) {
  PartitionTables slow = partition::make_partition_tables(c.n);
  core::DMatrix A = c.A;
  partition::reference::compute_diversity_partition(c.n, c.s, A, kCountData, partition::PairSelection(), &c.D, c.R, c.t,
                                                    partition::PlotWeighting::kEqual, slow);
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
    partition::compute_diversity_partition(c.n, c.s, A, kCountData, partition::PairSelection(),
                                           partition::table_distances(&c.D), c.R, c.t, partition::PlotWeighting::kEqual,
                                           tables, workspace);
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
  core::IVector tips = c.tree.tip_of_species;
  const partition::SpeciesDistances clades = partition::phylogeny_distances(c.tree, c.clades, &tips);
  std::mt19937 rng(3);
  for (auto _ : state) {
    state.PauseTiming();
    std::shuffle(&tips[1], &tips[1] + c.s, rng);
    state.ResumeTiming();
    core::DMatrix A = c.A;
    partition::compute_diversity_partition(c.n, c.s, A, kCountData, partition::PairSelection(), clades, c.R, c.t,
                                           partition::PlotWeighting::kEqual, tables, workspace);
    benchmark::DoNotOptimize(tables.pairwise[1].data());
  }
  tips = c.tree.tip_of_species;
  core::DMatrix A = c.A;
  partition::compute_diversity_partition(c.n, c.s, A, kCountData, partition::PairSelection(), clades, c.R, c.t,
                                         partition::PlotWeighting::kEqual, tables, workspace);
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
