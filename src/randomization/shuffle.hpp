#pragma once

#include "core/arrays.hpp"
#include "randomization/random_generator.hpp"

namespace quorvel::randomization {

/// Permutes a[first..last] in place (forward Fisher-Yates). Consumes exactly
/// one uniform draw per position first..last-1, none for a range of one
/// element or less, so two runs with the same stream give the same order.
void shuffle_range(core::IVector& a, int first, int last, RandomGenerator& generator);

}  // namespace quorvel::randomization
