#include "driver/load_data.hpp"

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "instructions/instruction_file.hpp"
#include "phylogeny/tree_divergences.hpp"
#include "support/test_support.hpp"

namespace quorvel::driver {
namespace {

using testing::write_file;

class LoadData : public testing::WorkDirTest {};

TEST_F(LoadData, DivergenceFileSetsTheLargestDivergence) {
  write_file("div.txt", "INTER-SPECIES DIVERGENCES\t3\n\tA\tB\tC\nA\t0\t4\t6\nB\t4\t0\t6\nC\t6\t6\t0\n");
  RunState state;
  state.codes.n_species = 3;
  state.codes.phylogeny_kind = kDivergenceFile;
  state.settings.inter_species_divergences_source = "div.txt";
  state.settings.n_divergence_species = 3;
  state.species_names = core::name_table(0, 3);
  state.species_names[1] = "A";
  state.species_names[2] = "B";
  state.species_names[3] = "C";
  load_phylogeny(state);
  EXPECT_FLOAT_EQ(state.divergences(1, 3), 6.0f);
  EXPECT_FLOAT_EQ(state.max_divergence, 6.0f);
}

// Loads the data of an instruction file of species traits A, B, C, the
// `phylogeny` lines and "REDUCE DATA TO CLADE" `clade`.
void load_traits_run(RunState& state, const std::string& phylogeny, const std::string& clade) {
  write_file("instr.txt", "SPECIES TRAITS\t3\t1\nSpecies\tsize\nA\t1\nB\t2\nC\t3\n" + phylogeny +
                              "REDUCE DATA TO CLADE\t" + clade + "\nMAIN RESULT FILE\tr.txt\n");
  read_instruction_file("instr.txt", state.settings);
  state.instruction_file = "instr.txt";
  state.codes = derive_codes(state.settings);
  load_run_data(state);
}

TEST_F(LoadData, CladeReductionNeedsPlotData) {
  // A tree and traits but no plots: the abundance table is a placeholder and
  // must not be touched.
  RunState state;
  load_traits_run(state, "ULTRAMETRIC PHYLOGENETIC TREE\t3\n((A:1,B:1)clade:1,C:2);\n", "clade");
  EXPECT_EQ(state.abundances.nrows(), 2);
  EXPECT_EQ(state.abundances(0, 0), 0.0);
}

// An unknown clade, or a clade without any tree, once left the whole data
// in the analysis without a word.
TEST_F(LoadData, CladeReductionNeedsANamedCladeOfATree) {
  RunState state;
  EXPECT_STOPS(load_traits_run(state, "ULTRAMETRIC PHYLOGENETIC TREE\t3\n((A:1,B:1)clade:1,C:2);\n", "Poaceae"),
               "\n\nERROR: \"REDUCE DATA TO CLADE\" names the clade \"Poaceae\", which no node of the phylogeny has. "
               "The clades named are: clade.\nPress any key to stop.",
               3);
  RunState without_tree;
  EXPECT_STOPS(load_traits_run(without_tree, "", "clade"),
               "\n\nERROR: \"REDUCE DATA TO CLADE\" names the clade \"clade\", but the run has no phylogenetic tree or "
               "taxonomic classification whose nodes name clades.\nPress any key to stop.",
               3);
}

TEST(SpeciesTips, NamesAgreeingOverFortyNineCharactersMatch) {
  const std::string long_name(50, 'q');
  phylogeny::NodeTable nodes = phylogeny::NodeTable(0, 3);
  nodes[1].name = long_name;  // tips keep 50 characters
  nodes[2].name = "B";
  core::NameTable species = core::name_table(0, 2);
  species[1] = long_name.substr(0, kNameLimit);  // species names keep 49
  species[2] = "B";
  core::IVector leaf_of_species, species_of_leaf;
  phylogeny::map_species_to_tips(nodes, 2, 2, species, leaf_of_species, species_of_leaf);
  EXPECT_EQ(leaf_of_species[1], 1);
  EXPECT_EQ(leaf_of_species[2], 2);
}

TEST(OutputConflicts, FilesCreatedAnewMayNotBeTheMainResultFile) {
  RunSettings settings;
  settings.main_result_file = "keep.txt";
  settings.phylogenetic_distances_output = "keep.txt";
  settings.tree_interpretation_output = "keep.txt";  // appended to: allowed
  EXPECT_EQ(
      output_conflict_messages(settings, "instr.txt"),
      "\n\nERROR: \"WRITE PHYLOGENETIC DISTANCES BETWEEN SPECIES\" names the file \"keep.txt\", which is the main "
      "result file: writing it would erase the results.\nNo file has been written: give the results another "
      "name.");
}

}  // namespace
}  // namespace quorvel::driver
