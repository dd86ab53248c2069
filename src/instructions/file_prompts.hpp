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
    "       quorvel --slice k/K INSTRUCTION_FILE [RESULT_FILE]\n"
    "       quorvel --merge INSTRUCTION_FILE SLICE_FILE...\n"
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
    "  --slice k/K  evaluate only slice k of K of the randomizations (the\n"
    "               randomizations i of every test with i mod K = k - 1) and\n"
    "               write their values to <main result file>.slice-k-of-K\n"
    "               instead of the results; the instruction file must give\n"
    "               RANDOM SEED. Without THREADS, a slice uses the number of\n"
    "               threads in SLURM_CPUS_PER_TASK when it is set.\n"
    "  --merge      write the results of the whole run from its K slice files\n"
    "               (in any order), evaluating no randomization again: the\n"
    "               same results as one run on one machine\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "\n"
    "Exit status:\n"
    "  0    the run went to its end (\"Analyses finished\" in the main result file;\n"
    "       for a slice: its slice file is written)\n"
    "  1    a data file could not be read (the message is also in error.txt),\n"
    "       or a file lacks the keyword line it must hold\n"
    "  2    standard input ended where the run needed an answer\n"
    "  3    the run was stopped by an error on the command line, in the\n"
    "       instruction file or the data, by slice files that are not the\n"
    "       slices of the run, or by an output that cannot be written (a full\n"
    "       disk, a file-size limit)\n"
    "  22   the tree text cannot be read\n"
    "  87   a field longer than the program accepts\n"
    "  101  errors in the species traits\n"
    "Any other non-zero status also means that the run stopped before its end\n"
    "(128 + the signal's number for a run ended by a signal: 130 for Ctrl+C).\n"
    "A run that stops leaves the result files of earlier runs as they were.\n";

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

/// The threads of a slice run: "THREADS" `n_threads` when given, else
/// SLURM_CPUS_PER_TASK (`slurm_cpus`, may be null) when it is a number of
/// threads, else 0 (one per core). Slurm's task/none does not bind a job to
/// its cores, so without either a slice would start one thread per core of
/// the whole node.
int slice_threads(int n_threads, const char* slurm_cpus);

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
/// erased. A slice of the randomizations writes nothing to the file, only
/// names its slice file after it: `ask_about_content` false asks nothing
/// about the file's content.
std::string ask_result_file_name(const std::vector<std::string>& arguments,
                                 const std::function<std::string(const std::string&)>& refusal = {},
                                 bool ask_about_content = true);

/// Individuals standing in groups at a few positions (1 < n_groups <
/// n_individuals) may be analysed one by one (level 1) or as plots made of
/// the groups (level 3): "ANALYSIS LEVEL" (`keyword`, 0 when not given)
/// answers in batch runs, otherwise the console; at end of input the answer
/// is that of an empty line (level 3). Without such groups, level 1.
int ask_analysis_level(int keyword, int n_individuals, int n_groups);

}  // namespace quorvel::instructions
