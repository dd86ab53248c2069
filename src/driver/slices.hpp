#pragma once

#include <string>
#include <vector>

#include "instructions/run_settings.hpp"
#include "randomization/randomization_runner.hpp"
#include "randomization/slice_file.hpp"

namespace quorvel::driver {

// A run's randomizations evaluated on several machines: each runs
// "quorvel --slice k/K instr.txt" (or has "RANDOMIZATION SLICE k K" in its
// instruction file) and writes a slice file; "quorvel --merge instr.txt
// <the K slice files>" writes the results of the whole run.

/// What the command line asks for.
struct CommandLine {
  enum class Action { kRun, kHelp, kVersion };
  Action action = Action::kRun;
  /// The instruction file and, for a run or a slice, the main result file.
  std::vector<std::string> arguments;
  int slice_number = 0;  ///< --slice k/K: k (0: not given)
  int slice_count = 0;   ///< --slice k/K: K
  bool merge = false;    ///< --merge
  /// --merge: the slice files as given, and their paths from the folder the
  /// program was started in (it changes to the folder of the instruction file).
  std::vector<std::string> slice_names;
  std::vector<std::string> slice_paths;
};

/// Reads the arguments (program name excluded). Stops the run (status 3,
/// no key awaited) for an unknown option ("--" first) or a malformed --slice
/// or --merge.
CommandLine parse_command_line(const std::vector<std::string>& arguments);

/// The share of the randomizations a run evaluates: --slice (it wins over
/// the instruction file), "RANDOMIZATION SLICE", --merge or a whole run.
/// Stops the run when a slice or a merge has no "RANDOM SEED" (the slices
/// must draw the same randomizations) or asks for no randomization.
randomization::SliceLedger::Role slice_role(const CommandLine& command_line, const instructions::RunSettings& settings,
                                            int& k, int& K);

/// The version, checksums and seed that slices of this run carry. The
/// instruction file's checksum leaves out its "RANDOMIZATION SLICE" and
/// "THREADS" lines, which do not change the values (K instruction files
/// that differ only there make one array of slices); every data file the
/// settings name has a checksum of its own.
randomization::RunIdentity run_identity(const instructions::RunSettings& settings, const std::string& instruction_file);

/// Reads the slice files of a merge and checks that they are the slices of
/// this run (`identity`), 1..K each once. Stops the run (status 3) with a
/// message naming the file and what differs; nothing is written then.
randomization::SliceLedger read_merge_slices(const CommandLine& command_line,
                                             const randomization::RunIdentity& identity,
                                             const std::string& main_result_file);

/// The threads of a slice run: "THREADS" when given, else
/// SLURM_CPUS_PER_TASK (`slurm_cpus`, may be null) when it is a number of
/// threads, else 0 (one per core). Slurm's task/none does not bind a job to
/// its cores, so without either a slice would start one thread per core of
/// the whole node.
int slice_threads(int n_threads, const char* slurm_cpus);

/// Writes the slice file of the run (through the output session) and
/// returns its name.
std::string write_slice_file(const randomization::SliceLedger& ledger, const randomization::RunIdentity& identity,
                             const std::string& main_result_file);

}  // namespace quorvel::driver
