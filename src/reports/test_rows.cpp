#include "reports/test_rows.hpp"

#include <cmath>
#include <utility>

#include "core/format.hpp"
#include "reports/partition_rows.hpp"
#include "reports/statistics.hpp"

namespace quorvel::reports {

namespace {

constexpr int kLocationsTest = 0;
constexpr int kPhylogenyTest = 1;

}  // namespace

std::string permutation_wording(float mode, bool distance_matrix) {
  if (mode == -1.0f) {
    return distance_matrix ? "permute all species from the distance matrix"
                           : "permute all species from the phylogenetic tree";
  }
  if (mode == 0.0f) return "permute sampled species";
  if (mode < -1.0f) {
    return core::format("permute species with similar numbers of occurrences (max ratio of occurrences=%g)",
                        std::fabs(static_cast<double>(mode)));
  }
  if (mode > 1.0f) {
    return core::format("permute species with similar abundances (max ratio of abundances=%g)",
                        static_cast<double>(mode));
  }
  return std::string();
}

std::string plot_test_title(const PlotTestRecord& test) {
  if (test.test_type == kLocationsTest) return kLocationsTestTitle;
  const bool phylogeny = test.test_type == kPhylogenyTest;
  std::string title = phylogeny ? "PHYLOGENY RANDOMIZATION TEST" : "INTER-SPECIES TRAIT DISTANCES RANDOMIZATION TEST";
  const std::string wording = permutation_wording(test.permutation_mode, !phylogeny);
  if (!wording.empty()) title += " : " + wording;
  if (!phylogeny) return title;
  if (test.clade_restriction == -1.0f) {
    title += " WITHIN CLADE \"" + test.clade_name + "\"";
  } else if (test.clade_restriction > 0) {
    title += core::format(" WITHIN CLADES YOUNGER THAN AGE %g", static_cast<double>(test.clade_restriction));
  } else {
    title += " OVER WHOLE PHYLOGENY";
  }
  return title;
}

std::string test_label(randomization::TestIdentity test, const std::string& randomized) {
  using randomization::TestKind;
  const char* kind = "test";
  switch (test.kind) {
    case TestKind::kSpatial:
      kind = "spatial test";
      break;
    case TestKind::kPhylogeny:
    case TestKind::kSignalPhylogeny:
    case TestKind::kIndividualPhylogeny:
      kind = "phylogeny test";
      break;
    case TestKind::kTraitDistances:
      kind = "trait-distance test";
      break;
    case TestKind::kTimeDecomposition:
      kind = "divergence-interval test";
      break;
    case TestKind::kBrownian:
      kind = "Brownian evolution test";
      break;
    case TestKind::kNone:
      break;
  }
  std::string label = kind;
  if (test.number > 0) label += core::format(" %i", test.number);
  return randomized.empty() ? label : label + ": " + randomized;
}

std::string clade_wording(float clade_restriction, const std::string& clade_name) {
  if (clade_restriction == -1.0f) return " within clade \"" + clade_name + "\"";
  if (clade_restriction > 0)
    return core::format(" within clades younger than age %g", static_cast<double>(clade_restriction));
  return std::string();
}

std::string plot_test_label(const PlotTestRecord& test) {
  const randomization::TestIdentity id{randomization::plot_test_kind(test.test_type), test.test_number};
  if (test.test_type == kLocationsTest) return test_label(id, "permute plot positions");
  const bool phylogeny = test.test_type == kPhylogenyTest;
  std::string randomized = permutation_wording(test.permutation_mode, !phylogeny);
  if (phylogeny) randomized += clade_wording(test.clade_restriction, test.clade_name);
  return test_label(id, randomized);
}

bool add_test_row(ResultsTable& table, const std::string& section, const std::string& statistic, const char* scope,
                  int index, double limit, const std::string& title, int n, const randomization::TestSummary& summary,
                  RowTag tag) {
  if (!std::isfinite(summary.observed) && !std::isfinite(summary.mean)) return false;
  // A statistic has one value: its observed row's, when the table holds it
  // (the test stores the observed value in single precision).
  const TableRow* observed = table.observed_row(section, statistic, scope, index);
  const double value = observed ? observed->value : core::float_value(summary.observed);
  TableRow& row = table.add(section, statistic, scope, index, limit, value, std::move(tag));
  row.test = title;
  row.n = n;
  row.mean = core::float_value(summary.mean);
  row.sd = core::float_value(summary.sd);
  if (randomization::has_envelope(summary)) {
    row.ci95_low = core::float_value(summary.ci95_low);
    row.ci95_high = core::float_value(summary.ci95_high);
  }
  // P-values are exact quotients of counts, kept in double precision.
  row.p_lower = summary.p_lower;
  row.p_upper = summary.p_upper;
  row.p_two_sided = summary.p_two_sided;
  return true;
}

void add_plot_test_rows(ResultsTable& table, const PlotTestRecord& test) {
  const std::size_t first_row = table.rows.size();
  const int kind = test.data_kind == 2 ? 2 : 1;
  const char* section = plot_section_name(kind);
  const std::string title = plot_test_title(test);
  const int n = test.n_randomizations;
  const int C = test.n_classes;
  for (int i = 1; i <= test.n_statistics; ++i) {
    if (test.all_statistics == 0 && i != 4) continue;
    if (test.test_type != kLocationsTest && (i == 1 || i == 5)) continue;
    const int code = (*test.statistic_codes)[i];
    const StatisticDescription& names = statistic_description(code, kind);
    if (names.st[0] == '\0') continue;
    // Permuting positions cannot change the global values: the spatial test has none.
    if (test.test_type != kLocationsTest) {
      const randomization::TestSummaryMatrix& g = *test.global;
      add_test_row(table, section, names.within, kWithinScope, kNoIndex, MISSING_VALUE, title, n, g(i, 1));
      add_test_row(table, section, names.among, kAmongScope, kNoIndex, MISSING_VALUE, title, n, g(i, 2));
      add_test_row(table, section, names.st, kGlobalScope, kNoIndex, MISSING_VALUE, title, n, g(i, 3));
    }
    const randomization::TestSummaryMatrix& p = *test.pairwise;
    if (test.pairwise_kind == 2) {
      for (int c = 1; c <= C; ++c) {
        const double limit =
            test.class_limits && c <= test.class_limits->hi() ? (*test.class_limits)[c] : MISSING_VALUE;
        add_test_row(table, section, names.st, kClassScope, c, limit, title, n, p(i, c),
                     {Quantity::kPlotStatistic, code});
      }
    }
    if (test.pairwise_kind != 0)
      add_test_row(table, section, names.st, kPairScope, kNoIndex, MISSING_VALUE, title, n, p(i, C + 1));
    if (test.pairwise_kind == 2) {
      add_test_row(table, section, linear_slope_name(names.st), kRegressionScope, kNoIndex, MISSING_VALUE, title, n,
                   p(i, -2));
      add_test_row(table, section, log_slope_name(names.st), kRegressionScope, kNoIndex, MISSING_VALUE, title, n,
                   p(i, -1));
    }
  }
  table.identify_test(first_row, {randomization::plot_test_kind(test.test_type), test.test_number},
                      plot_test_label(test));
}

void add_interval_test_rows(ResultsTable& table, int n_intervals, const core::DVector& thresholds, int n_randomizations,
                            const randomization::TestSummaryMatrix& p_star,
                            const randomization::TestSummaryMatrix& pi) {
  const std::size_t first_row = table.rows.size();
  struct Block {
    const char* statistic;
    const randomization::TestSummaryMatrix* summaries;
    int row;
    RowTag tag;
  };
  using partition::kStatisticPI;
  using partition::kStatisticPStar;
  const StatisticDescription& p_star_names = statistic_description(kStatisticPStar, partition::kPhylogenyAnalysis);
  const StatisticDescription& pi_names = statistic_description(kStatisticPI, partition::kPhylogenyAnalysis);
  const RowTag other;
  // The order of the report: PAD, then P* within, among and P*st, then PI.
  const Block blocks[] = {
      {pool_names(partition::kPhylogenyAnalysis).signal, &p_star, 3, {Quantity::kDecomposition, kPadSubject}},
      {p_star_names.within, &p_star, 0, other},
      {p_star_names.among, &p_star, 1, other},
      {p_star_names.st, &p_star, 2, {Quantity::kDecomposition, kStatisticPStar}},
      {pi_names.within, &pi, 0, other},
      {pi_names.among, &pi, 1, other},
      {pi_names.st, &pi, 2, {Quantity::kDecomposition, kStatisticPI}}};
  for (const Block& block : blocks) {
    for (int m = 1; m <= n_intervals; ++m) {
      // Interval 1 (conspecific pairs) is never randomized: its observed value alone.
      add_test_row(table, kPlotsPhylogenySection, block.statistic, kIntervalScope, m, thresholds[m], kIntervalTestTitle,
                   m == 1 ? 0 : n_randomizations, (*block.summaries)(block.row, m), block.tag);
    }
  }
  const randomization::TestIdentity test{randomization::TestKind::kTimeDecomposition, 0};
  table.identify_test(first_row, test, test_label(test, "permute species within the clades younger than t"));
}

}  // namespace quorvel::reports
