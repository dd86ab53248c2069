#pragma once

#include <functional>
#include <thread>
#include <vector>

#include "randomization/slice_file.hpp"
#include "randomization/value_store.hpp"

namespace quorvel::randomization {

/// Number of workers of the randomization loops: `requested` when > 0 (the
/// "THREADS" keyword), otherwise one per core (at least 1).
int randomization_workers(int requested);

/// Randomizations held in memory at once by the test loops.
inline constexpr int kRandomizationBatchSize = 64;

/// What one randomization test does with randomization i, in three steps
/// that the runner keeps apart:
///  - `draw(slot)`: draws randomization i from the run's single random
///    stream into the slot (always, in increasing i, on the calling thread);
///  - `evaluate(slot, worker, values)`: computes its `n_values` values from
///    the slot's draw alone, on any worker, with the worker's own storage;
///  - the runner keeps the values at index i of the test's store, then calls
///    `kept(i, values)` when set (console notes, in order).
/// The store alone then gives every summary of the test.
struct RandomizationSteps {
  int n_values = 0;
  std::function<void(int slot)> draw;
  std::function<void(int slot, int worker, float* values)> evaluate;
  std::function<void(int randomization, const float* values)> kept;
};

/// Which randomizations of a run are evaluated here, and where the values of
/// the others come from. A whole run evaluates every randomization. Slice k
/// of K ("--slice k/K") draws every randomization of every test in stream
/// order, as a whole run does, but evaluates only those with
/// i mod K = k - 1, and records their values test by test for its slice
/// file. A merge ("--merge") evaluates none: the values of each test come
/// from the K slice files, so that its summaries are those of the whole run.
/// Tests are matched by their order in the run.
class SliceLedger {
 public:
  enum class Role { kWhole, kSlice, kMerge };

  /// A whole run.
  SliceLedger() = default;
  /// Slice k of K (1 <= k <= K).
  static SliceLedger slice(int k, int K);
  /// A merge of `slices`: slices 1..K of one run, in any order, each once
  /// (incomplete_slices_message checks them).
  static SliceLedger merge(std::vector<SliceFile> slices);

  Role role() const { return role_; }
  int k() const { return k_; }
  int K() const { return K_; }
  /// True when randomization i is evaluated here.
  bool evaluates(int i) const { return role_ != Role::kSlice || i % K_ == k_ - 1; }

  /// Slice: records the observed values and this slice's values of a test
  /// whose randomizations have all been run.
  void record(const ValueStore& store);
  /// Slice: the tests recorded so far, in run order.
  const std::vector<SliceTest>& tests() const { return tests_; }
  /// Slice: its slice file, for the run `identity`.
  SliceFile slice_file(const RunIdentity& identity) const { return {identity, k_, K_, tests_}; }

  /// Merge: fills randomizations 1..N of `store` with the values of the
  /// run's next test. Stops the run (status 3) when the slices hold no such
  /// test: another number of randomizations or values, other observed values.
  void fill(ValueStore& store);
  /// Merge: stops the run when the slices hold tests that the run did not make.
  void check_every_test_used() const;

 private:
  Role role_ = Role::kWhole;
  int k_ = 1;
  int K_ = 1;
  std::vector<SliceTest> tests_;
  std::vector<SliceFile> slices_;  // merge: by k - 1
  std::size_t next_test_ = 0;      // merge: the next test to fill
};

/// Runs the randomizations of one test in bounded batches. Randomizations are
/// independent once their permutation is drawn, so within a batch:
///  1. `draw(slot, i)` runs for each randomization i in increasing order on the
///     calling thread: it draws from the run's single random stream, so the
///     stream is consumed exactly as by a one-by-one loop;
///  2. `evaluate(slot, worker)` runs in parallel, each worker (0..workers-1)
///     with storage of its own; it must depend only on the slot's draw;
///  3. `keep(slot, i)` runs in increasing order on the calling thread and is
///     followed by the progress display of i.
/// Results are therefore identical for any number of workers. Slots are
/// 0..batch_size-1. With a ledger of a slice, a batch holds batch_size
/// randomizations of the slice: the others are drawn too, in their place in
/// the stream, each into the slot that the next draw takes again (a draw
/// fills its slot whatever the slot held), and are neither evaluated nor
/// kept; the progress display still counts every randomization. An exception
/// thrown by a worker is rethrown here once every worker has stopped. Threads
/// that cannot be started (no memory for their stacks, a process limit) are
/// done without: the workers that did start (at least the calling thread)
/// share their randomizations, and a warning says so on the console.
class RandomizationRunner {
 public:
  using DrawStep = std::function<void(int slot, int randomization)>;
  using EvaluateStep = std::function<void(int slot, int worker)>;
  using KeepStep = std::function<void(int slot, int randomization)>;
  /// Starts one worker thread; throws (std::system_error) when it cannot.
  using ThreadStarter = std::function<std::thread(std::function<void()> work)>;

  /// `start` replaces std::thread's constructor (tests make it fail). A
  /// `ledger` (kept by reference; nullptr for a whole run) shares the
  /// randomizations among slices.
  RandomizationRunner(int workers, int batch_size, ThreadStarter start = {}, SliceLedger* ledger = nullptr);

  /// The runner of a test of n randomizations: the "THREADS" count (one per
  /// core when 0), never more workers than randomizations.
  static RandomizationRunner for_test(int n_threads, int n_randomizations, SliceLedger* ledger = nullptr);

  int workers() const { return workers_; }
  int batch_size() const { return batch_size_; }

  /// Runs randomizations 1..n.
  void run(int n, const DrawStep& draw, const EvaluateStep& evaluate, const KeepStep& keep) const;

  /// Runs randomizations 1..store.n_randomizations() of a test and keeps the
  /// values of each at its index of `store` (whose width is steps.n_values).
  /// A slice keeps the values of its own randomizations (the others stay
  /// missing) and records them in the ledger; a merge draws and evaluates
  /// nothing: the store is filled from the slices, then `kept` and the
  /// progress display run for every randomization as in a whole run.
  void run(const RandomizationSteps& steps, ValueStore& store) const;

 private:
  int workers_;
  int batch_size_;
  ThreadStarter start_;
  SliceLedger* ledger_;
};

}  // namespace quorvel::randomization
