#include "randomization/random_generator.hpp"

#include <cmath>
#include <cstdint>
#include <ctime>

namespace quorvel::randomization {

namespace {

constexpr std::int32_t kModulus = 2147483647;  // 2^31 - 1, a Mersenne prime
constexpr std::int32_t kMultiplier = 16807;    // 7^5, a primitive root of the modulus
constexpr std::int32_t kSchrageQ = 127773;     // kModulus / kMultiplier
constexpr std::int32_t kSchrageR = 2836;       // kModulus % kMultiplier
constexpr int kTableSize = 32;
constexpr int kWarmUp = 8;                        // states discarded before the table is filled
constexpr std::int32_t kTableDivisor = 67108864;  // 2^26: maps an output 1..2^31-2 to 0..31
constexpr double kTwoToMinus31 = 4.656612873077393e-10;
constexpr double kCapThreshold = 1.0 - 1.2e-7;
constexpr float kLargestUniform = 0.99999988079071044921875f;  // 1 - 2^-23
constexpr double kMinimalStandardFactor = 4.656612875e-10;
constexpr double kTwoPi = 6.283185307179586;

// The state the table is built from: the negated seed, 1 when that is below 1.
// Seeds of magnitude 2^31 - 1 or more (only reachable through an explicit
// seed, never from the clock) are reduced into the generator's range, since
// 2^31 - 1 itself would make the state collapse to 0.
std::int32_t table_start_state(std::int32_t seed) {
  std::int64_t start = -static_cast<std::int64_t>(seed);
  if (start >= kModulus) start %= kModulus;
  return start < 1 ? 1 : static_cast<std::int32_t>(start);
}

void build_table(RandomGenerator& generator) {
  generator.random_seed = table_start_state(generator.random_seed);
  for (int j = kTableSize + kWarmUp - 1; j >= 0; --j) {
    advance_state(generator.random_seed);
    if (j < kTableSize) generator.table[static_cast<std::size_t>(j)] = generator.random_seed;
  }
  generator.last_output = generator.table[0];
}

}  // namespace

RandomGenerator make_random_generator(std::int32_t seed) {
  RandomGenerator generator;
  generator.random_seed = seed;
  return generator;
}

std::int32_t clock_seed_from_time(int hours, int minutes, int seconds) {
  std::int32_t value = seconds != 0 ? seconds : 1;
  if (minutes != 0) value *= minutes;
  if (hours != 0) value *= hours;
  return value;
}

std::int32_t clock_seed() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return clock_seed_from_time(local.tm_hour, local.tm_min, local.tm_sec);
}

void advance_state(std::int32_t& state) {
  const std::int32_t k = state / kSchrageQ;
  state = kMultiplier * (state - k * kSchrageQ) - kSchrageR * k;
  if (state < 0) state += kModulus;
}

float uniform_random(RandomGenerator& generator) {
  if (generator.random_seed <= 0 || generator.last_output == 0) build_table(generator);
  advance_state(generator.random_seed);
  const auto j = static_cast<std::size_t>(generator.last_output / kTableDivisor);
  generator.last_output = generator.table[j];
  generator.table[j] = generator.random_seed;
  const auto r = static_cast<float>(generator.last_output * kTwoToMinus31);
  return r > kCapThreshold ? kLargestUniform : r;
}

double minimal_standard_random(std::int32_t& state) {
  if (state == 0) state = 1;
  advance_state(state);
  return state * kMinimalStandardFactor;
}

double normal_random(RandomGenerator& generator) {
  const std::int32_t calls = generator.normal_calls < 0 ? 0 : generator.normal_calls;
  // Only the parity matters; wrapping at 2^31 - 1 (odd) to 0 (even) keeps it.
  generator.normal_calls = calls == INT32_MAX ? 0 : calls + 1;
  if (calls % 2 == 1) return generator.cached_deviate;
  double u1 = 0;
  do {
    u1 = minimal_standard_random(generator.random_seed);
  } while (u1 == 0);
  const double u2 = minimal_standard_random(generator.random_seed);
  const double rho = std::sqrt(-2.0 * std::log(u1));
  const double theta = kTwoPi * u2;
  generator.cached_deviate = rho * std::sin(theta);
  return rho * std::cos(theta);
}

}  // namespace quorvel::randomization
