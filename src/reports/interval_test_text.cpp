#include "core/format.hpp"
#include "reports/summary_cells.hpp"
#include "reports/test_text.hpp"

namespace quorvel::reports {

namespace {

// The blocks of the divergence-interval test: which table, which row, label.
struct IntervalBlock {
  bool pi_table;
  int row;
  const char* label;
};

constexpr IntervalBlock kIntervalBlocks[] = {
    {false, 3, "\nPAD(<t)"},   {false, 0, "\n\n\nDbw(<t)"}, {false, 1, "\nDba(<t)"}, {false, 2, "\nP*st(<t)"},
    {true, 0, "\nDELTAw(<t)"}, {true, 1, "\nDELTAa(<t)"},   {true, 2, "\nPIst(<t)"},
};

}  // namespace

std::string interval_test_text(int n_intervals, const core::DVector& thresholds, int n_randomizations,
                               const TestSummaryMatrix& p_star, const TestSummaryMatrix& pi) {
  std::string text = core::format(
      "\n\nPHYLOGENY RANDOMIZATION TESTS BY DIVERGENCE INTERVALS (%i partial randomizations of whole tree) -> Ho: "
      "obs=exp (exp = mean value after permutation of species within clades younger than divergence "
      "threshold)\nDivergence threshold",
      n_randomizations);
  for (int k = 1; k <= n_intervals; ++k) text += value_cell("%.3g", thresholds[k]);
  for (const IntervalBlock& block : kIntervalBlocks) {
    const TestSummaryMatrix& table = block.pi_table ? pi : p_star;
    text += "\n\n";
    text += block.label;
    for (const SummaryRow& row : kSummaryRows) {
      text += row.label;
      for (int k = 1; k <= n_intervals; ++k) text += summary_cell(row, table(block.row, k));
    }
    text += "\n";
  }
  return text;
}

}  // namespace quorvel::reports
