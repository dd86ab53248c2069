#include "driver/plot_randomization_loops.hpp"

#include <vector>

#include "driver/plot_test_engine.hpp"
#include "partition/partition_workspace.hpp"
#include "randomization/plot_permutation.hpp"

namespace quorvel::driver {

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
};

struct PartitionSlot {
  core::IVector permutation;
  PartitionOutcome outcome;
};

RandomizationBatches make_batches(const RunState& state, int n) {
  const int workers = randomization_workers(state.settings.n_threads);
  return RandomizationBatches(n < workers ? std::max(n, 1) : workers, kRandomizationBatchSize);
}

}  // namespace

void run_partition_randomizations(RunState& state, const PlotSection& section, int n,
                                  const MatrixRandomizer& randomizer, bool regress, int interval_column,
                                  const std::function<void(const PartitionOutcome&, int)>& keep) {
  if (n <= 0) return;
  const RandomizationBatches batches = make_batches(state, n);
  std::vector<PartitionWorker> workers(static_cast<std::size_t>(batches.workers()));
  for (PartitionWorker& worker : workers) {
    worker.abundances = state.abundances;
    if (!randomizer.clade_tree) worker.matrix = *section.distances;
    worker.tables = partition::make_partition_tables(section.n_plots);
  }
  std::vector<PartitionSlot> slots(static_cast<std::size_t>(batches.batch_size()));
  for (PartitionSlot& slot : slots) {
    for (int code = kStatisticP; code <= kStatisticPI; ++code) {
      slot.outcome.rows[code] = partition::make_regression_row(section.classes.classes);
    }
  }
  const int n_categories = state.n_categories;

  auto draw = [&](int slot, int) { randomizer.draw(slots[static_cast<std::size_t>(slot)].permutation); };
  auto evaluate = [&](int slot_index, int worker_index) {
    PartitionSlot& slot = slots[static_cast<std::size_t>(slot_index)];
    PartitionWorker& worker = workers[static_cast<std::size_t>(worker_index)];
    PartitionOutcome& outcome = slot.outcome;
    // Every randomization starts from the same cleared tables, so no value
    // of an earlier randomization (or worker) can leak into this one.
    partition::clear_pairwise_matrices(worker.tables);
    if (randomizer.clade_tree) {
      outcome.unmapped_tips = randomizer.place(slot.permutation, worker.scratch);
      partition::CladeDivergences clades;
      clades.tree = randomizer.clade_tree.get();
      clades.tip_of_species = &worker.scratch;
      partition::compute_diversity_partition(section.n_plots, section.n_species, worker.abundances, state.data_type,
                                             section.selection, clades, section.n_intervals, section.limits,
                                             section.weighting, worker.tables, worker.workspace);
    } else {
      outcome.unmapped_tips = randomizer.apply(slot.permutation, worker.matrix, worker.scratch);
      partition::compute_diversity_partition(section.n_plots, section.n_species, worker.abundances, state.data_type,
                                             section.selection, &worker.matrix, section.n_intervals, section.limits,
                                             section.weighting, worker.tables, worker.workspace);
    }
    for (int code = kStatisticI; code <= kStatisticPI; ++code) {
      outcome.within[code] = worker.tables.interval[code](0, 0);
      outcome.among[code] = worker.tables.interval[code](1, 0);
      outcome.st[code] = worker.tables.pairwise[code](0, 0);
    }
    if (regress) {
      regress_statistics(section, n_categories, section.positions, worker.tables, kStatisticP, kStatisticPI,
                         outcome.rows);
    }
    if (interval_column > 0) {
      const auto& p_star = worker.tables.interval[kStatisticPStar];
      const auto& pi = worker.tables.interval[kStatisticPI];
      for (int row = 0; row <= 2; ++row) {
        outcome.interval[row] = p_star(row, interval_column);
        outcome.interval[3 + row] = pi(row, interval_column);
      }
    }
  };
  auto keep_slot = [&](int slot, int i) { keep(slots[static_cast<std::size_t>(slot)].outcome, i); };
  batches.run(n, draw, evaluate, keep_slot);
}

namespace {

struct SpatialWorker {
  core::DVector x, y;
  core::DMatrix distances;
};

struct SpatialSlot {
  core::IVector source;
  partition::RegressionRow rows[5];
};

}  // namespace

void run_spatial_randomizations(RunState& state, const PlotSection& section, int n,
                                const std::function<void(const partition::RegressionRow* rows, int)>& keep) {
  if (n <= 0) return;
  const RandomizationBatches batches = make_batches(state, n);
  const int category_kind = state.settings.pair_selection_mode;
  // Cells that a permutation within categories leaves alone keep the
  // observed values, as does the cell (0, 0) that tells coordinates from a
  // distance matrix.
  std::vector<SpatialWorker> workers(static_cast<std::size_t>(batches.workers()));
  for (SpatialWorker& worker : workers) {
    worker.x = state.plot_x;
    worker.y = state.plot_y;
    worker.distances = state.plot_distances;
  }
  std::vector<SpatialSlot> slots(static_cast<std::size_t>(batches.batch_size()));
  for (SpatialSlot& slot : slots) {
    for (int code = kStatisticI; code <= kStatisticPI; ++code) {
      slot.rows[code] = partition::make_regression_row(section.classes.classes);
    }
  }
  auto draw = [&](int slot, int) {
    randomization::draw_plot_permutation(section.n_plots, category_kind, state.plot_category, state.n_categories,
                                         slots[static_cast<std::size_t>(slot)].source, state.generator,
                                         section.empty_plots);
  };
  auto evaluate = [&](int slot_index, int worker_index) {
    SpatialSlot& slot = slots[static_cast<std::size_t>(slot_index)];
    SpatialWorker& worker = workers[static_cast<std::size_t>(worker_index)];
    randomization::apply_plot_permutation(section.n_plots, category_kind, state.plot_category, slot.source,
                                          state.plot_x, state.plot_y, state.plot_distances, worker.x, worker.y,
                                          worker.distances);
    partition::PlotPositions positions;
    positions.x = &worker.x;
    positions.y = &worker.y;
    positions.distances = &worker.distances;
    regress_statistics(section, state.n_categories, positions, section.tables, kStatisticI, kStatisticPI, slot.rows);
  };
  auto keep_slot = [&](int slot, int i) { keep(slots[static_cast<std::size_t>(slot)].rows, i); };
  batches.run(n, draw, evaluate, keep_slot);
}

}  // namespace quorvel::driver
