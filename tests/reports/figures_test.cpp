#include "reports/figures.hpp"

#include <gtest/gtest.h>

#include "reports/test_rows.hpp"
#include "svg_texts.hpp"

namespace quorvel::reports {
namespace {

randomization::TestSummary summary(float low, float high, double p_two_sided, int n = 99) {
  randomization::TestSummary s;
  s.observed = 0;
  s.mean = (low + high) / 2;
  s.ci95_low = low;
  s.ci95_high = high;
  s.p_two_sided = p_two_sided;
  s.valid_count = n;
  return s;
}

// A plot-level test record of type `type` (0 spatial, 1 phylogeny), number
// `number`, permutation `mode`.
PlotTestRecord plot_test(int type, int number, float mode) {
  PlotTestRecord test;
  test.test_type = type;
  test.test_number = number;
  test.permutation_mode = mode;
  return test;
}

// Six distance classes, Ist..PIst observed, the spatial test and two
// phylogeny tests (the second with a long name) on Pst..PIst, in the order
// of the main result file: phylogeny tests first.
RunReports two_phylogeny_tests_and_the_spatial_test() {
  RunReports reports;
  reports.data_files = "Data: doubs_matrix.txt, doubs_plots.txt, doubs_taxonomy.txt";
  ResultsTable& table = reports.table;
  const char* names[] = {"", "Ist", "Pst", "P*st", "PIst"};
  for (int c = 1; c <= 6; ++c) {
    table.add(kPlotsPhylogenySection, "mean_distance", kClassScope, c, 40.0 * c, 40.0 * c - 15,
              {Quantity::kMeanDistance, 0});
    for (int code = 4; code >= 1; --code)  // any order of rows: panels in the order of the statistics
      table.add(kPlotsPhylogenySection, names[code], kClassScope, c, 40.0 * c, 0.01 * c * code,
                {Quantity::kPlotStatistic, code});
  }
  const PlotTestRecord tests[] = {plot_test(1, 1, 0), plot_test(1, 2, -2.5f), plot_test(0, 0, 0)};
  for (const PlotTestRecord& test : tests) {
    const std::size_t first = table.rows.size();
    for (int code = test.test_type == 0 ? 1 : 2; code <= 4; ++code) {
      for (int c = 1; c <= 6; ++c) {
        add_test_row(table, kPlotsPhylogenySection, names[code], kClassScope, c, 40.0 * c, plot_test_title(test), 99,
                     summary(-0.02f * code, 0.03f * code, c == 6 ? 0.01 : 0.5), {Quantity::kPlotStatistic, code});
      }
    }
    table.identify_test(first, {randomization::plot_test_kind(test.test_type), test.test_number},
                        plot_test_label(test));
  }
  return reports;
}

TEST(Figures, OnePanelPerStatisticWithTheEnvelopeOfEachTestNamedAsUsersDo) {
  RunReports reports = two_phylogeny_tests_and_the_spatial_test();
  const std::vector<Figure> figures = build_figures(reports);
  ASSERT_EQ(figures.size(), 1u);
  EXPECT_EQ(figures[0].file_name, "distance_classes_plots_phylogeny.svg");
  const PanelFigure& plot = figures[0].plot;
  EXPECT_EQ(plot.tests, (std::vector<std::string>{
                            "spatial test: permute plot positions", "phylogeny test 1: permute sampled species",
                            "phylogeny test 2: permute species with similar numbers of occurrences (max ratio of "
                            "occurrences=2.5)"}));
  ASSERT_EQ(plot.panels.size(), 4u);
  const char* headings[] = {"Ist", "Pst", "P*st", "PIst"};
  for (int k = 0; k < 4; ++k) EXPECT_EQ(plot.panels[static_cast<std::size_t>(k)].heading, headings[k]);
  // Points stand at the classes' mean distances; Ist has the spatial test
  // alone, the others all three, in legend order.
  EXPECT_EQ(plot.panels[0].x, (std::vector<double>{25, 65, 105, 145, 185, 225}));
  ASSERT_EQ(plot.panels[0].envelopes.size(), 1u);
  EXPECT_EQ(plot.panels[0].envelopes[0].test, 0);
  ASSERT_EQ(plot.panels[3].envelopes.size(), 3u);
  for (int t = 0; t < 3; ++t) EXPECT_EQ(plot.panels[3].envelopes[static_cast<std::size_t>(t)].test, t);
  const EnvelopePoint& last = plot.panels[3].envelopes[1].points.back();
  EXPECT_EQ(last.x, 225);
  EXPECT_FLOAT_EQ(static_cast<float>(last.low), -0.08f);
  EXPECT_DOUBLE_EQ(last.observed, 0.24);
  EXPECT_EQ(last.p_two_sided, 0.01);
  EXPECT_EQ(plot.x_label, "distance (units of the plot coordinates)");
  EXPECT_EQ(plot.description,
            "Ist, Pst, P*st and PIst averaged over the pairs of plots of each distance class, at the mean distance "
            "between the plots of the class (plots x phylogeny). Bands: the 95% envelope (2.5% and 97.5% quantiles "
            "of the randomized values) of each test: spatial test: permute plot positions (99 randomizations); "
            "phylogeny test 1: permute sampled species (99 randomizations); phylogeny test 2: permute species with "
            "similar numbers of occurrences (max ratio of occurrences=2.5) (99 randomizations); symbols are filled "
            "where the test's two-sided P-value is below 0.05.");

  reports.distance_unit = "km";
  EXPECT_EQ(build_figures(reports)[0].plot.x_label, "distance (km)");
}

TEST(Figures, EveryLegendEntryAndAxisLabelLiesInsideThePicture) {
  const RunReports reports = two_phylogeny_tests_and_the_spatial_test();
  const std::string svg = render_svg(build_figures(reports)[0].plot);
  const testing::Box whole = testing::picture(svg);
  const std::vector<testing::SvgText> texts = testing::svg_texts(svg);
  int legend_entries = 0, axis_titles = 0, tick_labels = 0;
  for (const testing::SvgText& text : texts) {
    SCOPED_TRACE(text.content);
    EXPECT_TRUE(text.box.inside(whole)) << text.box.left << " " << text.box.top << " " << text.box.right << " "
                                        << text.box.bottom << " in " << whole.right << " x " << whole.bottom;
    legend_entries = std::max(legend_entries, text.group == "legend-entry" ? text.group_number : 0);
    axis_titles += text.css_class.find("axis-title") != std::string::npos;
    tick_labels += text.css_class.rfind("tick-label", 0) == 0;
    // No text covers another.
    for (const testing::SvgText& other : texts) {
      if (&other != &text) {
        EXPECT_FALSE(text.box.overlaps(other.box)) << "overlaps " << other.content;
      }
    }
  }
  // Observed value, three tests, bands and symbols.
  EXPECT_EQ(legend_entries, 5);
  EXPECT_EQ(axis_titles, 2);
  EXPECT_GE(tick_labels, 4 * 3 + 4);
  // The test with the long name takes two lines, both inside.
  int long_name_lines = 0;
  for (const testing::SvgText& text : texts) long_name_lines += text.group == "legend-entry" && text.group_number == 4;
  EXPECT_EQ(long_name_lines, 2);
}

TEST(Figures, EverySvgHasItsTitleAndDescription) {
  const RunReports reports = two_phylogeny_tests_and_the_spatial_test();
  const Figure figure = build_figures(reports)[0];
  const std::string svg = render_svg(figure.plot);
  EXPECT_NE(svg.find("<title>Mean pairwise statistics by distance class (plots x phylogeny)</title>\n<desc>Ist, Pst, "
                     "P*st and PIst averaged"),
            std::string::npos);
  EXPECT_EQ(svg.find("font-family=\"sans-serif\""), svg.find("font-family"));  // one generic family, once
}

TEST(Figures, AClassificationNamesItsLevelsOnTheDivergenceAxis) {
  RunReports reports;
  reports.divergence_levels = {{0, "Species"}, {1, "Genus"}, {2, "Family"}, {3, "Order"}, {4, "ALL"}};
  for (int m = 1; m <= 5; ++m) {
    for (const int subject : {4, kPadSubject, 3}) {
      const char* name = subject == 4 ? "PIst" : subject == 3 ? "P*st" : "PAD";
      reports.table.add(kPlotsPhylogenySection, name, kIntervalScope, m, m - 1.0, m == 1 ? MISSING_VALUE : 0.01 * m,
                        {Quantity::kDecomposition, subject});
    }
  }
  const std::vector<Figure> figures = build_figures(reports);
  ASSERT_EQ(figures.size(), 1u);
  EXPECT_EQ(figures[0].file_name, "divergence_intervals.svg");
  const PanelFigure& plot = figures[0].plot;
  ASSERT_EQ(plot.panels.size(), 3u);
  EXPECT_EQ(plot.panels[0].heading, "PAD(<t)");
  EXPECT_EQ(plot.panels[1].heading, "P*st(<t)");
  EXPECT_EQ(plot.panels[2].heading, "PIst(<t)");
  EXPECT_EQ(plot.x_label, "divergence threshold t (taxonomic level)");
  std::vector<std::string> ticks;
  const std::string svg = render_svg(plot);
  for (const testing::SvgText& text : testing::svg_texts(svg)) {
    if (text.css_class == "tick-label x-tick") ticks.push_back(text.content);
  }
  EXPECT_EQ(ticks, (std::vector<std::string>{"Species", "Genus", "Family", "Order", "ALL"}));
  // Long level names close together are turned, and still inside the picture.
  reports.divergence_levels = {
      {0, "Species"}, {0.2, "Subgenus group"}, {0.4, "Genus of plants"}, {3, "Superfamily"}, {4, "ALL"}};
  const std::string turned = render_svg(build_figures(reports)[0].plot);
  const std::vector<testing::SvgText> texts = testing::svg_texts(turned);
  int turned_ticks = 0;
  for (const testing::SvgText& text : texts) {
    EXPECT_TRUE(text.box.inside(testing::picture(turned))) << text.content;
    if (text.css_class != "tick-label x-tick") continue;
    ++turned_ticks;
    // The axis title stays below the turned labels.
    for (const testing::SvgText& title : texts) {
      if (title.css_class.find("x-title") != std::string::npos) {
        EXPECT_FALSE(title.box.overlaps(text.box)) << text.content;
      }
    }
  }
  EXPECT_EQ(turned_ticks, 5);
  EXPECT_NE(turned.find("transform=\"rotate(-40"), std::string::npos);
}

TEST(Figures, TraitSignalFigurePerVariableWithItsTests) {
  RunReports reports;
  const RowTag size{Quantity::kTraitAutocorrelation, 1, "body size"};
  for (int c = 2; c <= 4; ++c) {
    reports.table.add(kPhylogenyTraitsSection, "autocorrelation(body size)", kIntervalScope, c, 2.0 * c, 0.5 / c, size);
  }
  const randomization::TestIdentity brownian{randomization::TestKind::kBrownian, 0};
  const std::size_t first = reports.table.rows.size();
  for (int c = 2; c <= 4; ++c) {
    add_test_row(reports.table, kPhylogenyTraitsSection, "autocorrelation(body size)", kIntervalScope, c, 2.0 * c,
                 "BROWNIAN EVOLUTION TEST", 20, summary(-0.1f, 0.3f, 0.04, 20), size);
  }
  reports.table.identify_test(first, brownian, test_label(brownian, "traits simulated"));
  const std::vector<Figure> figures = build_figures(reports);
  ASSERT_EQ(figures.size(), 1u);
  EXPECT_EQ(figures[0].file_name, "trait_signal_body_size.svg");
  EXPECT_EQ(figures[0].plot.tests, (std::vector<std::string>{"Brownian evolution test: traits simulated"}));
  EXPECT_EQ(figures[0].plot.panels[0].x, (std::vector<double>{4, 6, 8}));
  // Fewer than 40 randomizations: no band, but the P-values mark the points.
  EXPECT_NE(figures[0].plot.description.find("traits simulated (20 randomizations, fewer than 40: no envelope)"),
            std::string::npos);
  const std::string svg = render_svg(figures[0].plot);
  EXPECT_EQ(svg.find("class=\"envelope\""), std::string::npos);
  EXPECT_NE(svg.find("class=\"symbol\""), std::string::npos);
}

TEST(Figures, NoValuesNoFigure) {
  RunReports reports;
  reports.table.add(kPlotsPhylogenySection, "Ist", kClassScope, 1, 2.0, MISSING_VALUE, {Quantity::kPlotStatistic, 1});
  EXPECT_TRUE(build_figures(reports).empty());
}

TEST(TestLabels, NameTheTestAsUsersDo) {
  PlotTestRecord test = plot_test(1, 3, 0);
  test.clade_restriction = 60;
  EXPECT_EQ(plot_test_label(test), "phylogeny test 3: permute sampled species within clades younger than age 60");
  test.clade_restriction = -1;
  test.clade_name = "Poaceae";
  EXPECT_EQ(plot_test_label(test), "phylogeny test 3: permute sampled species within clade \"Poaceae\"");
  test = plot_test(2, 1, -1);
  EXPECT_EQ(plot_test_label(test), "trait-distance test 1: permute all species from the distance matrix");
  EXPECT_EQ(test_label({randomization::TestKind::kTimeDecomposition, 0}, "x"), "divergence-interval test: x");
}

}  // namespace
}  // namespace quorvel::reports
