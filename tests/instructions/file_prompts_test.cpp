#include "instructions/file_prompts.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/errors.hpp"
#include "core/text_output.hpp"
#include "support/test_support.hpp"

namespace quorvel::instructions {
namespace {

using testing::read_file;
using testing::write_file;

TEST(FilePrompts, InstructionPathSplitsAtTheLastSeparatorOfEitherKind) {
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
  };
  for (const Case& c : {Case{"instr.txt", "", "instr.txt"}, Case{"data/dune/instr.txt", "data/dune", "instr.txt"},
                        Case{"C:\\runs\\a\\instr.txt", "C:\\runs\\a", "instr.txt"},
                        Case{"/instr.txt", "/", "instr.txt"}, Case{"dir\\sub/i.txt", "dir\\sub", "i.txt"}}) {
    std::string folder, name;
    split_instruction_path(c.path, folder, name);
    EXPECT_EQ(folder, c.folder) << c.path;
    EXPECT_EQ(name, c.name) << c.path;
  }
}

class AskNames : public testing::WorkDirTest {};

TEST_F(AskNames, ArgumentPathChangesToItsFolder) {
  std::filesystem::create_directories("runs/one");
  write_file("runs/one/instr.txt", "MAIN RESULT FILE\tr.txt\n");
  EXPECT_EQ(ask_instruction_file_name({"runs/one/instr.txt"}), "instr.txt");
  EXPECT_TRUE(std::filesystem::exists("instr.txt"));
  EXPECT_EQ(console_output(), "\n\n\n\nINSTRUCTION FILE NAME\n\n  Instruction file: instr.txt");
}

TEST_F(AskNames, MissingInstructionFileWithClosedInputStops) {
  const std::string warning =
      "\n\nWARNING: Cannot open instruction file \"nothere.txt\"\n  If it is being used by another application, "
      "close it first, then press Return\n  Otherwise enter a new name for the instruction file\n";
  EXPECT_STOPS(ask_instruction_file_name({"nothere.txt"}), warning + "\nNo more input: stopping.\n", 2);
}

TEST_F(AskNames, PromptedNameAndRetryWithANewName) {
  write_file("good.txt", "");
  set_console_input("bad.txt extra words\ngood.txt\n");
  EXPECT_EQ(ask_instruction_file_name({}), "good.txt");
  set_console_input("");
  EXPECT_STOPS(ask_instruction_file_name({}),
               std::string("\n\nEnter the name of the instruction file (with ext)\n  or press RETURN to create a new "
                           "instruction file\n\n"
                           "  Instruction file: ") +
                   "\nNo more input: stopping.\n",
               2);
}

TEST_F(AskNames, ResultFileDefaultsAndExistenceQuestion) {
  EXPECT_EQ(ask_result_file_name({}), "out.txt");  // end of input: the default name
  EXPECT_TRUE(std::filesystem::exists("out.txt"));

  write_file("old.txt", "keep me");
  EXPECT_EQ(ask_result_file_name({"instr.txt", "old.txt"}), "old.txt");
  EXPECT_EQ(read_file("old.txt"), "keep me");  // end of input never erases

  set_console_input("a\n");
  EXPECT_EQ(ask_result_file_name({"instr.txt", "old.txt"}), "old.txt");
  EXPECT_EQ(read_file("old.txt"), "keep me");

  set_console_input("E\n");
  EXPECT_EQ(ask_result_file_name({"instr.txt", "old.txt"}), "old.txt");
  EXPECT_EQ(read_file("old.txt"), "");

  write_file("other.txt", "x");
  set_console_input("other.txt\nnew.txt\n");
  write_file("old.txt", "y");
  EXPECT_EQ(ask_result_file_name({"instr.txt", "old.txt"}), "new.txt");
  EXPECT_EQ(read_file("old.txt"), "y");
  EXPECT_EQ(read_file("other.txt"), "x");

  // A slice only names its slice file after the results file: nothing is
  // asked about its content, which stays as it is.
  set_console_input("e\n");
  const std::string before = console_output();
  EXPECT_EQ(ask_result_file_name({"instr.txt", "old.txt"}, {}, false), "old.txt");
  EXPECT_EQ(console_output(), before + "\n  Results file: old.txt");
  EXPECT_EQ(read_file("old.txt"), "y");
}

TEST_F(AskNames, UnwritableResultFileWithClosedInputStops) {
  const std::string warning =
      "\nWARNING: Cannot open results file \"no/such/dir.txt\".\nIf it is being used by another application, close "
      "it first. Then press Return.\n  Otherwise, enter a new name for the results file\n";
  EXPECT_STOPS(ask_result_file_name({"instr.txt", "no/such/dir.txt"}), warning + "\nNo more input: stopping.\n", 2);
}

TEST(SliceCommandLine, ReadsSliceAndMergeAroundThePlainArguments) {
  CommandLine line = parse_command_line({"--slice", "3/8", "runs/instr.txt", "out.txt"});
  EXPECT_EQ(line.action, CommandLine::Action::kRun);
  EXPECT_EQ(line.slice_number, 3);
  EXPECT_EQ(line.slice_count, 8);
  EXPECT_FALSE(line.merge);
  EXPECT_EQ(line.arguments, (std::vector<std::string>{"runs/instr.txt", "out.txt"}));

  line = parse_command_line({"instr.txt", "--slice", "1/1"});
  EXPECT_EQ(line.slice_number, 1);
  EXPECT_EQ(line.arguments, std::vector<std::string>{"instr.txt"});

  // The slice files are named from the folder the program starts in.
  line = parse_command_line({"--merge", "runs/instr.txt", "runs/r.txt.slice-2-of-2", "/tmp/r.txt.slice-1-of-2"});
  EXPECT_TRUE(line.merge);
  EXPECT_EQ(line.arguments, std::vector<std::string>{"runs/instr.txt"});
  EXPECT_EQ(line.slice_names, (std::vector<std::string>{"runs/r.txt.slice-2-of-2", "/tmp/r.txt.slice-1-of-2"}));
  ASSERT_EQ(line.slice_paths.size(), 2u);
  EXPECT_EQ(line.slice_paths[0].front(), '/');
  EXPECT_EQ(line.slice_paths[1], "/tmp/r.txt.slice-1-of-2");

  EXPECT_EQ(parse_command_line({"--help", "--bogus"}).action, CommandLine::Action::kHelp);
  EXPECT_EQ(parse_command_line({"--version"}).action, CommandLine::Action::kVersion);
  EXPECT_EQ(parse_command_line({}).arguments, std::vector<std::string>{});
}

TEST(SliceCommandLine, RefusesUnknownOptionsAndMalformedSlices) {
  const std::string slice_usage =
      "\nERROR: --slice must be followed by k/K, slice k of K slices (1 <= k <= K), as in --slice 3/8";
  const struct {
    std::vector<std::string> arguments;
    std::string message;
  } cases[] = {
      {{"--slices", "1/3", "instr.txt"},
       "\nERROR: unknown option \"--slices\": the options are --slice, --merge, --help and --version (see quorvel "
       "--help).\n"},
      {{"instr.txt", "--threads=4"},
       "\nERROR: unknown option \"--threads=4\": the options are --slice, --merge, --help and --version (see quorvel "
       "--help).\n"},
      {{"--slice"}, slice_usage + ".\n"},
      {{"--slice", "instr.txt"}, slice_usage + ", not by \"instr.txt\".\n"},
      {{"--slice", "0/3", "instr.txt"}, slice_usage + ", not by \"0/3\".\n"},
      {{"--slice", "4/3", "instr.txt"}, slice_usage + ", not by \"4/3\".\n"},
      {{"--slice", "1/", "instr.txt"}, slice_usage + ", not by \"1/\".\n"},
      {{"--slice", "-1/3", "instr.txt"}, slice_usage + ", not by \"-1/3\".\n"},
      {{"--slice", "1/1000001", "instr.txt"}, slice_usage + ", not by \"1/1000001\".\n"},
      {{"--slice", "99999999999/3", "instr.txt"}, slice_usage + ", not by \"99999999999/3\".\n"},
      {{"--merge", "instr.txt"},
       "\nERROR: --merge must be followed by the instruction file and the slice files, as in --merge instr.txt "
       "results.txt.slice-*-of-8.\n"},
      {{"--slice", "1/2", "--merge", "instr.txt", "a"},
       "\nERROR: --slice and --merge cannot be given together: the slices are made first, then merged.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const core::FatalError error = testing::expect_fatal([&] { parse_command_line(c.arguments); });
    EXPECT_EQ(std::string(error.what()), c.message);
    EXPECT_EQ(error.status(), core::kStoppedStatus);
    EXPECT_FALSE(error.wait_for_key());
  }
}

TEST(SliceThreads, ThreadsKeywordFirstThenSlurmCoresThenOnePerCore) {
  EXPECT_EQ(slice_threads(2, "8"), 2);
  EXPECT_EQ(slice_threads(0, "8"), 8);
  EXPECT_EQ(slice_threads(0, nullptr), 0);
  for (const char* unusable : {"", "0", "x", "4(x2)", "257", "-2"})
    EXPECT_EQ(slice_threads(0, unusable), 0) << unusable;
  EXPECT_EQ(slice_threads(0, "256"), 256);
}

}  // namespace
}  // namespace quorvel::instructions
