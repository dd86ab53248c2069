#include "input/open_retry.hpp"

#include "core/console.hpp"
#include "core/format.hpp"

namespace quorvel::input {

namespace {

constexpr const char* kRetryAdvice =
    ".\nIf it is being used by another application, close it first.\n"
    "If it does not exist in the specified directory, bring it first.\nThen press Return.\n";

}  // namespace

void open_with_warning(core::TextInput& file, const std::string& file_name, const std::string& warning) {
  while (!file.open(file_name)) {
    core::console_print(warning);
    core::wait_for_key_or_stop(warning);
  }
}

void open_data_file(core::TextInput& file, const std::string& file_name, const std::string& what) {
  open_with_warning(file, file_name,
                    "\nWarning: cannot open the file containing " + what + " \"" + file_name + "\"" + kRetryAdvice);
}

void open_file_generic(core::TextInput& file, const std::string& file_name) {
  open_with_warning(file, file_name, "\nWarning: cannot open the file \"" + file_name + "\"" + kRetryAdvice);
}

void open_file_wait_return(core::TextInput& file, const std::string& file_name, bool data_file) {
  const std::string warning = core::format(
      "\nWARNING: Cannot open %s %c%s%c.\nIf it is being used by another application, close it first.\n"
      "If it does not exist in the specified directory, bring it first.\nThen press Return.\n"
      "Press Ctrl+c twice to stop the programm now.\n",
      data_file ? "data file" : "file", '"', file_name.c_str(), '"');
  while (!file.open(file_name)) {
    core::console_print(warning);
    core::console_ask_line(warning);
  }
}

}  // namespace quorvel::input
