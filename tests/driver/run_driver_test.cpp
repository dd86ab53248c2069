#include "driver/run_driver.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "core/output_session.hpp"

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

// The file a name stands for now (each commit puts a new one in place).
ino_t file_number(const std::string& name) {
  struct stat status {};
  return stat(name.c_str(), &status) == 0 ? status.st_ino : 0;
}

// Every file under the working folder (hidden ones included) with its content.
std::map<std::string, std::string> folder_snapshot() {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(".")) {
    files[entry.path().string()] = entry.is_directory() ? "<folder>" : read_file(entry.path().string());
  }
  return files;
}

TEST_F(RunDriver, OutputNamesThatCannotBeWrittenAreRefusedBeforeAnyAnalysis) {
  std::filesystem::create_directory("table.tsv");
  std::filesystem::create_directory("sub");
  std::filesystem::create_symlink("../elsewhere.txt", "link.txt");
  write_file("figures.txt", "a file\n");
  write_file("error.txt", "earlier errors\n");
  struct Case {
    const char* outputs;
    const char* message;
  };
  const Case cases[] = {
      {"MAIN RESULT FILE\tresults.txt\nRESULTS TABLE\ttable.tsv\n",
       "\n\nERROR: \"RESULTS TABLE\" names \"table.tsv\", which is a folder: give the name of a file."},
      {"MAIN RESULT FILE\tsub\n",
       "\n\nERROR: \"MAIN RESULT FILE\" names \"sub\", which is a folder: give the name of a file."},
      {"MAIN RESULT FILE\t..\n",
       "\n\nERROR: \"MAIN RESULT FILE\" names \"..\", which is outside the folder of the instruction file: results "
       "are written in that folder or in folders within it."},
      {"MAIN RESULT FILE\t../results.txt\n",
       "\n\nERROR: \"MAIN RESULT FILE\" names \"../results.txt\", which is outside the folder of the instruction "
       "file: results are written in that folder or in folders within it."},
      {"ADD TO MAIN RESULT FILE\tlink.txt\n",
       "\n\nERROR: \"ADD TO MAIN RESULT FILE\" names \"link.txt\", which is outside the folder of the instruction "
       "file: results are written in that folder or in folders within it."},
      {"MAIN RESULT FILE\tresults.txt\nFIGURES\tresults.txt\n",
       "\n\nERROR: \"MAIN RESULT FILE\" and \"FIGURES\" both name \"results.txt\": one would replace the other."},
      {"MAIN RESULT FILE\tresults.txt\nRESULTS TABLE\tt.tsv\nWRITE NEXUS TREE\t./t.tsv\n",
       "\n\nERROR: \"WRITE NEXUS TREE\" and \"RESULTS TABLE\" both name \"t.tsv\": one would replace the other."},
      {"MAIN RESULT FILE\tresults.txt\nFIGURES\tfigures.txt\n",
       "\n\nERROR: \"FIGURES\" names \"figures.txt\", which is a file: give the name of a folder."},
      {"MAIN RESULT FILE\tnofolder/results.txt\n",
       "\n\nERROR: \"MAIN RESULT FILE\" names \"nofolder/results.txt\", whose folder \"nofolder\" does not exist: "
       "create the folder first, or give another name."},
      {"MAIN RESULT FILE\tresults.txt\nFIGURES\tnofolder/figures\n",
       "\n\nERROR: \"FIGURES\" names \"nofolder/figures\", whose folder \"nofolder\" does not exist: create the "
       "folder first, or give another name."},
      {"MAIN RESULT FILE\terror.txt\n",
       "\n\nERROR: \"MAIN RESULT FILE\" names \"error.txt\", the error log of the folder, which keeps the error "
       "reports of every run: results are never written to it."},
      {"ADD TO MAIN RESULT FILE\t./error.txt\n",
       "\n\nERROR: \"ADD TO MAIN RESULT FILE\" names \"./error.txt\", the error log of the folder, which keeps the "
       "error reports of every run: results are never written to it."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.outputs);
    write_file("instr.txt", std::string("SPECIES-PLOT MATRIX\tdune_matrix.txt\n") + c.outputs);
    const std::map<std::string, std::string> before = folder_snapshot();
    const std::size_t shown = console_output().size();
    EXPECT_EQ(run_quorvel("instr.txt"), core::kStoppedStatus);
    const std::string console = console_output().substr(shown);
    const std::string refusal =
        std::string(c.message) + "\nNo file has been written: give the results another name.\nPress any key to stop.";
    ASSERT_GE(console.size(), refusal.size());
    EXPECT_EQ(console.substr(console.size() - refusal.size()), refusal);
    EXPECT_EQ(console.find("Description of main data features"), std::string::npos);  // nothing analysed
    EXPECT_EQ(folder_snapshot(), before);
  }
}

class RunDriverWriteFailure : public RunDriver {
 protected:
  void SetUp() override {
    RunDriver::SetUp();
    for (const char* file : {"dune_plots.txt", "dune_divint.txt"}) {
      std::filesystem::copy_file(testing::data_path(std::string("sets/dune/") + file), file);
    }
    write_file("instr.txt",
               "SPECIES-PLOT MATRIX\tdune_matrix.txt\nPLOT LIST\tdune_plots.txt\nULTRAMETRIC PHYLOGENETIC "
               "TREE\tdune_tree.txt\nDIVERGENCE INTERVALS\tdune_divint.txt\nWRITE PAIRWISE INDICES\tpairwise.txt\n"
               "MAIN RESULT FILE\tresults.txt\nRESULTS TABLE\ttable.tsv\nFIGURES\tfigs\n");
  }
  void TearDown() override {
    core::set_write_failure({});
    core::set_commit_hook({});
    RunDriver::TearDown();
  }
};

TEST_F(RunDriverWriteFailure, AFailedWriteOfAnyResultFileStopsTheRunAndChangesNoResult) {
  // The figure folder is made only with the other results: a run that stops
  // after its figures are written (at the end stamp) leaves no new folder.
  const std::map<std::string, std::string> before = folder_snapshot();
  core::set_write_failure([](const std::string& name) {
    return name == "results.txt" && core::is_staged("figs/divergence_intervals.svg") ? ENOSPC : 0;
  });
  EXPECT_EQ(run_quorvel("instr.txt"), core::kStoppedStatus);
  EXPECT_EQ(folder_snapshot(), before);
  core::set_write_failure({});
  ASSERT_EQ(run_quorvel("instr.txt"), 0);  // the results of an earlier run
  const std::map<std::string, std::string> earlier = folder_snapshot();
  ASSERT_EQ(earlier.count("./figs/divergence_intervals.svg"), 1u);
  for (const std::string failing : {"results.txt", "pairwise.txt", "table.tsv", "figs/divergence_intervals.svg"}) {
    SCOPED_TRACE(failing);
    core::set_write_failure([&](const std::string& name) { return name == failing ? ENOSPC : 0; });
    const std::size_t shown = console_output().size();
    EXPECT_EQ(run_quorvel("instr.txt"), core::kStoppedStatus);
    const std::string console = console_output().substr(shown);
    const std::string message = "\n\nERROR: cannot write \"" + failing +
                                "\" (No space left on device): the run is stopped and no result file has been "
                                "changed.\nPress any key to stop.";
    ASSERT_GE(console.size(), message.size());
    EXPECT_EQ(console.substr(console.size() - message.size()), message);
    EXPECT_EQ(folder_snapshot(), earlier);  // no temporary file either
  }
}

TEST_F(RunDriverWriteFailure, ATerminationSignalDuringTheCommitLetsEveryFileBeReplaced) {
  ASSERT_EQ(run_quorvel("instr.txt"), 0);
  const std::map<std::string, std::string> earlier = folder_snapshot();
  const char* results[] = {"results.txt", "pairwise.txt", "table.tsv", "figs/divergence_intervals.svg"};
  std::map<std::string, ino_t> earlier_files;
  for (const char* name : results) earlier_files[name] = file_number(name);
  EXPECT_EXIT(
      {
        core::set_commit_hook([](const std::string& target) {
          if (std::filesystem::path(target).filename() == "pairwise.txt") std::raise(SIGTERM);
        });
        std::_Exit(run_quorvel("instr.txt"));
      },
      ::testing::ExitedWithCode(0), "");
  // Every result file is a new one, and no temporary file is left.
  for (const char* name : results) EXPECT_NE(file_number(name), earlier_files[name]) << name;
  std::set<std::string> names;
  for (const auto& [name, content] : folder_snapshot()) names.insert(name);
  std::set<std::string> earlier_names;
  for (const auto& [name, content] : earlier) earlier_names.insert(name);
  EXPECT_EQ(names, earlier_names);
}

}  // namespace
}  // namespace quorvel::driver
