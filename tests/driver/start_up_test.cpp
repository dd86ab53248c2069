#include "driver/start_up.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/text_output.hpp"
#include "driver/run_state.hpp"
#include "support/test_support.hpp"

namespace quorvel::driver {
namespace {

using testing::read_file;
using testing::write_file;

TEST(StartUp, InstructionPathSplitsAtTheLastSeparatorOfEitherKind) {
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

}  // namespace
}  // namespace quorvel::driver
