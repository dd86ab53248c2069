#pragma once

#include <string>
#include <vector>

#include "driver/run_driver.hpp"
#include "support/test_support.hpp"

namespace quorvel::driver {

/// Runs the whole program in the current folder on `instruction_file`, as
/// the command line would; returns the exit status.
inline int run_quorvel(const std::string& instruction_file) {
  std::vector<std::string> arguments = {"quorvel", instruction_file};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  return run_program(static_cast<int>(argv.size()), argv.data());
}

using testing::tab_cells;
using testing::text_lines;

}  // namespace quorvel::driver
