#include "core/text_output.hpp"

#include <cstdio>
#include <memory>

#include "core/console.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"

namespace quorvel::core {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

void append_or_stop(const std::string& file_name, const std::string& text) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(file_name.c_str(), "a"));
  if (!file) {
    // The text, not the file name, is what the user is shown: it is the
    // report that could not be saved.
    stop_run("error in writing " + text + " : cannot open file", kStoppedStatus);
  }
  std::fwrite(text.data(), 1, text.size(), file.get());
}

}  // namespace

void echo_to_file(const std::string& file_name, const std::string& text) {
  console_print(text);
  append_or_stop(file_name, text);
}

void append_to_file(const std::string& file_name, const std::string& text) { append_or_stop(file_name, text); }

bool empty_file(const std::string& file_name) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(file_name.c_str(), "w"));
  return static_cast<bool>(file);
}

namespace {

bool can_append(const std::string& file_name) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(file_name.c_str(), "a"));
  return static_cast<bool>(file);
}

}  // namespace

void wait_for_results_file(const std::string& file_name) {
  while (!can_append(file_name)) {
    const std::string warning = format(
        "\nWARNING: Cannot open results file %c%s%c.\nIf it is being used by another application, close it first. "
        "Then press Return.\n",
        '"', file_name.c_str(), '"');
    console_print(warning);
    console_ask_line(warning);
  }
}

void wait_for_output_file(const std::string& file_name) {
  while (!can_append(file_name)) {
    const std::string warning = format(
        "\nWarning: cannot open output file %s.\nIf it is being used by another application, close it first. Then "
        "press Return.\n",
        file_name.c_str());
    console_print(warning);
    wait_for_key_or_stop(warning);
  }
}

bool file_is_readable(const std::string& file_name) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(file_name.c_str(), "r"));
  return static_cast<bool>(file);
}

}  // namespace quorvel::core
