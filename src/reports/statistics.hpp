#pragma once

#include <string>

namespace quorvel::reports {

/// The one table of the plot-level statistics: what each report calls them.
/// Rows by StatisticCode (1 I, 2 P, 3 P*, 4 PI; T, T* and TAU for trait
/// distances), for the phylogeny (or plain) and the trait analysis.
struct StatisticDescription {
  const char* letter;   ///< "P*": the global block's "Global P*-statistics", the "Pairwise P*st" column
  const char* st;       ///< "P*st": the differentiation (results table, console, figures)
  const char* within;   ///< "Dp*w": mean within plots
  const char* among;    ///< "Dp*a": mean among plots
  const char* wording;  ///< what the statistic partitions, as the main result file says it
};

/// The description of statistic `code` (1..4) of an analysis kind
/// (partition::kTraitAnalysis for trait distances); an empty row otherwise.
const StatisticDescription& statistic_description(int code, int analysis_kind);

/// The species-pool values of a section with divergences: mean divergence
/// between sampled species, mean between distinct species weighted by their
/// abundances, and the signal 1 - weighted / mean ("DELTAp", "Dp*", "PAD";
/// "DELTAt", "Dt*", "TAD" for traits).
struct PoolNames {
  const char* mean;
  const char* weighted;
  const char* signal;
};
const PoolNames& pool_names(int analysis_kind);

/// "b(<statistic>, distance)" and "b(<statistic>, ln(distance))": the slopes
/// of a pairwise statistic on distance.
std::string linear_slope_name(const std::string& statistic);
std::string log_slope_name(const std::string& statistic);

/// How each kind of report shows a number (printf formats): the global
/// statistics of the main result file, its mean pairwise values, and every
/// number of the results table (full single and double precision).
inline constexpr const char* kGlobalFormat = "%.4f";
inline constexpr const char* kPairwiseFormat = "%G";
inline constexpr const char* kTableFormat = "%.9g";

}  // namespace quorvel::reports
