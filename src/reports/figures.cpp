#include "reports/figures.hpp"

#include <cmath>
#include <map>

#include "reports/test_rows.hpp"
#include "reports/trait_signal_rows.hpp"

namespace quorvel::reports {

namespace {

bool observed(const TableRow& row) { return row.test.empty(); }

bool starts_with(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The observed curve of one statistic over the indices of a scope, x taken
// from `x_of`; and one band per test title found for the same values.
struct CurveData {
  std::map<int, double> y;
  std::map<std::string, std::map<int, std::pair<double, double>>> bands;  // title -> index -> (low, high)
};

std::map<std::string, CurveData> collect(const ResultsTable& table, const std::string& section, const char* scope,
                                         bool (*wanted)(const std::string&)) {
  std::map<std::string, CurveData> curves;
  for (const TableRow& row : table.rows) {
    if (row.section != section || row.scope != scope || row.index == kNoIndex || !wanted(row.statistic)) continue;
    CurveData& data = curves[row.statistic];
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

// x of each index: the value of statistic `x_statistic` (observed) where
// given, else the limit of the index.
std::map<int, double> x_positions(const ResultsTable& table, const std::string& section, const char* scope,
                                  const char* x_statistic) {
  std::map<int, double> x;
  for (const TableRow& row : table.rows) {
    if (row.section != section || row.scope != scope || row.index == kNoIndex || !observed(row)) continue;
    if (x_statistic && row.statistic == x_statistic && std::isfinite(row.value)) {
      x[row.index] = row.value;
    } else if (x.find(row.index) == x.end() && std::isfinite(row.limit) && !x_statistic) {
      x[row.index] = row.limit;
    }
  }
  return x;
}

bool is_plot_statistic(const std::string& s) {
  return s == "Ist" || s == "Pst" || s == "P*st" || s == "PIst" || s == "Tst" || s == "T*st" || s == "TAUst";
}
bool is_decomposition_statistic(const std::string& s) { return s == "PAD" || s == "P*st" || s == "PIst"; }
bool is_signal_statistic(const std::string& s) {
  return starts_with(s, "autocorrelation(") || starts_with(s, "mean_distance(");
}
bool is_autocorrelation(const std::string& s) { return starts_with(s, "autocorrelation("); }

// Characters of a variable name that are safe in a file name.
std::string file_part(const std::string& name) {
  std::string out;
  for (char c : name) out += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
  return out.empty() ? std::string("variable") : out;
}

void distance_class_figure(const ResultsTable& table, const char* section, const std::string& data_files,
                           std::vector<Figure>& figures) {
  const auto curves = collect(table, section, kClassScope, is_plot_statistic);
  const std::map<int, double> x = x_positions(table, section, kClassScope, "mean_distance");
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
  const auto curves = collect(table, kPlotsPhylogenySection, kIntervalScope, is_decomposition_statistic);
  const std::map<int, double> x = x_positions(table, kPlotsPhylogenySection, kIntervalScope, nullptr);
  Figure figure;
  figure.file_name = "divergence_intervals.svg";
  figure.plot.title = "Phylogenetic structure by divergence threshold t (plots x phylogeny)";
  figure.plot.subtitle = data_files;
  figure.plot.x_label = "Upper divergence threshold t (units of the tree's branch lengths or of the divergences)";
  figure.plot.y_label = "Statistic over species pairs of divergence <= t";
  int colour = 0;
  for (const char* name : {"PAD", "P*st", "PIst"}) {
    const auto curve = curves.find(name);
    if (curve == curves.end() || !has_value(curve->second)) continue;
    add_curve(figure.plot, std::string(name) + "(<t)", curve->second, x, colour++, false);
  }
  if (!figure.plot.series.empty()) figures.push_back(figure);
}

void trait_signal_figures(const ResultsTable& table, const std::string& data_files, std::vector<Figure>& figures) {
  const auto curves = collect(table, kPhylogenyTraitsSection, kIntervalScope, is_signal_statistic);
  const std::map<int, double> x = x_positions(table, kPhylogenyTraitsSection, kIntervalScope, nullptr);
  for (const auto& curve : curves) {
    if (!has_value(curve.second)) continue;
    const std::string& statistic = curve.first;
    const bool autocorrelation = is_autocorrelation(statistic);
    const std::size_t open = statistic.find('(');
    const std::string variable = statistic.substr(open + 1, statistic.size() - open - 2);
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

bool is_pair_frequency(const std::string& s) { return starts_with(s, "frequency("); }

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
    // With several selection tests, each name ends with its test, " [selection
    // test q]", and so does the mean distance of its classes.
    const std::size_t close = curve.first.rfind(')');
    const std::string suffix = close == std::string::npos ? std::string() : curve.first.substr(close + 1);
    const std::string x_statistic = "mean_distance" + suffix;
    const std::map<int, double> x = x_positions(table, kIndividualsSection, kClassScope, x_statistic.c_str());
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
