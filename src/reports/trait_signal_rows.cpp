#include "reports/trait_signal_rows.hpp"

#include <cmath>

#include "core/format.hpp"
#include "reports/test_rows.hpp"

namespace quorvel::reports {

namespace {

// Columns -1..-9 of the signal table: correlations, a separator, slopes.
const char* const kTransforms[4] = {"divergence", "ln(divergence)", "squared(divergence)", "sqrt(divergence)"};

std::string name_of(const TraitSignalRecord& record, int v) {
  const core::NameTable& names = *record.names;
  return v >= names.lo() && v <= names.hi() ? names[v] : std::string();
}

// The statistic and scope of column `column` of a variable's row.
struct Cell {
  std::string statistic;
  const char* scope;
  int index;
  double limit;
  RowTag tag;
};

Cell cell_of(const TraitSignalRecord& record, int v, const std::string& variable, int column) {
  if (column >= 1) {
    const Quantity quantity = record.distance_matrices ? Quantity::kTraitMeanDistance : Quantity::kTraitAutocorrelation;
    return {signal_statistic(variable, record.distance_matrices),
            kIntervalScope,
            column,
            (*record.limits)[column],
            {quantity, v, variable}};
  }
  const bool slope = column <= -6;
  const int transform = slope ? -column - 6 : -column - 1;
  return {std::string(slope ? "b(" : "r(") + variable + ", " + kTransforms[transform] + ")",
          kRegressionScope,
          kNoIndex,
          MISSING_VALUE,
          {}};
}

// The report's column order: intervals 2..K, then -1 down to -9 without -5.
template <typename Visit>
void for_each_column(int n_intervals, Visit visit) {
  for (int c = 2; c <= n_intervals; ++c) visit(c);
  for (int c = -1; c >= -9; --c) {
    if (c != -5) visit(c);
  }
}

}  // namespace

std::string signal_statistic(const std::string& variable, bool distance_matrices) {
  return (distance_matrices ? "mean_distance(" : "autocorrelation(") + variable + ")";
}

void add_trait_signal_rows(ResultsTable& table, const TraitSignalRecord& record, const core::FMatrix& result) {
  const int K = record.n_intervals;
  for (int c = 2; c <= K; ++c) {
    const double limit = (*record.limits)[c];
    const double pairs = core::float_value(result(0, c));
    table.add(kPhylogenyTraitsSection, "n_pairs", kIntervalScope, c, limit, pairs);
    table.add(kPhylogenyTraitsSection, "mean_divergence", kIntervalScope, c, limit,
              pairs == 0.0 ? MISSING_VALUE : core::float_value(result(-1, c)));
  }
  for (int v = 1; v <= record.n_rows; ++v) {
    const std::string variable = name_of(record, v);
    for_each_column(K, [&](int column) {
      const Cell cell = cell_of(record, v, variable, column);
      table.add(kPhylogenyTraitsSection, cell.statistic, cell.scope, cell.index, cell.limit,
                core::float_value(result(v, column)), cell.tag);
    });
  }
}

void add_trait_signal_test_rows(ResultsTable& table, const TraitSignalRecord& record, bool brownian, float mode,
                                float clade_restriction, const std::string& clade_name, int n_randomizations,
                                const randomization::TestSummaryMatrix& summaries, int test_number) {
  std::string title = kBrownianTestTitle;
  if (!brownian) {
    title = "PHYLOGENY RANDOMIZATION TEST for trait conservatism : " + permutation_wording(mode, false);
    if (clade_restriction == -1.0f) {
      title += " WITHIN CLADE \"" + clade_name + "\"";
    } else if (clade_restriction > 0) {
      title += core::format(" WITHIN CLADES YOUNGER THAN AGE %g", static_cast<double>(clade_restriction));
    } else {
      title += " OVER WHOLE PHYLOGENY";
    }
  }
  const std::size_t first_row = table.rows.size();
  for (int v = 1; v <= record.n_rows; ++v) {
    const std::string variable = name_of(record, v);
    for_each_column(record.n_intervals, [&](int column) {
      const Cell cell = cell_of(record, v, variable, column);
      add_test_row(table, kPhylogenyTraitsSection, cell.statistic, cell.scope, cell.index, cell.limit, title,
                   n_randomizations, summaries(v, column), cell.tag);
    });
  }
  using randomization::TestKind;
  const randomization::TestIdentity test{brownian ? TestKind::kBrownian : TestKind::kSignalPhylogeny, test_number};
  table.identify_test(
      first_row, test,
      test_label(test, brownian ? "traits simulated by Brownian evolution along the tree"
                                : permutation_wording(mode, false) + clade_wording(clade_restriction, clade_name)));
}

}  // namespace quorvel::reports
