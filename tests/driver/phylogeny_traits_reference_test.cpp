// The phylogeny x traits section on the carni70 data (70 New World
// carnivores, body size and range size), checked against values computed
// by an independent implementation (tests/data/reference/carni70/
// expected-<instruction>.tsv: "signal.<row>.<column>" keys).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "driver/phylogeny_traits_test_run.hpp"
#include "support/test_support.hpp"

namespace quorvel::driver {
namespace {

using testing::data_path;
using testing::read_file;

std::map<std::string, std::string> read_reference(const std::string& path) {
  std::map<std::string, std::string> values;
  for (const std::string& line : text_lines(read_file(path))) {
    const std::vector<std::string> cells = tab_cells(line);
    if (cells.size() == 2) values[cells[0]] = cells[1];
  }
  return values;
}

// Cell index of signal column `column` in a written row: cells 0 and 1 are
// the label and an empty cell, intervals 2..K follow, then an empty cell,
// columns -1..-4, an empty cell (-5) and columns -6..-9.
std::size_t cell_of_column(int column, int K) {
  return static_cast<std::size_t>(column >= 2 ? column : K + 1 - column);
}

// Compares one written cell with the reference value of `key`: an undefined
// reference (MISSING, NaN) must be an empty cell; a number must agree within
// the precision of the written format.
void expect_cell(const std::map<std::string, std::string>& reference, const std::string& key,
                 const std::vector<std::string>& cells, std::size_t index, double relative, double absolute) {
  const auto found = reference.find(key);
  ASSERT_NE(found, reference.end()) << key;
  ASSERT_LT(index, cells.size()) << key;
  const std::string& written = cells[index];
  if (found->second == "MISSING" || found->second == "NaN") {
    EXPECT_EQ(written, "") << key;
    return;
  }
  ASSERT_FALSE(written.empty()) << key;
  const double want = std::strtod(found->second.c_str(), nullptr);
  EXPECT_NEAR(std::strtod(written.c_str(), nullptr), want, absolute + relative * std::fabs(want)) << key;
}

int interval_count(const std::vector<std::string>& limit_cells) {
  std::size_t c = 2;
  while (c < limit_cells.size() && !limit_cells[c].empty()) ++c;
  return static_cast<int>(c) - 1;
}

// Checks the observed signal table (written with "%f") and, in test
// sections, every "Obs val" row (written with "%G") against the reference.
void check_signal_values(const std::string& results, const std::map<std::string, std::string>& reference,
                         const std::vector<std::string>& variables, int expected_obs_rows) {
  const std::vector<std::string> lines = text_lines(results);
  std::size_t at = 0;
  while (at < lines.size() && lines[at] != "Autocorrelation coefficients of traits by divergence intervals") ++at;
  ASSERT_LT(at + 6, lines.size()) << "no trait signal table";
  const std::vector<std::string> limits = tab_cells(lines[at + 1]);
  const int K = interval_count(limits);
  ASSERT_EQ(reference.at("data.R"), std::to_string(K));
  const std::vector<std::string> pairs = tab_cells(lines[at + 2]);
  const std::vector<std::string> means = tab_cells(lines[at + 3]);
  for (int c = 2; c <= K; ++c) {
    const std::string suffix = std::to_string(c);
    expect_cell(reference, "signal.limit." + suffix, limits, cell_of_column(c, K), 2e-6, 6e-7);
    expect_cell(reference, "signal.npairs." + suffix, pairs, cell_of_column(c, K), 0, 0);
    expect_cell(reference, "signal.meandiv." + suffix, means, cell_of_column(c, K), 2e-6, 6e-7);
  }
  const std::vector<int> columns = {2, 3, 4, 5, 6, 7, -1, -2, -3, -4, -6, -7, -8, -9};
  ASSERT_EQ(lines[at + 4], "Variables");
  for (std::size_t v = 0; v < variables.size(); ++v) {
    const std::vector<std::string> cells = tab_cells(lines[at + 5 + v]);
    ASSERT_EQ(cells[0], variables[v]);
    for (const int c : columns) {
      if (c > K) continue;
      expect_cell(reference, "signal." + variables[v] + "." + std::to_string(c), cells, cell_of_column(c, K), 2e-6,
                  6e-7);
    }
  }
  // "Obs val" rows follow the variable's name line in each test section.
  int obs_rows = 0;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (tab_cells(lines[i])[0] != "Obs val") continue;
    const std::string variable = tab_cells(lines[i - 2])[0];
    const std::vector<std::string> cells = tab_cells(lines[i]);
    for (const int c : columns) {
      if (c > K) continue;
      expect_cell(reference, "signal." + variable + "." + std::to_string(c), cells, cell_of_column(c, K), 1e-5, 1e-12);
    }
    ++obs_rows;
  }
  EXPECT_EQ(obs_rows, expected_obs_rows);
}

class Carni70Signal : public testing::WorkDirTest {
 protected:
  // Copies the inputs of an end-to-end case into the working folder.
  void copy_case(const std::string& case_name, const std::string& instruction) {
    const std::string folder = data_path("e2e/" + case_name);
    for (const char* file : {"carni70_divint.txt", "carni70_traits.txt", "carni70_tree.txt"}) {
      std::filesystem::copy_file(data_path(std::string("sets/carni70/") + file), file);
    }
    std::filesystem::copy_file(folder + "/" + instruction, instruction);
    reference_ = read_reference(
        data_path("reference/carni70/expected-" + instruction.substr(0, instruction.size() - 4) + ".tsv"));
  }

  std::map<std::string, std::string> reference_;
};

TEST_F(Carni70Signal, UltrametricTreeSignalMatchesTheReference) {
  copy_case("traits_carni70_signal", "instr.txt");
  ASSERT_EQ(run_quorvel("instr.txt"), 0);
  check_signal_values(read_file("results.txt"), reference_, {"size", "range"}, 0);
}

TEST_F(Carni70Signal, PathLengthSignalMatchesTheReference) {
  copy_case("traits_carni70_pathlength", "instr_pathlength.txt");
  ASSERT_EQ(run_quorvel("instr_pathlength.txt"), 0);
  check_signal_values(read_file("results_pathlength.txt"), reference_, {"size", "range"}, 0);
}

// Both tests repeat the observed values of both variables; a second run with
// the same seed writes the same file, and another seed other randomizations.
TEST_F(Carni70Signal, TestsRepeatTheObservedValuesAndAreReproducible) {
  copy_case("traits_carni70_tests", "instr_tests.txt");
  ASSERT_EQ(run_quorvel("instr_tests.txt"), 0);
  const std::regex stamp("Analyses finished at [^\n]*");
  const std::string first = std::regex_replace(read_file("results_tests.txt"), stamp, "<time>");
  check_signal_values(first, reference_, {"size", "range"}, 4);

  const std::string console = console_output();
  const std::string progress = " 10 20 30 40 50 60 70 80 90\n";
  EXPECT_NE(console.find("\n\nPhylogeny randomization test 1\n" + progress), std::string::npos) << console;
  EXPECT_NE(console.find("\n\nBrownian evolution test\n" + progress), std::string::npos) << console;

  ASSERT_EQ(run_quorvel("instr_tests.txt"), 0);
  EXPECT_EQ(std::regex_replace(read_file("results_tests.txt"), stamp, "<time>"), first);

  std::string instruction = read_file("instr_tests.txt");
  instruction.replace(instruction.find("RANDOM SEED\t4242"), 16, "RANDOM SEED\t4243");
  testing::write_file("instr_tests.txt", instruction);
  ASSERT_EQ(run_quorvel("instr_tests.txt"), 0);
  const std::string other = std::regex_replace(read_file("results_tests.txt"), stamp, "<time>");
  EXPECT_NE(other.find("RANDOM SEED : 4243"), std::string::npos);
  EXPECT_NE(other.substr(other.find("PHYLOGENY RANDOMIZATION TEST")),
            first.substr(first.find("PHYLOGENY RANDOMIZATION TEST")));
}

}  // namespace
}  // namespace quorvel::driver
