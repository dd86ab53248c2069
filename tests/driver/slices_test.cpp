// The share of the randomizations a run evaluates, and the identity that
// slices carry.
#include "driver/slices.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/errors.hpp"
#include "instructions/instruction_file.hpp"
#include "support/test_support.hpp"

namespace quorvel::driver {
namespace {

using instructions::CommandLine;
using instructions::parse_command_line;
using randomization::SliceLedger;
using testing::write_file;

class SliceRuns : public testing::WorkDirTest {
 protected:
  CommandLine slice_line(const std::string& slice) { return parse_command_line({"--slice", slice, "instr.txt"}); }
};

TEST_F(SliceRuns, TheCommandLineWinsOverTheKeywordAndASliceNeedsASeedAndARandomization) {
  write_file("instr.txt", "SPATIAL RANDOMIZATION TEST\t9\nRANDOM SEED\t5\nRANDOMIZATION SLICE\t2\t4\n");
  const instructions::RunSettings settings = instructions::read_instruction_file("instr.txt");
  int k = 0;
  int K = 0;
  EXPECT_EQ(slice_role(parse_command_line({"instr.txt"}), settings, k, K), SliceLedger::Role::kSlice);
  EXPECT_EQ(k, 2);
  EXPECT_EQ(K, 4);
  EXPECT_EQ(slice_role(slice_line("3/5"), settings, k, K), SliceLedger::Role::kSlice);
  EXPECT_EQ(k, 3);
  EXPECT_EQ(K, 5);
  EXPECT_EQ(slice_role(parse_command_line({"--merge", "instr.txt", "a"}), settings, k, K), SliceLedger::Role::kMerge);

  write_file("instr.txt", "SPATIAL RANDOMIZATION TEST\t9\n");
  EXPECT_EQ(slice_role(parse_command_line({"instr.txt"}), instructions::read_instruction_file("instr.txt"), k, K),
            SliceLedger::Role::kWhole);
  EXPECT_STOPS(slice_role(slice_line("1/2"), instructions::read_instruction_file("instr.txt"), k, K),
               "\n\nERROR: the instruction file gives no \"RANDOM SEED\": every slice, and the merge, must draw the "
               "same randomizations, from the seed of the instruction file.\nPress any key to stop.",
               core::kStoppedStatus);
  write_file("instr.txt", "SPATIAL RANDOMIZATION TEST\t0\nRANDOM SEED\t5\n");
  EXPECT_STOPS(
      slice_role(slice_line("1/2"), instructions::read_instruction_file("instr.txt"), k, K),
      "\n\nERROR: this instruction file asks for no randomization (\"SPATIAL RANDOMIZATION TEST\", \"PHYLOGENY "
      "RANDOMIZATION TESTS\" or \"BROWNIAN EVOLUTION TEST\"): there is nothing to share out in slices or to "
      "merge. Run it as a whole (without --slice, --merge or \"RANDOMIZATION SLICE\").\nPress any key to "
      "stop.",
      core::kStoppedStatus);
}

TEST_F(SliceRuns, TheIdentityLeavesOutTheLinesThatDoNotChangeTheValues) {
  write_file("m.txt", "Species\tP1\tP2\nsp1\t1\t0\n");
  write_file("p.txt", "Plot\tx\ty\nP1\t0\t0\nP2\t1\t1\n");
  const std::string body =
      "SPECIES-PLOT MATRIX\tm.txt\nPLOT LIST\tp.txt\nDISTANCE INTERVALS\t1\n5\nSPATIAL RANDOMIZATION TEST\t9\n"
      "RANDOM SEED\t5\n";
  auto identity_of = [](const std::string& text) {
    write_file("instr.txt", text);
    return run_identity(instructions::read_instruction_file("instr.txt"), "instr.txt");
  };
  const randomization::RunIdentity plain = identity_of(body);
  EXPECT_EQ(plain.version, "0.10");
  EXPECT_EQ(plain.seed, 5);
  EXPECT_EQ(plain.instruction_file.name, "instr.txt");
  // Inline intervals are part of the instruction file, named once.
  ASSERT_EQ(plain.data_files.size(), 2u);
  EXPECT_EQ(plain.data_files[0].name, "p.txt");
  EXPECT_EQ(plain.data_files[1].name, "m.txt");
  const std::string matrix = "Species\tP1\tP2\nsp1\t1\t0\n";
  EXPECT_EQ(plain.data_files[1].checksum, randomization::fnv1a_64(matrix.data(), matrix.size()));

  // One array of slices may come from K instruction files that differ only
  // by their slice and threads lines.
  const randomization::RunIdentity sliced = identity_of("RANDOMIZATION SLICE\t2\t3\n" + body + "THREADS\t4\n");
  EXPECT_EQ(sliced.instruction_file.checksum, plain.instruction_file.checksum);
  EXPECT_NE(identity_of(body + "// a comment\n").instruction_file.checksum, plain.instruction_file.checksum);
  write_file("m.txt", "Species\tP1\tP2\nsp1\t1\t1\n");
  EXPECT_NE(identity_of(body).data_files[1].checksum, plain.data_files[1].checksum);
}

}  // namespace
}  // namespace quorvel::driver
