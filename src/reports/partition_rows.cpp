#include "reports/partition_rows.hpp"

#include <utility>

#include "reports/statistics.hpp"

#include "core/format.hpp"

namespace quorvel::reports {

namespace {

using partition::kStatisticI;
using partition::kStatisticPI;
using partition::kStatisticPStar;

using partition::kTraitAnalysis;

double ratio_complement(double numerator, double denominator) {
  if (is_missing(numerator) || is_missing(denominator) || denominator == 0.0) return MISSING_VALUE;
  return 1.0 - numerator / denominator;
}

void add_pool_rows(ResultsTable& table, const char* section, const PartitionReportInput& in) {
  const partition::IntervalPartition& p_star = in.tables->interval[kStatisticPStar];
  const partition::IntervalPartition& pi = in.tables->interval[kStatisticPI];
  const PoolNames& names = pool_names(in.analysis_kind);
  table.add(section, names.mean, kPoolScope, kNoIndex, MISSING_VALUE, pi(2, 0));
  table.add(section, names.weighted, kPoolScope, kNoIndex, MISSING_VALUE, p_star(2, 0));
  table.add(section, names.signal, kPoolScope, kNoIndex, MISSING_VALUE, ratio_complement(p_star(2, 0), pi(2, 0)));
}

void add_class_rows(ResultsTable& table, const char* section, const partition::DistanceClassTable& t) {
  for (int j = 1; j <= t.classes; ++j) {
    const bool empty = t.pairs[j] == 0;
    const double limit = t.limit[j];
    table.add(section, "n_pairs", kClassScope, j, limit, t.pairs[j]);
    table.add(section, "percent_participation", kClassScope, j, limit,
              empty ? MISSING_VALUE : 100.0 * core::float_value(t.participation(j, 0)));
    table.add(section, "cv_participation", kClassScope, j, limit,
              empty ? MISSING_VALUE : core::float_value(t.participation(j, 1)));
    table.add(section, "mean_distance", kClassScope, j, limit, empty ? MISSING_VALUE : t.mean_distance[j],
              {Quantity::kMeanDistance, 0});
    table.add(section, "mean_ln_distance", kClassScope, j, limit,
              empty || t.mean_distance[j] == 0.0 ? MISSING_VALUE : t.mean_ln_distance[j]);
  }
}

void add_statistic_rows(ResultsTable& table, const char* section, const PartitionReportInput& in, int position,
                        int code, int classes) {
  const StatisticDescription& names = statistic_description(code, in.analysis_kind);
  table.add(section, names.within, kWithinScope, kNoIndex, MISSING_VALUE, (*in.summary)(position, 1));
  table.add(section, names.among, kAmongScope, kNoIndex, MISSING_VALUE, (*in.summary)(position, 2));
  table.add(section, names.st, kGlobalScope, kNoIndex, MISSING_VALUE, (*in.summary)(position, 3));
  if (!in.regressions) return;
  const partition::RegressionRow& row = in.regressions[code];
  if (in.pairwise_mode > 1) {
    for (int j = 1; j <= classes; ++j) {
      const double limit = in.classes ? in.classes->limit[j] : MISSING_VALUE;
      table.add(section, names.st, kClassScope, j, limit, core::float_value(row[j]), {Quantity::kPlotStatistic, code});
    }
    // The report leaves the average of a single class empty: it is that class.
    if (classes != 1)
      table.add(section, names.st, kPairScope, kNoIndex, MISSING_VALUE, core::float_value(row[classes + 1]));
    table.add(section, linear_slope_name(names.st), kRegressionScope, kNoIndex, MISSING_VALUE,
              core::float_value(row[-2]));
    table.add(section, log_slope_name(names.st), kRegressionScope, kNoIndex, MISSING_VALUE, core::float_value(row[-1]));
  } else if (in.pairwise_mode == 1) {
    table.add(section, names.st, kPairScope, kNoIndex, MISSING_VALUE, core::float_value(row[classes + 1]));
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
    auto add = [&](const char* statistic, double value, RowTag tag = {}) {
      table.add(section, statistic, kIntervalScope, i, limit, value, std::move(tag));
    };
    add("PAD", ratio_complement(Ps(2, i), PI(2, i)), {Quantity::kDecomposition, kPadSubject});
    if (in.data_type != kPresenceAbsenceData) {
      add("Diw", I(0, i));
      add("Dia", I(1, i));
      add("Dp*w", Ps(0, i));
      add("Dp*a", Ps(1, i));
      add("P*st", ratio_complement(Ps(0, i), Ps(1, i)), {Quantity::kDecomposition, kStatisticPStar});
    }
    add("Dsw", S(0, i));
    add("Dsa", S(1, i));
    add("DELTApw", PI(0, i));
    add("DELTApa", PI(1, i));
    add("PIst", ratio_complement(PI(0, i), PI(1, i)), {Quantity::kDecomposition, kStatisticPI});
  }
}

}  // namespace

const char* plot_section_name(int analysis_kind) {
  return analysis_kind == kTraitAnalysis ? kPlotsTraitsSection : kPlotsPhylogenySection;
}

void add_partition_rows(ResultsTable& table, const PartitionReportInput& in) {
  const char* section = plot_section_name(in.analysis_kind);
  const int f = in.analysis_kind;
  const int a = static_cast<int>(in.statistics.size());
  const int classes = in.classes ? in.classes->classes : 0;
  if ((f == 1 || f == 2) && a >= 1 && (a > 1 || in.statistics[0] > 1)) add_pool_rows(table, section, in);
  if (in.pairwise_mode > 1 && classes != 0 && in.classes) add_class_rows(table, section, *in.classes);
  // Presence/absence data: the statistics of individuals are those of species.
  const bool only_last = in.data_type == kPresenceAbsenceData && a >= 4;
  for (int position = only_last ? 4 : 1; position <= a; ++position) {
    add_statistic_rows(table, section, in, position, in.statistics[static_cast<std::size_t>(position) - 1], classes);
  }
  if (f == 1 && in.n_intervals > 2) add_interval_rows(table, section, in);
}

}  // namespace quorvel::reports
