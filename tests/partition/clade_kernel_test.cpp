// The partition from a tree, without any species x species table, against
// the table of divergences the tree stands for: clade sums (dated trees and
// classifications) within rounding of the plain loops, rows computed from the
// tree (any tree) identical to the bit to the table. Many small random cases:
// polytomies, ages on a coarse grid (ties), zero-length internal branches
// (dissolved by the reader), zero-length tip branches (two species at
// divergence 0), internal branches too short for single-precision ages,
// classifications with levels of one age, trees of branch lengths, species
// without a tip or sharing one, every data type, weighting and pair selection,
// 1 to 6 intervals.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "core/format.hpp"
#include "partition/diversity_partition.hpp"
#include "partition/placement_partition.hpp"
#include "partition/plot_section.hpp"
#include "partition_compare.hpp"
#include "partition_fixtures.hpp"
#include "phylogeny/newick_reader.hpp"
#include "phylogeny/tree_divergences.hpp"
#include "reference_partition.hpp"

namespace quorvel::partition {
namespace {

enum class TreeKind { kDated, kClassification, kPathLengths };

struct TreeProblem {
  int n = 0, s = 0, data_type = kPresenceAbsenceData, R = 0;
  core::DMatrix A;
  phylogeny::Phylogeny tree;
  core::IVector tips;  // [0..s]
  core::DVector t;
  core::IVector categories;
  core::FMatrix pairwise_categories;
  PairSelection selection;
  PlotWeighting weighting = PlotWeighting::kEqual;
};

int uniform(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

// A node of a random tree while it is built: its children and its age.
struct Draft {
  std::vector<int> children;  // indices in the draft list; none for a tip
  double age = 0;
  int tip = 0;  // tip number once the tips are numbered
};

// Joins the current roots 2 to 5 at a time, each new node older than its
// children by 0 to 1.5 in steps of 0.5 (0 for an internal child gives a
// zero-length branch), now and then by 1e-9 (an age that single precision
// cannot tell from its child's).
std::vector<Draft> random_drafts(std::mt19937& rng, int n_tips) {
  std::vector<Draft> drafts(static_cast<std::size_t>(n_tips));
  std::vector<int> roots;
  for (int i = 0; i < n_tips; ++i) roots.push_back(i);
  while (roots.size() > 1) {
    std::shuffle(roots.begin(), roots.end(), rng);
    const std::size_t size = std::min<std::size_t>(static_cast<std::size_t>(uniform(rng, 2, 5)), roots.size());
    Draft node;
    node.children.assign(roots.end() - static_cast<long>(size), roots.end());
    roots.resize(roots.size() - size);
    double oldest = 0;
    for (int c : node.children) oldest = std::max(oldest, drafts[static_cast<std::size_t>(c)].age);
    node.age = oldest + (uniform(rng, 0, 9) == 0 ? 1e-9 : 0.5 * uniform(rng, 0, 3));
    roots.push_back(static_cast<int>(drafts.size()));
    drafts.push_back(node);
  }
  return drafts;
}

// Newick text of the drafts: dated (branch = parent age - child age), or with
// random branch lengths for a tree of branch lengths.
std::string newick(std::mt19937& rng, const std::vector<Draft>& drafts, int node, double parent_age, bool dated) {
  const Draft& d = drafts[static_cast<std::size_t>(node)];
  const double length = dated ? parent_age - d.age : 0.25 * uniform(rng, 0, 8);
  std::string text;
  if (d.children.empty()) {
    text = "t" + std::to_string(node + 1);
  } else {
    text = "(";
    for (std::size_t c = 0; c < d.children.size(); ++c)
      text += (c ? "," : "") + newick(rng, drafts, d.children[c], d.age, dated);
    text += ")";
  }
  return text + core::format(":%.10g", length);
}

phylogeny::Phylogeny newick_tree(std::mt19937& rng, int n_tips, bool dated) {
  const std::vector<Draft> drafts = random_drafts(rng, n_tips);
  const int root = static_cast<int>(drafts.size()) - 1;
  std::string text = newick(rng, drafts, root, drafts.back().age, dated);
  text = text.substr(0, text.rfind(':')) + ";";  // no root length
  return phylogeny::read_newick_tree(text, dated, phylogeny::count_newick_tips(text));
}

// A classification: tips grouped level by level into taxa of 1 to 4 members
// at ages 1, 2, ... where a level may take the age of the level below (a
// zero-length branch the classification keeps), under a root "ALL".
phylogeny::Phylogeny classification(std::mt19937& rng, int n_tips) {
  std::vector<std::vector<int>> members = {{}};  // members[node]: children
  std::vector<float> age = {0};
  for (int tip = 1; tip <= n_tips; ++tip) {
    members.emplace_back();
    age.push_back(0);
  }
  std::vector<int> level;
  for (int tip = 1; tip <= n_tips; ++tip) level.push_back(tip);
  float level_age = 0;
  std::vector<int> taxa;  // internal nodes in creation order
  while (level.size() > 1) {
    level_age += 0.5f * static_cast<float>(uniform(rng, 0, 2));
    std::vector<int> next;
    for (std::size_t first = 0; first < level.size();) {
      const std::size_t size =
          std::min<std::size_t>(static_cast<std::size_t>(uniform(rng, 1, 4)), level.size() - first);
      members.emplace_back(level.begin() + static_cast<long>(first), level.begin() + static_cast<long>(first + size));
      age.push_back(level_age);
      next.push_back(static_cast<int>(members.size()) - 1);
      first += size;
    }
    level = next;
  }
  // Table: tips 1..T, the root T+1, the other taxa after it.
  const int root = level.front();
  const int N = static_cast<int>(members.size()) - 1;
  std::vector<int> number(members.size(), 0);
  for (int tip = 1; tip <= n_tips; ++tip) number[static_cast<std::size_t>(tip)] = tip;
  number[static_cast<std::size_t>(root)] = n_tips + 1;
  int next_number = n_tips + 2;
  for (int v = n_tips + 1; v <= N; ++v)
    if (v != root) number[static_cast<std::size_t>(v)] = next_number++;
  phylogeny::NodeTable table(0, N + 1);
  for (int v = 1; v <= N; ++v) {
    phylogeny::TreeNode& node = table[number[static_cast<std::size_t>(v)]];
    node.age = age[static_cast<std::size_t>(v)];
    node.first_tip = v <= n_tips ? v : n_tips + 1;
    node.last_tip = v <= n_tips ? v : 0;
    if (v <= n_tips) node.name = "t" + std::to_string(v);
  }
  // Taxa were formed from consecutive members: their tips are contiguous.
  for (int v = n_tips + 1; v <= N; ++v) {
    phylogeny::TreeNode& node = table[number[static_cast<std::size_t>(v)]];
    for (int m : members[static_cast<std::size_t>(v)]) {
      phylogeny::TreeNode& child = table[number[static_cast<std::size_t>(m)]];
      child.upper_node = number[static_cast<std::size_t>(v)];
      child.branch_length = age[static_cast<std::size_t>(v)] - child.age;
      node.first_tip = std::min(node.first_tip, child.first_tip);
      node.last_tip = std::max(node.last_tip, child.last_tip);
    }
  }
  return phylogeny::compact_node_table(table, n_tips, N, phylogeny::PhylogenyOrigin::kClassification);
}

TreeProblem random_problem(std::mt19937& rng, int variant, TreeKind kind) {
  TreeProblem p;
  p.n = uniform(rng, 1, 10);
  p.s = uniform(rng, 1, 16);
  p.data_type = variant % 3;
  p.R = uniform(rng, 1, 6);
  p.A = testing::random_abundance_table(rng, p.n, p.s, p.data_type);
  std::vector<double> limits = {0};
  for (int m = 2; m <= p.R; ++m) limits.push_back(limits.back() + 0.5 * uniform(rng, 1, 4));
  p.t = testing::limits(limits);

  const int n_tips = std::max(2, p.s + uniform(rng, -2, 3));
  if (kind == TreeKind::kClassification) {
    p.tree = classification(rng, n_tips);
  } else {
    p.tree = newick_tree(rng, n_tips, kind == TreeKind::kDated);
  }
  // Species on distinct tips, a few without a tip, now and then two on one.
  std::vector<int> free_tips;
  for (int tip = 1; tip <= n_tips; ++tip) free_tips.push_back(tip);
  std::shuffle(free_tips.begin(), free_tips.end(), rng);
  p.tips = core::ivector(0, p.s);
  for (int j = 1; j <= p.s; ++j) {
    if (uniform(rng, 0, 7) == 0 || free_tips.empty()) continue;
    p.tips[j] = free_tips.back();
    free_tips.pop_back();
  }
  if (p.s >= 2 && uniform(rng, 0, 4) == 0 && p.tips[1] != 0) p.tips[2] = p.tips[1];

  p.weighting = static_cast<PlotWeighting>(uniform(rng, 0, 2));
  p.categories = core::ivector(0, p.n);
  p.pairwise_categories = core::matrix(0, p.n, 0, p.n);
  for (int k = 1; k <= p.n; ++k) p.categories[k] = uniform(rng, 1, 3);
  for (int k = 1; k <= p.n; ++k)
    for (int l = k + 1; l <= p.n; ++l)
      p.pairwise_categories[k][l] = p.pairwise_categories[l][k] = static_cast<float>(uniform(rng, 1, 2));
  p.selection.mode = uniform(rng, 0, 3);
  p.selection.key1 = p.selection.mode == 3 ? 1 : uniform(rng, 0, 1) * uniform(rng, 1, 3);
  p.selection.key2 = p.selection.key1 != 0 ? uniform(rng, 0, 3) : 0;
  return p;
}

PairSelection selection_of(const TreeProblem& p) {
  PairSelection selection = p.selection;
  selection.categories = &p.categories;
  selection.pairwise_categories = &p.pairwise_categories;
  return selection;
}

core::FMatrix table_of(const TreeProblem& p) {
  core::FMatrix D = core::matrix(0, p.s, 0, p.s);
  phylogeny::compute_tree_divergences(p.tree, p.tips, p.s, D);
  return D;
}

PartitionTables run(const TreeProblem& p, const SpeciesDistances& distances, PartitionWorkspace& ws) {
  core::DMatrix A = p.A;
  PartitionTables out = make_partition_tables(p.n);
  compute_diversity_partition(p.n, p.s, A, p.data_type, selection_of(p), distances, p.R, p.t, p.weighting, out, ws);
  return out;
}

PartitionTables run_reference(const TreeProblem& p, const core::FMatrix& D) {
  core::DMatrix A = p.A;
  PartitionTables out = make_partition_tables(p.n);
  reference::compute_diversity_partition(p.n, p.s, A, p.data_type, selection_of(p), &D, p.R, p.t, p.weighting, out);
  return out;
}

// Every cell the same to the bit, the plots left out too.
::testing::AssertionResult identical(const PartitionTables& a, const PartitionTables& b, int n, int R) {
  for (int code = kStatisticI; code <= kStatisticPI; ++code) {
    for (int k = 0; k <= n; ++k)
      for (int l = 0; l <= n; ++l)
        if (std::memcmp(&a.pairwise[code][k][l], &b.pairwise[code][k][l], sizeof(float)) != 0)
          return ::testing::AssertionFailure() << "pairwise " << code << " [" << k << "][" << l << "]";
  }
  const IntervalPartition* ta[5] = {&a.interval[1], &a.interval[2], &a.interval[3], &a.interval[4], &a.species_pairs};
  const IntervalPartition* tb[5] = {&b.interval[1], &b.interval[2], &b.interval[3], &b.interval[4], &b.species_pairs};
  for (int q = 0; q < 5; ++q)
    for (int row = 0; row <= 2; ++row)
      for (int m = 0; m <= R; ++m)
        if (std::memcmp(&(*ta[q])[row][m], &(*tb[q])[row][m], sizeof(double)) != 0)
          return ::testing::AssertionFailure() << "table " << q << " [" << row << "][" << m << "]";
  for (int q = 0; q < kPartitionQuantities; ++q)
    for (int m = 0; m <= R; ++m)
      if (a.left_out.plots(q, m) != b.left_out.plots(q, m))
        return ::testing::AssertionFailure() << "plots left out of quantity " << q << " in column " << m;
  return ::testing::AssertionSuccess();
}

TEST(CladeKernel, TheCladeViewHoldsTogetherAndMergesNodesAsOldAsTheirParent) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 200; ++trial) {
    const TreeProblem p = random_problem(rng, trial, trial % 2 ? TreeKind::kClassification : TreeKind::kDated);
    ASSERT_EQ(phylogeny::validate_phylogeny(p.tree), "") << trial;
    const phylogeny::CladeTree clades = phylogeny::clade_tree(p.tree);
    ASSERT_EQ(phylogeny::validate_clade_tree(clades), "") << trial;
    EXPECT_LE(clades.n_nodes(), p.tree.n_nodes());
  }
  // (a,b) sits 1e-9 below the root: one age in single precision, one polytomy.
  const phylogeny::Phylogeny tree = phylogeny::read_newick_tree("((a:1,b:1):0.000000001,c:1.000000001);", true, 3);
  const phylogeny::CladeTree clades = phylogeny::clade_tree(tree);
  EXPECT_EQ(tree.n_nodes(), 5);
  EXPECT_EQ(clades.n_nodes(), 4);
  EXPECT_EQ(clades.parent[1], 4);
  EXPECT_EQ(phylogeny::validate_clade_tree(clades), "");
  // Sister tips with zero-length branches: a node of age 0, kept.
  const phylogeny::CladeTree cherry = phylogeny::clade_tree(phylogeny::read_newick_tree("((a:0,b:0):1,c:1);", true, 3));
  EXPECT_EQ(cherry.n_nodes(), 5);
  EXPECT_EQ(cherry.age[5], 0.0f);
  EXPECT_EQ(phylogeny::validate_clade_tree(cherry), "");
  // Divergences of a path-length tree are no ages: no clade view.
  EXPECT_EQ(clade_view(phylogeny::read_newick_tree("((a:1,b:1):1,c:2);", false, 3)), nullptr);
}

TEST(CladeKernel, CladeSumsAgreeWithThePlainLoopsOnRandomTrees) {
  std::mt19937 rng(20261207);
  PartitionWorkspace workspace;  // one workspace for every coding: each must replace the other
  for (int trial = 0; trial < 900; ++trial) {
    const TreeKind kind = trial % 3 == 0 ? TreeKind::kClassification : TreeKind::kDated;
    const TreeProblem p = random_problem(rng, trial, kind);
    const auto clades = clade_view(p.tree);
    ASSERT_NE(clades, nullptr) << trial;
    const core::FMatrix D = table_of(p);
    const PartitionTables reference = run_reference(p, D);
    const PartitionTables fast = run(p, phylogeny_distances(p.tree, clades, &p.tips), workspace);
    ASSERT_TRUE(testing::same_partition(fast, reference, p.n, p.R))
        << "trial " << trial << " n=" << p.n << " s=" << p.s << " type=" << p.data_type << " R=" << p.R
        << " mode=" << p.selection.mode << " weighting=" << static_cast<int>(p.weighting);
    if (trial % 4 == 0) {
      // Rows from the tree and the table it stands for: the same sums.
      const PartitionTables by_rows = run(p, phylogeny_distances(p.tree, nullptr, &p.tips), workspace);
      const PartitionTables by_table = run(p, table_distances(&D), workspace);
      ASSERT_TRUE(identical(by_rows, by_table, p.n, p.R)) << trial;
      ASSERT_TRUE(testing::same_partition(by_table, reference, p.n, p.R)) << trial;
    }
  }
}

TEST(CladeKernel, RowsOfATreeOfBranchLengthsAreTheTableToTheBit) {
  std::mt19937 rng(424242);
  PartitionWorkspace workspace;
  for (int trial = 0; trial < 300; ++trial) {
    const TreeProblem p = random_problem(rng, trial, TreeKind::kPathLengths);
    const core::FMatrix D = table_of(p);
    const PartitionTables by_rows = run(p, phylogeny_distances(p.tree, nullptr, &p.tips), workspace);
    const PartitionTables by_table = run(p, table_distances(&D), workspace);
    ASSERT_TRUE(identical(by_rows, by_table, p.n, p.R)) << trial;
    ASSERT_TRUE(testing::same_partition(by_table, run_reference(p, D), p.n, p.R)) << trial;
  }
}

TEST(CladeKernel, MovingSpeciesBetweenTipsNeedsNoNewTree) {
  std::mt19937 rng(77);
  TreeProblem p;
  do p = random_problem(rng, 2, TreeKind::kDated);
  while (p.s < 5 || p.n < 3);
  const auto clades = clade_view(p.tree);
  PartitionWorkspace workspace;
  for (int round = 0; round < 10; ++round) {
    std::vector<int> tips;
    for (int j = 1; j <= p.s; ++j) tips.push_back(p.tips[j]);
    std::shuffle(tips.begin(), tips.end(), rng);
    for (int j = 1; j <= p.s; ++j) p.tips[j] = tips[static_cast<std::size_t>(j - 1)];
    const PartitionTables fast = run(p, phylogeny_distances(p.tree, clades, &p.tips), workspace);
    ASSERT_TRUE(testing::same_partition(fast, run_reference(p, table_of(p)), p.n, p.R)) << round;
  }
}

TEST(CladeKernel, ThreadsWithTheirOwnWorkspacesGiveIdenticalValues) {
  std::mt19937 rng(99);
  std::vector<TreeProblem> problems;
  for (int i = 0; i < 8; ++i) problems.push_back(random_problem(rng, i, TreeKind::kDated));
  std::vector<std::shared_ptr<const phylogeny::CladeTree>> views;
  std::vector<PartitionTables> alone, together(problems.size());
  for (const TreeProblem& p : problems) {
    views.push_back(clade_view(p.tree));
    PartitionWorkspace ws;
    alone.push_back(run(p, phylogeny_distances(p.tree, views.back(), &p.tips), ws));
  }
  std::vector<std::thread> threads;
  for (int w = 0; w < 3; ++w)
    threads.emplace_back([&, w]() {
      PartitionWorkspace ws;
      for (std::size_t i = static_cast<std::size_t>(w); i < problems.size(); i += 3)
        together[i] = run(problems[i], phylogeny_distances(problems[i].tree, views[i], &problems[i].tips), ws);
    });
  for (std::thread& thread : threads) thread.join();
  for (std::size_t i = 0; i < problems.size(); ++i)
    EXPECT_TRUE(identical(alone[i], together[i], problems[i].n, problems[i].R)) << i;
}

// What a phylogeny test keeps of a placement (P, P*, PI: within, among, st
// and the regression rows), from clade sums, against the whole partition of
// the table the placement stands for; several placements on one kernel and
// one workspace, species moved among all tips (empty ones too), two species
// on one tip in the observed placement now and then.
::testing::AssertionResult near(double a, double b, double tolerance) {
  if (is_missing(a) || is_missing(b)) {
    if (is_missing(a) && is_missing(b)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a << " against " << b;
  }
  if (std::fabs(a - b) <= tolerance * std::fmax(1.0, std::fabs(b))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << a << " against " << b;
}

TEST(PlacementPartition, KeepsWhatTheWholePartitionGivesOnRandomTrees) {
  std::mt19937 rng(31337);
  constexpr int kCategories = 3;
  for (int trial = 0; trial < 600; ++trial) {
    const TreeKind kind = trial % 3 == 0 ? TreeKind::kClassification : TreeKind::kDated;
    TreeProblem p = random_problem(rng, trial, kind);
    if (p.R < 2) {
      p.R = 2;
      p.t = testing::limits({0, 1});
    }
    const auto clades = clade_view(p.tree);
    ASSERT_NE(clades, nullptr) << trial;
    // Plots on a small grid: equal distances, and distance 0 (no ln d).
    core::DVector x = core::dvector(0, p.n), y = core::dvector(0, p.n);
    for (int k = 1; k <= p.n; ++k) {
      x[k] = uniform(rng, 0, 3);
      y[k] = uniform(rng, 0, 2);
    }
    PlotSection section;
    section.n_plots = p.n;
    section.n_species = p.s;
    section.weighting = p.weighting;
    section.selection = selection_of(p);
    section.n_intervals = p.R;
    section.limits = p.t;
    section.positions.x = &x;
    section.positions.y = &y;
    section.distances = phylogeny_distances(p.tree, clades, &p.tips);
    for (const int k : plots_in_selection(section))
      if (p.A(k, 0) == 0.0) section.empty_plots.push_back(k);
    const int n_classes = uniform(rng, 0, 3);
    prepare_plot_section(section, n_classes, testing::limits({0, 1, 2.5, 3}));

    const PlacementPartition kernel(section, p.A, p.data_type, kCategories, clades);
    // Without room for the sums of all pairs: the same values to the bit.
    const PlacementPartition unstored(section, p.A, p.data_type, kCategories, clades, 0);
    PlacementPartition::Workspace workspace, unstored_workspace;
    KeptPartition kept, unstored_kept;
    RegressionRow rows[5];
    for (int code = kStatisticP; code <= kStatisticPI; ++code) {
      kept.rows[code] = make_regression_row(section.classes.classes);
      unstored_kept.rows[code] = make_regression_row(section.classes.classes);
      rows[code] = make_regression_row(section.classes.classes);
    }
    // The species with a tip take any tips, one each; those without stay so.
    std::vector<int> all_tips;
    for (int tip = 1; tip <= p.tree.n_tips; ++tip) all_tips.push_back(tip);
    for (int placement = 0; placement < 3; ++placement) {
      if (placement > 0) {
        std::vector<int> tips = all_tips, placed;
        for (int j = 1; j <= p.s; ++j)
          if (p.tips[j] != 0) placed.push_back(p.tips[j]);
        // Two species on one tip and no tip to spare: they exchange tips.
        if (placed.size() > tips.size()) tips = placed;
        std::shuffle(tips.begin(), tips.end(), rng);
        std::size_t next = 0;
        for (int j = 1; j <= p.s; ++j)
          if (p.tips[j] != 0) p.tips[j] = tips[next++];
      }
      kernel.evaluate(p.tips, workspace, kept);
      unstored.evaluate(p.tips, unstored_workspace, unstored_kept);
      const core::FMatrix D = table_of(p);
      PartitionWorkspace whole_workspace;
      const PartitionTables whole = run(p, table_distances(&D), whole_workspace);
      regress_statistics(section, kCategories, section.positions, whole, kStatisticP, kStatisticPI, rows);
      for (int code = kStatisticP; code <= kStatisticPI; ++code) {
        SCOPED_TRACE(core::format("trial %i placement %i statistic %i n=%i s=%i type=%i mode=%i", trial, placement,
                                  code, p.n, p.s, p.data_type, p.selection.mode));
        ASSERT_EQ(std::memcmp(&kept.within[code], &unstored_kept.within[code], sizeof(double)), 0);
        ASSERT_EQ(std::memcmp(&kept.among[code], &unstored_kept.among[code], sizeof(double)), 0);
        ASSERT_EQ(std::memcmp(&kept.st[code], &unstored_kept.st[code], sizeof(float)), 0);
        ASSERT_EQ(std::memcmp(&kept.rows[code][-20], &unstored_kept.rows[code][-20],
                              sizeof(float) * static_cast<std::size_t>(std::max(section.classes.classes, 0) + 24)),
                  0);
        ASSERT_TRUE(near(kept.within[code], whole.interval[code](0, 0), 1e-9));
        ASSERT_TRUE(near(kept.among[code], whole.interval[code](1, 0), 1e-9));
        const float st = whole.pairwise[code](0, 0);
        ASSERT_TRUE(near(kept.st[code] == MISSING_VALUE_F ? MISSING_VALUE : kept.st[code],
                         st == MISSING_VALUE_F ? MISSING_VALUE : st, 1e-5));
        for (int entry = -20; entry <= std::max(section.classes.classes, 0) + 3; ++entry) {
          const float a = kept.rows[code][entry], b = rows[code][entry];
          ASSERT_TRUE(near(a == MISSING_VALUE_F ? MISSING_VALUE : a, b == MISSING_VALUE_F ? MISSING_VALUE : b, 1e-4))
              << "row entry " << entry;
        }
      }
    }
  }
}

}  // namespace
}  // namespace quorvel::partition
