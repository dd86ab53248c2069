// The batch engine of the randomization loops: progress display, stream
// order, and identical results whatever the number of workers.
#include "randomization/randomization_runner.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
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

ToyRun run_toy(int n, int workers, int batch_size, RandomizationRunner::ThreadStarter start = {},
               SliceLedger* ledger = nullptr) {
  RandomizationRunner batches(workers, batch_size, std::move(start), ledger);
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
ValueStore run_store(int workers, int n, std::vector<int>& noted, SliceLedger* ledger = nullptr, int* draws = nullptr) {
  const RandomizationRunner runner(workers, 8, {}, ledger);
  std::vector<float> drawn(8);
  float stream = 1;
  RandomizationSteps steps;
  steps.n_values = 3;
  steps.draw = [&](int slot) {
    stream = stream * 3 - 1;
    drawn[static_cast<std::size_t>(slot)] = stream;
    if (draws) ++*draws;
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

class SliceRuns : public WorkDirTest {};

TEST_F(SliceRuns, DrawEveryRandomizationButEvaluateAndKeepOnlyTheirOwn) {
  const ToyRun whole = run_toy(150, 1, 64);
  const std::string progress = console_output();
  for (const auto& [workers, batch] : std::vector<std::pair<int, int>>{{1, 64}, {3, 64}, {3, 5}, {2, 1}}) {
    for (const int K : {1, 4, 200}) {
      for (int k = 1; k <= std::min(K, 5); ++k) {
        SCOPED_TRACE(::testing::Message()
                     << "slice " << k << " of " << K << ", " << workers << " workers, batches of " << batch);
        SliceLedger ledger = SliceLedger::slice(k, K);
        const std::string before = console_output();
        const ToyRun slice = run_toy(150, workers, batch, {}, &ledger);
        EXPECT_EQ(slice.drawn_order, whole.drawn_order);  // the whole stream, in order
        std::vector<int> own;
        std::vector<long long> own_values;
        for (int i = 1; i <= 150; ++i) {
          if (i % K != k - 1) continue;
          own.push_back(i);
          own_values.push_back(whole.kept[static_cast<std::size_t>(i - 1)]);
        }
        EXPECT_EQ(slice.kept_order, own);
        EXPECT_EQ(slice.kept, own_values);
        // The progress display counts every randomization, drawn or evaluated.
        EXPECT_EQ(console_output(), before + progress);
      }
    }
  }
}

TEST_F(SliceRuns, MergedSlicesGiveTheStoreOfTheWholeRunWithoutADraw) {
  std::vector<int> noted_whole;
  ValueStore whole = run_store(2, 20, noted_whole);
  const std::string console = console_output();
  for (const int K : {1, 3, 7, 25}) {
    SCOPED_TRACE(K);
    std::vector<SliceFile> slices;
    for (int k = K; k >= 1; --k) {  // any order
      SliceLedger ledger = SliceLedger::slice(k, K);
      std::vector<int> noted;
      run_store(3, 20, noted, &ledger);
      EXPECT_EQ(noted.size(), static_cast<std::size_t>(slice_share(20, k, K)));
      run_store(1, 0, noted, &ledger);  // a test without randomizations is no test of the slices
      SliceFile slice;
      slice.identity = {"0.10", {"instr.txt", 1}, {}, 1};
      slice.k = k;
      slice.K = K;
      slice.tests = ledger.tests();
      ASSERT_EQ(slice.tests.size(), 1u);
      slices.push_back(parse_slice_file(slice_file_text(slice), "s"));
    }
    const std::string before = console_output();
    SliceLedger merge = SliceLedger::merge(slices);
    std::vector<int> noted;
    int draws = 0;
    const ValueStore merged = run_store(4, 20, noted, &merge, &draws);
    merge.check_every_test_used();
    EXPECT_EQ(draws, 0);
    EXPECT_EQ(noted, noted_whole);  // every randomization noted, in order
    EXPECT_EQ(console_output(), before + console);
    for (int i = 0; i <= 20; ++i) {
      for (int j = 0; j < 3; ++j) EXPECT_EQ(std::memcmp(&merged.values(i)[j], &whole.values(i)[j], 4), 0) << i;
    }
  }
}

TEST_F(SliceRuns, AMergeRefusesSlicesOfOtherTests) {
  SliceLedger ledger = SliceLedger::slice(1, 1);
  std::vector<int> noted;
  run_store(1, 20, noted, &ledger);
  SliceFile slice;
  slice.tests = ledger.tests();
  auto refused = [](const std::string& reason) {
    return "\n\nERROR: the slice files do not hold the randomizations of this run: " + reason +
           ". Make the slices and the merge with one program, one instruction file and the same data.\nPress any key "
           "to stop.";
  };
  SliceLedger other_count = SliceLedger::merge({slice});
  EXPECT_STOPS(run_store(1, 19, noted, &other_count),
               refused("test 1 has 20 randomizations of 3 values in the slices, and 19 of 3 here"),
               core::kStoppedStatus);
  SliceLedger unused = SliceLedger::merge({slice});
  EXPECT_STOPS(unused.check_every_test_used(), refused("they hold 1 test, and this run made 0"), core::kStoppedStatus);
  SliceLedger one_test = SliceLedger::merge({slice});
  run_store(1, 20, noted, &one_test);
  one_test.check_every_test_used();
  EXPECT_STOPS(run_store(1, 20, noted, &one_test), refused("they hold 1 test, and this run makes more"),
               core::kStoppedStatus);
  slice.tests[0].observed[0] = 1;
  SliceLedger other_observed = SliceLedger::merge({slice});
  EXPECT_STOPS(run_store(1, 20, noted, &other_observed), refused("the observed values of test 1 differ"),
               core::kStoppedStatus);
}

TEST(RandomizationWorkers, TakesTheRequestedCountOrOnePerCore) {
  EXPECT_EQ(randomization_workers(3), 3);
  EXPECT_GE(randomization_workers(0), 1);
}

}  // namespace
}  // namespace quorvel::randomization
