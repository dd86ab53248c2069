#include "driver/load_data.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/format.hpp"

#include "core/constants.hpp"
#include "instructions/instruction_file.hpp"
#include "phylogeny/tree_divergences.hpp"

#include "phylogeny_traits_test_run.hpp"
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

// Individuals: A and B form the clade ab; C lies outside it, D has no tip,
// and one individual has no species.
TEST_F(LoadData, CladeReductionLeavesOutIndividualsOfOtherSpecies) {
  write_file("ind.txt",
             "INDIVIDUALS\t8\t1\nQuadrat\tX\tY\tTaxon\tHeight\nQ1\t0\t0\tA\t1\nQ1\t0\t0\tC\t2\nQ2\t0\t5\tB\t3\n"
             "Q2\t0\t5\tC\t4\nQ3\t5\t5\tC\t5\nQ4\t5\t0\tA\t6\nQ4\t5\t0\t0\t7\nQ4\t5\t0\tD\t8\n");
  write_file("instr.txt",
             "INDIVIDUALS\tind.txt\nULTRAMETRIC PHYLOGENETIC TREE\t3\n((A:1,B:1)ab:1,C:2);\n"
             "REDUCE DATA TO CLADE\tab\nMAIN RESULT FILE\tr.txt\n");
  RunState state;
  read_instruction_file("instr.txt", state.settings);
  state.instruction_file = "instr.txt";
  state.codes = derive_codes(state.settings);
  load_run_data(state);
  // Species by first appearance: A 1, C 2, B 3, D 4.
  ASSERT_EQ(state.settings.n_individuals, 3);
  const input::IndividualList& list = state.individuals;
  const int species[] = {1, 3, 1};
  const double x[] = {0, 0, 5}, y[] = {0, 5, 0};
  const float height[] = {1, 3, 6}, group[] = {1, 2, 3};
  for (int k = 1; k <= 3; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(state.individual_species[k], species[k - 1]);
    EXPECT_EQ(list.values(3, k), static_cast<float>(species[k - 1]));
    EXPECT_EQ(list.x[k], x[k - 1]);
    EXPECT_EQ(list.y[k], y[k - 1]);
    EXPECT_EQ(list.values(4, k), height[k - 1]);
    EXPECT_EQ(list.values(0, k), group[k - 1]);  // Q3 had no individual of the clade
  }
  EXPECT_EQ(list.n_groups, 3);
  EXPECT_EQ(list.group_names[3], "Q4");
  const int per_species[] = {0, 2, 0, 1, 0};
  for (int s = 0; s <= 4; ++s) EXPECT_EQ(list.individuals_per_species[s], per_species[s]) << s;
  EXPECT_EQ(state.position_groups.n_groups, 0);  // three individuals at three positions
  EXPECT_EQ(state.clade_reduction_note,
            "\nIndividuals left out (of species outside clade ab or not in the tree): 5 of 8, of the species: (no "
            "species), C, D");
  // A clade with no individual leaves nothing to analyse.
  write_file("instr.txt",
             "INDIVIDUALS\tind.txt\nULTRAMETRIC PHYLOGENETIC TREE\t4\n((A:1,B:1)ab:1,(C:1,E:1)ce:1);\n"
             "REDUCE DATA TO CLADE\tce\nMAIN RESULT FILE\tr.txt\n");
  write_file("ind.txt", "INDIVIDUALS\t2\t0\nQuadrat\tX\tY\tTaxon\nQ1\t0\t0\tA\nQ2\t0\t5\tB\n");
  RunState none;
  read_instruction_file("instr.txt", none.settings);
  none.codes = derive_codes(none.settings);
  EXPECT_STOPS(load_run_data(none),
               "\n\nERROR: \"REDUCE DATA TO CLADE\" names the clade \"ce\", to which no individual of the individual "
               "list belongs: nothing would be left to analyse.\nPress any key to stop.",
               3);
}

// Reduced to the oaks, the lansing trees give the individual-level results
// (tests included) of a list that holds the oaks alone.
TEST_F(LoadData, IndividualsReducedToACladeAreAnalysedAsAListOfTheCladeAlone) {
  write_file("lansing_distint.txt", testing::read_file(testing::data_path("sets/lansing/lansing_distint.txt")));
  // Tests of individual variables only: a species list would add the
  // phylogeny x traits section, whose species (and random draws) differ.
  write_file("tests.txt",
             "SELECTION TESTS\t2\n[]\t3\t[Taxon(1)=Taxon(2)]\t[Quadrat(1)=Quadrat(2)]\t[(Half(1)=North)AND(Half(2)="
             "South)]\n[(Half=North)AND(X<140.8)]\t2\t[Taxon(1) != Taxon(2)]\t[(NNdist(1)<2)AND(NNdist(2)<2)]\n");
  write_file("tree.txt", "(((blackoak:10,redoak:10,whiteoak:10)oaks:50,hickory:60):40,maple:100,misc:100);\n");
  const std::vector<std::string> lines =
      text_lines(testing::read_file(testing::data_path("sets/lansing/lansing_trees.txt")));
  std::string oaks;
  int n_oaks = 0;
  for (std::size_t k = 2; k < lines.size(); ++k) {
    const std::string taxon = tab_cells(lines[k]).at(3);
    if (taxon != "blackoak" && taxon != "redoak" && taxon != "whiteoak") continue;
    oaks += lines[k] + "\n";
    ++n_oaks;
  }
  write_file("oaks.txt", core::format("INDIVIDUALS\t%i\t2\n", n_oaks) + lines[1] + "\n" + oaks);
  const std::string common =
      "DISTANCE INTERVALS\tlansing_distint.txt\nULTRAMETRIC PHYLOGENETIC TREE\ttree.txt\nSELECTION TESTS\ttests.txt\n"
      "PHYLOGENY RANDOMIZATION TESTS\t1\t9\n1\tWITHIN AGE 70\nRANDOM SEED\t4321\n";
  write_file("reduced.txt", "INDIVIDUALS\t" + testing::data_path("sets/lansing/lansing_trees.txt") + "\n" + common +
                                "REDUCE DATA TO CLADE\toaks\nMAIN RESULT FILE\treduced_results.txt\n");
  write_file("alone.txt", "INDIVIDUALS\toaks.txt\n" + common + "MAIN RESULT FILE\talone_results.txt\n");
  ASSERT_EQ(run_quorvel("reduced.txt"), 0);
  ASSERT_EQ(run_quorvel("alone.txt"), 0);
  const auto analyses = [](const std::string& results) {
    const std::size_t begin = results.find("\n\nBase population:");
    return results.substr(begin, results.find("\n\nAnalyses finished at") - begin);
  };
  const std::string reduced = testing::read_file("reduced_results.txt");
  EXPECT_NE(reduced.find(core::format("\n# individuals: %i\n", n_oaks)), std::string::npos);
  EXPECT_NE(reduced.find("\nIndividuals left out (of species outside clade oaks or not in the tree): 1322 of 2251, "
                         "of the species: hickory, maple, misc"),
            std::string::npos);
  EXPECT_NE(reduced.find("Phylogeny test: clades age<="), std::string::npos);
  EXPECT_EQ(analyses(reduced), analyses(testing::read_file("alone_results.txt")));
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
