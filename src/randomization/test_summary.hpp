#pragma once

#include <cstdint>

#include "core/arrays.hpp"

namespace quorvel::randomization {

/// Summary of one randomization test of one statistic: the observed value
/// and the distribution of the N permuted values (single precision, as the
/// values are stored), and the P-values, exact quotients of the counts in
/// double precision (0.01 is 0.01, so that p < 0.01 selects nothing at 99
/// randomizations).
struct TestSummary {
  float observed = 0;
  float mean = 0;
  float sd = 0;         // divisor N - 1
  float ci95_low = 0;   // 0 when N < 40
  float ci95_high = 0;  // 0 when N < 40
  float ci99_low = 0;   // 0 when N < 200
  float ci99_high = 0;  // 0 when N < 200
  double p_lower = 0;   // H1: obs < exp
  double p_upper = 0;   // H1: obs > exp
  double p_two_sided = 0;
  std::int32_t valid_count = 0;     // number of randomized values summarized
  std::int32_t distinct_count = 0;  // number of different permuted values
  std::int32_t object = 0;          // object permuted (individual-level writer)
};

/// Randomized values a 95% envelope needs (fewer leave its bounds at 0),
/// and a 99% envelope.
inline constexpr int kEnvelopeMinimum = 40;
inline constexpr int kEnvelope99Minimum = 200;

/// True when the summary has a 95% envelope.
inline bool has_envelope(const TestSummary& summary) { return summary.valid_count >= kEnvelopeMinimum; }

/// Matrix of summaries over inclusive row and column ranges.
using TestSummaryMatrix = core::Matrix<TestSummary>;

}  // namespace quorvel::randomization
