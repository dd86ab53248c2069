#pragma once

#include "driver/plot_section_data.hpp"
#include "driver/run_inputs.hpp"
#include "randomization/matrix_randomizer.hpp"
#include "randomization/plot_test_runs.hpp"
#include "reports/results_table.hpp"

namespace quorvel::driver {

/// A plot-level section as its randomization tests read it: the run, the
/// section's data and observed analysis (never changed by a test), the run's
/// random stream and the results table.
struct PlotSectionTests {
  const RunInputs& run;
  const PlotSectionData& data;
  const PlotSection& section;
  randomization::RandomGenerator& generator;
  randomization::SliceLedger* slices;  // nullptr: every randomization evaluated here
  reports::ResultsTable& table;
};

/// What the randomizations of a plot-level section read.
randomization::PlotTestData plot_test_data(const PlotSectionTests& tests);

/// The run's phylogeny as the randomizations read it, with `nodes` its node
/// table as read (phylogeny::node_table), which must outlive the view.
randomization::PhylogenyView phylogeny_view(const DataSet& data, const phylogeny::NodeTable& nodes);

/// Randomization tests of the plots x phylogeny section, when phylogeny or
/// spatial randomizations are asked for: time decomposition, phylogeny tests,
/// spatial test, in this order.
void run_phylogeny_section_tests(const PlotSectionTests& tests);

/// Randomization tests of the plots x traits section: trait distance tests
/// (the phylogeny test definitions and their count of randomizations), then
/// the spatial test.
void run_traits_section_tests(const PlotSectionTests& tests);

}  // namespace quorvel::driver
