#include "driver/run_driver.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "phylogeny_traits_test_run.hpp"
#include "support/test_support.hpp"

namespace quorvel::driver {
namespace {

using testing::read_file;
using testing::write_file;

class RunDriver : public testing::WorkDirTest {
 protected:
  void SetUp() override {
    WorkDirTest::SetUp();
    for (const char* file : {"dune_matrix.txt", "dune_tree.txt"}) {
      std::filesystem::copy_file(testing::data_path(std::string("sets/dune/") + file), file);
    }
  }
  static std::set<std::string> folder_files() {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(".")) names.insert(entry.path().filename().string());
    return names;
  }
};

TEST_F(RunDriver, AppendingRunEndsWithTheOldResultsFollowedByTheNewOnes) {
  write_file("results.txt", "earlier results\n");
  write_file("instr.txt", "SPECIES-PLOT MATRIX\tdune_matrix.txt\nADD TO MAIN RESULT FILE\tresults.txt\n");
  EXPECT_EQ(run_quorvel("instr.txt"), 0);
  const std::string results = read_file("results.txt");
  EXPECT_EQ(results.rfind("earlier results\n", 0), 0u);
  EXPECT_NE(results.find("\n\nAnalyses finished at "), std::string::npos);
  EXPECT_EQ(folder_files(), (std::set<std::string>{"dune_matrix.txt", "dune_tree.txt", "instr.txt", "results.txt"}));
}

TEST_F(RunDriver, StoppedRunExitsNonZeroAndChangesNoFile) {
  write_file("results.txt", "earlier results\n");
  write_file("distances.txt", "earlier distances\n");
  write_file("div.txt", "DIVERGENCE INTERVALS\t3\n0\t20\t10\n");
  write_file("instr.txt",
             "SPECIES-PLOT MATRIX\tdune_matrix.txt\nULTRAMETRIC PHYLOGENETIC TREE\tdune_tree.txt\n"
             "DIVERGENCE INTERVALS\tdiv.txt\nWRITE PHYLOGENETIC DISTANCES BETWEEN SPECIES\tdistances.txt\n"
             "MAIN RESULT FILE\tresults.txt\nWRITE NEXUS TREE\tnew_tree.nex\n");
  EXPECT_EQ(run_quorvel("instr.txt"), core::kStoppedStatus);
  EXPECT_EQ(read_file("results.txt"), "earlier results\n");
  EXPECT_EQ(read_file("distances.txt"), "earlier distances\n");
  // Neither the outputs created anew nor any temporary file is left behind;
  // the error log keeps the report.
  EXPECT_EQ(folder_files(), (std::set<std::string>{"dune_matrix.txt", "dune_tree.txt", "instr.txt", "results.txt",
                                                   "distances.txt", "div.txt", "error.txt"}));
  EXPECT_NE(read_file("error.txt").find("divergence intervals must be given by increasing divergences"),
            std::string::npos);
}

}  // namespace
}  // namespace quorvel::driver
