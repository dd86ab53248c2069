#pragma once

#include <string>

#include "instructions/run_settings.hpp"

namespace quorvel::instructions {

/// Reads the instruction file `instruction_file` once, from top to bottom:
/// every keyword line and the test definitions, then the final checks (the
/// data named can be analysed together, no output replaces an input or
/// another output). The data files it names are not opened here: their
/// headers are scanned when the data are loaded. The main result file named
/// by "MAIN RESULT FILE" is not touched here: see prepare_main_result_file.
/// Stops the run (core::FatalError) on every error the reader reports.
RunSettings read_instruction_file(const std::string& instruction_file);

/// Messages for every output of `settings` (the main result file
/// `main_result_file`, the optional tables, the files created anew and the
/// folders; "1" excepted) that cannot be written: a file the run reads (the
/// instruction file or a data source), another output it would replace, the
/// error log, a place outside the folder of the instruction file; empty when
/// there is none. The driver calls it again for a main result file asked for.
std::string output_conflict_messages(const RunSettings& settings, const std::string& instruction_file,
                                     const std::string& main_result_file);

/// Empties the main result file named by "MAIN RESULT FILE" ("ADD TO MAIN
/// RESULT FILE" keeps its content). Called once the instruction file has been
/// read and every check has passed, so that a refused run erases nothing.
void prepare_main_result_file(const RunSettings& settings);

/// Two names of one file: the same text, or the same existing file reached
/// by two paths ("./a.txt" and "a.txt").
bool same_file(const std::string& a, const std::string& b);

}  // namespace quorvel::instructions
