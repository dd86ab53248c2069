#pragma once

namespace quorvel::randomization {

/// Test types of the plot-level randomization tests.
inline constexpr int kLocationsTest = 0;
inline constexpr int kPhylogenyTest = 1;
inline constexpr int kTraitDistancesTest = 2;

}  // namespace quorvel::randomization
