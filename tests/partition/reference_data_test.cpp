// The partition, distance classes and regressions on published data sets,
// against values computed by an independent implementation (see
// tests/data/reference/README.md for the keys).
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "partition/distance_classes.hpp"
#include "partition/distance_regression.hpp"
#include "partition/diversity_partition.hpp"
#include "partition_fixtures.hpp"
#include "support/test_support.hpp"

namespace quorvel::partition {
namespace {

using Table = std::vector<std::vector<std::string>>;

// A tab-separated file as rows of fields: data files of the shared data sets
// ("dune_matrix.txt" is tests/data/sets/dune/dune_matrix.txt) and reference
// values ("dune/expected-instr_tree.tsv" in tests/data/reference).
Table read_table(const std::string& name) {
  const bool reference = name.find('/') != std::string::npos;
  const std::string path = reference ? "reference/" + name : "sets/" + name.substr(0, name.find('_')) + "/" + name;
  std::ifstream in(quorvel::testing::data_path(path));
  EXPECT_TRUE(in.good()) << name;
  Table rows;
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, '\t')) fields.push_back(field);
    rows.push_back(fields);
  }
  return rows;
}

std::map<std::string, std::string> read_expected(const std::string& name) {
  std::map<std::string, std::string> values;
  for (const auto& row : read_table(name))
    if (row.size() == 2) values[row[0]] = row[1];
  return values;
}

// A community: species-plot matrix (species in rows, plots in columns).
struct Community {
  std::vector<std::string> species, plots;
  core::DMatrix A;
  int n = 0, s = 0;
};

Community read_community(const std::string& name, bool presence) {
  const Table rows = read_table(name);
  Community c;
  c.plots.assign(rows[0].begin() + 1, rows[0].end());
  c.n = static_cast<int>(c.plots.size());
  std::vector<std::vector<double>> by_plot(static_cast<std::size_t>(c.n));
  for (std::size_t r = 1; r < rows.size(); ++r) {
    c.species.push_back(rows[r][0]);
    for (int k = 0; k < c.n; ++k)
      by_plot[static_cast<std::size_t>(k)].push_back(std::stod(rows[r][static_cast<std::size_t>(k) + 1]));
  }
  c.s = static_cast<int>(c.species.size());
  c.A = testing::abundance_table(by_plot, presence);
  return c;
}

// The full symmetric divergence matrix, scaled (the tree's divergences are
// half those of the file).
core::FMatrix read_divergences(const Community& c, double scale) {
  const Table rows = read_table("dune_divergences.txt");
  core::FMatrix D = core::matrix(0, c.s, 0, c.s);
  for (std::size_t r = 1; r < rows.size(); ++r)
    for (std::size_t q = 1; q < rows[r].size(); ++q) {
      EXPECT_EQ(rows[r][0], c.species[r - 1]);
      D[static_cast<int>(r)][static_cast<int>(q)] = static_cast<float>(std::stod(rows[r][q]) * scale);
    }
  D[0][0] = 1;
  return D;
}

// Taxonomic divergences: 1 within a genus, 2 within a family, 3 otherwise.
core::FMatrix taxonomic_divergences(const Community& c) {
  const Table rows = read_table("dune_taxonomy.txt");
  std::map<std::string, std::pair<std::string, std::string>> taxon;
  for (std::size_t r = 1; r < rows.size(); ++r) taxon[rows[r][0]] = {rows[r][1], rows[r][2]};
  core::FMatrix D = core::matrix(0, c.s, 0, c.s);
  for (int i = 1; i <= c.s; ++i)
    for (int j = 1; j <= c.s; ++j) {
      const auto& a = taxon.at(c.species[static_cast<std::size_t>(i - 1)]);
      const auto& b = taxon.at(c.species[static_cast<std::size_t>(j - 1)]);
      D[i][j] = i == j ? 0.0f : a.first == b.first ? 1.0f : a.second == b.second ? 2.0f : 3.0f;
    }
  return D;
}

// Plot categories coded 1, 2, ... in order of first appearance, from column `column`.
core::IVector read_categories(const std::string& name, int column, std::vector<std::string>& names) {
  const Table rows = read_table(name);
  core::IVector codes = core::ivector(0, static_cast<int>(rows.size()) - 1);
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const std::string& category = rows[r][static_cast<std::size_t>(column)];
    auto found = std::find(names.begin(), names.end(), category);
    if (found == names.end()) found = names.insert(names.end(), category);
    codes[static_cast<int>(r)] = static_cast<int>(found - names.begin()) + 1;
  }
  return codes;
}

const char* const kStatNames[5] = {"", "Ist", "Pst", "Pstarst", "PIst"};
const char* const kTableNames[5] = {"", "I", "P", "Pstar", "PI"};

double as_double(float v) { return v == MISSING_VALUE_F ? MISSING_VALUE : static_cast<double>(v); }

double one_minus(double a, double b) {
  if (is_missing(a) || is_missing(b) || b == 0) return MISSING_VALUE;
  return 1 - a / b;
}

// Our results under the keys of the expected files.
void add_partition_values(const Community& c, const PartitionTables& t, int R, const core::DVector& limits,
                          std::map<std::string, double>& out) {
  const IntervalPartition& Ps = t.interval[kStatisticPStar];
  const IntervalPartition& PI = t.interval[kStatisticPI];
  for (int code = 1; code <= 4; ++code) {
    const std::string table = kTableNames[code];
    out["global." + table + ".within"] = t.interval[code][0][0];
    out["global." + table + ".among"] = t.interval[code][1][0];
    out[std::string("global.") + kStatNames[code]] = as_double(t.pairwise[code][0][0]);
    for (int k = 1; k <= c.n; ++k)
      for (int l = k + 1; l <= c.n; ++l)
        out["pair." + c.plots[static_cast<std::size_t>(k - 1)] + "." + c.plots[static_cast<std::size_t>(l - 1)] + "." +
            kStatNames[code]] = as_double(t.pairwise[code][k][l]);
  }
  out["pool.DELTAp"] = PI[2][0];
  out["pool.Dpstar"] = Ps[2][0];
  out["pool.PAD"] = one_minus(Ps[2][0], PI[2][0]);
  for (int m = 1; m <= R; ++m) {
    const std::string key = "interval." + std::to_string(m) + ".";
    out[key + "limit"] = limits[m];
    out[key + "PAD"] = one_minus(Ps[2][m], PI[2][m]);
    out[key + "pool.Dpstar"] = Ps[2][m];
    out[key + "pool.DELTAp"] = PI[2][m];
    for (int code = 1; code <= 4; ++code) {
      const std::string table = kTableNames[code];
      out[key + table + ".within"] = t.interval[code][0][m];
      out[key + table + ".among"] = t.interval[code][1][m];
      if (code > 1) out[key + kStatNames[code]] = one_minus(t.interval[code][0][m], t.interval[code][1][m]);
    }
    out[key + "S.within"] = t.species_pairs[0][m];
    out[key + "S.among"] = t.species_pairs[1][m];
  }
}

void add_regression_values(const DistanceClassTable* classes, const PartitionTables& t, const RegressionRow* rows,
                           std::map<std::string, double>& out) {
  const int C = classes ? classes->classes : 0;
  if (classes) {
    out["class.count"] = C;
    for (int j = 1; j <= C; ++j) {
      const std::string key = "class." + std::to_string(j) + ".";
      out[key + "limit"] = classes->limit[j];
      out[key + "npairs"] = classes->pairs[j];
      out[key + "partic"] = as_double(classes->participation[j][0]);
      out[key + "cvpartic"] = as_double(classes->participation[j][1]);
      out[key + "meandist"] = classes->mean_distance[j];
      out[key + "meanlndist"] = classes->mean_ln_distance[j];
    }
  }
  const char* const lin[8] = {"b", "a", "r2", "N", "Md", "Vd", "Mv", "Vv"};
  for (int code = 1; code <= 4; ++code) {
    const std::string stat = kStatNames[code];
    const RegressionRow& row = rows[code];
    for (int j = 1; j <= C; ++j) out["class." + std::to_string(j) + ".mean." + stat] = as_double(row[j]);
    out["class.average.mean." + stat] = as_double(row[C + 1]);
    if (C < 1) continue;
    for (int i = 0; i < 8; ++i) {
      out["reg." + stat + ".lin." + lin[i]] = as_double(row[-20 + i]);
      out["reg." + stat + ".log." + lin[i]] = as_double(row[-10 + i]);
    }
    out["reg." + stat + ".blin"] = as_double(row[-2]);
    out["reg." + stat + ".blog"] = as_double(row[-1]);
  }
  (void)t;
}

// Compares every expected key we compute; returns the number compared.
int compare(const std::map<std::string, std::string>& expected, const std::map<std::string, double>& ours,
            double relative) {
  int compared = 0;
  for (const auto& [key, text] : expected) {
    const auto found = ours.find(key);
    if (found == ours.end()) continue;
    ++compared;
    const double value = found->second;
    if (text == "MISSING" || text == "NaN") {
      EXPECT_TRUE(is_missing(value)) << key << " = " << value << ", expected " << text;
      continue;
    }
    const double reference = std::stod(text);
    EXPECT_FALSE(is_missing(value)) << key << " expected " << text;
    EXPECT_NEAR(value, reference, relative * std::fabs(reference) + 1e-8) << key;
  }
  return compared;
}

struct Case {
  const char* matrix;
  bool presence;
  int divergences;  // 0 none, 1 tree (half the file), 2 file, 3 taxonomy
  std::vector<double> limits;
  int selection_mode;
  std::vector<std::string> keys;  // category names of key1 and key2
  PlotWeighting weighting;
  const char* expected;
};

void run_dune_case(const Case& test) {
  SCOPED_TRACE(test.expected);
  Community c = read_community(test.matrix, test.presence);
  core::FMatrix D;
  if (test.divergences == 1) D = read_divergences(c, 0.5);
  if (test.divergences == 2) D = read_divergences(c, 1.0);
  if (test.divergences == 3) D = taxonomic_divergences(c);
  std::vector<std::string> names;
  const core::IVector categories = read_categories("dune_plots.txt", 1, names);
  PairSelection selection;
  selection.mode = test.selection_mode;
  selection.categories = &categories;
  for (std::size_t i = 0; i < test.keys.size(); ++i) {
    const int code = static_cast<int>(std::find(names.begin(), names.end(), test.keys[i]) - names.begin()) + 1;
    (i == 0 ? selection.key1 : selection.key2) = code;
  }
  if (selection.mode != 0 && selection.key1 != 0) {
    // Plots of other categories drop out.
    c.A[0][0] = 0;
    for (int k = 1; k <= c.n; ++k) {
      if (categories[k] != selection.key1 && categories[k] != selection.key2) c.A[k][0] = 0;
      c.A[0][0] += c.A[k][0];
    }
  }
  const int R = static_cast<int>(test.limits.size());
  const core::DVector limits = testing::limits(test.limits);
  PartitionTables tables = make_partition_tables(c.n);
  compute_diversity_partition(c.n, c.s, c.A, test.presence ? kPresenceAbsenceData : kCountData, selection,
                              test.divergences ? &D : nullptr, R, limits, test.weighting, tables);
  DistanceClassTable no_classes = make_distance_class_table(0);
  RegressionRow rows[5];
  for (int code = 1; code <= 4; ++code) {
    rows[code] = make_regression_row(0);
    regress_on_distance(c.n, no_classes, selection, static_cast<int>(names.size()), PlotPositions(),
                        tables.pairwise[code], rows[code]);
  }
  std::map<std::string, double> ours;
  add_partition_values(c, tables, R, limits, ours);
  add_regression_values(nullptr, tables, rows, ours);
  const int n_compared = compare(read_expected(test.expected), ours, 2e-6);
  EXPECT_GT(n_compared, 20);
}

const std::vector<double> kDuneIntervals = {0, 5.5, 30.5, 100.5, 200.5, 450};

TEST(ReferenceData, DuneUltrametricTree) {
  run_dune_case(
      {"dune_matrix.txt", false, 1, kDuneIntervals, 0, {}, PlotWeighting::kEqual, "dune/expected-instr_tree.tsv"});
}

TEST(ReferenceData, DuneDivergenceFile) {
  run_dune_case({"dune_matrix.txt",
                 false,
                 2,
                 kDuneIntervals,
                 0,
                 {},
                 PlotWeighting::kEqual,
                 "dune/expected-instr_divergences.tsv"});
}

TEST(ReferenceData, DunePresenceAbsence) {
  run_dune_case(
      {"dune_presence.txt", true, 1, kDuneIntervals, 0, {}, PlotWeighting::kEqual, "dune/expected-instr_presence.tsv"});
}

TEST(ReferenceData, DuneTaxonomy) {
  run_dune_case(
      {"dune_matrix.txt", false, 3, {0, 1}, 0, {}, PlotWeighting::kEqual, "dune/expected-instr_taxonomy.tsv"});
}

TEST(ReferenceData, DunePlotWeighting) {
  run_dune_case(
      {"dune_matrix.txt", false, 1, {0, 1}, 0, {}, PlotWeighting::kPairTotal, "dune/expected-instr_weight2.tsv"});
}

TEST(ReferenceData, DunePairSelections) {
  run_dune_case(
      {"dune_matrix.txt", false, 1, {0, 1}, 1, {}, PlotWeighting::kEqual, "dune/expected-instr_categories.tsv"});
  run_dune_case(
      {"dune_matrix.txt", false, 1, {0, 1}, 1, {"NM"}, PlotWeighting::kEqual, "dune/expected-instr_within_NM.tsv"});
  run_dune_case(
      {"dune_matrix.txt", false, 1, {0, 1}, 2, {"BF", "SF"}, PlotWeighting::kEqual, "dune/expected-instr_between.tsv"});
}

void run_mite_case(const char* plots, int classes, const std::vector<double>& class_limits, int selection_mode,
                   const char* expected) {
  SCOPED_TRACE(expected);
  Community c = read_community("mite_matrix.txt", false);
  const Table rows = read_table(plots);
  core::DVector x = core::dvector(0, c.n), y = core::dvector(0, c.n);
  for (int k = 1; k <= c.n; ++k) {
    x[k] = std::stod(rows[static_cast<std::size_t>(k)][1]);
    y[k] = std::stod(rows[static_cast<std::size_t>(k)][2]);
  }
  std::vector<std::string> names;
  core::IVector categories = core::ivector(0, c.n);
  if (selection_mode == 1) categories = read_categories(plots, 3, names);
  PairSelection selection;
  selection.mode = selection_mode;
  selection.categories = &categories;
  PlotPositions positions;
  positions.x = &x;
  positions.y = &y;

  DistanceClassTable table = make_distance_class_table(classes);
  for (std::size_t j = 0; j < class_limits.size(); ++j) table.limit[static_cast<int>(j) + 1] = class_limits[j];
  assign_distance_classes(c.n, table, positions, selection);
  PartitionTables tables = make_partition_tables(c.n);
  compute_diversity_partition(c.n, c.s, c.A, kCountData, selection, nullptr, 2, testing::limits({0, 1}),
                              PlotWeighting::kEqual, tables);
  RegressionRow regression[5];
  for (int code = 1; code <= 4; ++code) {
    regression[code] = make_regression_row(table.classes);
    regress_on_distance(c.n, table, selection, static_cast<int>(names.size()), positions, tables.pairwise[code],
                        regression[code]);
  }
  std::map<std::string, double> ours;
  add_partition_values(c, tables, 0, testing::limits({0, 1}), ours);
  add_regression_values(&table, tables, regression, ours);
  const int n_compared = compare(read_expected(expected), ours, 2e-6);
  EXPECT_GT(n_compared, 100);
}

TEST(ReferenceData, MiteDistanceClassesAndRegressions) {
  run_mite_case("mite_plots.txt", 5, {1.05, 2.05, 4.05, 6.05, 8.05}, 0, "mite/expected-instr.tsv");
}

TEST(ReferenceData, MiteEqualFrequencyClasses) {
  run_mite_case("mite_plots.txt", -6, {}, 0, "mite/expected-instr_eqfreq.tsv");
}

TEST(ReferenceData, MitePooledWithinCategoryRegressions) {
  run_mite_case("mite_plots_topo.txt", 5, {1.05, 2.05, 4.05, 6.05, 8.05}, 1, "mite/expected-instr_topo.tsv");
}

}  // namespace
}  // namespace quorvel::partition
