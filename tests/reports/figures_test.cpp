#include "reports/figures.hpp"

#include <gtest/gtest.h>

#include "reports/test_rows.hpp"

namespace quorvel::reports {
namespace {

randomization::TestSummary envelope(float low, float high) {
  randomization::TestSummary s;
  s.observed = 0;
  s.mean = (low + high) / 2;
  s.ci95_low = low;
  s.ci95_high = high;
  s.valid_count = 99;
  return s;
}

TEST(Figures, DistanceClassCurvesStandAtTheMeanDistanceWithTheSpatialEnvelope) {
  ResultsTable table;
  for (int c = 1; c <= 3; ++c) {
    table.add(kPlotsPhylogenySection, "mean_distance", kClassScope, c, 10.0 * c, 10.0 * c - 4,
              {Quantity::kMeanDistance, 0});
    table.add(kPlotsPhylogenySection, "Ist", kClassScope, c, 10.0 * c, 0.1 * c, {Quantity::kPlotStatistic, 1});
    add_test_row(table, kPlotsPhylogenySection, "Ist", kClassScope, c, 10.0 * c, kLocationsTestTitle, 99,
                 envelope(-0.05f, 0.05f), {Quantity::kPlotStatistic, 1});
    // A value of the same name without its identity is not drawn.
    table.add(kPlotsPhylogenySection, "Pst", kClassScope, c, 10.0 * c, 0.3 * c);
  }
  table.add(kPlotsPhylogenySection, "Ist", kGlobalScope, kNoIndex, MISSING_VALUE, 0.2);
  const std::vector<Figure> figures = build_figures(table, "Data: m.txt, p.txt");
  ASSERT_EQ(figures.size(), 1u);
  EXPECT_EQ(figures[0].file_name, "distance_classes_plots_phylogeny.svg");
  const LinePlot& plot = figures[0].plot;
  EXPECT_EQ(plot.subtitle, "Data: m.txt, p.txt");
  ASSERT_EQ(plot.series.size(), 2u);
  EXPECT_EQ(plot.series[0].name, "Ist");
  EXPECT_EQ(plot.series[0].x, (std::vector<double>{6, 16, 26}));
  EXPECT_EQ(plot.series[1].name, "Ist: 95% envelope, LOCATIONS RANDOMIZATION TESTS");
  EXPECT_EQ(plot.series[1].low.size(), 3u);
  EXPECT_TRUE(plot.series[1].y.empty());
}

TEST(Figures, DecompositionAndTraitSignalFiguresByDivergenceLimit) {
  ResultsTable table;
  for (int m = 1; m <= 3; ++m) {
    // Drawn in the order PAD, P*st, PIst whatever the order of the rows.
    table.add(kPlotsPhylogenySection, "PIst", kIntervalScope, m, 5.0 * m, 0.01 * m, {Quantity::kDecomposition, 4});
    table.add(kPlotsPhylogenySection, "PAD", kIntervalScope, m, 5.0 * m, 0.01 * m,
              {Quantity::kDecomposition, kPadSubject});
    table.add(kPlotsPhylogenySection, "P*st", kIntervalScope, m, 5.0 * m, 0.01 * m, {Quantity::kDecomposition, 3});
    table.add(kPlotsPhylogenySection, "Dsw", kIntervalScope, m, 5.0 * m, 0.01 * m);
  }
  const RowTag size{Quantity::kTraitAutocorrelation, 1, "size"};
  for (int c = 2; c <= 4; ++c) {
    table.add(kPhylogenyTraitsSection, "autocorrelation(size)", kIntervalScope, c, 2.0 * c, 0.5 / c, size);
    add_test_row(table, kPhylogenyTraitsSection, "autocorrelation(size)", kIntervalScope, c, 2.0 * c,
                 "BROWNIAN EVOLUTION TEST", 99, envelope(-0.1f, 0.3f), size);
  }
  const std::vector<Figure> figures = build_figures(table, "");
  ASSERT_EQ(figures.size(), 2u);
  EXPECT_EQ(figures[0].file_name, "divergence_intervals.svg");
  ASSERT_EQ(figures[0].plot.series.size(), 3u);
  EXPECT_EQ(figures[0].plot.series[0].name, "PAD(<t)");
  EXPECT_EQ(figures[0].plot.series[0].x, (std::vector<double>{5, 10, 15}));
  EXPECT_EQ(figures[0].plot.series[1].name, "P*st(<t)");
  EXPECT_EQ(figures[0].plot.series[2].name, "PIst(<t)");
  EXPECT_EQ(figures[1].file_name, "trait_signal_size.svg");
  ASSERT_EQ(figures[1].plot.series.size(), 2u);
  EXPECT_EQ(figures[1].plot.series[1].x, (std::vector<double>{4, 6, 8}));
}

TEST(Figures, NoValuesNoFigure) {
  ResultsTable table;
  table.add(kPlotsPhylogenySection, "Ist", kClassScope, 1, 2.0, MISSING_VALUE, {Quantity::kPlotStatistic, 1});
  EXPECT_TRUE(build_figures(table, "").empty());
}

}  // namespace
}  // namespace quorvel::reports
