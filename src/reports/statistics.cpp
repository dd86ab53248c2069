#include "reports/statistics.hpp"

#include "partition/plot_section.hpp"

namespace quorvel::reports {

namespace {

constexpr StatisticDescription kNone = {"", "", "", "", ""};

constexpr StatisticDescription kPhylogeny[5] = {
    kNone,
    {"I", "Ist", "Diw", "Dia", "spatial partition of Gini-Simpson index"},
    {"P", "Pst", "Dpw", "Dpa", "spatial partition of mean divergence btw individuals"},
    {"P*", "P*st", "Dp*w", "Dp*a", "spatial partition of mean divergence btw individuals of distinct species"},
    {"PI", "PIst", "DELTApw", "DELTApa", "spatial partition of mean divergence btw species"},
};

constexpr StatisticDescription kTraits[5] = {
    kNone,
    {"I", "Ist", "Diw", "Dia", "spatial partition of Gini-Simpson index"},
    {"T", "Tst", "Dtw", "Dta", "spatial partition of mean divergence btw individuals"},
    {"T*", "T*st", "Dt*w", "Dt*a", "spatial partition of mean divergence btw individuals of distinct species"},
    {"TAU", "TAUst", "DELTAtw", "DELTAta", "spatial partition of mean divergence btw species"},
};

constexpr PoolNames kPhylogenyPool = {"DELTAp", "Dp*", "PAD"};
constexpr PoolNames kTraitPool = {"DELTAt", "Dt*", "TAD"};

}  // namespace

const StatisticDescription& statistic_description(int code, int analysis_kind) {
  if (code < 1 || code > 4) return kNone;
  return analysis_kind == partition::kTraitAnalysis ? kTraits[code] : kPhylogeny[code];
}

const PoolNames& pool_names(int analysis_kind) {
  return analysis_kind == partition::kTraitAnalysis ? kTraitPool : kPhylogenyPool;
}

std::string linear_slope_name(const std::string& statistic) { return "b(" + statistic + ", distance)"; }
std::string log_slope_name(const std::string& statistic) { return "b(" + statistic + ", ln(distance))"; }

}  // namespace quorvel::reports
