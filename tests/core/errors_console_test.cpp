#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/console.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/text_output.hpp"
#include "support/test_support.hpp"

namespace quorvel::core {
namespace {

using testing::read_file;

class ErrorsConsole : public testing::WorkDirTest {};

TEST_F(ErrorsConsole, FatalErrorIsAppendedToErrorLogNeverTruncated) {
  testing::write_file("error.txt", "earlier run\n");
  const FatalError error = testing::expect_fatal([] { fatal_error("\ncannot read line 3 from file a.txt"); });
  EXPECT_EQ(report_fatal_error(error), 1);
  EXPECT_EQ(read_file("error.txt"), "earlier run\n\ncannot read line 3 from file a.txt");
  EXPECT_EQ(console_output(), "\ncannot read line 3 from file a.txt");
}

TEST_F(ErrorsConsole, ReportedErrorsWaitForAKeyAndStayOutOfTheLog) {
  set_console_input("x");
  const FatalError error = testing::expect_fatal([] { stop_run("\n\nERROR: bad.\nPress any key to stop.", 0); });
  EXPECT_EQ(report_fatal_error(error), kStoppedStatus);  // a stop never reports success
  EXPECT_TRUE(read_file("error.txt").empty());
  EXPECT_EQ(console_output(), "\n\nERROR: bad.\nPress any key to stop.");
}

TEST_F(ErrorsConsole, EchoToFileThatCannotBeCreatedStopsWithStatus3) {
  EXPECT_STOPS(echo_to_file("no-such-folder/out.txt", "REPORT"), "error in writing REPORT : cannot open file", 3);
  EXPECT_EQ(console_output(), "REPORT");
}

TEST_F(ErrorsConsole, EndOfInputNeverBlocks) {
  set_console_input("first line\r\nlast");
  std::string line;
  EXPECT_TRUE(console_read_line(line));
  EXPECT_EQ(line, "first line");
  EXPECT_TRUE(console_read_line(line));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(console_read_line(line));
  wait_for_key();  // a pause returns at once
  EXPECT_STOPS(console_ask_line("\nQuestion?"), "\nQuestion?\nNo more input: stopping.\n", 2);
  EXPECT_STOPS(wait_for_key_or_stop("\nRetry?"), "\nRetry?\nNo more input: stopping.\n", 2);
}

TEST(Format, MissingValuesAreEmptyCells) {
  EXPECT_EQ(format_cell("%.4f", 0.12345), "0.1235");
  EXPECT_EQ(format_cell("%.4f", std::numeric_limits<double>::infinity()), "");
  EXPECT_EQ(format_cell("%g", std::nan("")), "");
  EXPECT_EQ(local_time_text().size(), 25u);
}

}  // namespace
}  // namespace quorvel::core
