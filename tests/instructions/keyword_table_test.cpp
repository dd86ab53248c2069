#include "instructions/keyword_table.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "instruction_test_fixture.hpp"

namespace quorvel::instructions {
namespace {

TEST(KeywordTable, EveryKeywordIsRecognisedAsItselfAndSetsWhatItsRoleNeeds) {
  std::set<std::string> keywords;
  for (const KeywordRecord& record : keyword_table()) {
    SCOPED_TRACE(record.keyword);
    EXPECT_TRUE(keywords.insert(record.keyword).second);
    // No keyword earlier in the table takes the line of a later one.
    EXPECT_EQ(find_keyword(std::string(record.keyword) + "\tx"), &record);
    EXPECT_EQ(keyword_record(record.keyword), &record);
    EXPECT_NE(record.handler, nullptr);
    switch (record.role) {
      case KeywordRole::kDataSource:
        EXPECT_NE(record.source, nullptr);
        break;
      case KeywordRole::kOption:
        EXPECT_EQ(record.source, nullptr);
        break;
      default:  // every output sets a name
        EXPECT_NE(record.name, nullptr);
        EXPECT_EQ(record.source, nullptr);
        break;
    }
    if (record.group != DataGroup::kNotListed) {
      EXPECT_EQ(record.role, KeywordRole::kDataSource);
    }
  }
}

TEST(KeywordTable, DataFilesAreListedByKindOfDataOnceEach) {
  RunSettings s;
  s.species_traits.file = "traits.txt";
  s.tree.file = "data.txt";
  s.tree_keyword = "PHYLOGENETIC TREE";
  s.plot_list.file = "a.txt";
  s.species_plot_matrix.file = "data.txt";
  s.species_se_traits.file = "se.txt";          // completes the traits: not listed
  s.distance_intervals.file = "intervals.txt";  // not listed
  // Each file once, by its exact name ("a.txt" is not part of "data.txt").
  EXPECT_EQ(data_file_list(s), "Data: data.txt, a.txt, traits.txt");
  EXPECT_EQ(data_file_list(RunSettings()), "");
}

TEST(KeywordTable, OutputsComeMainResultFileFirstThenByRole) {
  RunSettings s;
  s.figures_folder = "figures";
  s.results_table_output = "table.tsv";
  s.conversion_output = "converted.txt";
  s.conversion_keyword = "CONVERT PLOT-ABUNDANCE-SPECIES TRIPLET TABLE INTO SP-PLOT MATRIX";
  s.nexus_tree_output = "tree.nex";
  s.node_decomposition_output = "1";
  s.plot_phylodiversity_output = "diversity.txt";
  std::vector<std::string> outputs;
  for (const NamedFile& output : named_outputs(s, "results.txt")) {
    outputs.push_back(output.name + " " + quoted_keyword(output));
  }
  EXPECT_EQ(outputs, (std::vector<std::string>{
                         "results.txt the main result file",
                         "diversity.txt \"WRITE PLOT PHYLODIVERSITY AND SIMILARITY\"",
                         "1 \"NODE DECOMPOSITION\"",
                         "tree.nex \"WRITE NEXUS TREE\"",
                         "converted.txt \"CONVERT PLOT-ABUNDANCE-SPECIES TRIPLET TABLE INTO SP-PLOT MATRIX\"",
                         "table.tsv \"RESULTS TABLE\"",
                         "figures \"FIGURES\"",
                     }));
  EXPECT_EQ(output_file("1", "results.txt"), "results.txt");
  EXPECT_EQ(output_file("nodes.txt", "results.txt"), "nodes.txt");
}

TEST(KeywordTable, ASourceSetBySeveralKeywordsIsNamedByTheLastGiven) {
  RunSettings s;
  s.tree.file = "tree.txt";
  s.tree_keyword = "ULTRAMETRIC PHYLOGENETIC TREE";
  const std::vector<NamedFile> sources = named_sources(s);
  ASSERT_EQ(sources.size(), 1u);
  EXPECT_STREQ(sources[0].record->keyword, "ULTRAMETRIC PHYLOGENETIC TREE");
  EXPECT_TRUE(dated_tree(s));
}

}  // namespace
}  // namespace quorvel::instructions
