#pragma once

#include <string>

#include "core/arrays.hpp"
#include "randomization/test_summary.hpp"
#include "reports/results_table.hpp"

namespace quorvel::reports {

/// A plot-level randomization test: what it permuted, its summaries, and
/// what names its values in the main result file and the results table.
struct PlotTestRecord {
  int data_kind = 1;  ///< 2 traits, otherwise phylogenetic names
  int test_type = 0;  ///< 0 locations, 1 phylogeny, 2 trait distances
  int n_randomizations = 0;
  float clade_restriction = 0;  ///< -1 named clade, > 0 age, 0 whole tree
  std::string clade_name;
  float permutation_mode = 0;
  int n_classes = 0;
  const core::DVector* class_limits = nullptr;  ///< [1..n_classes], may be null
  int n_statistics = 4;
  const core::IVector* statistic_codes = nullptr;              ///< [1..n_statistics]
  const randomization::TestSummaryMatrix* global = nullptr;    ///< [statistic][1..4]
  const randomization::TestSummaryMatrix* pairwise = nullptr;  ///< [statistic][-2..C+1]
  int pairwise_kind = 0;                                       ///< 0 none, 1 average only, 2 classes and slopes
  int all_statistics = 1;                                      ///< 0: statistic position 4 only
  int category_kind = 0;                                       ///< pair selection 0 all, 1 within, 2 between categories
  int first_category = 0;
  int second_category = 0;
  const core::NameTable* category_names = nullptr;
  int layout = 1;       ///< 0 P-values only, otherwise every summary row
  int test_number = 0;  ///< the phylogeny test's number in the instruction file (0: spatial test)
};

/// Adds the summaries of a plot-level test, one row per value its report shows.
void add_plot_test_rows(ResultsTable& table, const PlotTestRecord& test);

/// Adds the summaries of the phylogeny randomization test by divergence
/// intervals: p_star rows 0..3 (P* within, among, P*st, PAD) and pi rows
/// 0..2 (PI within, among, PIst), intervals 1..K with thresholds[1..K].
void add_interval_test_rows(ResultsTable& table, int n_intervals, const core::DVector& thresholds, int n_randomizations,
                            const randomization::TestSummaryMatrix& p_star, const randomization::TestSummaryMatrix& pi);

/// The title of a plot-level test (its heading without the null hypothesis).
std::string plot_test_title(const PlotTestRecord& test);

/// The label of a plot-level test (test_label()).
std::string plot_test_label(const PlotTestRecord& test);

/// Title of the interval test.
inline constexpr const char* kIntervalTestTitle = "PHYLOGENY RANDOMIZATION TESTS BY DIVERGENCE INTERVALS";
/// Title of the spatial test.
inline constexpr const char* kLocationsTestTitle = "LOCATIONS RANDOMIZATION TESTS";

/// The permutation wording of a test mode ("permute sampled species", ...).
std::string permutation_wording(float mode, bool distance_matrix);

/// The name of a test for people, in figure legends and on the report page:
/// its kind, its number in the instruction file (when it has one) and what it
/// randomizes: "phylogeny test 1: permute sampled species".
std::string test_label(randomization::TestIdentity test, const std::string& randomized);

/// What a phylogeny test's clade restriction adds to its label: " within
/// clade "<name>"" (-1), " within clades younger than age <age>" (> 0), or
/// nothing (whole tree).
std::string clade_wording(float clade_restriction, const std::string& clade_name);

/// A row of `summary` for the value (section, statistic, scope, index,
/// limit) of test `title`; false (nothing added) when the report shows
/// nothing for it (no observed value and no permuted mean).
bool add_test_row(ResultsTable& table, const std::string& section, const std::string& statistic, const char* scope,
                  int index, double limit, const std::string& title, int n, const randomization::TestSummary& summary,
                  RowTag tag = {});

}  // namespace quorvel::reports
