#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/constants.hpp"
#include "randomization/test_description.hpp"

namespace quorvel::reports {

/// Names of the analysis sections in the `section` column.
inline constexpr const char* kPlotsPhylogenySection = "plots_phylogeny";
inline constexpr const char* kPlotsTraitsSection = "plots_traits";
inline constexpr const char* kPhylogenyTraitsSection = "phylogeny_traits";
inline constexpr const char* kIndividualsSection = "individuals";

/// What a value describes, in the `scope` column.
inline constexpr const char* kGlobalScope = "global";
inline constexpr const char* kWithinScope = "within";
inline constexpr const char* kAmongScope = "among";
inline constexpr const char* kPoolScope = "pool";
inline constexpr const char* kClassScope = "class";
inline constexpr const char* kIntervalScope = "interval";
inline constexpr const char* kRegressionScope = "regression";
inline constexpr const char* kPairScope = "pair";
inline constexpr const char* kSpeciesScope = "species";
inline constexpr const char* kTestScope = "test";

/// Marks a row without an index (the `index` column is then empty).
inline constexpr int kNoIndex = -1;

/// What a row's value is, for the figures: they select their rows by it,
/// never by the row's name.
enum class Quantity {
  kOther,
  kPlotStatistic,         ///< a plot-level st statistic; subject = its StatisticCode
  kMeanDistance,          ///< mean distance of a distance class; subject = selection test (individuals)
  kDecomposition,         ///< by divergence threshold; subject = kPadSubject or the StatisticCode of P* or PI
  kTraitAutocorrelation,  ///< a trait's autocorrelation by divergence interval; subject = variable
  kTraitMeanDistance,     ///< a trait distance's mean by divergence interval; subject = variable
  kAutocorrelation,       ///< an individual-level autocorrelation by class; subject = selection test
  kPairFrequency,         ///< an individual-pair test's frequency by class; subject = selection test
};

/// The subject of the PAD decomposition rows.
inline constexpr int kPadSubject = 0;

/// The typed identity of a row.
struct RowTag {
  RowTag() = default;
  RowTag(Quantity of, int subject_number, std::string name = std::string())
      : quantity(of), subject(subject_number), label(std::move(name)) {}

  Quantity quantity = Quantity::kOther;
  int subject = 0;
  std::string label;  ///< the subject's own name where a figure shows it (a trait variable)
};

/// One reported value. An observed value has an empty `test`; a test row
/// carries the observed value in `value` and the summary of the test's
/// randomizations in the other columns. MISSING_VALUE is written empty.
struct TableRow {
  std::string section;
  std::string statistic;
  std::string scope;
  int index = kNoIndex;  ///< distance class, divergence interval or pair number
  double limit = MISSING_VALUE;
  double value = MISSING_VALUE;
  std::string test;  ///< title of the test, empty for an observed value
  int n = 0;         ///< number of randomizations summarized
  double mean = MISSING_VALUE;
  double sd = MISSING_VALUE;
  double ci95_low = MISSING_VALUE;
  double ci95_high = MISSING_VALUE;
  double p_lower = MISSING_VALUE;
  double p_upper = MISSING_VALUE;
  double p_two_sided = MISSING_VALUE;
  RowTag tag;
  randomization::TestIdentity test_id;  ///< the test of a test row
  std::string test_label;               ///< its name for people ("phylogeny test 1: permute sampled species")
};

/// The rows of a run, in the order of the main result file.
struct ResultsTable {
  std::vector<TableRow> rows;

  /// Adds an observed value; returns its row, whose test columns the caller may fill.
  TableRow& add(const std::string& section, const std::string& statistic, const char* scope, int index, double limit,
                double value, RowTag tag = {});

  /// Gives rows first..end the identity of the test they summarize and its
  /// name for people (test_label()).
  void identify_test(std::size_t first, randomization::TestIdentity test_id, const std::string& label);

  /// The latest observed row (empty `test`) of this value, or null.
  const TableRow* observed_row(const std::string& section, const std::string& statistic, const char* scope,
                               int index) const;
};

/// The column names, in order.
extern const char* const kTableColumns[15];

/// The whole table as tab-separated text: a header line, then one line per
/// row; numbers "%.9g"; empty cells for missing values. Tabs and line breaks
/// inside names are replaced by blanks so that every row keeps its columns.
std::string results_table_text(const ResultsTable& table);

/// A number with full single and double precision ("%.9g"), empty when missing
/// or not finite.
std::string number_cell(double value);

}  // namespace quorvel::reports
