#include "randomization/randomization_runner.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "randomization/progress_display.hpp"

namespace quorvel::randomization {

int randomization_workers(int requested) {
  if (requested > 0) return requested;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(cores);
}

SliceLedger SliceLedger::slice(int k, int K) {
  SliceLedger ledger;
  ledger.role_ = Role::kSlice;
  ledger.K_ = std::max(K, 1);
  ledger.k_ = std::min(std::max(k, 1), ledger.K_);
  return ledger;
}

SliceLedger SliceLedger::merge(std::vector<SliceFile> slices) {
  SliceLedger ledger;
  ledger.role_ = Role::kMerge;
  std::sort(slices.begin(), slices.end(), [](const SliceFile& a, const SliceFile& b) { return a.k < b.k; });
  ledger.K_ = slices.empty() ? 1 : slices[0].K;
  ledger.slices_ = std::move(slices);
  return ledger;
}

void SliceLedger::record(const ValueStore& store) {
  SliceTest test;
  test.n_randomizations = store.n_randomizations();
  test.width = store.width();
  const std::size_t width = static_cast<std::size_t>(test.width);
  test.observed.assign(store.values(0), store.values(0) + width);
  test.values.reserve(static_cast<std::size_t>(slice_share(test.n_randomizations, k_, K_)) * width);
  for (int i = k_ == 1 ? K_ : k_ - 1; i <= test.n_randomizations; i += K_) {
    test.values.insert(test.values.end(), store.values(i), store.values(i) + width);
  }
  tests_.push_back(std::move(test));
}

namespace {

[[noreturn]] void refuse_slices(const std::string& reason) {
  core::stop_run(core::format("\n\nERROR: the slice files do not hold the randomizations of this run: %s. Make the "
                              "slices and the merge with one program, one instruction file and the same data.\nPress "
                              "any key to stop.",
                              reason.c_str()),
                 core::kStoppedStatus);
}

std::string tests_text(std::size_t n) { return core::format("%zu test%s", n, n == 1 ? "" : "s"); }

}  // namespace

void SliceLedger::fill(ValueStore& store) {
  const int t = static_cast<int>(next_test_) + 1;
  if (slices_.empty() || next_test_ >= slices_[0].tests.size()) {
    refuse_slices("they hold " + tests_text(slices_.empty() ? 0 : slices_[0].tests.size()) +
                  ", and this run makes more");
  }
  const SliceTest& shape = slices_[0].tests[next_test_];
  const std::size_t width = static_cast<std::size_t>(store.width());
  if (shape.n_randomizations != store.n_randomizations() || shape.width != store.width()) {
    refuse_slices(core::format("test %d has %d randomizations of %d values in the slices, and %d of %d here", t,
                               shape.n_randomizations, shape.width, store.n_randomizations(), store.width()));
  }
  if (std::memcmp(shape.observed.data(), store.values(0), width * sizeof(float)) != 0) {
    refuse_slices(core::format("the observed values of test %d differ", t));
  }
  std::vector<std::size_t> next(slices_.size(), 0);  // read position in each slice
  for (int i = 1; i <= store.n_randomizations(); ++i) {
    const std::size_t k = static_cast<std::size_t>(slice_of(i, K_) - 1);
    const std::vector<float>& values = slices_[k].tests[next_test_].values;
    store.keep(i, values.data() + next[k]);
    next[k] += width;
  }
  // The values are in the store now: a merge holds no test twice.
  for (SliceFile& slice : slices_) std::vector<float>().swap(slice.tests[next_test_].values);
  ++next_test_;
}

void SliceLedger::check_every_test_used() const {
  if (role_ == Role::kMerge && !slices_.empty() && next_test_ != slices_[0].tests.size()) {
    refuse_slices("they hold " + tests_text(slices_[0].tests.size()) + ", and this run made " +
                  std::to_string(next_test_));
  }
}

RandomizationRunner::RandomizationRunner(int workers, int batch_size, ThreadStarter start, SliceLedger* ledger)
    : workers_(std::max(workers, 1)), batch_size_(std::max(batch_size, 1)), start_(std::move(start)), ledger_(ledger) {
  if (!start_) start_ = [](std::function<void()> work) { return std::thread(std::move(work)); };
}

RandomizationRunner RandomizationRunner::for_test(int n_threads, int n_randomizations, SliceLedger* ledger) {
  const int wanted = randomization_workers(n_threads);
  return RandomizationRunner(n_randomizations < wanted ? std::max(n_randomizations, 1) : wanted,
                             kRandomizationBatchSize, {}, ledger);
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
  std::vector<int> randomization_of(static_cast<std::size_t>(batch_size_));
  for (int next = 1; next <= n;) {
    // Draws in stream order until the batch holds batch_size randomizations
    // to evaluate, or the test ends. A randomization of another slice is
    // drawn into the first free slot, which the next draw fills again.
    const int first = next;
    int count = 0;
    for (; next <= n && count < batch_size_; ++next) {
      draw(count, next);
      if (!ledger_ || ledger_->evaluates(next)) randomization_of[static_cast<std::size_t>(count++)] = next;
    }
    std::string start_failure;
    const int ran = count == 0 ? workers : evaluate_batch(count, workers, evaluate, start_, start_failure);
    if (!start_failure.empty()) {
      core::console_print(core::format(
          "\nWARNING: only %i of %i threads could be started (%s): the randomizations go on with %i (their "
          "results do not depend on it).\n",
          ran, workers_, start_failure.c_str(), ran));
      workers = ran;
    }
    int slot = 0;
    for (int i = first; i < next; ++i) {
      if (slot < count && randomization_of[static_cast<std::size_t>(slot)] == i) keep(slot++, i);
      display_progress(i, n);
    }
  }
}

void RandomizationRunner::run(const RandomizationSteps& steps, ValueStore& store) const {
  const int n = store.n_randomizations();
  if (n <= 0) return;
  if (ledger_ && ledger_->role() == SliceLedger::Role::kMerge) {
    ledger_->fill(store);
    for (int i = 1; i <= n; ++i) {
      if (steps.kept) steps.kept(i, store.values(i));
      display_progress(i, n);
    }
    return;
  }
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
  if (ledger_ && ledger_->role() == SliceLedger::Role::kSlice) ledger_->record(store);
}

}  // namespace quorvel::randomization
