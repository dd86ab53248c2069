#pragma once

#include <filesystem>
#include <string>

#include "instructions/instruction_file.hpp"
#include "instructions/run_settings.hpp"
#include "support/test_support.hpp"

namespace quorvel::instructions {

/// Runs each test in a fresh working folder; `read` writes an instruction
/// file there and reads it.
class InstructionTest : public testing::WorkDirTest {
 protected:
  RunSettings read(const std::string& text, const std::string& name = "instr.txt") {
    testing::write_file(name, text);
    return read_instruction_file(name);
  }

  /// Copies a folder of tests/data into the working folder.
  void copy_data(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(testing::data_path(folder))) {
      std::filesystem::copy_file(entry.path(), entry.path().filename());
    }
  }
};

/// A source as the tests compare it: the file name, followed for inline data
/// by ":" the keyword line and the numbers after the keyword ("instr.txt:1 3 2").
inline std::string source_text(const input::DataSource& source) {
  std::string text = source.file;
  if (!source.is_inline()) return text;
  text += ":" + std::to_string(source.keyword_line);
  for (const int number : source.numbers) text += " " + std::to_string(number);
  return text;
}

}  // namespace quorvel::instructions
