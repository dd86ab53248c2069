#pragma once

#include <string>

#include "instructions/run_settings.hpp"

namespace quorvel::instructions {

/// Reads the instruction file `instruction_file` into `settings`: every
/// keyword line, the pre-scans of the data files it names (counts, headers,
/// tree text, test definitions) and the final consistency checks. Every
/// setting is reset first, except `main_result_file`, which the caller sets
/// (empty) before the call. The main result file named by "MAIN RESULT FILE"
/// is not touched here: see prepare_main_result_file. Stops the run
/// (core::FatalError) on every error the reader reports.
void read_instruction_file(const std::string& instruction_file, RunSettings& settings);

/// Messages for every output file of `settings` (main result file, "WRITE",
/// "CONVERT" and "NODE DECOMPOSITION" outputs; "1" excepted) that is a file the
/// run reads (the instruction file or a data source); empty when there is none.
/// The driver calls it again after asking for the main result file.
std::string output_conflict_messages(const RunSettings& settings, const std::string& instruction_file);

/// Empties the main result file named by "MAIN RESULT FILE" ("ADD TO MAIN
/// RESULT FILE" keeps its content). Called once the instruction file has been
/// read and every check has passed, so that a refused run erases nothing.
void prepare_main_result_file(const RunSettings& settings);

/// Stops the run (status 0) when data named in the instruction file give
/// nothing to analyse (a tree file without a tree, a community file without
/// plots or species) or are of a kind this version does not analyse
/// (individual lists).
void check_named_data(const RunSettings& settings);

/// Two names of one file: the same text, or the same existing file reached
/// by two paths ("./a.txt" and "a.txt").
bool same_file(const std::string& a, const std::string& b);

}  // namespace quorvel::instructions
