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

// One random partition problem.
struct Problem {
  int n = 0, s = 0, data_type = kPresenceAbsenceData, R = 0;
  core::DMatrix A;
  bool has_divergences = false;
  core::FMatrix D;
  core::DVector t;
  core::IVector categories;
  core::FMatrix pairwise_categories;
  PairSelection selection;
  PlotWeighting weighting = PlotWeighting::kEqual;
};

Problem random_problem(std::mt19937& rng, int variant) {
  auto uniform = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto unit = [&rng]() { return std::uniform_real_distribution<double>(0, 1)(rng); };
  Problem p;
  p.n = uniform(1, 12);
  p.s = uniform(1, 14);
  p.data_type = variant % 3;
  p.R = uniform(1, 6);
  p.A = testing::random_abundance_table(rng, p.n, p.s, p.data_type);

  // Limits 0 < t2 < ... on a grid that divergences can hit exactly.
  std::vector<double> limits = {0};
  for (int m = 2; m <= p.R; ++m) limits.push_back(limits.back() + uniform(1, 3));
  p.t = testing::limits(limits);

  const int kind = uniform(0, 3);  // none, many values, few values, few values with gaps
  p.has_divergences = kind != 0;
  p.D = core::matrix(0, p.s, 0, p.s);
  if (p.has_divergences) {
    for (int i = 1; i <= p.s; ++i)
      for (int j = i + 1; j <= p.s; ++j) {
        float d = kind == 1 ? static_cast<float>(unit() * (limits.back() + 3)) : static_cast<float>(uniform(0, 4));
        if (kind == 3 && uniform(0, 5) == 0) d = MISSING_VALUE_F;
        p.D[i][j] = p.D[j][i] = d;
      }
    if (kind == 3 && p.s > 1) {  // a species without a tip
      const int lost = uniform(1, p.s);
      for (int j = 1; j <= p.s; ++j) p.D[lost][j] = p.D[j][lost] = MISSING_VALUE_F;
    }
  }

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

void run(const Problem& p, PartitionTables& out, PartitionWorkspace* ws) {
  core::DMatrix A = p.A;
  const core::FMatrix* D = p.has_divergences ? &p.D : nullptr;
  PairSelection selection = p.selection;  // the problem's own tables
  selection.categories = &p.categories;
  selection.pairwise_categories = &p.pairwise_categories;
  if (ws)
    compute_diversity_partition(p.n, p.s, A, p.data_type, selection, table_distances(D), p.R, p.t, p.weighting, out,
                                *ws);
  else
    reference::compute_diversity_partition(p.n, p.s, A, p.data_type, selection, D, p.R, p.t, p.weighting, out);
}

TEST(PartitionKernel, AgreesWithThePlainLoopsOnRandomData) {
  std::mt19937 rng(20240611);
  PartitionWorkspace workspace;  // one workspace for every problem: its cache must follow the data
  for (int trial = 0; trial < 600; ++trial) {
    const Problem p = random_problem(rng, trial);
    PartitionTables fast = make_partition_tables(p.n), slow = make_partition_tables(p.n);
    run(p, fast, &workspace);
    run(p, slow, nullptr);
    ASSERT_TRUE(testing::same_partition(fast, slow, p.n, p.R))
        << "trial " << trial << " n=" << p.n << " s=" << p.s << " type=" << p.data_type << " R=" << p.R
        << " mode=" << p.selection.mode << " weighting=" << static_cast<int>(p.weighting);
  }
}

TEST(PartitionKernel, NoticesADivergenceMatrixChangedInPlace) {
  std::mt19937 rng(7);
  Problem p;
  do p = random_problem(rng, 1);
  while (!p.has_divergences || p.s < 3 || p.n < 2);
  PartitionWorkspace workspace;
  PartitionTables first = make_partition_tables(p.n);
  run(p, first, &workspace);
  p.D[1][2] = p.D[2][1] = p.D[1][2] == 9.5f ? 8.5f : 9.5f;
  p.t[1] = p.t[1];  // same limits
  PartitionTables fast = make_partition_tables(p.n), slow = make_partition_tables(p.n);
  run(p, fast, &workspace);
  run(p, slow, nullptr);
  EXPECT_TRUE(testing::same_partition(fast, slow, p.n, p.R));
}

TEST(PartitionKernel, PlotWeightingTwoEqualsOne) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 20; ++trial) {
    Problem p = random_problem(rng, trial);
    PartitionTables one = make_partition_tables(p.n), two = make_partition_tables(p.n);
    PartitionWorkspace ws;
    p.weighting = PlotWeighting::kPlotTotal;
    run(p, one, &ws);
    p.weighting = PlotWeighting::kPairTotal;
    run(p, two, &ws);
    EXPECT_TRUE(testing::same_partition(one, two, p.n, p.R));
  }
}

TEST(PartitionKernel, ThreadsWithTheirOwnWorkspacesGiveTheSingleThreadResults) {
  std::mt19937 rng(99);
  std::vector<Problem> problems;
  for (int i = 0; i < 8; ++i) problems.push_back(random_problem(rng, i));
  std::vector<PartitionTables> alone, together;
  for (const Problem& p : problems) {
    alone.push_back(make_partition_tables(p.n));
    together.push_back(make_partition_tables(p.n));
    PartitionWorkspace ws;
    run(p, alone.back(), &ws);
  }
  std::vector<std::thread> threads;
  for (int w = 0; w < 4; ++w) {
    threads.emplace_back([&, w]() {
      PartitionWorkspace ws;
      for (std::size_t i = static_cast<std::size_t>(w); i < problems.size(); i += 4)
        for (int repeat = 0; repeat < 5; ++repeat) run(problems[i], together[i], &ws);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (std::size_t i = 0; i < problems.size(); ++i)
    EXPECT_TRUE(testing::same_partition(alone[i], together[i], problems[i].n, problems[i].R)) << i;
}

}  // namespace
}  // namespace quorvel::partition
