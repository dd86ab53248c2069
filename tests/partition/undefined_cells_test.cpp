#include <random>
#include <string>

#include <gtest/gtest.h>

#include "reports/node_decomposition_text.hpp"
#include "reports/plot_tables_text.hpp"

#include "optional_tables_fixtures.hpp"
#include "partition/diversity_indices.hpp"
#include "partition/lineages_through_time.hpp"
#include "partition/node_decomposition.hpp"
#include "partition_fixtures.hpp"

namespace quorvel::partition {
namespace {

// Random plots with empty plots, single individuals and single species, the
// divisions by zero of every table: none may reach a report as text.
TEST(OptionalTables, UndefinedValuesNeverPrintAsNumbers) {
  const testing::SpeciesTreeFixture tree = testing::species_tree("((A:1,B:1,C:1):2,(D:2,(E:1,F:1):1):1,G:3);");
  core::FMatrix divergences = core::matrix(0, 7, 0, 7);
  for (int i = 1; i <= 7; ++i)
    for (int j = 1; j <= 7; ++j)
      if (i != j) divergences(i, j) = static_cast<float>(1 + (i + j) % 3);
  const core::NameTable names = testing::plot_names(5);
  const core::DVector times = testing::limits({0, 1.5, 2.5, 9});
  std::mt19937 rng(5);
  for (int round = 0; round < 30; ++round) {
    const int data_type = round % 3;
    const core::DMatrix A = testing::random_abundance_table(rng, 5, 7, data_type);
    NodeDecompositionInput nodes;
    nodes.n_plots = 5;
    nodes.n_species = 7;
    nodes.abundances = &A;
    nodes.data_type = data_type;
    nodes.tree = tree.view();
    DiversityIndicesInput diversity;
    diversity.n_plots = 5;
    diversity.n_species = 7;
    diversity.abundances = &A;
    diversity.divergences = table_distances(&divergences);
    diversity.tree = tree.view();
    LineagesInput lineages;
    lineages.n_plots = 5;
    lineages.n_species = 7;
    lineages.abundances = &A;
    lineages.tree = tree.view();
    lineages.n_times = 4;
    lineages.times = &times;
    const std::string texts[] = {reports::node_decomposition_text(nodes, compute_node_decomposition(nodes)),
                                 reports::diversity_indices_text(names, diversity_indices(diversity)),
                                 reports::lineages_through_time_text(names, lineages_through_time(lineages))};
    for (const std::string& text : texts) {
      EXPECT_EQ(text.find("nan"), std::string::npos) << text;
      EXPECT_EQ(text.find("inf"), std::string::npos) << text;
    }
  }
}

}  // namespace
}  // namespace quorvel::partition
