#include "reports/trait_signal_text.hpp"

#include <cmath>
#include <cstdio>
#include <memory>

#include "core/constants.hpp"
#include "core/format.hpp"
#include "reports/test_rows.hpp"
#include "traits/trait_signal.hpp"

namespace quorvel::reports {

using traits::kSignalCorrelationColumn;
using traits::kSignalFirstColumn;
using traits::kSignalSeparatorColumn;

namespace {

using randomization::TestSummary;

// The order in which the summary columns are written: correlations -1..-4,
// the separator -5, slopes -6..-9.
template <typename CellText>
std::string signal_columns(int K, CellText&& text_of) {
  std::string out;
  for (int c = 2; c <= K; ++c) out += text_of(c);
  out += "\t";
  for (int c = kSignalCorrelationColumn; c >= kSignalFirstColumn; --c) {
    out += c == kSignalSeparatorColumn ? std::string("\t") : text_of(c);
  }
  return out;
}

struct DetailRow {
  const char* label;
  const char* format;
  double (*value)(const TestSummary&);
};

// The nine rows of the detailed results, in print order.
const DetailRow kDetailRows[] = {
    {"\nN different permut val\t", "%.0f", [](const TestSummary& s) { return static_cast<double>(s.distinct_count); }},
    {"\nObs val\t", "%G", [](const TestSummary& s) { return static_cast<double>(s.observed); }},
    {"\nMean permut val\t", "%G", [](const TestSummary& s) { return static_cast<double>(s.mean); }},
    {"\nSD permut val\t", "%G", [](const TestSummary& s) { return static_cast<double>(s.sd); }},
    {"\n95%CI-inf\t", "%G", [](const TestSummary& s) { return static_cast<double>(s.ci95_low); }},
    {"\n95%CI-sup\t", "%G", [](const TestSummary& s) { return static_cast<double>(s.ci95_high); }},
    {"\nP(1-sided test, H1: obs<exp)\t", "%.4f", [](const TestSummary& s) { return s.p_lower; }},
    {"\nP(1-sided test, H1: obs>exp)\t", "%.4f", [](const TestSummary& s) { return s.p_upper; }},
    {"\nP(2-sided test, H1: obs<>exp)\t", "%.4f", [](const TestSummary& s) { return s.p_two_sided; }},
};

std::string test_heading(double mode, double clade_restriction, const std::string& clade_name, int n_randomizations) {
  if (mode == kBrownianTestMode) {
    return "\n\nBROWNIAN EVOLUTION TEST : compare autocorrelation coefficients with those expeced under Brownian trait "
           "evolution";
  }
  std::string out = "\n\nPHYLOGENY RANDOMIZATION TEST for trait conservatism";
  const std::string wording = permutation_wording(static_cast<float>(mode), false);
  if (!wording.empty()) out += " : " + wording;
  if (clade_restriction == -1) {
    out += core::format(" WITHIN CLADE \"%s\" (%i randomizations)", clade_name.c_str(), n_randomizations);
  } else if (clade_restriction > 0) {
    out += core::format(" WITHIN CLADES YOUNGER THAN AGE %f (%i randomizations)", clade_restriction, n_randomizations);
  } else {
    out += core::format(" OVER WHOLE PHYLOGENY (%i randomizations)", n_randomizations);
  }
  return out;
}

}  // namespace

std::string trait_signal_text(int n_variables, int n_distance_variables, const core::NameTable& names, int n_intervals,
                              const core::DVector& limits, const core::FMatrix& result) {
  const int K = n_intervals;
  const bool distances = n_distance_variables > 0;
  const int n_rows = distances ? n_distance_variables : n_variables;
  std::string out = "\n\n\n\n\nANALYSIS OF : PHYLOGENY + TRAITS data";
  out += distances ? "\n\nMean trait distance by divergence intervals\nUpper divergence limit:\t"
                   : "\n\nAutocorrelation coefficients of traits by divergence intervals\nUpper divergence limit:\t";
  for (int c = 2; c <= K; ++c) out += core::tab_cell("%f", limits[c]);
  out += "\t\tCorrelation coef with\t\t\t\t\tRegression slope on";
  out += "\nNumber of species pairs:\t";
  for (int c = 2; c <= K; ++c) out += core::format("\t%i", static_cast<int>(result[0][c]));
  out +=
      "\t\tdivergence\tln(divergence)\tsquared(divergence)\tsqrt(divergence)\t\tdivergence\tln(divergence)\t"
      "squared(divergence)\tsqrt(divergence)";
  out += "\nMean divergence between species:\t";
  for (int c = 2; c <= K; ++c) out += core::tab_cell("%f", result[-1][c]);
  out += "\nVariables";
  for (int v = 1; v <= n_rows; ++v) {
    out += "\n" + names[v] + "\t";
    out += signal_columns(K, [&](int c) { return core::tab_cell("%f", result[v][c]); });
  }
  return out;
}

std::string trait_signal_test_text(double mode, double clade_restriction, const std::string& clade_name,
                                   int n_randomizations, int n_intervals, const core::DVector& limits, int n_rows,
                                   const core::NameTable& names, const randomization::TestSummaryMatrix& summaries) {
  const int K = n_intervals;
  std::string out = test_heading(mode, clade_restriction, clade_name, n_randomizations);
  out += "\n\nUpper divergence limit:\t";
  for (int c = 2; c <= K; ++c) out += core::tab_cell("%f", limits[c]);
  out +=
      "\t\tr-divergence\tr-ln(divergence)\tr-squared(divergence)\tr-sqrt(divergence)\t\tb-divergence\t"
      "b-ln(divergence)\tb-squared(divergence)\tb-sqrt(divergence)";

  // A cell of a value that was never defined stays empty in every row.
  auto summary_cell = [&](int v, int c, const char* fmt, double (*value)(const TestSummary&)) {
    const TestSummary& s = summaries(v, c);
    if (!std::isfinite(s.observed)) return std::string("\t");
    return core::tab_cell(fmt, value(s));
  };
  const DetailRow& two_sided = kDetailRows[8];

  out += "\nSummary results: P-values of bilateral tests for each variable";
  for (int v = 1; v <= n_rows; ++v) {
    out += "\n" + names[v] + "\t";
    out += signal_columns(K, [&](int c) { return summary_cell(v, c, "%f", two_sided.value); });
  }
  out += "\n\nDetailed test results for each variable";
  for (int v = 1; v <= n_rows; ++v) {
    out += "\n\n" + names[v] + "\t\t";
    for (const DetailRow& row : kDetailRows) {
      out += row.label;
      out += signal_columns(K, [&](int c) { return summary_cell(v, c, row.format, row.value); });
    }
  }
  return out;
}

}  // namespace quorvel::reports
