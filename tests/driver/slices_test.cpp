// The command line of slices and merges, the identity that slices carry, and
// the threads of a slice under Slurm.
#include "driver/slices.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/errors.hpp"
#include "instructions/instruction_file.hpp"
#include "support/test_support.hpp"

namespace quorvel::driver {
namespace {

using randomization::SliceLedger;
using testing::write_file;

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

class SliceRuns : public testing::WorkDirTest {
 protected:
  CommandLine slice_line(const std::string& spec) { return parse_command_line({"--slice", spec, "instr.txt"}); }
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
