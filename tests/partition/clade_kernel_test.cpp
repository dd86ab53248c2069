// The partition from clade sums against the plain loops over the divergence
// matrix the tree stands for: random ultrametric trees with polytomies,
// classifications, forests, species without a tip or sharing one, every data
// type, weighting and pair selection, 1 to 6 intervals.
#include <algorithm>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "partition/diversity_partition.hpp"
#include "partition_compare.hpp"
#include "partition_fixtures.hpp"
#include "reference_partition.hpp"

namespace quorvel::partition {
namespace {

struct CladeProblem {
  int n = 0, s = 0, data_type = kPresenceAbsenceData, R = 0;
  core::DMatrix A;
  CladeTree tree;
  core::IVector tips;
  core::DVector t;
  core::IVector categories;
  core::FMatrix pairwise_categories;
  PairSelection selection;
  PlotWeighting weighting = PlotWeighting::kEqual;
};

// Tips 1..n_tips; internal nodes join 2 to 5 current roots (or, for a
// classification, consecutive groups level by level at ages 1, 2, 3, ...).
// Ages lie on a half-unit grid so that they hit the interval limits.
CladeTree random_tree(std::mt19937& rng, int n_tips, bool classification) {
  auto uniform = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  CladeTree tree;
  tree.n_tips = n_tips;
  tree.parent.assign(static_cast<std::size_t>(n_tips) + 1, 0);
  tree.age.assign(static_cast<std::size_t>(n_tips) + 1, 0.0f);
  std::vector<int> roots;
  for (int tip = 1; tip <= n_tips; ++tip) roots.push_back(tip);
  auto join = [&tree](const std::vector<int>& members, float age) {
    const int node = static_cast<int>(tree.parent.size());
    tree.parent.push_back(0);
    tree.age.push_back(age);
    for (int m : members) tree.parent[static_cast<std::size_t>(m)] = node;
    return node;
  };
  const bool forest = uniform(0, 5) == 0;
  if (classification) {
    for (int level = 1; roots.size() > 1 && level <= 4; ++level) {
      std::vector<int> next;
      for (std::size_t first = 0; first < roots.size();) {
        const std::size_t size = std::min<std::size_t>(static_cast<std::size_t>(uniform(1, 4)), roots.size() - first);
        std::vector<int> members(roots.begin() + static_cast<long>(first),
                                 roots.begin() + static_cast<long>(first + size));
        next.push_back(join(members, static_cast<float>(level)));
        first += size;
      }
      roots = next;
    }
  } else {
    while (roots.size() > (forest ? 2u : 1u)) {
      std::shuffle(roots.begin(), roots.end(), rng);
      const std::size_t size = std::min<std::size_t>(static_cast<std::size_t>(uniform(2, 5)), roots.size());
      std::vector<int> members(roots.end() - static_cast<long>(size), roots.end());
      roots.resize(roots.size() - size);
      float oldest = 0;
      for (int m : members) oldest = std::max(oldest, tree.age[static_cast<std::size_t>(m)]);
      roots.push_back(join(members, oldest + 0.5f * static_cast<float>(uniform(1, 3))));
    }
  }
  if (uniform(0, 3) == 0) join({}, 0.0f);  // a node left alone by a clean-up
  return tree;
}

// Divergences straight from the tree: d(i, i) = 0, the age of the first
// ancestor of one tip that is also an ancestor of the other.
core::FMatrix divergences_of(const CladeTree& tree, const core::IVector& tips, int s) {
  core::FMatrix D = core::matrix(0, s, 0, s);
  auto ancestors = [&tree](int tip) {
    std::vector<int> path;
    for (int n = tip; n != 0; n = tree.parent[static_cast<std::size_t>(n)]) path.push_back(n);
    return path;
  };
  for (int i = 1; i <= s; ++i)
    for (int j = 1; j <= s; ++j) {
      if (i == j) continue;
      D[i][j] = MISSING_VALUE_F;
      if (tips[i] == 0 || tips[j] == 0) continue;
      const std::vector<int> a = ancestors(tips[i]), b = ancestors(tips[j]);
      for (int n : a)
        if (std::find(b.begin(), b.end(), n) != b.end()) {
          D[i][j] = tree.age[static_cast<std::size_t>(n)];
          break;
        }
    }
  return D;
}

CladeProblem random_problem(std::mt19937& rng, int variant) {
  auto uniform = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  CladeProblem p;
  p.n = uniform(1, 10);
  p.s = uniform(1, 16);
  p.data_type = variant % 3;
  p.R = uniform(1, 6);
  p.A = testing::random_abundance_table(rng, p.n, p.s, p.data_type);
  std::vector<double> limits = {0};
  for (int m = 2; m <= p.R; ++m) limits.push_back(limits.back() + 0.5 * uniform(1, 4));
  p.t = testing::limits(limits);

  const int n_tips = std::max(1, p.s + uniform(-2, 3));
  p.tree = random_tree(rng, n_tips, variant % 2 == 1);
  // Species on distinct tips, a few without a tip, now and then two on one.
  std::vector<int> free_tips;
  for (int tip = 1; tip <= n_tips; ++tip) free_tips.push_back(tip);
  std::shuffle(free_tips.begin(), free_tips.end(), rng);
  p.tips = core::ivector(0, p.s);
  for (int j = 1; j <= p.s; ++j) {
    if (uniform(0, 7) == 0 || free_tips.empty()) continue;
    p.tips[j] = free_tips.back();
    free_tips.pop_back();
  }
  if (p.s >= 2 && uniform(0, 4) == 0 && p.tips[1] != 0) p.tips[2] = p.tips[1];

  p.weighting = static_cast<PlotWeighting>(uniform(0, 2));
  p.categories = core::ivector(0, p.n);
  p.pairwise_categories = core::matrix(0, p.n, 0, p.n);
  for (int k = 1; k <= p.n; ++k) p.categories[k] = uniform(1, 3);
  for (int k = 1; k <= p.n; ++k)
    for (int l = k + 1; l <= p.n; ++l)
      p.pairwise_categories[k][l] = p.pairwise_categories[l][k] = static_cast<float>(uniform(1, 2));
  p.selection.mode = uniform(0, 3);
  p.selection.key1 = p.selection.mode == 3 ? 1 : uniform(0, 1) * uniform(1, 3);
  p.selection.key2 = p.selection.key1 != 0 ? uniform(0, 3) : 0;
  return p;
}

PairSelection selection_of(const CladeProblem& p) {
  PairSelection selection = p.selection;
  selection.categories = &p.categories;
  selection.pairwise_categories = &p.pairwise_categories;
  return selection;
}

void run_clades(const CladeProblem& p, PartitionTables& out, PartitionWorkspace& ws) {
  core::DMatrix A = p.A;
  CladeDivergences clades;
  clades.tree = &p.tree;
  clades.tip_of_species = &p.tips;
  compute_diversity_partition(p.n, p.s, A, p.data_type, selection_of(p), clades, p.R, p.t, p.weighting, out, ws);
}

void run_reference(const CladeProblem& p, PartitionTables& out) {
  core::DMatrix A = p.A;
  const core::FMatrix D = divergences_of(p.tree, p.tips, p.s);
  reference::compute_diversity_partition(p.n, p.s, A, p.data_type, selection_of(p), &D, p.R, p.t, p.weighting, out);
}

TEST(CladeKernel, TreesAreCheckedAndStandForTheirDivergenceMatrix) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 50; ++trial) {
    const CladeProblem p = random_problem(rng, trial);
    ASSERT_TRUE(is_clade_tree(p.tree));
    core::FMatrix D = core::matrix(0, p.s, 0, p.s);
    CladeDivergences clades{&p.tree, &p.tips};
    clade_divergence_matrix(clades, p.s, D);
    const core::FMatrix expected = divergences_of(p.tree, p.tips, p.s);
    for (int i = 1; i <= p.s; ++i)
      for (int j = 1; j <= p.s; ++j) ASSERT_EQ(D[i][j], expected[i][j]) << trial << " " << i << " " << j;
  }
  CladeTree tree;
  tree.n_tips = 2;
  tree.parent = {0, 3, 3, 0};
  tree.age = {0, 0, 0, 1};
  EXPECT_TRUE(is_clade_tree(tree));
  tree.age[3] = 0;  // a zero-length branch: the climb by ages could miss the ancestor
  EXPECT_FALSE(is_clade_tree(tree));
  tree.age = {0, 0.5f, 0, 1};  // a tip above the present
  EXPECT_FALSE(is_clade_tree(tree));
  tree.age = {0, 0, 0, MISSING_VALUE_F};
  EXPECT_FALSE(is_clade_tree(tree));
  tree.age = {0, 0, 0, 1};
  tree.parent = {0, 3, 4, 0};  // a parent beyond the table
  EXPECT_FALSE(is_clade_tree(tree));
}

TEST(CladeKernel, AgreesWithThePlainLoopsOnRandomTrees) {
  std::mt19937 rng(20261207);
  PartitionWorkspace workspace;  // shared with matrix problems: each coding must replace the other
  for (int trial = 0; trial < 800; ++trial) {
    const CladeProblem p = random_problem(rng, trial);
    PartitionTables fast = make_partition_tables(p.n), slow = make_partition_tables(p.n);
    run_clades(p, fast, workspace);
    run_reference(p, slow);
    ASSERT_TRUE(testing::same_partition(fast, slow, p.n, p.R))
        << "trial " << trial << " n=" << p.n << " s=" << p.s << " type=" << p.data_type << " R=" << p.R
        << " mode=" << p.selection.mode << " weighting=" << static_cast<int>(p.weighting);
    if (trial % 5 == 0) {
      // The matrix coding in the same workspace, then the tree again.
      core::DMatrix A = p.A;
      const core::FMatrix D = divergences_of(p.tree, p.tips, p.s);
      PartitionTables by_matrix = make_partition_tables(p.n);
      compute_diversity_partition(p.n, p.s, A, p.data_type, selection_of(p), &D, p.R, p.t, p.weighting, by_matrix,
                                  workspace);
      ASSERT_TRUE(testing::same_partition(by_matrix, slow, p.n, p.R)) << trial;
    }
  }
}

TEST(CladeKernel, MovingSpeciesBetweenTipsNeedsNoNewTree) {
  std::mt19937 rng(77);
  CladeProblem p;
  do p = random_problem(rng, 2);
  while (p.s < 5 || p.n < 3);
  PartitionWorkspace workspace;
  for (int round = 0; round < 10; ++round) {
    std::vector<int> tips;
    for (int j = 1; j <= p.s; ++j) tips.push_back(p.tips[j]);
    std::shuffle(tips.begin(), tips.end(), rng);
    for (int j = 1; j <= p.s; ++j) p.tips[j] = tips[static_cast<std::size_t>(j - 1)];
    PartitionTables fast = make_partition_tables(p.n), slow = make_partition_tables(p.n);
    run_clades(p, fast, workspace);
    run_reference(p, slow);
    ASSERT_TRUE(testing::same_partition(fast, slow, p.n, p.R)) << round;
  }
}

// Every cell the same to the bit.
bool identical(const PartitionTables& a, const PartitionTables& b, int n, int R) {
  for (int code = kStatisticI; code <= kStatisticPI; ++code) {
    for (int k = 0; k <= n; ++k)
      for (int l = 0; l <= n; ++l)
        if (std::memcmp(&a.pairwise[code][k][l], &b.pairwise[code][k][l], sizeof(float)) != 0) return false;
    for (int row = 0; row <= 2; ++row)
      for (int m = 0; m <= R; ++m)
        if (std::memcmp(&a.interval[code][row][m], &b.interval[code][row][m], sizeof(double)) != 0) return false;
  }
  return true;
}

TEST(CladeKernel, ThreadsWithTheirOwnWorkspacesGiveIdenticalValues) {
  std::mt19937 rng(99);
  std::vector<CladeProblem> problems;
  for (int i = 0; i < 8; ++i) problems.push_back(random_problem(rng, i));
  std::vector<PartitionTables> alone, together;
  for (const CladeProblem& p : problems) {
    alone.push_back(make_partition_tables(p.n));
    together.push_back(make_partition_tables(p.n));
    PartitionWorkspace ws;
    run_clades(p, alone.back(), ws);
  }
  std::vector<std::thread> threads;
  for (int w = 0; w < 3; ++w)
    threads.emplace_back([&, w]() {
      PartitionWorkspace ws;
      for (std::size_t i = static_cast<std::size_t>(w); i < problems.size(); i += 3)
        run_clades(problems[i], together[i], ws);
    });
  for (std::thread& thread : threads) thread.join();
  for (std::size_t i = 0; i < problems.size(); ++i)
    EXPECT_TRUE(identical(alone[i], together[i], problems[i].n, problems[i].R)) << i;
}

}  // namespace
}  // namespace quorvel::partition
