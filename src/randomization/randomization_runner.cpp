#include "randomization/randomization_runner.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/format.hpp"
#include "randomization/progress_display.hpp"

namespace quorvel::randomization {

int randomization_workers(int requested) {
  if (requested > 0) return requested;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(cores);
}

RandomizationRunner::RandomizationRunner(int workers, int batch_size, ThreadStarter start)
    : workers_(std::max(workers, 1)), batch_size_(std::max(batch_size, 1)), start_(std::move(start)) {
  if (!start_) start_ = [](std::function<void()> work) { return std::thread(std::move(work)); };
}

RandomizationRunner RandomizationRunner::for_test(int n_threads, int n_randomizations) {
  const int wanted = randomization_workers(n_threads);
  return RandomizationRunner(n_randomizations < wanted ? std::max(n_randomizations, 1) : wanted,
                             kRandomizationBatchSize);
}

namespace {

// Evaluates slots 0..count-1 with up to `workers` threads taking the next
// free slot; the calling thread is worker 0. Returns the number of workers
// that ran; `start_failure` receives the reason when a thread could not be
// started (its slots then go to the others).
int evaluate_batch(int count, int workers, const RandomizationRunner::EvaluateStep& evaluate,
                   const RandomizationRunner::ThreadStarter& start, std::string& start_failure) {
  if (workers <= 1 || count <= 1) {
    for (int slot = 0; slot < count; ++slot) evaluate(slot, 0);
    return 1;
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
  for (int worker = 1; worker < used; ++worker) {
    // Reserved: adding the started thread cannot throw, so no joinable
    // thread is ever destroyed.
    try {
      threads.push_back(start([&work, worker] { work(worker); }));
    } catch (const std::exception& error) {
      start_failure = error.what();
      break;
    }
  }
  work(0);
  for (std::thread& thread : threads) thread.join();
  if (failure) std::rethrow_exception(failure);
  return static_cast<int>(threads.size()) + 1;
}

}  // namespace

void RandomizationRunner::run(int n, const DrawStep& draw, const EvaluateStep& evaluate, const KeepStep& keep) const {
  int workers = workers_;
  for (int first = 1; first <= n; first += batch_size_) {
    const int count = std::min(batch_size_, n - first + 1);
    for (int slot = 0; slot < count; ++slot) draw(slot, first + slot);
    std::string start_failure;
    const int ran = evaluate_batch(count, workers, evaluate, start_, start_failure);
    if (!start_failure.empty()) {
      core::console_print(core::format(
          "\nWARNING: only %i of %i threads could be started (%s): the randomizations go on with %i (their "
          "results do not depend on it).\n",
          ran, workers_, start_failure.c_str(), ran));
      workers = ran;
    }
    for (int slot = 0; slot < count; ++slot) {
      keep(slot, first + slot);
      display_progress(first + slot, n);
    }
  }
}

void RandomizationRunner::run(const RandomizationSteps& steps, ValueStore& store) const {
  const int n = store.n_randomizations();
  if (n <= 0) return;
  const std::size_t width = static_cast<std::size_t>(steps.n_values);
  std::vector<float> slot_values(width * static_cast<std::size_t>(batch_size_));
  auto values_of = [&](int slot) { return slot_values.data() + width * static_cast<std::size_t>(slot); };
  run(
      n, [&](int slot, int) { steps.draw(slot); },
      [&](int slot, int worker) {
        // Values a test does not compute stay missing, whatever ran in the slot before.
        std::fill(values_of(slot), values_of(slot) + width, MISSING_VALUE_F);
        steps.evaluate(slot, worker, values_of(slot));
      },
      [&](int slot, int i) {
        store.keep(i, values_of(slot));
        if (steps.kept) steps.kept(i, values_of(slot));
      });
}

}  // namespace quorvel::randomization
