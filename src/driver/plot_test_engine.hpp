#pragma once

#include <functional>
#include <thread>

#include "driver/progress_display.hpp"

namespace quorvel::driver {

/// Number of workers of the randomization loops: `requested` when > 0 (the
/// "THREADS" keyword), otherwise one per core (at least 1).
int randomization_workers(int requested);

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
class RandomizationBatches {
 public:
  using DrawStep = std::function<void(int slot, int randomization)>;
  using EvaluateStep = std::function<void(int slot, int worker)>;
  using KeepStep = std::function<void(int slot, int randomization)>;
  /// Starts one worker thread; throws (std::system_error) when it cannot.
  using ThreadStarter = std::function<std::thread(std::function<void()> work)>;

  /// `start` replaces std::thread's constructor (tests make it fail).
  RandomizationBatches(int workers, int batch_size, ThreadStarter start = {});

  int workers() const { return workers_; }
  int batch_size() const { return batch_size_; }

  /// Runs randomizations 1..n.
  void run(int n, const DrawStep& draw, const EvaluateStep& evaluate, const KeepStep& keep) const;

 private:
  int workers_;
  int batch_size_;
  ThreadStarter start_;
};

/// Randomizations held in memory at once by the test loops.
inline constexpr int kRandomizationBatchSize = 64;

}  // namespace quorvel::driver
