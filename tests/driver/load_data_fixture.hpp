#pragma once

#include <string>

#include "driver/data_set.hpp"
#include "driver/load_data.hpp"
#include "instructions/instruction_file.hpp"
#include "support/test_support.hpp"

namespace quorvel::driver {

/// Runs each test in a fresh working folder; reads an instruction file there
/// and scans or loads the data it names, as a run does.
class LoadData : public testing::WorkDirTest {
 protected:
  /// Writes `text` as "instr.txt", reads it and scans the data files.
  DataHeaders scan(const std::string& text) {
    testing::write_file("instr.txt", text);
    settings_ = instructions::read_instruction_file("instr.txt");
    headers_ = scan_data_files(settings_);
    return headers_;
  }

  /// As scan, then loads the data (main result file "r.txt").
  DataSet load(const std::string& text) {
    scan(text);
    return load_data_set(settings_, headers_, ResolvedOutputs{"r.txt"});
  }

  instructions::RunSettings settings_;
  DataHeaders headers_;
};

}  // namespace quorvel::driver
