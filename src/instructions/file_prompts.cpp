#include "instructions/file_prompts.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "core/console.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_session.hpp"
#include "core/text_input.hpp"
#include "core/text_output.hpp"
#include "input/field_reading.hpp"
#include "instructions/instruction_dialogue.hpp"
#include "instructions/run_settings.hpp"

namespace quorvel::instructions {

using core::console_print;
using core::format;

namespace {

// A mistake on the command line: said at once, without waiting for a key.
[[noreturn]] void refuse_command_line(const std::string& message) {
  throw core::FatalError(message, core::kStoppedStatus, false, false);
}

// "k/K" with 1 <= k <= K <= kMaxSlices.
bool read_slice_argument(const std::string& text, int& k, int& K) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos || slash == 0 || slash + 1 == text.size() || slash > 7 || text.size() - slash > 8) {
    return false;
  }
  for (std::size_t j = 0; j < text.size(); ++j) {
    if (j != slash && (text[j] < '0' || text[j] > '9')) return false;
  }
  k = std::stoi(text.substr(0, slash));
  K = std::stoi(text.substr(slash + 1));
  return k >= 1 && k <= K && K <= kMaxSlices;
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& arguments) {
  CommandLine command_line;
  if (!arguments.empty() && arguments[0] == "--help") {
    command_line.action = CommandLine::Action::kHelp;
    return command_line;
  }
  if (!arguments.empty() && arguments[0] == "--version") {
    command_line.action = CommandLine::Action::kVersion;
    return command_line;
  }
  for (std::size_t j = 0; j < arguments.size(); ++j) {
    const std::string& argument = arguments[j];
    if (argument == "--slice") {
      if (j + 1 == arguments.size() ||
          !read_slice_argument(arguments[j + 1], command_line.slice_number, command_line.slice_count)) {
        refuse_command_line(
            format("\nERROR: --slice must be followed by k/K, slice k of K slices (1 <= k <= K), as "
                   "in --slice 3/8%s.\n",
                   j + 1 == arguments.size() ? "" : format(", not by \"%s\"", arguments[j + 1].c_str()).c_str()));
      }
      ++j;
    } else if (argument == "--merge") {
      if (arguments.size() < j + 3) {
        refuse_command_line(
            "\nERROR: --merge must be followed by the instruction file and the slice files, as in --merge instr.txt "
            "results.txt.slice-*-of-8.\n");
      }
      command_line.merge = true;
      command_line.arguments = {arguments[j + 1]};
      for (std::size_t s = j + 2; s < arguments.size(); ++s) {
        command_line.slice_names.push_back(arguments[s]);
        std::error_code error;
        const std::filesystem::path path = std::filesystem::absolute(arguments[s], error);
        command_line.slice_paths.push_back(error ? arguments[s] : path.string());
      }
      break;
    } else if (argument.compare(0, 2, "--") == 0) {
      refuse_command_line(
          format("\nERROR: unknown option \"%s\": the options are --slice, --merge, --help and "
                 "--version (see quorvel --help).\n",
                 argument.c_str()));
    } else {
      command_line.arguments.push_back(argument);
    }
  }
  if (command_line.merge && command_line.slice_number > 0) {
    refuse_command_line(
        "\nERROR: --slice and --merge cannot be given together: the slices are made first, then "
        "merged.\n");
  }
  return command_line;
}

int slice_threads(int n_threads, const char* slurm_cpus) {
  if (n_threads > 0 || !slurm_cpus) return n_threads;
  const std::string text(slurm_cpus);
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
  const int cpus = std::stoi(text);
  return cpus >= 1 && cpus <= instructions::kMaxThreads ? cpus : 0;
}

void split_instruction_path(const std::string& path, std::string& folder, std::string& file_name) {
  const std::size_t separator = path.find_last_of("/\\");
  if (separator == std::string::npos) {
    folder.clear();
    file_name = path;
  } else {
    folder = path.substr(0, separator == 0 ? 1 : separator);
    file_name = path.substr(separator + 1);
  }
}

namespace {

// First word of an answer, or empty.
std::string first_word(const std::string& line) {
  std::string word;
  input::scan_word(line.c_str(), word);
  return word;
}

constexpr const char* kInstructionPrompt =
    "\n\nEnter the name of the instruction file (with ext)\n  or press RETURN to create a new instruction file\n\n"
    "  Instruction file: ";

}  // namespace

std::string ask_instruction_file_name(const std::vector<std::string>& arguments) {
  std::string name;
  console_print("\n\n\n\nINSTRUCTION FILE NAME");
  if (!arguments.empty()) {
    std::string folder;
    split_instruction_path(arguments[0], folder, name);
    // Paths written with "\" (as on Windows) work here too.
    std::replace(folder.begin(), folder.end(), '\\', '/');
    if (!folder.empty() && chdir(folder.c_str()) != 0) {
      // Keep the whole path, so that the file asked for is the one named,
      // never a file of the same name in the current folder.
      console_print(format("\n\nWARNING: Cannot change to the folder \"%s\"\n", folder.c_str()));
      name = folder + "/" + name;
    }
    console_print(format("\n\n  Instruction file: %s", name.c_str()));
  }
  while (name.empty()) {
    console_print(kInstructionPrompt);
    name = first_word(core::console_ask_line(kInstructionPrompt));
    // An empty answer: a new instruction file is built through menus.
    if (name.empty()) create_instruction_file(name);
  }
  core::TextInput probe;
  while (!probe.open(name)) {
    const std::string warning = format(
        "\n\nWARNING: Cannot open instruction file \"%s\"\n  If it is being used by another application, close it "
        "first, then press Return\n  Otherwise enter a new name for the instruction file\n",
        name.c_str());
    console_print(warning);
    const std::string answer = first_word(core::console_ask_line(warning));
    if (!answer.empty()) name = answer;
  }
  return name;
}

std::string ask_result_file_name(const std::vector<std::string>& arguments,
                                 const std::function<std::string(const std::string&)>& refusal,
                                 bool ask_about_content) {
  std::string name;
  if (arguments.size() < 2) {
    console_print(
        "\n\n\nEnter the name of the results file (with ext)\n  or press RETURN for the default results file "
        "\"out.txt\"\n\n  Results file: ");
    std::string line;
    core::console_read_line(line);  // end of input: the default name
    name = first_word(line);
    if (name.empty()) {
      name = "out.txt";
      console_print(name);
    }
  } else {
    name = arguments[1];
    console_print(format("\n  Results file: %s", name.c_str()));
  }
  for (;;) {
    // A results file that is one of the run's own inputs would be erased or
    // mixed with data: ask for another name before touching it.
    for (std::string message = refusal ? refusal(name) : ""; !message.empty(); message = refusal ? refusal(name) : "") {
      const std::string question = message + "\n  Enter a new name for the results file\n";
      console_print(question);
      const std::string answer = first_word(core::console_ask_line(question));
      if (!answer.empty()) name = answer;
    }
    if (!ask_about_content) return name;
    while (core::file_is_readable(name)) {
      console_print(format(
          "\n\n\nWARNING: The results file \"%s\" already exists.\n  Enter 'a' or press Return to add the new results "
          "to the end of the file\n  Enter 'e' to erase the present content of the file\n  Otherwise, enter a new "
          "name for the results file\n",
          name.c_str()));
      std::string line;
      core::console_read_line(line);  // end of input: keep the content and append
      const std::string answer = first_word(line);
      if (answer.empty() || answer == "a" || answer == "A") break;
      if (answer == "e" || answer == "E") {
        core::empty_file(name);
        break;
      }
      name = answer;
    }
    // Append mode never erases; during a run the test is made on the file the
    // results are written to meanwhile, so that nothing is created or changed
    // before the run has gone to its end.
    const std::string path = core::output_path(name);
    std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "a");
    if (file) {
      std::fclose(file);
      return name;
    }
    const std::string warning = format(
        "\nWARNING: Cannot open results file \"%s\".\nIf it is being used by another application, close it first. "
        "Then press Return.\n  Otherwise, enter a new name for the results file\n",
        name.c_str());
    console_print(warning);
    const std::string answer = first_word(core::console_ask_line(warning));
    if (!answer.empty()) name = answer;
  }
}

int ask_analysis_level(int keyword, int n_individuals, int n_groups) {
  if (!(n_groups > 1 && n_groups < n_individuals)) return 1;
  if (keyword != 0) return keyword;
  console_print(
      format("\n\nAnalysis at the \n\t1- Individual level (%i individuals)\n\t2- Plot level (%i "
             "spatial groups)\n",
             n_individuals, n_groups));
  std::string answer;
  if (!core::console_read_line(answer)) answer.clear();
  int choice = 0;
  return std::sscanf(answer.c_str(), "%d", &choice) == 1 && choice == 1 ? 1 : 3;
}

}  // namespace quorvel::instructions
