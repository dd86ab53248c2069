#include "reports/figures.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "core/format.hpp"
#include "partition/partition_types.hpp"
#include "randomization/test_summary.hpp"

namespace quorvel::reports {

namespace {

bool observed(const TableRow& row) { return row.test.empty(); }

// A test as a figure shows it: its legend name and its number of
// randomizations.
struct FigureTest {
  randomization::TestIdentity id;
  std::string label;
  int n = 0;
  bool envelope = false;  // at least one point has a 95% envelope
};

bool same_test(const randomization::TestIdentity& a, const randomization::TestIdentity& b) {
  return a.kind == b.kind && a.number == b.number;
}

// The observed values of one statistic over the indices of a scope, and for
// each test (its place in the figure's list) its summaries at those indices.
struct Curve {
  std::string name;
  RowTag tag;
  std::map<int, double> y;
  std::map<int, std::map<int, EnvelopePoint>> tests;  // test -> index -> point (x not yet set)
};

using QuantityFilter = bool (*)(const RowTag&);

// The rows of `section` and `scope` that a figure draws, as one curve per
// statistic, in the order of their subject (statistic code, variable or
// selection test) then name. The tests found are added to `tests`.
std::vector<Curve> collect(const ResultsTable& table, const std::string& section, const char* scope,
                           QuantityFilter wanted, std::vector<FigureTest>& tests) {
  std::map<std::string, Curve> curves;
  for (const TableRow& row : table.rows) {
    if (row.section != section || row.scope != scope || row.index == kNoIndex || !wanted(row.tag)) continue;
    Curve& curve = curves[row.statistic];
    curve.name = row.statistic;
    curve.tag = row.tag;
    if (observed(row)) {
      curve.y[row.index] = row.value;
      continue;
    }
    auto test = std::find_if(tests.begin(), tests.end(), [&](const FigureTest& t) {
      return same_test(t.id, row.test_id) && t.label == row.test_label;
    });
    if (test == tests.end()) {
      tests.push_back({row.test_id, row.test_label.empty() ? row.test : row.test_label, 0, false});
      test = tests.end() - 1;
    }
    test->n = std::max(test->n, row.n);
    EnvelopePoint point;
    point.low = row.ci95_low;
    point.high = row.ci95_high;
    point.observed = row.value;
    point.p_two_sided = row.n > 0 ? row.p_two_sided : MISSING_VALUE;
    if (std::isfinite(point.low) && std::isfinite(point.high)) test->envelope = true;
    curve.tests[static_cast<int>(test - tests.begin())][row.index] = point;
  }
  std::vector<Curve> ordered;
  for (auto& entry : curves) {
    const bool any = std::any_of(entry.second.y.begin(), entry.second.y.end(),
                                 [](const std::pair<const int, double>& v) { return std::isfinite(v.second); });
    if (any) ordered.push_back(std::move(entry.second));
  }
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const Curve& a, const Curve& b) { return a.tag.subject < b.tag.subject; });
  return ordered;
}

// A curve as a panel, x of index i from `x_of` (indices without an x are
// left out); its tests keep their place in the figure's list.
Panel panel_of(const Curve& curve, const std::map<int, double>& x_of) {
  Panel panel;
  panel.heading = curve.name;
  for (const auto& entry : curve.y) {
    const auto x = x_of.find(entry.first);
    if (x == x_of.end()) continue;
    panel.x.push_back(x->second);
    panel.y.push_back(entry.second);
  }
  for (const auto& test : curve.tests) {
    Envelope envelope;
    envelope.test = test.first;
    for (const auto& entry : test.second) {
      const auto x = x_of.find(entry.first);
      if (x == x_of.end()) continue;
      EnvelopePoint point = entry.second;
      point.x = x->second;
      envelope.points.push_back(point);
    }
    panel.envelopes.push_back(envelope);
  }
  return panel;
}

// The legend names of the tests that the figure's panels use, in the order
// of their kinds and numbers (the spatial test first, then the phylogeny
// tests, ...); each panel's envelopes renumbered to their places and drawn in
// that order.
void set_tests(PanelFigure& figure, const std::vector<FigureTest>& found) {
  std::vector<int> used;
  for (const Panel& panel : figure.panels)
    for (const Envelope& envelope : panel.envelopes)
      if (std::find(used.begin(), used.end(), envelope.test) == used.end()) used.push_back(envelope.test);
  std::stable_sort(used.begin(), used.end(), [&](int a, int b) {
    const randomization::TestIdentity& x = found[static_cast<std::size_t>(a)].id;
    const randomization::TestIdentity& y = found[static_cast<std::size_t>(b)].id;
    return x.kind != y.kind ? x.kind < y.kind : x.number < y.number;
  });
  for (int test : used) figure.tests.push_back(found[static_cast<std::size_t>(test)].label);
  for (Panel& panel : figure.panels) {
    for (Envelope& envelope : panel.envelopes)
      envelope.test = static_cast<int>(std::find(used.begin(), used.end(), envelope.test) - used.begin());
    std::sort(panel.envelopes.begin(), panel.envelopes.end(),
              [](const Envelope& a, const Envelope& b) { return a.test < b.test; });
  }
}

// The caption's second sentence: how the envelopes were made.
std::string envelope_sentence(const PanelFigure& figure, const std::vector<FigureTest>& found) {
  if (figure.tests.empty()) return " No randomization test was run for these values.";
  std::string list;
  for (const std::string& label : figure.tests) {
    const auto test = std::find_if(found.begin(), found.end(), [&](const FigureTest& t) { return t.label == label; });
    list += (list.empty() ? "" : "; ") + label + core::format(" (%i randomizations", test->n);
    list += test->envelope ? ")" : core::format(", fewer than %i: no envelope)", randomization::kEnvelopeMinimum);
  }
  return " Bands: the 95% envelope (2.5% and 97.5% quantiles of the randomized values) of each test: " + list +
         "; symbols are filled where the test's two-sided P-value is below 0.05.";
}

// Names joined as a list: "a, b and c".
std::string joined(const std::vector<Panel>& panels) {
  std::string out;
  for (std::size_t i = 0; i < panels.size(); ++i) {
    if (i > 0) out += i + 1 == panels.size() ? " and " : ", ";
    out += panels[i].heading;
  }
  return out;
}

// x of each index: the limit of the index.
std::map<int, double> limit_positions(const ResultsTable& table, const std::string& section, const char* scope) {
  std::map<int, double> x;
  for (const TableRow& row : table.rows) {
    if (row.section != section || row.scope != scope || row.index == kNoIndex || !observed(row)) continue;
    if (x.find(row.index) == x.end() && std::isfinite(row.limit)) x[row.index] = row.limit;
  }
  return x;
}

// x of each class: the observed mean distance of the class (of selection
// test `subject` at the individual level).
std::map<int, double> distance_positions(const ResultsTable& table, const std::string& section, int subject) {
  std::map<int, double> x;
  for (const TableRow& row : table.rows) {
    if (row.section != section || row.scope != std::string(kClassScope) || row.index == kNoIndex || !observed(row))
      continue;
    if (row.tag.quantity == Quantity::kMeanDistance && row.tag.subject == subject && std::isfinite(row.value))
      x[row.index] = row.value;
  }
  return x;
}

bool is_plot_statistic(const RowTag& tag) { return tag.quantity == Quantity::kPlotStatistic; }
bool is_decomposition(const RowTag& tag) { return tag.quantity == Quantity::kDecomposition; }
bool is_trait_signal(const RowTag& tag) {
  return tag.quantity == Quantity::kTraitAutocorrelation || tag.quantity == Quantity::kTraitMeanDistance;
}
bool is_autocorrelation(const RowTag& tag) { return tag.quantity == Quantity::kAutocorrelation; }
bool is_pair_frequency(const RowTag& tag) { return tag.quantity == Quantity::kPairFrequency; }

// Characters of a variable name that are safe in a file name.
std::string file_part(const std::string& name) {
  std::string out;
  for (char c : name) out += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
  return out.empty() ? std::string("variable") : out;
}

std::string distance_label(const RunReports& reports, const char* whose) {
  return "distance (" + (reports.distance_unit.empty() ? std::string("units of the ") + whose : reports.distance_unit) +
         ")";
}

// A divergence axis: named after the levels of a classification, at their
// divergences; otherwise in the units of the tree or of the divergences.
// Returns what the caption says of the level names.
std::string divergence_axis(const RunReports& reports, const std::string& what, PanelFigure& plot) {
  if (reports.divergence_levels.empty()) {
    plot.x_label = what + " (units of the tree's branch lengths or of the divergences)";
    return std::string();
  }
  plot.x_label = what + " (taxonomic level)";
  for (const NamedDivergence& level : reports.divergence_levels) plot.x_ticks.push_back({level.divergence, level.name});
  return " Each taxonomic level stands at the divergence of the species whose lowest shared level it is.";
}

void distance_class_figure(const RunReports& reports, const char* section, std::vector<Figure>& figures) {
  std::vector<FigureTest> tests;
  const std::vector<Curve> curves = collect(reports.table, section, kClassScope, is_plot_statistic, tests);
  const std::map<int, double> x = distance_positions(reports.table, section, 0);
  Figure figure;
  figure.file_name = std::string("distance_classes_") + section + ".svg";
  // Without a phylogeny the section has Ist alone.
  const bool ist_only =
      std::all_of(curves.begin(), curves.end(), [](const Curve& c) { return c.tag.subject == partition::kStatisticI; });
  const char* data = std::string(section) == kPlotsTraitsSection ? "plots x traits"
                     : ist_only                                  ? "plots"
                                                                 : "plots x phylogeny";
  PanelFigure& plot = figure.plot;
  plot.title = std::string("Mean pairwise statistics by distance class (") + data + ")";
  plot.subtitle = reports.data_files;
  plot.x_label = distance_label(reports, "plot coordinates");
  plot.y_label = "mean over the pairs of plots of the class";
  for (const Curve& curve : curves) plot.panels.push_back(panel_of(curve, x));
  if (plot.panels.empty()) return;
  set_tests(plot, tests);
  plot.description = joined(plot.panels) + " averaged over the pairs of plots of each distance class, at the mean " +
                     "distance between the plots of the class (" + data + ")." + envelope_sentence(plot, tests);
  figures.push_back(figure);
}

void decomposition_figure(const RunReports& reports, std::vector<Figure>& figures) {
  std::vector<FigureTest> tests;
  const std::vector<Curve> curves =
      collect(reports.table, kPlotsPhylogenySection, kIntervalScope, is_decomposition, tests);
  const std::map<int, double> x = limit_positions(reports.table, kPlotsPhylogenySection, kIntervalScope);
  Figure figure;
  figure.file_name = "divergence_intervals.svg";
  PanelFigure& plot = figure.plot;
  plot.title = "Phylogenetic structure by divergence threshold t (plots x phylogeny)";
  plot.subtitle = reports.data_files;
  const std::string levels = divergence_axis(reports, "divergence threshold t", plot);
  plot.y_label = "value over the species pairs of divergence below t";
  for (const Curve& curve : curves) {
    plot.panels.push_back(panel_of(curve, x));
    plot.panels.back().heading += "(<t)";
  }
  if (plot.panels.empty()) return;
  set_tests(plot, tests);
  plot.description = joined(plot.panels) +
                     " computed over the pairs of species that diverged less than t, for each divergence threshold "
                     "t (plots x phylogeny)." +
                     levels + envelope_sentence(plot, tests);
  figures.push_back(figure);
}

void trait_signal_figures(const RunReports& reports, std::vector<Figure>& figures) {
  std::vector<FigureTest> tests;
  const std::vector<Curve> curves =
      collect(reports.table, kPhylogenyTraitsSection, kIntervalScope, is_trait_signal, tests);
  const std::map<int, double> x = limit_positions(reports.table, kPhylogenyTraitsSection, kIntervalScope);
  for (const Curve& curve : curves) {
    const bool autocorrelation = curve.tag.quantity == Quantity::kTraitAutocorrelation;
    const std::string& variable = curve.tag.label;
    Figure figure;
    figure.file_name = "trait_signal_" + file_part(variable) + ".svg";
    PanelFigure& plot = figure.plot;
    plot.title = "Trait signal of " + variable + " by divergence interval (phylogeny x traits)";
    plot.subtitle = reports.data_files;
    const std::string levels = divergence_axis(reports, "upper divergence limit of the interval", plot);
    plot.y_label = autocorrelation ? "autocorrelation of the trait between species" : "mean trait distance";
    plot.panels.push_back(panel_of(curve, x));
    set_tests(plot, tests);
    plot.description = (autocorrelation ? "Autocorrelation of " + variable + " between the species pairs"
                                        : "Mean distance in " + variable + " between the species pairs") +
                       " of each divergence interval, at the interval's upper limit (phylogeny x traits)." + levels +
                       envelope_sentence(plot, tests);
    figures.push_back(figure);
  }
}

void individual_figure(const RunReports& reports, bool pair_tests, std::vector<Figure>& figures) {
  std::vector<FigureTest> tests;
  const std::vector<Curve> curves = collect(reports.table, kIndividualsSection, kClassScope,
                                            pair_tests ? is_pair_frequency : is_autocorrelation, tests);
  Figure figure;
  figure.file_name = pair_tests ? "individuals_pair_tests.svg" : "individuals_autocorrelation.svg";
  PanelFigure& plot = figure.plot;
  plot.title = pair_tests ? "Frequency of the pairs selected by each test, by distance class (individuals)"
                          : "Spatial autocorrelation of species membership by distance class (individuals)";
  plot.subtitle = reports.data_files;
  plot.x_label = distance_label(reports, "individuals' coordinates");
  plot.y_label = pair_tests ? "frequency among the pairs of the class" : "autocorrelation coefficient";
  // Each curve stands at the mean distances of its own selection test's classes.
  for (const Curve& curve : curves)
    plot.panels.push_back(panel_of(curve, distance_positions(reports.table, kIndividualsSection, curve.tag.subject)));
  if (plot.panels.empty()) return;
  set_tests(plot, tests);
  plot.description = std::string(pair_tests ? "Frequency of the pairs selected by each pair test"
                                            : "Autocorrelation of the membership of each species") +
                     " among the pairs of individuals of each distance class, at the mean distance of the class." +
                     envelope_sentence(plot, tests);
  figures.push_back(figure);
}

}  // namespace

std::vector<Figure> build_figures(const RunReports& reports) {
  std::vector<Figure> figures;
  distance_class_figure(reports, kPlotsPhylogenySection, figures);
  distance_class_figure(reports, kPlotsTraitsSection, figures);
  decomposition_figure(reports, figures);
  trait_signal_figures(reports, figures);
  individual_figure(reports, false, figures);
  individual_figure(reports, true, figures);
  return figures;
}

}  // namespace quorvel::reports
