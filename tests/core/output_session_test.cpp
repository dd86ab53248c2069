#include "core/output_session.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "core/errors.hpp"
#include "core/text_output.hpp"
#include "support/test_support.hpp"

namespace quorvel::core {
namespace {

using testing::read_file;
using testing::write_file;

class OutputSessionTest : public testing::WorkDirTest {
 protected:
  // Names of the files of the working folder, hidden ones included.
  static std::set<std::string> folder_files() {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(".")) names.insert(entry.path().filename().string());
    return names;
  }
};

TEST_F(OutputSessionTest, AppendingRunStartsFromACopyAndReplacesTheFileOnlyAtCommit) {
  write_file("out.txt", "earlier results\n");
  {
    OutputSession session;
    append_to_file("out.txt", "new section");
    echo_to_file("./out.txt", " and more");  // another name of the same file
    EXPECT_EQ(read_file("out.txt"), "earlier results\n");
    EXPECT_TRUE(is_staged("out.txt"));
    session.commit();
    EXPECT_EQ(read_file("out.txt"), "earlier results\nnew section and more");
  }
  EXPECT_EQ(folder_files(), (std::set<std::string>{"out.txt"}));
}

TEST_F(OutputSessionTest, StoppedRunLeavesEveryFileAsItWasAndNoTemporaryFile) {
  write_file("out.txt", "earlier results\n");
  write_file("tree.nex", "old tree\n");
  write_file("error.txt", "old log\n");
  {
    OutputSession session;
    EXPECT_TRUE(empty_file("out.txt"));  // "MAIN RESULT FILE": erased only at the end
    append_to_file("out.txt", "partial");
    EXPECT_TRUE(write_file_anew("tree.nex", "#NEXUS"));
    EXPECT_TRUE(write_file_anew("new.txt", "created"));
    echo_to_file(kErrorFile, "\nreport");  // the log is written at once
    EXPECT_EQ(read_file("error.txt"), "old log\n\nreport");
  }  // no commit: the run stopped
  EXPECT_EQ(read_file("out.txt"), "earlier results\n");
  EXPECT_EQ(read_file("tree.nex"), "old tree\n");
  EXPECT_EQ(folder_files(), (std::set<std::string>{"out.txt", "tree.nex", "error.txt"}));
}

TEST_F(OutputSessionTest, OutputsCreatedAnewReplaceTheOldContentAtCommit) {
  write_file("out.txt", "old");
  write_file("dist.txt", "old distances");
  {
    OutputSession session;
    EXPECT_TRUE(empty_file("out.txt"));
    append_to_file("out.txt", "results");
    EXPECT_TRUE(write_file_anew("dist.txt", "a\tb\t1"));
    EXPECT_TRUE(write_file_anew("dist.txt", "a\tb\t2"));  // written twice: the last one stays
    session.commit();
  }
  EXPECT_EQ(read_file("out.txt"), "results");
  EXPECT_EQ(read_file("dist.txt"), "a\tb\t2");
}

TEST_F(OutputSessionTest, LinkedResultFileKeepsItsLinkAndGetsTheResults) {
  write_file("real.txt", "old\n");
  std::filesystem::create_symlink("real.txt", "link.txt");
  {
    OutputSession session;
    append_to_file("link.txt", "new");
    session.commit();
  }
  EXPECT_TRUE(std::filesystem::is_symlink("link.txt"));
  EXPECT_EQ(read_file("real.txt"), "old\nnew");
}

TEST_F(OutputSessionTest, FileInAFolderThatDoesNotExistStopsTheRunWithStatus3) {
  OutputSession session;
  EXPECT_FALSE(write_file_anew("no-such-folder/x.txt", "x"));
  EXPECT_FALSE(try_append_to_file("no-such-folder/x.txt", "x"));
  EXPECT_STOPS(append_to_file("no-such-folder/out.txt", "REPORT"), "error in writing REPORT : cannot open file",
               kStoppedStatus);
}

TEST_F(OutputSessionTest, OutsideASessionWritesGoStraightToTheFiles) {
  append_to_file("out.txt", "a");
  EXPECT_TRUE(write_file_anew("n.txt", "b"));
  EXPECT_EQ(read_file("out.txt"), "a");
  EXPECT_EQ(read_file("n.txt"), "b");
  EXPECT_FALSE(is_staged("out.txt"));
}

}  // namespace
}  // namespace quorvel::core
