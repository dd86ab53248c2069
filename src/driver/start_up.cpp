#include "driver/start_up.hpp"

#include <unistd.h>

#include <algorithm>

#include "core/console.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_session.hpp"
#include "core/text_input.hpp"
#include "core/text_output.hpp"
#include "input/field_reading.hpp"
#include "instructions/instruction_dialogue.hpp"

namespace quorvel::driver {

using core::console_print;
using core::format;

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
    if (name.empty()) instructions::create_instruction_file(name);
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

}  // namespace quorvel::driver
