// The carni70 traits (body size and range of 70 New World carnivores) against
// reference values computed independently: trait distances between species
// and the phylogenetic signal by divergence interval.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "core/constants.hpp"
#include "input/species_traits.hpp"
#include "support/test_support.hpp"
#include "traits/trait_distances.hpp"
#include "traits/trait_signal.hpp"

namespace quorvel::traits {
namespace {

using testing::data_path;

constexpr int kSpecies = 70;
constexpr int kIntervals = 7;

std::map<std::string, std::string> read_expected() {
  std::map<std::string, std::string> values;
  std::ifstream in(data_path("reference/carni70/expected-instr.tsv"));
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t tab = line.find('\t');
    if (tab != std::string::npos) values[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return values;
}

// A stored single-precision value against a reference: MISSING and NaN are
// both an empty cell here.
void expect_value(const std::map<std::string, std::string>& expected, const std::string& key, float actual) {
  const auto it = expected.find(key);
  ASSERT_NE(it, expected.end()) << key;
  if (it->second == "MISSING" || it->second == "NaN") {
    EXPECT_EQ(actual, MISSING_VALUE_F) << key;
    return;
  }
  const double reference = std::strtod(it->second.c_str(), nullptr);
  EXPECT_NEAR(actual, reference, 2e-6 * std::max(1.0, std::fabs(reference))) << key;
}

class Carni70 : public testing::WorkDirTest {
 protected:
  void SetUp() override {
    WorkDirTest::SetUp();
    expected_ = read_expected();
    ASSERT_EQ(expected_["data.nspecies"], "70");
    const std::string file = data_path("sets/carni70/carni70_traits.txt");
    const input::SpeciesListHeader header = input::scan_species_traits(input::DataSource{file, 0, {}});
    ASSERT_EQ(header.n_species, kSpecies);
    const input::SpeciesTraits list = input::read_species_traits(file, header, nullptr);
    species_ = list.species_names;
    traits_ = list.values;
    categories_ = list.categories_found;
    for (int s = 1; s <= kSpecies; ++s) ASSERT_EQ(species_[s], expected_["data.species." + std::to_string(s)]);
    divergences_ = core::matrix(0, kSpecies, 0, kSpecies);
    for (int i = 1; i <= kSpecies; ++i) {
      for (int j = i + 1; j <= kSpecies; ++j) {
        const std::string& text = expected_["div." + species_[i] + "." + species_[j]];
        ASSERT_FALSE(text.empty()) << species_[i] << " " << species_[j];
        divergences_[i][j] = divergences_[j][i] = std::strtof(text.c_str(), nullptr);
      }
    }
    limits_ = core::dvector(1, kIntervals);
    for (int c = 1; c <= kIntervals; ++c) {
      limits_[c] = static_cast<float>(std::strtod(expected_["signal.limit." + std::to_string(c)].c_str(), nullptr));
    }
  }

  std::map<std::string, std::string> expected_;
  core::NameTable species_;
  core::FMatrix traits_;
  core::IVector categories_;
  core::FMatrix divergences_;
  core::DVector limits_;
};

TEST_F(Carni70, TraitDistancesMatchTheReference) {
  core::NameTable names = core::name_table(0, 2);
  core::FMatrix d = core::matrix(0, kSpecies, 0, kSpecies);
  ASSERT_TRUE(compute_trait_distances(kSpecies, 2, categories_, names, traits_, d));
  for (int i = 1; i <= kSpecies; ++i) {
    for (int j = i + 1; j <= kSpecies; ++j)
      expect_value(expected_, "traitdist." + species_[i] + "." + species_[j], d[i][j]);
  }
  EXPECT_EQ(console_output(), "");
}

TEST_F(Carni70, SignalByDivergenceIntervalMatchesTheReference) {
  core::FMatrix result = core::matrix(-1, 2, -10, kIntervals);
  result.fill(MISSING_VALUE_F);
  core::Vector<core::FMatrix> no_distances;
  analyse_trait_signal(kSpecies, kIntervals, limits_, 2, categories_, traits_, no_distances, 0, divergences_, result);
  for (int c = 0; c <= kIntervals; ++c) {
    expect_value(expected_, "signal.npairs." + std::to_string(c), result[0][c]);
    expect_value(expected_, "signal.meandiv." + std::to_string(c), result[-1][c]);
  }
  const char* traits[] = {"size", "range"};
  for (int v = 1; v <= 2; ++v) {
    for (int c = -9; c <= kIntervals; ++c) {
      if (c == 0 || c == -5) continue;
      expect_value(expected_, "signal." + std::string(traits[v - 1]) + "." + std::to_string(c), result[v][c]);
    }
  }
}

}  // namespace
}  // namespace quorvel::traits
