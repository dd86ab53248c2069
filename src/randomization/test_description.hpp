#pragma once

namespace quorvel::randomization {

/// Test types of the plot-level randomization tests.
inline constexpr int kLocationsTest = 0;
inline constexpr int kPhylogenyTest = 1;
inline constexpr int kTraitDistancesTest = 2;

/// The kinds of randomization tests a run can make.
enum class TestKind {
  kNone,
  kSpatial,              ///< plot positions permuted (plot level)
  kPhylogeny,            ///< species permuted on the phylogeny (plot level)
  kTraitDistances,       ///< species permuted over the trait distances (plot level)
  kTimeDecomposition,    ///< species permuted within clades younger than each divergence threshold
  kSignalPhylogeny,      ///< species permuted on the phylogeny, trait signal
  kBrownian,             ///< traits simulated by Brownian evolution, trait signal
  kIndividualPhylogeny,  ///< clades permuted, individual level
};

/// Which test a summary comes from: its kind and, for the tests the
/// instruction file defines one by one, their number there (1..), else 0.
struct TestIdentity {
  TestKind kind = TestKind::kNone;
  int number = 0;
};

/// The kind of a plot-level test type (kLocationsTest, ...).
inline TestKind plot_test_kind(int test_type) {
  return test_type == kLocationsTest   ? TestKind::kSpatial
         : test_type == kPhylogenyTest ? TestKind::kPhylogeny
                                       : TestKind::kTraitDistances;
}

}  // namespace quorvel::randomization
