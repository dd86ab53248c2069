#include "driver/plot_test_engine.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "core/console.hpp"
#include "core/format.hpp"

namespace quorvel::driver {

int randomization_workers(int requested) {
  if (requested > 0) return requested;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(cores);
}

RandomizationBatches::RandomizationBatches(int workers, int batch_size)
    : workers_(std::max(workers, 1)), batch_size_(std::max(batch_size, 1)) {}

namespace {

// Evaluates slots 0..count-1 with `workers` threads taking the next free
// slot; the calling thread is worker 0.
void evaluate_batch(int count, int workers, const RandomizationBatches::EvaluateStep& evaluate) {
  if (workers <= 1 || count <= 1) {
    for (int slot = 0; slot < count; ++slot) evaluate(slot, 0);
    return;
  }
  std::atomic<int> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  std::mutex failure_mutex;
  auto work = [&](int worker) {
    try {
      for (int slot = next++; slot < count && !failed; slot = next++) evaluate(slot, worker);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(failure_mutex);
      if (!failure) failure = std::current_exception();
      failed = true;
    }
  };
  const int used = std::min(workers, count);
  std::vector<std::thread> threads;
  threads.reserve(static_cast<std::size_t>(used - 1));
  for (int worker = 1; worker < used; ++worker) threads.emplace_back(work, worker);
  work(0);
  for (std::thread& thread : threads) thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace

void RandomizationBatches::run(int n, const DrawStep& draw, const EvaluateStep& evaluate, const KeepStep& keep) const {
  for (int first = 1; first <= n; first += batch_size_) {
    const int count = std::min(batch_size_, n - first + 1);
    for (int slot = 0; slot < count; ++slot) draw(slot, first + slot);
    evaluate_batch(count, workers_, evaluate);
    for (int slot = 0; slot < count; ++slot) {
      keep(slot, first + slot);
      display_progress(first + slot, n);
    }
  }
}

}  // namespace quorvel::driver
