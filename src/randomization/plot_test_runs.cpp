#include "randomization/plot_test_runs.hpp"

#include <algorithm>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "partition/diversity_partition.hpp"
#include "partition/partition_workspace.hpp"
#include "partition/placement_partition.hpp"
#include "randomization/permutation_summary.hpp"
#include "randomization/plot_permutation.hpp"
#include "randomization/randomization_runner.hpp"

namespace quorvel::randomization {

namespace {

using partition::kStatisticI;
using partition::kStatisticP;
using partition::kStatisticPI;
using partition::kStatisticPStar;

// What a worker changes while recomputing a partition: its own copy of the
// abundances (the partition overwrites row 0), of the randomized matrix and
// of the result tables, and its own workspace.
struct PartitionWorker {
  core::DMatrix abundances;
  core::FMatrix matrix;
  core::IVector scratch;
  partition::PartitionTables tables;
  partition::PartitionWorkspace workspace;
  partition::RegressionRow rows[5];
};

PlotTestLayout layout_of(const partition::PlotSection& section) { return {std::max(section.classes.classes, 0)}; }

void put_row(float* values, const PlotTestLayout& layout, int code, const partition::RegressionRow& row) {
  for (int entry = -20; entry <= layout.n_classes + 3; ++entry) values[layout.regression(code, entry)] = row[entry];
}

// Observed values at index 0 of a partition or spatial test.
void put_observed(ValueStore& store, const partition::PlotSection& section) {
  const PlotTestLayout layout = layout_of(section);
  float* values = store.values(0);
  for (int code = kStatisticI; code <= kStatisticPI; ++code) {
    values[layout.global(code, 1)] = store_value(section.summary(code, 1));
    values[layout.global(code, 2)] = store_value(section.summary(code, 2));
    values[layout.global(code, 3)] = section.tables.pairwise[code](0, 0);
    put_row(values, layout, code, section.rows[code]);
  }
}

void note_unmapped_tips(int, const float* values, int index) {
  for (int k = 0; k < static_cast<int>(values[index]); ++k) core::console_print("\ntrouble");
}

// Interval m values of a partition: P* within, among, P*st, PAD, then PI
// within, among, PIst (the ratios from the double-precision values).
void put_interval(float* values, const partition::PartitionTables& tables, int m) {
  const auto& p_star = tables.interval[kStatisticPStar];
  const auto& pi = tables.interval[kStatisticPI];
  values[0] = store_value(p_star(0, m));
  values[1] = store_value(p_star(1, m));
  values[2] = store_value(one_minus_ratio(p_star(0, m), p_star(1, m)));
  values[3] = store_value(one_minus_ratio(p_star(2, m), pi(2, m)));
  values[4] = store_value(pi(0, m));
  values[5] = store_value(pi(1, m));
  values[6] = store_value(one_minus_ratio(pi(0, m), pi(1, m)));
}

// The randomized partitions of a test; `finish` turns a worker's tables into
// the randomization's values.
template <typename Finish>
void run_partitions(const PlotTestData& data, const MatrixRandomizer& randomizer, int width, int unmapped_index,
                    Finish finish, ValueStore& store) {
  const partition::PlotSection& section = *data.section;
  const RandomizationRunner runner =
      RandomizationRunner::for_test(data.n_threads, store.n_randomizations(), data.ledger);
  std::vector<PartitionWorker> workers(static_cast<std::size_t>(runner.workers()));
  for (PartitionWorker& worker : workers) {
    worker.abundances = *data.abundances;
    if (!randomizer.tree) worker.matrix = *section.distances.matrix;
    worker.tables = partition::make_partition_tables(section.n_plots);
    for (int code = kStatisticP; code <= kStatisticPI; ++code) {
      worker.rows[code] = partition::make_regression_row(section.classes.classes);
    }
  }
  std::vector<core::IVector> permutations(static_cast<std::size_t>(runner.batch_size()));
  RandomizationSteps steps;
  steps.n_values = width;
  steps.draw = [&](int slot) { randomizer.draw(permutations[static_cast<std::size_t>(slot)]); };
  steps.evaluate = [&](int slot, int worker_index, float* values) {
    const core::IVector& permutation = permutations[static_cast<std::size_t>(slot)];
    PartitionWorker& worker = workers[static_cast<std::size_t>(worker_index)];
    // Every randomization starts from the same cleared tables, so no value
    // of an earlier randomization (or worker) can leak into this one.
    partition::clear_pairwise_matrices(worker.tables);
    int unmapped = 0;
    partition::SpeciesDistances distances;
    if (randomizer.tree) {
      unmapped = randomizer.place(permutation, worker.scratch);
      distances = randomizer.distances_of(worker.scratch);
    } else {
      unmapped = randomizer.apply(permutation, worker.matrix, worker.scratch);
      distances = partition::table_distances(&worker.matrix);
    }
    partition::compute_diversity_partition(section.n_plots, section.n_species, worker.abundances, data.data_type,
                                           section.selection, distances, section.n_intervals, section.limits,
                                           section.weighting, worker.tables, worker.workspace);
    finish(worker, values);
    values[unmapped_index] = static_cast<float>(unmapped);
  };
  steps.kept = [unmapped_index](int i, const float* values) { note_unmapped_tips(i, values, unmapped_index); };
  runner.run(steps, store);
}

}  // namespace

TestSummaryMatrix empty_summaries(int row_lo, int row_hi, int col_lo, int col_hi) {
  TestSummaryMatrix table = resample_stat_type_matrix(row_lo, row_hi, col_lo, col_hi);
  TestSummary empty;
  for (float* value : {&empty.observed, &empty.mean, &empty.sd, &empty.ci95_low, &empty.ci95_high, &empty.ci99_low,
                       &empty.ci99_high}) {
    *value = MISSING_VALUE_F;
  }
  empty.p_lower = empty.p_upper = empty.p_two_sided = MISSING_VALUE;
  table.fill(empty);
  return table;
}

namespace {

// A phylogeny test on a dated tree: only what the test keeps, from clade sums
// (partition::PlacementPartition). Intervals must split divergence 0 from the
// others, as they always do (t[1] = 0 and at least two intervals).
bool keeps_values_only(const partition::PlotSection& section, const MatrixRandomizer& randomizer) {
  return randomizer.tree && randomizer.clades && section.n_intervals >= 2 && section.limits[1] == 0.0;
}

struct PlacementWorker {
  core::IVector tips;
  partition::PlacementPartition::Workspace workspace;
  partition::KeptPartition kept;
};

void run_placements(const PlotTestData& data, const MatrixRandomizer& randomizer, const PlotTestLayout& layout,
                    ValueStore& store) {
  const partition::PlotSection& section = *data.section;
  const partition::PlacementPartition kernel(section, *data.abundances, data.data_type, data.n_categories,
                                             randomizer.clades);
  const RandomizationRunner runner =
      RandomizationRunner::for_test(data.n_threads, store.n_randomizations(), data.ledger);
  std::vector<PlacementWorker> workers(static_cast<std::size_t>(runner.workers()));
  for (PlacementWorker& worker : workers) {
    for (int code = kStatisticP; code <= kStatisticPI; ++code) {
      worker.kept.rows[code] = partition::make_regression_row(section.classes.classes);
    }
  }
  std::vector<core::IVector> permutations(static_cast<std::size_t>(runner.batch_size()));
  RandomizationSteps steps;
  steps.n_values = layout.width();
  steps.draw = [&](int slot) { randomizer.draw(permutations[static_cast<std::size_t>(slot)]); };
  steps.evaluate = [&](int slot, int worker_index, float* values) {
    PlacementWorker& worker = workers[static_cast<std::size_t>(worker_index)];
    const int unmapped = randomizer.place(permutations[static_cast<std::size_t>(slot)], worker.tips);
    kernel.evaluate(worker.tips, worker.workspace, worker.kept);
    for (int code = kStatisticP; code <= kStatisticPI; ++code) {
      values[layout.global(code, 1)] = store_value(worker.kept.within[code]);
      values[layout.global(code, 2)] = store_value(worker.kept.among[code]);
      values[layout.global(code, 3)] = worker.kept.st[code];
      put_row(values, layout, code, worker.kept.rows[code]);
    }
    values[layout.unmapped()] = static_cast<float>(unmapped);
  };
  const int unmapped_index = layout.unmapped();
  steps.kept = [unmapped_index](int i, const float* values) { note_unmapped_tips(i, values, unmapped_index); };
  runner.run(steps, store);
}

}  // namespace

ValueStore run_partition_test(const PlotTestData& data, const MatrixRandomizer& randomizer, int n) {
  const partition::PlotSection& section = *data.section;
  const PlotTestLayout layout = layout_of(section);
  ValueStore store(layout.width(), n);
  put_observed(store, section);
  if (keeps_values_only(section, randomizer)) {
    run_placements(data, randomizer, layout, store);
    return store;
  }
  // The plots stay in place: their pairs' distance classes, d and ln d once.
  const partition::RegressionPairs pairs = partition::regression_pairs(
      section.n_plots, section.classes, section.selection, data.n_categories, section.positions);
  auto finish = [&](PartitionWorker& worker, float* values) {
    partition::regress_statistics(pairs, worker.tables, kStatisticP, kStatisticPI, worker.rows);
    for (int code = kStatisticP; code <= kStatisticPI; ++code) {
      values[layout.global(code, 1)] = store_value(worker.tables.interval[code](0, 0));
      values[layout.global(code, 2)] = store_value(worker.tables.interval[code](1, 0));
      values[layout.global(code, 3)] = worker.tables.pairwise[code](0, 0);
      put_row(values, layout, code, worker.rows[code]);
    }
  };
  run_partitions(data, randomizer, layout.width(), layout.unmapped(), finish, store);
  return store;
}

ValueStore observed_interval_values(const partition::PlotSection& section, int m) {
  ValueStore store(kIntervalTestWidth, 0);
  put_interval(store.values(0), section.tables, m);
  store.values(0)[kIntervalUnmapped] = 0;
  return store;
}

ValueStore run_interval_test(const PlotTestData& data, const MatrixRandomizer& randomizer, int n, int m) {
  ValueStore store(kIntervalTestWidth, n);
  put_interval(store.values(0), data.section->tables, m);
  store.values(0)[kIntervalUnmapped] = 0;
  auto finish = [m](PartitionWorker& worker, float* values) { put_interval(values, worker.tables, m); };
  run_partitions(data, randomizer, kIntervalTestWidth, kIntervalUnmapped, finish, store);
  return store;
}

namespace {

struct SpatialWorker {
  core::DVector x, y;
  core::DMatrix distances;
  partition::RegressionRow rows[5];
};

}  // namespace

ValueStore run_spatial_test(const PlotTestData& data, int n) {
  const partition::PlotSection& section = *data.section;
  const PlotTestLayout layout = layout_of(section);
  ValueStore store(layout.width(), n);
  put_observed(store, section);
  const RandomizationRunner runner = RandomizationRunner::for_test(data.n_threads, n, data.ledger);
  const partition::PlotPositions& observed = section.positions;
  // Without a distance matrix the permutation moves the coordinates: a
  // 2 x 2 table whose cell (0, 0) is 0 tells apply_plot_permutation so.
  const core::DMatrix coordinates_only = core::dmatrix(0, 1, 0, 1);
  const core::DMatrix& observed_distances = observed.distances ? *observed.distances : coordinates_only;
  // Cells that a permutation within categories leaves alone keep the
  // observed values, as does the cell (0, 0) that tells coordinates from a
  // distance matrix.
  std::vector<SpatialWorker> workers(static_cast<std::size_t>(runner.workers()));
  for (SpatialWorker& worker : workers) {
    worker.x = *observed.x;
    worker.y = *observed.y;
    worker.distances = observed_distances;
    for (int code = kStatisticI; code <= kStatisticPI; ++code) {
      worker.rows[code] = partition::make_regression_row(section.classes.classes);
    }
  }
  std::vector<core::IVector> sources(static_cast<std::size_t>(runner.batch_size()));
  RandomizationSteps steps;
  steps.n_values = layout.width();
  steps.draw = [&](int slot) {
    draw_plot_permutation(section.n_plots, data.category_kind, *data.plot_category, data.n_categories,
                          sources[static_cast<std::size_t>(slot)], *data.generator, section.empty_plots);
  };
  steps.evaluate = [&](int slot, int worker_index, float* values) {
    SpatialWorker& worker = workers[static_cast<std::size_t>(worker_index)];
    apply_plot_permutation(section.n_plots, data.category_kind, *data.plot_category,
                           sources[static_cast<std::size_t>(slot)], *observed.x, *observed.y, observed_distances,
                           worker.x, worker.y, worker.distances);
    partition::PlotPositions positions;
    positions.x = &worker.x;
    positions.y = &worker.y;
    positions.distances = &worker.distances;
    partition::regress_statistics(section, data.n_categories, positions, section.tables, kStatisticI, kStatisticPI,
                                  worker.rows);
    for (int code = kStatisticI; code <= kStatisticPI; ++code) put_row(values, layout, code, worker.rows[code]);
    values[layout.unmapped()] = 0;
  };
  runner.run(steps, store);
  return store;
}

void summarize_interval_test(const ValueStore& store, int m, TestSummaryMatrix& p_star, TestSummaryMatrix& pi) {
  const int kept = store.n_randomizations();
  for (int row = 0; row <= 3; ++row) p_star(row, m) = summarize_value(store, row, kept, UndefinedRule::kNoPValues);
  for (int row = 0; row <= 2; ++row) pi(row, m) = summarize_value(store, 4 + row, kept, UndefinedRule::kNoPValues);
}

PlotTestSummaries summarize_plot_test(const ValueStore& store, int n_classes, int first, int last, bool with_globals) {
  const PlotTestLayout layout{std::max(n_classes, 0)};
  PlotTestSummaries summaries{empty_summaries(0, 4, 0, 4), empty_summaries(0, 4, -20, layout.n_classes + 3)};
  const int kept = store.n_randomizations();
  for (int code = first; code <= last; ++code) {
    if (with_globals) {
      for (int component = 1; component <= 3; ++component) {
        summaries.global(code, component) =
            summarize_value(store, layout.global(code, component), kept, UndefinedRule::kNoPValues);
      }
    }
    for (int entry = -20; entry <= layout.n_classes + 2; ++entry) {
      summaries.regression(code, entry) =
          summarize_value(store, layout.regression(code, entry), kept, UndefinedRule::kNoPValues);
    }
  }
  return summaries;
}

}  // namespace quorvel::randomization
