#pragma once

#include <functional>
#include <string>
#include <vector>

// The command line and the console questions of a run's start: which
// instruction file, which main result file, which analysis level.

namespace quorvel::instructions {

/// What "--help" shows: the command line, its options and the exit statuses.
inline constexpr const char* kCommandLineUsage =
    "Usage: quorvel [INSTRUCTION_FILE [RESULT_FILE]]\n"
    "\n"
    "Runs the analysis described by INSTRUCTION_FILE, a text file of keyword lines\n"
    "(see the user guide, docs/guide.md). The program changes to the folder of\n"
    "INSTRUCTION_FILE, reads the data files it names there and writes its results\n"
    "to the main result file: the one named by \"MAIN RESULT FILE\" (a complete run\n"
    "replaces its content) or \"ADD TO MAIN RESULT FILE\" (a complete run appends to\n"
    "it) in the instruction file, else RESULT_FILE, else the name asked for on the\n"
    "console (\"out.txt\" by default); when that file exists, you are asked whether\n"
    "to append to it (the default) or erase it.\n"
    "Without arguments the program asks for the instruction file.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "\n"
    "Exit status:\n"
    "  0    the run went to its end (\"Analyses finished\" in the main result file)\n"
    "  1    a data file could not be read (the message is also in error.txt),\n"
    "       or a file lacks the keyword line it must hold\n"
    "  2    standard input ended where the run needed an answer\n"
    "  3    the run was stopped by an error in the instruction file or the data,\n"
    "       or by an output that cannot be written (a full disk, a file-size limit)\n"
    "  22   the tree text cannot be read\n"
    "  87   a field longer than the program accepts\n"
    "  101  errors in the species traits\n"
    "Any other non-zero status also means that the run stopped before its end\n"
    "(128 + the signal's number for a run ended by a signal: 130 for Ctrl+C).\n"
    "A run that stops leaves the result files of earlier runs as they were.\n";

/// Splits a command-line path into its folder (up to the last "/" or "\",
/// empty when there is none) and its file name.
void split_instruction_path(const std::string& path, std::string& folder, std::string& file_name);

/// Obtains the instruction file: from the first argument (changing to its
/// folder) or from the prompt, then checks that it can be opened, asking again
/// while it cannot. `arguments` excludes the program name.
std::string ask_instruction_file_name(const std::vector<std::string>& arguments);

/// Obtains the main result file when the instruction file named none: from the
/// second argument or the prompt ("out.txt" by default), with the question
/// whether to append to or erase an existing file. At end of input the file
/// is kept and results are appended: nothing is erased by a default.
/// `refusal`, when given, returns a message for a name that must not be used
/// (a file the run reads); another name is then asked before anything is
/// erased.
std::string ask_result_file_name(const std::vector<std::string>& arguments,
                                 const std::function<std::string(const std::string&)>& refusal = {});

/// Individuals standing in groups at a few positions (1 < n_groups <
/// n_individuals) may be analysed one by one (level 1) or as plots made of
/// the groups (level 3): "ANALYSIS LEVEL" (`keyword`, 0 when not given)
/// answers in batch runs, otherwise the console; at end of input the answer
/// is that of an empty line (level 3). Without such groups, level 1.
int ask_analysis_level(int keyword, int n_individuals, int n_groups);

}  // namespace quorvel::instructions
