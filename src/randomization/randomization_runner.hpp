#pragma once

#include <functional>
#include <thread>

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
/// 0..batch_size-1. An exception thrown by a worker is rethrown here once
/// every worker has stopped. Threads that cannot be started (no memory for
/// their stacks, a process limit) are done without: the workers that did
/// start (at least the calling thread) share their randomizations, and a
/// warning says so on the console.
class RandomizationRunner {
 public:
  using DrawStep = std::function<void(int slot, int randomization)>;
  using EvaluateStep = std::function<void(int slot, int worker)>;
  using KeepStep = std::function<void(int slot, int randomization)>;
  /// Starts one worker thread; throws (std::system_error) when it cannot.
  using ThreadStarter = std::function<std::thread(std::function<void()> work)>;

  /// `start` replaces std::thread's constructor (tests make it fail).
  RandomizationRunner(int workers, int batch_size, ThreadStarter start = {});

  /// The runner of a test of n randomizations: the "THREADS" count (one per
  /// core when 0), never more workers than randomizations.
  static RandomizationRunner for_test(int n_threads, int n_randomizations);

  int workers() const { return workers_; }
  int batch_size() const { return batch_size_; }

  /// Runs randomizations 1..n.
  void run(int n, const DrawStep& draw, const EvaluateStep& evaluate, const KeepStep& keep) const;

  /// Runs randomizations 1..store.n_randomizations() of a test and keeps the
  /// values of each at its index of `store` (whose width is steps.n_values).
  void run(const RandomizationSteps& steps, ValueStore& store) const;

 private:
  int workers_;
  int batch_size_;
  ThreadStarter start_;
};

}  // namespace quorvel::randomization
