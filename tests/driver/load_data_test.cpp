#include "driver/load_data.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/constants.hpp"
#include "core/format.hpp"
#include "load_data_fixture.hpp"
#include "phylogeny/newick_reader.hpp"
#include "phylogeny/tree_divergences.hpp"
#include "phylogeny_traits_test_run.hpp"
#include "support/test_support.hpp"

namespace quorvel::driver {
namespace {

using testing::write_file;

constexpr const char* kTraitsABC = "SPECIES TRAITS\t3\t1\nSpecies\tsize\nA\t1\nB\t2\nC\t3\n";

// The divergence between species i and j of a loaded tree.
float divergence(const DataSet& data, int i, int j) {
  phylogeny::DivergenceRows rows(data.phylogeny, data.phylogeny.tip_of_species, data.n_species);
  std::vector<float> row(static_cast<std::size_t>(data.n_species) + 1);
  rows.fill(i, row.data());
  return row[static_cast<std::size_t>(j)];
}

// The species of the run come from the first source that names them, and
// the phylogeny record says what its divergences are.
TEST_F(LoadData, EachPhylogenySourceGivesItsOrigin) {
  write_file("div.txt", "INTER-SPECIES DIVERGENCES\t3\n\tA\tB\tC\nA\t0\t4\t6\nB\t4\t0\t6\nC\t6\t6\t0\n");
  DataSet data = load(std::string(kTraitsABC) + "INTER-SPECIES DIVERGENCES\tdiv.txt\n");
  EXPECT_EQ(data.n_species, 3);
  EXPECT_EQ(data.species_names[3], "C");
  EXPECT_EQ(data.phylogeny.origin, PhylogenyOrigin::kDivergenceFile);
  EXPECT_FLOAT_EQ(data.phylogeny.divergences(1, 3), 6.0f);
  EXPECT_FLOAT_EQ(data.phylogeny.max_divergence, 6.0f);
  EXPECT_EQ(phylogeny::validate_phylogeny(data.phylogeny), "");

  // A tree keeps no table of divergences: its nodes give them.
  data = load(std::string(kTraitsABC) + "ULTRAMETRIC PHYLOGENETIC TREE\t3\n((A:1,B:1):2,C:3);\n");
  EXPECT_EQ(data.phylogeny.origin, PhylogenyOrigin::kDatedTree);
  EXPECT_TRUE(data.phylogeny.divergences.empty());
  EXPECT_EQ(divergence(data, 1, 2), 1.0f);  // the age of the common ancestor
  EXPECT_EQ(data.phylogeny.max_divergence, 3.0f);
  EXPECT_EQ(data.phylogeny.n_tips, 3);
  EXPECT_EQ(phylogeny::validate_phylogeny(data.phylogeny), "");

  data = load(std::string(kTraitsABC) + "PHYLOGENETIC TREE\t3\n((A:1,B:1):2,C:3);\n");
  EXPECT_EQ(data.phylogeny.origin, PhylogenyOrigin::kPathLengthTree);
  EXPECT_EQ(divergence(data, 1, 3), 6.0f);  // the length of the path between the tips
  EXPECT_EQ(data.phylogeny.max_divergence, 6.0f);

  // A tree alone: its tips are the species.
  data = load("ULTRAMETRIC PHYLOGENETIC TREE\t4\n((x:1,y:1):1,(z:1,w:1):1);\n");
  EXPECT_EQ(data.n_species, 4);
  EXPECT_EQ(data.species_names[4], "w");
  EXPECT_TRUE(is_dated(data.phylogeny.origin));

  data = load(kTraitsABC);
  EXPECT_EQ(data.phylogeny.origin, PhylogenyOrigin::kNone);
  EXPECT_EQ(loaded_codes(headers_, data).n_reported_indices, 1);
}

TEST(DerivedCodes, PhylogenyTraitsAndSpeciesCount) {
  DataHeaders headers;
  EXPECT_EQ(derive_codes(headers).phylogeny_kind, kNoPhylogeny);
  headers.tree.n_tips = 12;  // "PHYLOGENETIC TREE": not dated
  headers.species_traits.counts_read = true;
  headers.species_traits.n_species = 9;
  headers.community.n_species = 30;
  DerivedCodes codes = derive_codes(headers);
  EXPECT_EQ(codes.phylogeny_kind, kOtherTree);
  EXPECT_EQ(codes.trait_kind, kSpeciesTraits);
  EXPECT_TRUE(codes.has_abundances);
  EXPECT_EQ(codes.n_species, 30);  // the matrix defines the species of the run

  headers = DataHeaders();
  headers.taxonomy.counts_read = true;
  headers.taxonomy.n_species = 5;
  headers.taxonomic_levels.n_levels = 2;
  headers.trait_distances.layout = -1;
  headers.tree.n_tips = 4;
  headers.tree.dated = true;
  codes = derive_codes(headers);
  EXPECT_EQ(codes.phylogeny_kind, kTaxonomy);
  EXPECT_EQ(codes.trait_kind, kTraitDistances);
  EXPECT_EQ(codes.n_species, 4);
  EXPECT_FALSE(codes.has_abundances);
}

TEST_F(LoadData, CommunityPlotsAndIntervalsComeAsRecords) {
  const DataSet data = load(
      "SPECIES-PLOT MATRIX\t2\t3\n\tP1\tP2\tP3\nsp1\t1\t0\t2\nsp2\t3\t1\t0\n"
      "PLOT LIST\t3\t2\t-1\nplot\tx\ty\tzone\nP1\t0\t0\twet\nP2\t0\t1\tdry\nP3\t1\t1\twet\n"
      "DISTANCE INTERVALS\t2\n1\t2\n");
  EXPECT_EQ(data.n_species, 2);
  EXPECT_EQ(data.community.n_plots(), 3);
  EXPECT_EQ(data.community.data_type, kCountData);
  EXPECT_DOUBLE_EQ(data.community.abundances(1, 0), 4);
  EXPECT_EQ(data.positions.list.n_categories, 2);
  EXPECT_EQ(data.positions.list.plot_category[3], 1);
  EXPECT_EQ(data.positions.list.y[2], 1);
  EXPECT_FALSE(data.positions.distances_read);
  EXPECT_EQ(data.intervals.distance.n, 2);
  EXPECT_EQ(data.intervals.distance.limits[2], 2);
  EXPECT_EQ(data.intervals.divergence.n, 2);  // without a file: divergence 0 and the rest
  const DerivedCodes codes = loaded_codes(headers_, data);
  EXPECT_EQ(codes.spatial_kind, 2);
  EXPECT_TRUE(codes.has_abundances);
}

// What the sections read besides the values: the variables of the species
// list, the distances read, and the categories of the plot pairs when the
// run selects pairs by their category.
TEST_F(LoadData, TheDataSetCarriesWhatTheSectionsRead) {
  write_file("pairs.txt", "P1\tP2\t7\n");
  const DataSet data = load(std::string(kTraitsABC) +
                            "SPECIES-PLOT MATRIX\t3\t2\n\tP1\tP2\nA\t1\t0\nB\t1\t1\nC\t0\t1\n"
                            "INTER-PLOT DISTANCES\n1\nP1\tP2\t5\nSELECT PLOT PAIRS OF CATEGORY\t7\n"
                            "PAIRWISE CATEGORIES\tpairs.txt\n");
  EXPECT_TRUE(data.traits.species_traits);
  EXPECT_EQ(data.traits.variables.n_variables, 1);
  EXPECT_EQ(data.traits.variables.variable_names[1], "size");
  EXPECT_EQ(data.traits.variables.variable_categories[1], 0);
  EXPECT_EQ(data.levels.level_names[0], "Species");
  EXPECT_TRUE(data.positions.distances_read);
  EXPECT_DOUBLE_EQ(data.positions.plot_distances(2, 1), 5.0);
  EXPECT_FLOAT_EQ(data.positions.pairwise_categories(1, 2), 7.0f);
  EXPECT_EQ(loaded_codes(headers_, data).spatial_kind, 2);
  EXPECT_EQ(data.individuals.selection_test_counts[0], 0);
}

TEST_F(LoadData, CladeReductionNeedsPlotData) {
  // A tree and traits but no plots: there is no abundance table to reduce.
  const DataSet data = load(std::string(kTraitsABC) +
                            "ULTRAMETRIC PHYLOGENETIC TREE\t3\n((A:1,B:1)clade:1,C:2);\nREDUCE DATA TO CLADE\tclade\n");
  EXPECT_TRUE(data.community.abundances.empty());
}

// An unknown clade, or a clade without any tree, once left the whole data
// in the analysis without a word.
TEST_F(LoadData, CladeReductionNeedsANamedCladeOfATree) {
  EXPECT_STOPS(load(std::string(kTraitsABC) +
                    "ULTRAMETRIC PHYLOGENETIC TREE\t3\n((A:1,B:1)clade:1,C:2);\nREDUCE DATA TO CLADE\tPoaceae\n"),
               "\n\nERROR: \"REDUCE DATA TO CLADE\" names the clade \"Poaceae\", which no node of the phylogeny has. "
               "The clades named are: clade.\nPress any key to stop.",
               3);
  EXPECT_STOPS(load(std::string(kTraitsABC) + "REDUCE DATA TO CLADE\tclade\n"),
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
  const DataSet data = load(
      "INDIVIDUALS\tind.txt\nULTRAMETRIC PHYLOGENETIC TREE\t3\n((A:1,B:1)ab:1,C:2);\n"
      "REDUCE DATA TO CLADE\tab\nMAIN RESULT FILE\tr.txt\n");
  // Species by first appearance: A 1, C 2, B 3, D 4.
  const Individuals& individuals = data.individuals;
  ASSERT_EQ(individuals.species.hi(), 3);
  const input::IndividualList& list = individuals.list;
  const int species[] = {1, 3, 1};
  const double x[] = {0, 0, 5}, y[] = {0, 5, 0};
  const float height[] = {1, 3, 6}, group[] = {1, 2, 3};
  for (int k = 1; k <= 3; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(individuals.species[k], species[k - 1]);
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
  EXPECT_EQ(individuals.position_groups.n_groups, 0);  // three individuals at three positions
  EXPECT_EQ(individuals.clade_reduction_note,
            "\nIndividuals left out (of species outside clade ab or not in the tree): 5 of 8, of the species: (no "
            "species), C, D");
  // A clade with no individual leaves nothing to analyse.
  write_file("ind.txt", "INDIVIDUALS\t2\t0\nQuadrat\tX\tY\tTaxon\nQ1\t0\t0\tA\nQ2\t0\t5\tB\n");
  EXPECT_STOPS(load("INDIVIDUALS\tind.txt\nULTRAMETRIC PHYLOGENETIC TREE\t4\n((A:1,B:1)ab:1,(C:1,E:1)ce:1);\n"
                    "REDUCE DATA TO CLADE\tce\nMAIN RESULT FILE\tr.txt\n"),
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
  phylogeny::Phylogeny tree = phylogeny::read_newick_tree("(" + long_name + ":1,B:1);", true, 2);
  core::NameTable species = core::name_table(0, 2);
  species[1] = long_name.substr(0, kNameLimit);  // species names keep 49, tips 50
  species[2] = "B";
  phylogeny::map_species_to_tips(tree, 2, species);
  EXPECT_EQ(tree.tip_of_species[1], 1);
  EXPECT_EQ(tree.tip_of_species[2], 2);
}

TEST(OutputConflicts, FilesCreatedAnewMayNotBeTheMainResultFile) {
  instructions::RunSettings settings;
  settings.phylogenetic_distances_output = "keep.txt";
  settings.tree_interpretation_output = "keep.txt";  // appended to: allowed
  EXPECT_EQ(
      instructions::output_conflict_messages(settings, "instr.txt", "keep.txt"),
      "\n\nERROR: \"WRITE PHYLOGENETIC DISTANCES BETWEEN SPECIES\" names the file \"keep.txt\", which is the main "
      "result file: writing it would erase the results.\nNo file has been written: give the results another "
      "name.");
}

}  // namespace
}  // namespace quorvel::driver
