#pragma once

#include <string>

namespace quorvel::reports {

// The short notes of the main result file that say why something asked for
// is not done, and the closing time stamp: each shown on the console and
// appended to the main result file.

/// Shows `text` on the console and appends it to `file_name`.
void write_note(const std::string& file_name, const std::string& text);

/// An optional table `keyword` that the data cannot give: it "needs" `needs`.
std::string skipped_table_note(const std::string& keyword, const std::string& needs);

/// The time decomposition test with divergences read from a file.
inline constexpr const char* kNoTreeForTimeDecomposition =
    "\n\nNo phylogeny randomization test for time decomposition: divergences read from a file have no tree\n";

/// Phylogeny test `number` restricted to clades, without a tree.
std::string no_tree_for_clades_note(int number);

/// The tests of trait conservatism that need a tree, without one.
inline constexpr const char* kNoTreeForSignalTests =
    "\n\nNo phylogenetic tree: the phylogeny randomization and Brownian evolution tests of trait conservatism are "
    "not run\n";

/// The spatial test at the individual level.
inline constexpr const char* kNoSpatialTestOfIndividuals =
    "\n\nSPATIAL RANDOMIZATION TEST: the positions of individuals are not permuted at the individual level; the "
    "test is not run.";

/// Phylogeny tests at the individual level without an ultrametric tree
/// (`classification`: with a taxonomic classification).
const char* individual_tests_not_run_note(bool classification);

/// Waits until the main result file can be opened, shows the local time on
/// the console ("Current local time and date: ...") and appends "Analyses
/// finished at ..." to the main result file.
void write_end_stamp(const std::string& main_result_file);

}  // namespace quorvel::reports
