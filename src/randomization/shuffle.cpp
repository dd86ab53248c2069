#include "randomization/shuffle.hpp"

#include <utility>

namespace quorvel::randomization {

void shuffle_range(core::IVector& a, int first, int last, RandomGenerator& generator) {
  for (int i = first; i < last; ++i) {
    const int positions = last - i + 1;
    // The product is formed in extended precision so that it is exact for any
    // range; the draw is below 1, so the offset stays below `positions`.
    const auto offset = static_cast<int>(static_cast<long double>(uniform_random(generator)) * positions);
    std::swap(a[i], a[i + offset]);
  }
}

}  // namespace quorvel::randomization
