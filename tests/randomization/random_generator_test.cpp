#include "randomization/random_generator.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/arrays.hpp"
#include "randomization/shuffle.hpp"

namespace quorvel::randomization {
namespace {

// Reference values: the minimal standard generator of Park and Miller (the
// states from 1 and the 10000th state are the published check values); the
// uniform, normal and shuffle values were computed independently with exact
// integer arithmetic and IEEE single rounding (README in tests/data/randomization).

TEST(RandomGenerator, MinimalStandardStatesFromOne) {
  const std::vector<std::int32_t> expected = {16807,     282475249, 1622650073, 984943658,  1144108930,
                                              470211272, 101027544, 1457850878, 1458777923, 2007237709};
  std::int32_t state = 1;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    advance_state(state);
    EXPECT_EQ(state, expected[i]) << "step " << i + 1;
  }
  state = 1;
  for (int i = 0; i < 10000; ++i) advance_state(state);
  EXPECT_EQ(state, 1043618065);
}

TEST(RandomGenerator, SchrageHandlesTheExtremesOfTheRange) {
  std::int32_t state = 2147483646;  // 16807 * (M - 1) mod M = M - 16807
  advance_state(state);
  EXPECT_EQ(state, 2147483647 - 16807);
  state = -5;  // a negative (unseeded) state still lands in range
  advance_state(state);
  EXPECT_EQ(state, 2147483647 - 5 * 16807);
}

TEST(RandomGenerator, UniformSequenceFromClockSeeds) {
  RandomGenerator generator = make_random_generator(-1);
  const std::vector<float> expected = {0.4159993529319763f, 0.09196489304304123f, 0.7564104795455933f,
                                       0.5297002196311951f, 0.9304364919662476f};
  for (float value : expected) EXPECT_EQ(uniform_random(generator), value);

  generator = make_random_generator(-80063);  // 23:59:59
  EXPECT_EQ(uniform_random(generator), 0.9416607618331909f);
  EXPECT_EQ(uniform_random(generator), 0.31732770800590515f);
  EXPECT_EQ(uniform_random(generator), 0.42256301641464233f);
}

TEST(RandomGenerator, ZeroSeedAndPositiveUnbuiltStateStartFromOne) {
  RandomGenerator from_zero = make_random_generator(0);
  RandomGenerator from_one = make_random_generator(-1);
  // A positive state with no table yet (normal_random drew first) also
  // rebuilds the table from state 1.
  RandomGenerator positive = make_random_generator(-7);
  normal_random(positive);
  ASSERT_GT(positive.random_seed, 0);
  for (int i = 0; i < 50; ++i) {
    const float expected = uniform_random(from_one);
    EXPECT_EQ(uniform_random(from_zero), expected);
    EXPECT_EQ(uniform_random(positive), expected);
  }
}

TEST(RandomGenerator, UniformStaysInsideTheOpenInterval) {
  RandomGenerator generator = make_random_generator(-1);
  uniform_random(generator);
  // Force the largest table entry out: r rounds to 1.0f and is capped.
  generator.last_output = 2147483646;
  generator.table[31] = 2147483646;
  EXPECT_EQ(uniform_random(generator), 0.99999988079071044921875f);
  generator = make_random_generator(-12345);
  for (int i = 0; i < 100000; ++i) {
    const float r = uniform_random(generator);
    ASSERT_GT(r, 0.0f);
    ASSERT_LT(r, 1.0f);
  }
  EXPECT_GE(generator.random_seed, 1);
  EXPECT_LE(generator.random_seed, 2147483646);
}

TEST(RandomGenerator, NormalDeviatesComeInPairs) {
  RandomGenerator generator = make_random_generator(12345);
  const double first = normal_random(generator);
  const std::int32_t state_after_pair = generator.random_seed;
  const double second = normal_random(generator);
  EXPECT_DOUBLE_EQ(first, 1.0887431608440044);
  EXPECT_DOUBLE_EQ(second, -1.8677926088017827);
  EXPECT_EQ(state_after_pair, 1790989824);             // two draws for the even call
  EXPECT_EQ(generator.random_seed, state_after_pair);  // none for the odd one
  normal_random(generator);
  EXPECT_NE(generator.random_seed, state_after_pair);
}

TEST(RandomGenerator, MinimalStandardNeverSticksAtZero) {
  std::int32_t state = 0;
  const double u = minimal_standard_random(state);
  EXPECT_EQ(state, 16807);
  EXPECT_DOUBLE_EQ(u, 16807 * 4.656612875e-10);
}

TEST(RandomGenerator, ClockSeedMultipliesTheNonZeroParts) {
  EXPECT_EQ(clock_seed_from_time(0, 0, 0), 1);
  EXPECT_EQ(clock_seed_from_time(0, 0, 17), 17);
  EXPECT_EQ(clock_seed_from_time(0, 3, 0), 3);
  EXPECT_EQ(clock_seed_from_time(10, 0, 5), 50);
  EXPECT_EQ(clock_seed_from_time(23, 59, 59), 80063);
  EXPECT_GE(clock_seed(), 1);
}

core::IVector iota(int n) {
  core::IVector a = core::ivector(0, n);
  for (int i = 0; i <= n; ++i) a[i] = i;
  return a;
}

TEST(ShuffleRange, KnownPermutationsAndDrawCount) {
  RandomGenerator generator = make_random_generator(-1);
  core::IVector a = iota(10);
  shuffle_range(a, 1, 10, generator);
  const std::vector<int> expected = {5, 2, 9, 7, 10, 4, 3, 8, 1, 6};
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(a[i], expected[static_cast<std::size_t>(i - 1)]) << "position " << i;
  EXPECT_EQ(a[0], 0);
  // Nine draws were consumed: the tenth value of the stream comes next.
  EXPECT_EQ(uniform_random(generator), 0.6711493730545044f);

  generator = make_random_generator(-7);
  a = iota(5);
  shuffle_range(a, 1, 5, generator);
  const std::vector<int> expected5 = {1, 3, 4, 2, 5};
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(a[i], expected5[static_cast<std::size_t>(i - 1)]);
}

TEST(ShuffleRange, OneElementOrEmptyRangeDrawsNothing) {
  RandomGenerator generator = make_random_generator(-3);
  uniform_random(generator);
  const RandomGenerator before = generator;
  core::IVector a = iota(4);
  shuffle_range(a, 2, 2, generator);
  shuffle_range(a, 3, 1, generator);
  EXPECT_EQ(a[2], 2);
  EXPECT_EQ(generator.random_seed, before.random_seed);
  EXPECT_EQ(generator.last_output, before.last_output);
}

TEST(ShuffleRange, SameStreamSameOrderAndEveryElementKept) {
  RandomGenerator g1 = make_random_generator(-99);
  RandomGenerator g2 = make_random_generator(-99);
  for (int round = 0; round < 20; ++round) {
    core::IVector a = iota(30);
    core::IVector b = iota(30);
    shuffle_range(a, 3, 27, g1);
    shuffle_range(b, 3, 27, g2);
    std::vector<int> seen(31, 0);
    for (int i = 0; i <= 30; ++i) {
      EXPECT_EQ(a[i], b[i]);
      ++seen[static_cast<std::size_t>(a[i])];
      if (i < 3 || i > 27) {
        EXPECT_EQ(a[i], i);
      }
    }
    for (int count : seen) EXPECT_EQ(count, 1);
  }
}

}  // namespace
}  // namespace quorvel::randomization
