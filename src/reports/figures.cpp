#include "reports/figures.hpp"

#include <cmath>
#include <map>

#include "partition/partition_types.hpp"

#include "reports/test_rows.hpp"
#include "reports/trait_signal_rows.hpp"

namespace quorvel::reports {

namespace {

bool observed(const TableRow& row) { return row.test.empty(); }

// The observed curve of one statistic over the indices of a scope, and one
// band per test title found for the same values. Curves are told apart by
// their typed identity (RowTag) and ordered by their names.
struct CurveData {
  RowTag tag;
  std::map<int, double> y;
  std::map<std::string, std::map<int, std::pair<double, double>>> bands;  // title -> index -> (low, high)
};

using QuantityFilter = bool (*)(const RowTag&);

std::map<std::string, CurveData> collect(const ResultsTable& table, const std::string& section, const char* scope,
                                         QuantityFilter wanted) {
  std::map<std::string, CurveData> curves;
  for (const TableRow& row : table.rows) {
    if (row.section != section || row.scope != scope || row.index == kNoIndex || !wanted(row.tag)) continue;
    CurveData& data = curves[row.statistic];
    data.tag = row.tag;
    if (observed(row)) {
      data.y[row.index] = row.value;
    } else if (std::isfinite(row.ci95_low) && std::isfinite(row.ci95_high)) {
      data.bands[row.test][row.index] = {row.ci95_low, row.ci95_high};
    }
  }
  return curves;
}

bool has_value(const CurveData& data) {
  for (const auto& entry : data.y)
    if (std::isfinite(entry.second)) return true;
  return false;
}

// Adds a statistic's curve and its bands to `plot`, x of index i from `x_of`
// (indices without an x are left out).
void add_curve(LinePlot& plot, const std::string& name, const CurveData& data, const std::map<int, double>& x_of,
               int colour, bool band_colours_differ) {
  Series curve;
  curve.name = name;
  curve.colour = colour;
  for (const auto& entry : data.y) {
    const auto x = x_of.find(entry.first);
    if (x == x_of.end()) continue;
    curve.x.push_back(x->second);
    curve.y.push_back(entry.second);
  }
  plot.series.push_back(curve);
  int band_colour = colour;
  for (const auto& band : data.bands) {
    Series s;
    s.name = name + ": 95% envelope, " + band.first;
    s.colour = band_colours_differ ? ++band_colour : colour;
    for (const auto& entry : band.second) {
      const auto x = x_of.find(entry.first);
      if (x == x_of.end()) continue;
      s.x.push_back(x->second);
      s.low.push_back(entry.second.first);
      s.high.push_back(entry.second.second);
    }
    plot.series.push_back(s);
  }
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

void distance_class_figure(const ResultsTable& table, const char* section, const std::string& data_files,
                           std::vector<Figure>& figures) {
  const auto curves = collect(table, section, kClassScope, is_plot_statistic);
  const std::map<int, double> x = distance_positions(table, section, 0);
  Figure figure;
  figure.file_name = std::string("distance_classes_") + section + ".svg";
  figure.plot.title = std::string("Mean pairwise statistics by distance class (") +
                      (std::string(section) == kPlotsTraitsSection ? "plots x traits" : "plots x phylogeny") + ")";
  figure.plot.subtitle = data_files;
  figure.plot.x_label = "Mean distance between the plots of the class (units of the plot coordinates)";
  figure.plot.y_label = "Mean pairwise statistic of the class";
  int colour = 0;
  for (const auto& curve : curves) {
    if (!has_value(curve.second)) continue;
    add_curve(figure.plot, curve.first, curve.second, x, colour++, false);
  }
  if (!figure.plot.series.empty()) figures.push_back(figure);
}

void decomposition_figure(const ResultsTable& table, const std::string& data_files, std::vector<Figure>& figures) {
  const auto curves = collect(table, kPlotsPhylogenySection, kIntervalScope, is_decomposition);
  const std::map<int, double> x = limit_positions(table, kPlotsPhylogenySection, kIntervalScope);
  Figure figure;
  figure.file_name = "divergence_intervals.svg";
  figure.plot.title = "Phylogenetic structure by divergence threshold t (plots x phylogeny)";
  figure.plot.subtitle = data_files;
  figure.plot.x_label = "Upper divergence threshold t (units of the tree's branch lengths or of the divergences)";
  figure.plot.y_label = "Statistic over species pairs of divergence <= t";
  int colour = 0;
  for (const int subject :
       {kPadSubject, static_cast<int>(partition::kStatisticPStar), static_cast<int>(partition::kStatisticPI)}) {
    for (const auto& curve : curves) {
      if (curve.second.tag.subject != subject || !has_value(curve.second)) continue;
      add_curve(figure.plot, curve.first + "(<t)", curve.second, x, colour++, false);
    }
  }
  if (!figure.plot.series.empty()) figures.push_back(figure);
}

void trait_signal_figures(const ResultsTable& table, const std::string& data_files, std::vector<Figure>& figures) {
  const auto curves = collect(table, kPhylogenyTraitsSection, kIntervalScope, is_trait_signal);
  const std::map<int, double> x = limit_positions(table, kPhylogenyTraitsSection, kIntervalScope);
  for (const auto& curve : curves) {
    if (!has_value(curve.second)) continue;
    const std::string& statistic = curve.first;
    const bool autocorrelation = curve.second.tag.quantity == Quantity::kTraitAutocorrelation;
    const std::string& variable = curve.second.tag.label;
    Figure figure;
    figure.file_name = "trait_signal_" + file_part(variable) + ".svg";
    figure.plot.title = "Trait signal of " + variable + " by divergence interval (phylogeny x traits)";
    figure.plot.subtitle = data_files;
    figure.plot.x_label = "Upper divergence limit of the interval (units of the tree's branch lengths)";
    figure.plot.y_label = autocorrelation ? "Autocorrelation coefficient of the trait between species"
                                          : "Mean trait distance between species";
    add_curve(figure.plot, statistic, curve.second, x, 0, true);
    figures.push_back(figure);
  }
}

void individual_figure(const ResultsTable& table, const std::string& data_files, bool pair_tests,
                       std::vector<Figure>& figures) {
  const auto curves =
      collect(table, kIndividualsSection, kClassScope, pair_tests ? is_pair_frequency : is_autocorrelation);
  Figure figure;
  figure.file_name = pair_tests ? "individuals_pair_tests.svg" : "individuals_autocorrelation.svg";
  figure.plot.title = pair_tests ? "Frequency of the pairs selected by each test, by distance class (individuals)"
                                 : "Spatial autocorrelation of species membership by distance class (individuals)";
  figure.plot.subtitle = data_files;
  figure.plot.x_label = "Mean distance between the individuals of the class (units of the coordinates)";
  figure.plot.y_label = pair_tests ? "Frequency among the pairs of the class" : "Autocorrelation coefficient";
  int colour = 0;
  for (const auto& curve : curves) {
    if (!has_value(curve.second)) continue;
    // Each curve stands at the mean distances of its own selection test's classes.
    const std::map<int, double> x = distance_positions(table, kIndividualsSection, curve.second.tag.subject);
    add_curve(figure.plot, curve.first, curve.second, x, colour++, false);
  }
  if (!figure.plot.series.empty()) figures.push_back(figure);
}

}  // namespace

std::vector<Figure> build_figures(const ResultsTable& table, const std::string& data_files) {
  std::vector<Figure> figures;
  distance_class_figure(table, kPlotsPhylogenySection, data_files, figures);
  distance_class_figure(table, kPlotsTraitsSection, data_files, figures);
  decomposition_figure(table, data_files, figures);
  trait_signal_figures(table, data_files, figures);
  individual_figure(table, data_files, false, figures);
  individual_figure(table, data_files, true, figures);
  return figures;
}

}  // namespace quorvel::reports
