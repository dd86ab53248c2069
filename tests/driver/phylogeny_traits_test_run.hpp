#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "driver/run_driver.hpp"

namespace quorvel::driver {

/// Runs the whole program in the current folder on `instruction_file`, as
/// the command line would; returns the exit status.
inline int run_quorvel(const std::string& instruction_file) {
  std::vector<std::string> arguments = {"quorvel", instruction_file};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  return run_program(static_cast<int>(argv.size()), argv.data());
}

/// The lines of a text, without their line ends.
inline std::vector<std::string> text_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

/// The tab-separated cells of a line.
inline std::vector<std::string> tab_cells(const std::string& line) {
  std::vector<std::string> cells;
  std::size_t start = 0;
  for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
    cells.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  cells.push_back(line.substr(start));
  return cells;
}

}  // namespace quorvel::driver
