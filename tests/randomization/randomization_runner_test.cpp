// The batch engine of the randomization loops: progress display, stream
// order, and identical results whatever the number of workers.
#include "randomization/randomization_runner.hpp"

#include <atomic>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "randomization/progress_display.hpp"
#include "support/test_support.hpp"

namespace quorvel::randomization {
namespace {

using testing::WorkDirTest;

class ProgressDisplay : public WorkDirTest {};

std::string progress_of(int n) {
  std::string text;
  for (int i = 1; i <= n; ++i) {
    if (shows_progress(i, n)) text += " " + std::to_string(i);
  }
  return text;
}

TEST_F(ProgressDisplay, ShowsTensThenHundredsFor999) {
  EXPECT_EQ(progress_of(999), " 10 20 30 40 50 60 70 80 90 100 200 300 400 500 600 700 800 900");
  for (int i = 1; i <= 999; ++i) display_progress(i, 999);
  EXPECT_EQ(console_output(), " 10 20 30 40 50 60 70 80 90 100 200 300 400 500 600 700 800 900");
}

TEST_F(ProgressDisplay, ShowsTenthsBelowOneHundredAndNothingForFewRandomizations) {
  EXPECT_EQ(progress_of(99), " 10 20 30 40 50 60 70 80 90");
  EXPECT_EQ(progress_of(49), " 5 10 15 20 25 30 35 40 45");
  EXPECT_EQ(progress_of(5), "");
  EXPECT_EQ(progress_of(0), "");
  // 100 randomizations: k = 10, fine step 1: every i up to 10, then the tens.
  EXPECT_EQ(progress_of(100), " 1 2 3 4 5 6 7 8 9 10 20 30 40 50 60 70 80 90 100");
}

// A toy test: each randomization draws a number from a shared stream, the
// workers transform it, the keep step records it.
struct ToyRun {
  std::vector<int> drawn_order;
  std::vector<long long> kept;
  std::vector<int> kept_order;
  std::vector<int> workers_seen;
};

ToyRun run_toy(int n, int workers, int batch_size, RandomizationRunner::ThreadStarter start = {}) {
  RandomizationRunner batches(workers, batch_size, std::move(start));
  ToyRun run;
  long long stream = 12345;
  std::vector<long long> slot_draw(static_cast<std::size_t>(batch_size));
  std::vector<long long> slot_result(static_cast<std::size_t>(batch_size));
  std::vector<std::atomic<int>> used(static_cast<std::size_t>(workers) + 1);
  const std::thread::id caller = std::this_thread::get_id();
  batches.run(
      n,
      [&](int slot, int i) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        run.drawn_order.push_back(i);
        stream = (stream * 48271) % 2147483647;
        slot_draw[static_cast<std::size_t>(slot)] = stream;
      },
      [&](int slot, int worker) {
        used[static_cast<std::size_t>(worker)]++;
        long long value = slot_draw[static_cast<std::size_t>(slot)];
        for (int k = 0; k < 1000; ++k) value = (value * 31 + k) % 1000003;
        slot_result[static_cast<std::size_t>(slot)] = value;
      },
      [&](int slot, int i) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        run.kept_order.push_back(i);
        run.kept.push_back(slot_result[static_cast<std::size_t>(slot)]);
      });
  for (int w = 0; w <= workers; ++w) {
    if (used[static_cast<std::size_t>(w)] > 0) run.workers_seen.push_back(w);
  }
  return run;
}

TEST(RandomizationRunner, DrawsAndKeepsInOrderWithIdenticalResultsForAnyWorkerCount) {
  const ToyRun one = run_toy(150, 1, 64);
  std::vector<int> expected_order;
  for (int i = 1; i <= 150; ++i) expected_order.push_back(i);
  EXPECT_EQ(one.drawn_order, expected_order);
  EXPECT_EQ(one.kept_order, expected_order);
  EXPECT_EQ(one.workers_seen, std::vector<int>{0});
  for (const auto& [workers, batch] : std::vector<std::pair<int, int>>{{2, 64}, {3, 64}, {3, 7}, {4, 1}}) {
    const ToyRun many = run_toy(150, workers, batch);
    EXPECT_EQ(many.kept, one.kept) << workers << " workers, batches of " << batch;
    EXPECT_EQ(many.kept_order, expected_order);
    for (const int w : many.workers_seen) EXPECT_LT(w, workers);
  }
}

TEST(RandomizationRunner, RethrowsAWorkerFailureAfterEveryWorkerStopped) {
  RandomizationRunner batches(3, 16);
  int kept = 0;
  EXPECT_THROW(batches.run(
                   40, [](int, int) {},
                   [](int slot, int) {
                     if (slot == 5) throw std::runtime_error("worker failure");
                   },
                   [&](int, int) { ++kept; }),
               std::runtime_error);
  EXPECT_EQ(kept, 0);  // the failing batch keeps nothing
}

class ThreadsThatCannotStart : public WorkDirTest {};

TEST_F(ThreadsThatCannotStart, TheWorkersThatStartedDoEveryRandomizationWithTheSameResults) {
  const ToyRun one = run_toy(150, 1, 64);
  const std::string progress = console_output();
  // As under a memory limit: the system refuses the third thread (std::thread
  // then throws std::system_error).
  int attempts = 0;
  const ToyRun few = run_toy(150, 64, 64, [&](std::function<void()> work) {
    if (++attempts == 3) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    return std::thread(std::move(work));
  });
  EXPECT_EQ(few.kept, one.kept);
  EXPECT_EQ(few.kept_order, one.kept_order);
  for (const int w : few.workers_seen) EXPECT_LT(w, 3);
  // Said once: the next batches ask for no more threads than have started.
  EXPECT_EQ(console_output(), progress +
                                  "\nWARNING: only 3 of 64 threads could be started (Resource temporarily "
                                  "unavailable): the randomizations go on with 3 (their results do not depend on "
                                  "it).\n" +
                                  progress);
}

TEST_F(ThreadsThatCannotStart, WithoutAnyThreadTheCallingThreadDoesTheWork) {
  const ToyRun one = run_toy(70, 1, 64);
  const std::string progress = console_output();
  const ToyRun none = run_toy(70, 4, 64, [](std::function<void()>) -> std::thread {
    throw std::system_error(std::make_error_code(std::errc::not_enough_memory));
  });
  EXPECT_EQ(none.kept, one.kept);
  EXPECT_EQ(none.workers_seen, std::vector<int>{0});
  EXPECT_EQ(console_output(), progress +
                                  "\nWARNING: only 1 of 4 threads could be started (Cannot allocate memory): the "
                                  "randomizations go on with 1 (their results do not depend on it).\n" +
                                  progress);
}

class StoreRuns : public WorkDirTest {};

// A test of three values per randomization: the draw, its square and its
// parity; the store holds them at their index whatever the workers.
ValueStore run_store(int workers, int n, std::vector<int>& noted) {
  const RandomizationRunner runner(workers, 8);
  std::vector<float> drawn(8);
  float stream = 1;
  RandomizationSteps steps;
  steps.n_values = 3;
  steps.draw = [&](int slot) {
    stream = stream * 3 - 1;
    drawn[static_cast<std::size_t>(slot)] = stream;
  };
  steps.evaluate = [&](int slot, int, float* values) {
    const float x = drawn[static_cast<std::size_t>(slot)];
    values[0] = x;
    values[1] = x * x;  // the third value is left to the runner: missing
  };
  steps.kept = [&](int i, const float* values) {
    EXPECT_EQ(values[2], MISSING_VALUE_F);
    noted.push_back(i);
  };
  ValueStore store(3, n);
  runner.run(steps, store);
  return store;
}

TEST_F(StoreRuns, KeepEveryRandomizationAtItsIndexForAnyWorkerCount) {
  std::vector<int> noted_one, noted_three;
  const ValueStore one = run_store(1, 20, noted_one);
  const ValueStore three = run_store(3, 20, noted_three);
  std::vector<int> order(20);
  for (int i = 0; i < 20; ++i) order[static_cast<std::size_t>(i)] = i + 1;
  EXPECT_EQ(noted_one, order);
  EXPECT_EQ(noted_three, order);
  float x = 1;
  for (int i = 1; i <= 20; ++i) {
    x = x * 3 - 1;
    EXPECT_EQ(one.values(i)[0], x);
    EXPECT_EQ(three.values(i)[1], x * x);
    EXPECT_EQ(three.column(1)[i], x * x);
  }
  EXPECT_EQ(one.values(0)[0], MISSING_VALUE_F);  // nothing observed was put
}

TEST(RandomizationWorkers, TakesTheRequestedCountOrOnePerCore) {
  EXPECT_EQ(randomization_workers(3), 3);
  EXPECT_GE(randomization_workers(0), 1);
}

}  // namespace
}  // namespace quorvel::randomization
