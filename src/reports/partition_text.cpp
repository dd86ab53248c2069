#include "reports/partition_text.hpp"

#include <cstdio>
#include <memory>

#include "core/constants.hpp"
#include "core/format.hpp"
#include "reports/left_out_text.hpp"
#include "reports/statistics.hpp"

namespace quorvel::reports {

using partition::IntervalPartition;
using partition::kStatisticI;
using partition::kStatisticPI;
using partition::kStatisticPStar;

namespace {

const char* const kWeightingTexts[3] = {
    " same weight for all plots)",
    " plot weight proportional to plot global abundance)",
    " plot weight proportional to number of pairs of individuals or species)",
};

// One value field: a tab, then the value unless it is missing.

double one_minus_ratio(double numerator, double denominator) {
  if (is_missing(numerator) || is_missing(denominator) || denominator == 0.0) return MISSING_VALUE;
  return 1.0 - numerator / denominator;
}

double row_value(const RegressionRow& row, int i) {
  const float v = row[i];
  return v == MISSING_VALUE_F ? MISSING_VALUE : static_cast<double>(v);
}

std::string category_name(const PartitionReportInput& in, int code) {
  if (!in.category_names || code < in.category_names->lo() || code > in.category_names->hi()) return std::string();
  return (*in.category_names)[code];
}

std::string pairs_used(const PartitionReportInput& in) {
  if (in.data_level == 3) return " (1 plot = 1 SPATIAL GROUP)";
  if (in.data_level != 2) return std::string();
  const PairSelection& sel = in.selection;
  switch (sel.mode) {
    case 0:
      return " for all pairs of plots";
    case 1:
      if (sel.key1 == 0) return " for pairs of plots WITHIN category";
      if (sel.key2 == 0)
        return core::format(" for pairs of plots WITHIN category \"%s\"", category_name(in, sel.key1).c_str());
      return std::string();
    case 2:
      if (sel.key1 != 0 && sel.key2 != 0)
        return core::format(" for pairs of plots BETWEEN categories \"%s\" and \"%s\"",
                            category_name(in, sel.key1).c_str(), category_name(in, sel.key2).c_str());
      if (sel.key1 == 0 && sel.key2 == 0) return " for pairs of plots AMONG categories";
      return std::string();
    case 3:
      return core::format(" for pairs of plots of PAIRWISE CATEGORY \"%i\"", sel.key1);
    default:
      return std::string();
  }
}

std::string distance_class_lines(const DistanceClassTable& t) {
  const int C = t.classes;
  std::string out = "\nDist classes\t\t\t\t\t";
  for (int j = 1; j <= C; ++j) out += core::format("\t%i", j);
  out += "\nMax distance\t\t\t\t\t";
  for (int j = 1; j <= C; ++j) out += core::tab_cell("%G", t.limit[j]);
  out += "\nNumber of pairs\t\t\t\t\t";
  for (int j = 1; j <= C; ++j) out += core::format("\t%i", t.pairs[j]);
  out += "\n% partic\t\t\t\t\t";
  for (int j = 1; j <= C; ++j) {
    const float p = t.participation(j, 0);
    out += t.pairs[j] == 0 || p == MISSING_VALUE_F ? std::string("\t") : core::tab_cell("%.1f", 100.0 * p);
  }
  out += "\nCV partic\t\t\t\t\t";
  for (int j = 1; j <= C; ++j) {
    const float cv = t.participation(j, 1);
    out += t.pairs[j] == 0 || cv == MISSING_VALUE_F ? std::string("\t") : core::tab_cell("%.2f", cv);
  }
  out += "\nMean distance\t\t\t\t\t";
  for (int j = 1; j <= C; ++j) out += t.pairs[j] == 0 ? std::string("\t") : core::tab_cell("%G", t.mean_distance[j]);
  out += "\nMean ln(distance)\t\t\t\t\t";
  for (int j = 1; j <= C; ++j)
    out +=
        t.pairs[j] == 0 || t.mean_distance[j] == 0.0 ? std::string("\t") : core::tab_cell("%G", t.mean_ln_distance[j]);
  return out;
}

std::string statistic_block(const PartitionReportInput& in, int position, int code, int classes) {
  const int f = in.analysis_kind;
  const StatisticDescription& statistic = statistic_description(code, f);
  const int mode = in.pairwise_mode;
  std::string out;
  if (f != 0) out += core::format("\n\n\tGlobal %s-statistics (%s)", statistic.letter, statistic.wording);
  if (mode != 0) {
    out += core::format("\t\t\t\t\tPairwise %s", statistic.st);
    if (mode > 1) {
      out += std::string(static_cast<std::size_t>(classes + 1), '\t');
      if (in.full_regression) out += "\tRegression with LINEAR DISTANCE\t\t\t\t\t\t\t\t\tRegression with LN(DISTANCE)";
    }
  }
  if (f != 0) out += core::format("\n\t%s\t%s\t%s\t", statistic.within, statistic.among, statistic.st);
  out += "\t";
  if (mode > 1) {
    for (int j = 1; j <= classes; ++j) out += core::format("\t%i", j);
    out += classes < 2 ? "\t" : "\taverage";
    out += in.full_regression
               ? "\t\tb (slope)\ta (intercept)\tr2 (coef of determination)\tN (# pairs)\tMd (mean distance)\tVd "
                 "(variance of distance)\tMv (mean statistic)\tVv (variance of statistic)\t\tb (slope)\ta "
                 "(intercept)\tr2 (coef of determination)\tN (# pairs)\tMd (mean ln(distance))\tVd (variance of "
                 "ln(distance))\tMv (mean statistic)\tVv (variance of statistic)\t"
               : "\t\tb-lin(slope linear dist)\tb-log(slope log dist)";
  } else if (mode == 1) {
    out += "\taverage";
  }
  out += "\n";

  for (int c = 1; c <= 4; ++c) out += core::tab_cell("%.4f", (*in.summary)(position, c));
  out += "\t";
  const RegressionRow* row = in.regressions ? &in.regressions[code] : nullptr;
  if (mode > 1 && row) {
    for (int j = 1; j <= classes + 1; ++j)
      out += j == classes + 1 && classes == 1 ? std::string("\t") : core::tab_cell("%G", row_value(*row, j));
    out += "\t";
    if (in.full_regression) {
      for (int i = -20; i <= -13; ++i) out += core::tab_cell("%G", row_value(*row, i));
      out += core::tab_cell("%G", row_value(*row, -11));
      for (int i = -10; i <= -3; ++i) out += core::tab_cell("%G", row_value(*row, i));
    } else {
      out += core::tab_cell("%G", row_value(*row, -2));
      out += core::tab_cell("%G", row_value(*row, -1));
    }
  } else if (mode == 1 && row) {
    out += core::tab_cell("%.4f", row_value(*row, classes + 1));
  }
  return out;
}

std::string interval_section(const PartitionReportInput& in) {
  const PartitionTables& t = *in.tables;
  const IntervalPartition& I = t.interval[kStatisticI];
  const IntervalPartition& Ps = t.interval[kStatisticPStar];
  const IntervalPartition& PI = t.interval[kStatisticPI];
  const IntervalPartition& S = t.species_pairs;
  const int R = in.n_intervals;
  auto row = [R](const char* label, auto value) {
    std::string out = label;
    for (int i = 1; i <= R; ++i) out += core::tab_cell("%.6g", value(i));
    return out;
  };
  std::string out =
      "\n\nDecomposition of species abundance phylogenetic structure by divergence intervals\nUpper divergence "
      "threshold";
  for (int i = 1; i <= R; ++i) out += core::tab_cell("%.4g", (*in.limits)[i]);
  out += row("\n\nPAD(<t)", [&](int i) { return one_minus_ratio(Ps(2, i), PI(2, i)); });
  if (in.data_type != kPresenceAbsenceData) {
    out += "\n\nPartition of diversity indices for pairs of individuals";
    out +=
        row("\n\nDiw(t) (within plot partition of Gini-Simpson's Div: proportion of pairs of individuals from species "
            "having diverged within the divergence interval)",
            [&](int i) { return I(0, i); });
    out +=
        row("\nDia(t) (among plot partition of Gini-Simpson's Div: proportion of pairs of individuals from species "
            "having diverged within the divergence interval)",
            [&](int i) { return I(1, i); });
    out +=
        row("\n\nDp*w(<t) (within plot mean divergence between individuals of distinct species with divergence <= "
            "divergence threshold)",
            [&](int i) { return Ps(0, i); });
    out +=
        row("\nDp*a(<t) (among plot mean divergence between individuals of distinct species with divergence <= "
            "divergence threshold)",
            [&](int i) { return Ps(1, i); });
    out += row("\nP*st(<t) = (Dp*a(<t) - Dp*w(<t)) / Dp*a(<t) ",
               [&](int i) { return one_minus_ratio(Ps(0, i), Ps(1, i)); });
  }
  out += "\n\nPartition of diversity indices for pairs of species";
  out += row("\n\nDsw(t) (within plot proportion of pairs of species having diverged within the divergence interval)",
             [&](int i) { return S(0, i); });
  out += row("\nDsa(t) (among plot proportion of pairs of species having diverged within the divergence interval)",
             [&](int i) { return S(1, i); });
  out += row("\n\nDELTApw(<t) (within plot mean divergence between species with divergence <= divergence threshold)",
             [&](int i) { return PI(0, i); });
  out += row("\nDELTApa(<t) (among plot mean divergence between species with divergence <= divergence threshold)",
             [&](int i) { return PI(1, i); });
  out += row("\nPIst(<t) = (DELTApa(<t) - DELTApw(<t)) / DELTApa(<t)",
             [&](int i) { return one_minus_ratio(PI(0, i), PI(1, i)); });
  if (const std::string left_out = interval_left_out_lines(in); !left_out.empty()) out += "\n" + left_out;
  return out;
}

}  // namespace

std::string partition_results_text(const PartitionReportInput& in) {
  const int f = in.analysis_kind;
  const int a = static_cast<int>(in.statistics.size());
  const int classes = in.classes ? in.classes->classes : 0;
  std::string out = "\n\n\n\n\nANALYSIS of : SPECIES-PLOT";
  if (f == 1) out += " + SPECIES PHYLOGENY (or INTER-SPECIES DIVERGENCES)";
  if (f == 2)
    out +=
        " + INTER-SPECIES TRAIT DISTANCES (or square root of mean squared inter-species difference of normalized "
        "trait values)";
  out += " data";

  if ((f == 1 || f == 2) && a >= 1 && (a > 1 || in.statistics[0] > 1)) {
    const IntervalPartition& Ps = in.tables->interval[kStatisticPStar];
    const IntervalPartition& PI = in.tables->interval[kStatisticPI];
    out += f == 1 ? "\n\nPhylogenetic signal in global species abundances\nDELTAp (mean divergence between sampled "
                    "species)\tDp* (mean divergence between distinct species weighted by the product of their "
                    "abundances)\tPAD (= 1 - Dp* / DELTAp)\n"
                  : "\n\nTrait signal in global species abundances\nDELTAt (mean trait distance between sampled "
                    "species)\tDt* (mean trait distance between distinct species weighted by the product of their "
                    "abundances)\tTAD (= 1 - Dt* / DELTAt)\n";
    out += core::format_cell("%f", PI(2, 0)) + "\t" + core::format_cell("%f", Ps(2, 0)) + "\t" +
           core::format_cell("%f", one_minus_ratio(Ps(2, 0), PI(2, 0))) + "\n";
  }
  if (f == 1) out += core::format("\n\nSpatial partition of phylo-diversity within and among %i plots", in.n_plots);
  if (f == 2) out += core::format("\n\nSpatial partition of traits-diversity within and among %i plots", in.n_plots);
  out += pairs_used(in);
  out += partition_left_out_lines(in);

  if (in.pairwise_mode > 1 && classes != 0 && in.classes) out += distance_class_lines(*in.classes);

  const int weighting = static_cast<int>(in.weighting);
  out += core::format("\n\n\tGlobal statistics (plot weighting = %i :", weighting);
  if (weighting >= 0 && weighting <= 2) out += kWeightingTexts[weighting];
  if (in.pairwise_mode == 1) out += "\t\t\t\t\tMean pairwise statistics (equal weights for all plots)";
  if (in.pairwise_mode == 2)
    out += "\t\t\t\t\tMean pairwise statistics over distance intervals (equal weights for all plots)";

  // Presence/absence data: the statistics on individuals are those on species,
  // so only the PI (or TAU) block is written.
  const bool only_last = in.data_type == kPresenceAbsenceData && a >= 4;
  for (int position = only_last ? 4 : 1; position <= a; ++position)
    out += statistic_block(in, position, in.statistics[static_cast<std::size_t>(position) - 1], classes);

  if (f == 1 && in.n_intervals > 2) out += interval_section(in);
  return out;
}

std::string global_statistics_line(const PartitionReportInput& in) {
  const int a = static_cast<int>(in.statistics.size());
  const int first = in.data_type == kPresenceAbsenceData && a >= 4 ? 4 : 1;
  std::string line = "\n\n";
  for (int position = first; position <= a; ++position) {
    const int code = in.statistics[static_cast<std::size_t>(position) - 1];
    const float value = in.tables->pairwise[code](0, 0);
    if (position > first) line += "\t";
    line += statistic_description(code, in.analysis_kind).st;
    line += "=" + core::format_cell(kGlobalFormat, value == MISSING_VALUE_F ? MISSING_VALUE : value);
  }
  return line + partition_left_out_lines(in) + interval_left_out_lines(in);
}

}  // namespace quorvel::reports
