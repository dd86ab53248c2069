// Where report text reaches its files: optional tables created anew or
// continued, the main result file always appended to.
#include "reports/report_files.hpp"

#include <gtest/gtest.h>

#include "core/output_session.hpp"
#include "support/test_support.hpp"

namespace quorvel::reports {
namespace {

using quorvel::testing::read_file;
using quorvel::testing::write_file;

class ReportFiles : public quorvel::testing::WorkDirTest {};

TEST_F(ReportFiles, ATableReplacesAnOldFileAndAnOptionalFileMayBeSkipped) {
  write_file("pairwise.txt", "an older run\n");
  write_table_file("pairwise.txt", "results.txt", "first block");
  EXPECT_EQ(read_file("pairwise.txt"), "first block");
  // A file that cannot be created is skipped without a word.
  write_optional_file("no/such/folder/converted.txt", "data");
  EXPECT_EQ(read_file("no/such/folder/converted.txt"), "");
  EXPECT_EQ(console_output(), "");
}

TEST_F(ReportFiles, MainResultFileIsAppendedTo) {
  write_file("results.txt", "partition\n");
  write_table_file("results.txt", "results.txt", "table");
  append_section("results.txt", "\nsection");
  EXPECT_EQ(read_file("results.txt"), "partition\ntable\nsection");
}

TEST_F(ReportFiles, TablesOfOneRunSharingAFileFollowEachOther) {
  write_file("tables.txt", "an older run\n");
  {
    core::OutputSession session;
    write_table_file("tables.txt", "results.txt", "first table");
    write_table_file("tables.txt", "results.txt", ", second table");
    EXPECT_EQ(read_file("tables.txt"), "an older run\n");  // until the run ends
    session.commit();
  }
  EXPECT_EQ(read_file("tables.txt"), "first table, second table");
}

TEST_F(ReportFiles, EchoedPiecesAreShownAndEverythingIsWritten) {
  EchoedText text;
  text.echo("\nheading");
  text.append("\tvalues");
  write_echoed("results.txt", text);
  EXPECT_EQ(read_file("results.txt"), "\nheading\tvalues");
  EXPECT_EQ(console_output(), "\nheading");
}

}  // namespace
}  // namespace quorvel::reports
