#include "input/field_reading.hpp"

#include <gtest/gtest.h>

#include "input/open_retry.hpp"
#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

const std::string kFile = "data.txt";

TEST(FieldReading, NextFieldSkipsOneTabAndRefusesEmptyFields) {
  const std::string line = "a\tb\n";
  EXPECT_STREQ(next_field(line.c_str(), kFile, 4), "b\n");
  const std::string empty = "a\t\tb\n";
  EXPECT_STOPS(next_field(empty.c_str(), kFile, 4), "\ntwo consecutive tabs on line 4 from file data.txt", 1);
  EXPECT_STREQ(next_field_allow_empty(empty.c_str(), kFile, 4), "\tb\n");
  EXPECT_STOPS(next_field("a b\n", kFile, 2), "\ntab not found one column missing on line 2 from file data.txt", 1);
}

TEST(FieldReading, NameFieldTrimsSpacesAndLineEnds) {
  std::string name;
  read_name_field("  Poa annua  \tmore", name, 49, kFile, 1);
  EXPECT_EQ(name, "Poa annua");
  read_name_field("Poa annua\n", name, 49, kFile, 1);
  EXPECT_EQ(name, "Poa annua");
  read_name_field(std::string(49, 'x').c_str(), name, 49, kFile, 1);
  EXPECT_EQ(name, std::string(49, 'x'));
  EXPECT_STOPS(read_name_field("   \n", name, 49, kFile, 7),
               "\ncannot read string from    \n on line 7 from file data.txt", 1);
  EXPECT_STOPS(read_name_field("abc", name, 100000, kFile, 7), "\nnumber of characters to read exceeds max allowed",
               87);
}

// A name cut to its first 49 characters could silently merge two species
// whose names differ further on: it is refused, naming it.
TEST(FieldReading, OverlongNamesAreRefusedNamingThem) {
  const std::string line = "a\t" + std::string(60, 'x') + "\tb\n";
  std::string name;
  EXPECT_STOPS(read_name_field(line.c_str() + 2, name, 49, kFile, 3, line.c_str()),
               "\nthe name \"" + std::string(60, 'x') +
                   "\" on line 3, column 2, from file data.txt is longer than the 49 characters allowed",
               1);
  EXPECT_STOPS(read_word_field(std::string(51, 'y').c_str(), name, 50, kFile, 4),
               "\nthe name \"" + std::string(51, 'y') +
                   "\" on line 4 from file data.txt is longer than the 50 "
                   "characters allowed",
               1);
}

TEST(FieldReading, WordFieldTakesTheFirstWord) {
  std::string word;
  read_word_field("Poa annua\tx", word, 49, kFile, 1);
  EXPECT_EQ(word, "Poa");
  read_word_field(std::string(50, 'y').c_str(), word, 50, kFile, 1);
  EXPECT_EQ(word.size(), 50u);
}

TEST(FieldReading, NumbersFollowFormattedInputRules) {
  double d = 0;
  read_double_field("1.5e-3\t", d, kFile, 1);
  EXPECT_DOUBLE_EQ(d, 0.0015);
  float f = 0;
  read_float_field("  -2.25  \n", f, kFile, 1);
  EXPECT_FLOAT_EQ(f, -2.25f);
  EXPECT_STOPS(read_double_field("\t3", d, kFile, 5), "\ncannot read float from \t3 on line 5 from file data.txt", 1);
  EXPECT_STOPS(read_float_field("abc\n", f, kFile, 6), "\ncannot read float from abc on line 6 from file data.txt", 1);
  EXPECT_STOPS(read_double_field("inf", d, kFile, 6), "\ncannot read float from inf on line 6 from file data.txt", 1);
  int i = 0;
  EXPECT_TRUE(scan_int(" 010", i));
  EXPECT_EQ(i, 10);
  EXPECT_FALSE(scan_int("x1", i));
}

// A number is the whole cell: "365,8" was once read as 365 and "0,5" as 0,
// emptying plots without a word.
TEST(FieldReading, ANumberMustFillItsCell) {
  const std::string line = "Poa\t365,8\t2\n";
  double d = 0;
  EXPECT_STOPS(read_double_field(line.c_str() + 4, d, kFile, 3, line.c_str()),
               "\ncannot read a number from \"365,8\" on line 3, column 2, from file data.txt: the cell holds more "
               "than a number\nWrite decimal numbers with a point, not a comma: \"365.8\", not \"365,8\".",
               1);
  float f = 0;
  EXPECT_STOPS(read_float_field("12 m\t", f, kFile, 2),
               "\ncannot read a number from \"12 m\" on line 2 from file data.txt: the cell holds more than a number",
               1);
  EXPECT_STOPS(read_float_field("1e39", f, kFile, 2),
               "\ncannot read a number from \"1e39\" on line 2 from file data.txt: the number is out of range", 1);
  EXPECT_STOPS(read_double_field("1e999\n", d, kFile, 2),
               "\ncannot read a number from \"1e999\" on line 2 from file data.txt: the number is out of range", 1);
  EXPECT_EQ(read_number_cell("  \tx", d, kFile, 1), CellContent::kEmpty);
  EXPECT_EQ(read_number_cell("n.a.\t", d, kFile, 1), CellContent::kText);
  EXPECT_EQ(read_number_cell(" 7 \r\n", d, kFile, 1), CellContent::kNumber);
  EXPECT_EQ(d, 7.0);
}

// Every reader takes its numbers from these cells: a number is decimal, in
// range and, unless 0, at least the smallest normal value of its precision.
TEST(FieldReading, NumbersAreReadStrictly) {
  const struct {
    const char* cell;
    bool single_precision;
    const char* reason;
  } refused[] = {
      {"0x10", false, ": hexadecimal numbers are not read; write the number in decimal notation"},
      {"-0x1p4", true, ": hexadecimal numbers are not read; write the number in decimal notation"},
      {"1e-320", false,
       ": the number is too close to 0 (below 2.22507e-308 in size, it cannot be kept to full precision); write 0 if "
       "it stands for 0"},
      {"-1e-400", false,
       ": the number is too close to 0 (below 2.22507e-308 in size, it cannot be kept to full precision); write 0 if "
       "it stands for 0"},
      {"1e-320", true,
       ": the number is too close to 0 (below 1.17549e-38 in size, it cannot be kept to full precision); write 0 if "
       "it stands for 0"},
      {"1e-40", true,
       ": the number is too close to 0 (below 1.17549e-38 in size, it cannot be kept to full precision); write 0 if "
       "it stands for 0"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.cell);
    const std::string line = std::string("sp\t") + c.cell + "\n";
    const std::string message = std::string("\ncannot read a number from \"") + c.cell +
                                "\" on line 4, column 2, from file data.txt" + c.reason;
    double d = 0;
    float f = 0;
    if (c.single_precision) {
      EXPECT_STOPS(read_float_cell(line.c_str() + 3, f, kFile, 4, line.c_str()), message, 1);
    } else {
      EXPECT_STOPS(read_number_cell(line.c_str() + 3, d, kFile, 4, line.c_str()), message, 1);
    }
  }
  // Zero in any form, and the smallest normal values, are numbers.
  double d = 1;
  float f = 1;
  for (const char* zero : {"0", "-0.0", "0e-999", "0.000"}) {
    EXPECT_EQ(read_number_cell(zero, d, kFile, 1), CellContent::kNumber) << zero;
    EXPECT_EQ(d, 0.0) << zero;
  }
  EXPECT_EQ(read_number_cell("2.3e-308", d, kFile, 1), CellContent::kNumber);
  EXPECT_EQ(read_float_cell("1.2e-38", f, kFile, 1), CellContent::kNumber);
  // "0x" without hexadecimal digits is a 0 followed by text.
  EXPECT_STOPS(read_number_cell("0xg", d, kFile, 1),
               "\ncannot read a number from \"0xg\" on line 1 from file data.txt: the cell holds more than a number",
               1);
  // The non-fatal scans refuse the same numbers.
  EXPECT_FALSE(scan_float("0x10", f));
  EXPECT_FALSE(scan_double("1e-320", d));
  EXPECT_FALSE(scan_double("1e999", d));
  EXPECT_TRUE(scan_double(" 2.5x", d));
  EXPECT_EQ(d, 2.5);
}

TEST(FieldReading, MissingNamesAreListedUpToTwenty) {
  EXPECT_EQ(listed_names({}), "");
  EXPECT_EQ(listed_names({"D01", "D07"}), ": D01, D07");
  std::vector<std::string> many;
  for (int k = 1; k <= 23; ++k) many.push_back("s" + std::to_string(k));
  const std::string text = listed_names(many);
  EXPECT_EQ(text.substr(0, 10), ": s1, s2, ");
  EXPECT_EQ(text.substr(text.size() - 21), ", s19, s20 and 3 more");
}

TEST(FieldReading, CommentLines) {
  EXPECT_TRUE(is_comment_line("/* note"));
  EXPECT_TRUE(is_comment_line("// note"));
  EXPECT_TRUE(is_comment_line("\"quoted"));
  EXPECT_FALSE(is_comment_line("/ half"));
}

class DataLines : public testing::WorkDirTest {};

TEST_F(DataLines, ReadingPastTheLastLineStopsWithTheLineNumber) {
  testing::write_file(kFile, "head\none\ntwo\r\n");
  core::TextInput file;
  ASSERT_TRUE(file.open(kFile));
  std::string line;
  ASSERT_TRUE(file.read_line(line));
  int line_number = 0;
  read_data_line(file, line, kFile, line_number);
  EXPECT_EQ(line_number, 2);  // lines are numbered in the file, as an editor shows them
  read_data_line(file, line, kFile, line_number);
  EXPECT_EQ(line, "two\n");
  EXPECT_STOPS(read_data_line(file, line, kFile, line_number),
               "\nEnd of file encountered before END message on line 4 from file data.txt", 1);
}

// Files saved by old Mac editors end lines with a lone CR, Windows ones with
// CR LF and often start with a byte-order mark: all read as plain lines.
TEST_F(DataLines, EveryLineEndAndAByteOrderMarkAreUnderstood) {
  testing::write_file(kFile, "\xEF\xBB\xBFKEY\tone\rtwo\r\nthree\n\rlast");
  core::TextInput file;
  ASSERT_TRUE(file.open(kFile));
  std::vector<std::string> lines;
  std::string line;
  while (file.read_line(line)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"KEY\tone\n", "two\n", "three\n", "\n", "last"}));
  EXPECT_EQ(file.line_number(), 5);
  file.rewind();
  EXPECT_TRUE(file.find_keyword_line("KEY", line));
  EXPECT_EQ(file.line_number(), 1);

  testing::write_file(kFile, "\xEF\xBBx\n");  // not a whole mark: kept as text
  ASSERT_TRUE(file.open(kFile));
  ASSERT_TRUE(file.read_line(line));
  EXPECT_EQ(line, "\xEF\xBBx\n");
}

// A NUL byte once vanished from the line, so that "1<NUL>9" read as 19.
TEST_F(DataLines, ANulByteStopsTheRunNamingItsPlace) {
  testing::write_file(kFile, std::string("head\tx\nsp\t1\0"
                                         "9\t2\n",
                                         15));
  core::TextInput file;
  ASSERT_TRUE(file.open(kFile));
  std::string line;
  ASSERT_TRUE(file.read_line(line));
  EXPECT_STOPS(
      file.read_line(line),
      "\n\nERROR: the file data.txt holds a NUL byte (character code 0) on line 2, column 2 (character 5 of the line): "
      "a NUL byte is no text. The file is damaged or is not a text file.",
      1);
  testing::write_file(kFile, std::string("1\0"
                                         "9\n",
                                         4));  // at the start, yet no UTF-16
  ASSERT_TRUE(file.open(kFile));
  EXPECT_STOPS(
      file.read_line(line),
      "\n\nERROR: the file data.txt holds a NUL byte (character code 0) on line 1, column 1 (character 2 of the line): "
      "a NUL byte is no text. The file is damaged or is not a text file.",
      1);
}

// Windows saves "Unicode text" as UTF-16, with or without a byte-order mark.
TEST_F(DataLines, AUtf16FileIsRefusedWithAdvice) {
  const std::string message =
      "\n\nERROR: the file data.txt is saved as UTF-16 (\"Unicode text\"), which the program does not read: save it "
      "again "
      "as UTF-8 or plain text. In a text editor, choose the encoding UTF-8 when saving (Notepad: \"Save as\", "
      "Encoding \"UTF-8\"); from a spreadsheet, save it as \"Text (Tab delimited)\".";
  core::TextInput file;
  std::string line;
  for (const std::string& text : {std::string("\xFF\xFEK\0E\0Y\0\n\0", 10), std::string("\xFE\xFF\0K\0E", 6),
                                  std::string("K\0E\0Y\0\n\0", 8), std::string("\0K\0E\0Y", 6)}) {
    testing::write_file(kFile, text);
    ASSERT_TRUE(file.open(kFile));
    EXPECT_STOPS(file.read_line(line), message, 1);
    file.rewind();
    EXPECT_STOPS(file.find_keyword_line("KEY", line), message, 1);
  }
}

TEST_F(DataLines, OverlongLinesComeInPieces) {
  testing::write_file(kFile, std::string(150000, 'a') + "\nend\n");
  core::TextInput file;
  ASSERT_TRUE(file.open(kFile));
  std::string line;
  ASSERT_TRUE(file.read_line(line));
  EXPECT_EQ(line.size(), 99999u);
  ASSERT_TRUE(file.read_line(line));
  EXPECT_EQ(line.size(), 150001u - 99999u);
  ASSERT_TRUE(file.read_line(line));
  EXPECT_EQ(line, "end\n");
  EXPECT_FALSE(file.read_line(line));
}

TEST_F(DataLines, OpenRetryStopsWhenNoUserIsLeft) {
  core::TextInput file;
  const std::string warning =
      "\nWarning: cannot open the file containing the plot list \"missing.txt\".\nIf it is being used by another "
      "application, close it first.\nIf it does not exist in the specified directory, bring it first.\nThen press "
      "Return.\n";
  EXPECT_STOPS(open_data_file(file, "missing.txt", "the plot list"), warning + "\nNo more input: stopping.\n", 2);
  EXPECT_EQ(console_output(), warning);

  // A key press after the user brought the file: the retry succeeds.
  set_console_input("k");
  testing::write_file("late.txt", "x\n");
  open_file_wait_return(file, "late.txt", true);
  EXPECT_TRUE(file.is_open());
}

}  // namespace
}  // namespace quorvel::input
