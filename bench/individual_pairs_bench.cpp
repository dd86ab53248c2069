// Pairs of individuals grow as N^2: this benchmark times one analysis of a
// mapped forest plot of 20,000 trees of 50 species (random positions in a
// 1000 x 1000 square, species of geometric abundances), with 6 distance
// classes, 2 regression intervals and 3 individual-pair tests (a height
// comparison, a pair of sexes, the same genus), on one core. Target: under
// 10 s.
#include <benchmark/benchmark.h>

#include <random>

#include "core/arrays.hpp"
#include "core/constants.hpp"
#include "individuals/individual_pairs.hpp"
#include "individuals/logic_test.hpp"

namespace {

using namespace quorvel;

constexpr int kIndividuals = 20000;
constexpr int kSpecies = 50;

struct Forest {
  Forest() {
    std::mt19937 random(12345);
    std::uniform_real_distribution<double> position(0.0, 1000.0);
    std::geometric_distribution<int> species(0.08);
    std::uniform_real_distribution<float> height(1.0f, 30.0f);
    for (int i = 1; i <= kIndividuals; ++i) {
      x[i] = position(random);
      y[i] = position(random);
      species_of[i] = 1 + species(random) % kSpecies;
      values(1, i) = static_cast<float>(x[i]);
      values(2, i) = static_cast<float>(y[i]);
      values(3, i) = static_cast<float>(species_of[i]);
      values(4, i) = height(random);
      values(5, i) = static_cast<float>(1 + i % 2);
    }
    for (int s = 0; s <= kSpecies; ++s) {
      species_values(0, s) = static_cast<float>(s);
      species_values(1, s) = static_cast<float>(1 + s / 5);  // genera of 5 species
    }
    const char* names[] = {"Plot", "x", "y", "Taxon", "Height", "Sex"};
    for (int j = 0; j <= 5; ++j) individual_names[j] = names[j];
    individual_categories[3] = kSpecies;
    individual_categories[5] = 2;
    individual_labels[5] = core::name_table(0, 2);
    individual_labels[5][1] = "F";
    individual_labels[5][2] = "M";
    species_names[0] = "Species";
    species_names[1] = "Genus";
    const individuals::VariableSet individual{6, &individual_names, &individual_categories, &individual_labels};
    const individuals::VariableSet species_set{2, &species_names, &species_categories, &species_labels};
    const char* texts[] = {"[]", "[Height(1)>Height(2)]", "[(Sex(1)=F)AND(Sex(2)=M)]", "[Genus(1)=Genus(2)]"};
    for (int k = 0; k <= 3; ++k) individuals::parse_logic_test(texts[k], tests, k, k, individual, species_set);
    for (int s = 1; s <= kSpecies; ++s) {
      for (int t = 1; t <= kSpecies; ++t) divergences(s, t) = s == t ? 0.0f : (s - 1) / 5 == (t - 1) / 5 ? 1.0f : 2.0f;
    }
    regression_bounds[1] = 50;
    regression_bounds[2] = 0;
  }

  core::DVector x = core::dvector(0, kIndividuals), y = core::dvector(0, kIndividuals);
  core::IVector species_of = core::ivector(0, kIndividuals);
  core::FMatrix values = core::matrix(0, 5, 0, kIndividuals);
  core::FMatrix species_values = core::matrix(0, 1, 0, kSpecies);
  core::NameTable individual_names = core::name_table(0, 5), species_names = core::name_table(0, 1);
  core::IVector individual_categories = core::ivector(0, 5), species_categories = core::ivector(0, 1);
  core::Vector<core::NameTable> individual_labels{0, 5}, species_labels{0, 1};
  individuals::LogicTestTable tests = individuals::logic_test_matrix(0, 3, 0, 101);
  core::FMatrix divergences = core::matrix(0, kSpecies, 0, kSpecies);
  core::DVector regression_bounds = core::dvector(0, 2);
};

void BM_AnalyseIndividualPairs(benchmark::State& state) {
  static const Forest forest;
  const individuals::LogicData logic{&forest.values, &forest.species_values, &forest.species_of};
  const individuals::IndividualInput input{kIndividuals, kSpecies, &forest.species_of, &forest.x, &forest.y, logic};
  for (auto _ : state) {
    individuals::PairDistanceClasses classes;
    classes.n = 6;
    classes.limits = core::dvector(0, 8);
    const double limits[] = {0, 10, 25, 50, 100, 200, 400};
    for (int c = 1; c <= 6; ++c) classes.limits[c] = limits[c];
    individuals::IndividualPairResults results;
    individuals::analyse_individual_pairs(input, forest.tests, static_cast<int>(state.range(0)), classes, 2,
                                          forest.regression_bounds, forest.divergences, results);
    benchmark::DoNotOptimize(results.test_counts.data());
  }
}
// Argument: the number of pair tests (0 times the pair loop alone).
BENCHMARK(BM_AnalyseIndividualPairs)->Arg(3)->Arg(0)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
