#include "reports/partition_rows.hpp"

namespace quorvel::reports {

namespace {

using partition::kStatisticI;
using partition::kStatisticPI;
using partition::kStatisticPStar;

constexpr StatisticNames kPhylogenyNames[5] = {
    {"", "", ""},
    {"Ist", "Diw", "Dia"},
    {"Pst", "Dpw", "Dpa"},
    {"P*st", "Dp*w", "Dp*a"},
    {"PIst", "DELTApw", "DELTApa"},
};
constexpr StatisticNames kTraitNames[5] = {
    {"", "", ""},
    {"Ist", "Diw", "Dia"},
    {"Tst", "Dtw", "Dta"},
    {"T*st", "Dt*w", "Dt*a"},
    {"TAUst", "DELTAtw", "DELTAta"},
};

constexpr int kTraitAnalysis = 2;

double ratio_complement(double numerator, double denominator) {
  if (is_missing(numerator) || is_missing(denominator) || denominator == 0.0) return MISSING_VALUE;
  return 1.0 - numerator / denominator;
}

double float_value(float v) { return v == MISSING_VALUE_F ? MISSING_VALUE : static_cast<double>(v); }

void add_pool_rows(ResultsTable& table, const char* section, const PartitionReportInput& in) {
  const partition::IntervalPartition& p_star = in.tables->interval[kStatisticPStar];
  const partition::IntervalPartition& pi = in.tables->interval[kStatisticPI];
  const bool traits = in.analysis_kind == kTraitAnalysis;
  table.add(section, traits ? "DELTAt" : "DELTAp", kPoolScope, kNoIndex, MISSING_VALUE, pi(2, 0));
  table.add(section, traits ? "Dt*" : "Dp*", kPoolScope, kNoIndex, MISSING_VALUE, p_star(2, 0));
  table.add(section, traits ? "TAD" : "PAD", kPoolScope, kNoIndex, MISSING_VALUE,
            ratio_complement(p_star(2, 0), pi(2, 0)));
}

void add_class_rows(ResultsTable& table, const char* section, const partition::DistanceClassTable& t) {
  for (int j = 1; j <= t.classes; ++j) {
    const bool empty = t.pairs[j] == 0;
    const double limit = t.limit[j];
    table.add(section, "n_pairs", kClassScope, j, limit, t.pairs[j]);
    table.add(section, "percent_participation", kClassScope, j, limit,
              empty ? MISSING_VALUE : 100.0 * float_value(t.participation(j, 0)));
    table.add(section, "cv_participation", kClassScope, j, limit,
              empty ? MISSING_VALUE : float_value(t.participation(j, 1)));
    table.add(section, "mean_distance", kClassScope, j, limit, empty ? MISSING_VALUE : t.mean_distance[j]);
    table.add(section, "mean_ln_distance", kClassScope, j, limit,
              empty || t.mean_distance[j] == 0.0 ? MISSING_VALUE : t.mean_ln_distance[j]);
  }
}

void add_statistic_rows(ResultsTable& table, const char* section, const PartitionReportInput& in, int position,
                        int code, int classes) {
  const StatisticNames names = statistic_names(code, in.analysis_kind);
  table.add(section, names.within, kWithinScope, kNoIndex, MISSING_VALUE, (*in.summary)(position, 1));
  table.add(section, names.among, kAmongScope, kNoIndex, MISSING_VALUE, (*in.summary)(position, 2));
  table.add(section, names.st, kGlobalScope, kNoIndex, MISSING_VALUE, (*in.summary)(position, 3));
  if (!in.regressions) return;
  const partition::RegressionRow& row = in.regressions[code];
  if (in.pairwise_mode > 1) {
    for (int j = 1; j <= classes; ++j) {
      const double limit = in.classes ? in.classes->limit[j] : MISSING_VALUE;
      table.add(section, names.st, kClassScope, j, limit, float_value(row[j]));
    }
    // The report leaves the average of a single class empty: it is that class.
    if (classes != 1) table.add(section, names.st, kPairScope, kNoIndex, MISSING_VALUE, float_value(row[classes + 1]));
    table.add(section, linear_slope_name(names.st), kRegressionScope, kNoIndex, MISSING_VALUE, float_value(row[-2]));
    table.add(section, log_slope_name(names.st), kRegressionScope, kNoIndex, MISSING_VALUE, float_value(row[-1]));
  } else if (in.pairwise_mode == 1) {
    table.add(section, names.st, kPairScope, kNoIndex, MISSING_VALUE, float_value(row[classes + 1]));
  }
}

void add_interval_rows(ResultsTable& table, const char* section, const PartitionReportInput& in) {
  const partition::PartitionTables& t = *in.tables;
  const partition::IntervalPartition& I = t.interval[kStatisticI];
  const partition::IntervalPartition& Ps = t.interval[kStatisticPStar];
  const partition::IntervalPartition& PI = t.interval[kStatisticPI];
  const partition::IntervalPartition& S = t.species_pairs;
  for (int i = 1; i <= in.n_intervals; ++i) {
    const double limit = (*in.limits)[i];
    auto add = [&](const char* statistic, double value) {
      table.add(section, statistic, kIntervalScope, i, limit, value);
    };
    add("PAD", ratio_complement(Ps(2, i), PI(2, i)));
    if (in.data_type > 0) {
      add("Diw", I(0, i));
      add("Dia", I(1, i));
      add("Dp*w", Ps(0, i));
      add("Dp*a", Ps(1, i));
      add("P*st", ratio_complement(Ps(0, i), Ps(1, i)));
    }
    add("Dsw", S(0, i));
    add("Dsa", S(1, i));
    add("DELTApw", PI(0, i));
    add("DELTApa", PI(1, i));
    add("PIst", ratio_complement(PI(0, i), PI(1, i)));
  }
}

}  // namespace

const char* plot_section_name(int analysis_kind) {
  return analysis_kind == kTraitAnalysis ? kPlotsTraitsSection : kPlotsPhylogenySection;
}

StatisticNames statistic_names(int code, int analysis_kind) {
  if (code < 1 || code > 4) return kPhylogenyNames[0];
  return analysis_kind == kTraitAnalysis ? kTraitNames[code] : kPhylogenyNames[code];
}

std::string linear_slope_name(const std::string& statistic) { return "b(" + statistic + ", distance)"; }
std::string log_slope_name(const std::string& statistic) { return "b(" + statistic + ", ln(distance))"; }

void add_partition_rows(ResultsTable& table, const PartitionReportInput& in) {
  const char* section = plot_section_name(in.analysis_kind);
  const int f = in.analysis_kind;
  const int a = static_cast<int>(in.statistics.size());
  const int classes = in.classes ? in.classes->classes : 0;
  if ((f == 1 || f == 2) && a >= 1 && (a > 1 || in.statistics[0] > 1)) add_pool_rows(table, section, in);
  if (in.pairwise_mode > 1 && classes != 0 && in.classes) add_class_rows(table, section, *in.classes);
  // Presence/absence data: the statistics of individuals are those of species.
  const bool only_last = in.data_type == 0 && a >= 4;
  for (int position = only_last ? 4 : 1; position <= a; ++position) {
    add_statistic_rows(table, section, in, position, in.statistics[static_cast<std::size_t>(position) - 1], classes);
  }
  if (f == 1 && in.n_intervals > 2) add_interval_rows(table, section, in);
}

}  // namespace quorvel::reports
