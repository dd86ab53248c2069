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
    RunSettings settings;
    read_instruction_file(name, settings);
    return settings;
  }

  /// Copies a folder of tests/data into the working folder.
  void copy_data(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(testing::data_path(folder))) {
      std::filesystem::copy_file(entry.path(), entry.path().filename());
    }
  }
};

}  // namespace quorvel::instructions
