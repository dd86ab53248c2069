#pragma once

#include <array>
#include <cstdint>

namespace quorvel::randomization {

/// The one random stream of a run: the minimal standard state (`random_seed`),
/// the Bays-Durham shuffle table of `uniform_random` and the half-used
/// Box-Muller pair of `normal_random`. There is no hidden global copy: every
/// randomizing routine takes the generator it draws from, so a run (or a
/// test) owns exactly one stream and its draws happen in call order.
struct RandomGenerator {
  /// Minimal standard state. Zero or below asks `uniform_random` to (re)build
  /// its shuffle table; after the first draw it lies in 1..2147483646.
  std::int32_t random_seed = 0;
  std::array<std::int32_t, 32> table{};  ///< shuffle table of uniform_random
  std::int32_t last_output = 0;          ///< last table entry handed out (0: table not built)
  std::int32_t normal_calls = -1;        ///< calls of normal_random so far (-1: none)
  double cached_deviate = 0;             ///< second deviate of the last Box-Muller pair
};

/// A generator whose first uniform draw builds its table from `seed`
/// (pass the negative value, as the clock seed is used: random_seed = -clock_seed()).
RandomGenerator make_random_generator(std::int32_t seed);

/// Seed value from a time of day: seconds (1 if 0), times the minutes when not
/// 0, times the hours when not 0. The run starts with random_seed = -value.
std::int32_t clock_seed_from_time(int hours, int minutes, int seconds);

/// clock_seed_from_time of the current local time.
std::int32_t clock_seed();

/// One Park-Miller step s <- 16807 s mod 2147483647 (Schrage's method, no overflow).
void advance_state(std::int32_t& state);

/// Uniform deviate in the open interval (0, 1), single precision, from the
/// minimal standard generator behind a 32-entry shuffle table. Never returns
/// 0; the largest value returned is 1 - 2^-23.
float uniform_random(RandomGenerator& generator);

/// Plain minimal standard deviate in (0, 1) (double): advances `state` once
/// and returns state x 4.656612875e-10. A state of 0 is taken as 1 (0 is a
/// fixed point of the step and would never leave it).
double minimal_standard_random(std::int32_t& state);

/// Standard normal deviate (Box-Muller, trigonometric form) drawn from
/// `generator.random_seed` with minimal_standard_random. Deviates come in
/// pairs: an even call draws two uniforms and caches the second deviate,
/// the following odd call returns the cached one without drawing.
double normal_random(RandomGenerator& generator);

}  // namespace quorvel::randomization
