#pragma once

#include <string>
#include <vector>

#include "instructions/file_prompts.hpp"
#include "instructions/run_settings.hpp"
#include "randomization/randomization_runner.hpp"
#include "randomization/slice_file.hpp"

namespace quorvel::driver {

// A run's randomizations evaluated on several machines: each runs
// "quorvel --slice k/K instr.txt" (or has "RANDOMIZATION SLICE k K" in its
// instruction file) and writes a slice file; "quorvel --merge instr.txt
// <the K slice files>" writes the results of the whole run.

/// The share of the randomizations a run evaluates: --slice (it wins over
/// the instruction file), "RANDOMIZATION SLICE", --merge or a whole run.
/// Stops the run when a slice or a merge has no "RANDOM SEED" (the slices
/// must draw the same randomizations) or asks for no randomization.
randomization::SliceLedger::Role slice_role(const instructions::CommandLine& command_line,
                                            const instructions::RunSettings& settings, int& k, int& K);

/// The version, checksums and seed that slices of this run carry. The
/// instruction file's checksum leaves out its "RANDOMIZATION SLICE" and
/// "THREADS" lines, which do not change the values (K instruction files
/// that differ only there make one array of slices); every data file the
/// settings name has a checksum of its own.
randomization::RunIdentity run_identity(const instructions::RunSettings& settings, const std::string& instruction_file);

/// Writes `slice` to its file, slice_file_name(main_result_file, k, K), and
/// returns the name. Stops the run when the slice holds no test (the run made
/// none: there is nothing to share out) or the file cannot be created.
std::string write_slice_file(const randomization::SliceFile& slice, const std::string& main_result_file);

}  // namespace quorvel::driver
