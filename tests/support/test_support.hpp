#pragma once

#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/arrays.hpp"
#include "core/errors.hpp"

namespace quorvel::testing {

/// Path of a file under tests/data.
std::string data_path(const std::string& relative);

/// Reads a whole file; empty when it cannot be read.
std::string read_file(const std::string& path);

/// Writes `text` to `path` (replacing it).
void write_file(const std::string& path, const std::string& text);

/// A name table [0..n] holding `list` at 1..n (entry 0 empty).
core::NameTable name_list(const std::vector<std::string>& list);

/// Runs each test in a fresh temporary working directory (removed after),
/// with the console reading `console_input` and writing to a buffer.
class WorkDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  /// Replaces what the console will read from now on.
  void set_console_input(const std::string& text);
  /// What the console has printed so far.
  std::string console_output();

  std::string work_dir_;

 private:
  std::string old_dir_;
  std::FILE* input_ = nullptr;
  std::FILE* output_ = nullptr;
};

/// Runs `action`, which must end the run; returns the FatalError it threw.
/// Fails the test when it returns normally.
core::FatalError expect_fatal(const std::function<void()>& action);

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

}  // namespace quorvel::testing

/// Asserts that `statement` stops the run with exactly `message` and `status`.
#define EXPECT_STOPS(statement, expected_message, expected_status)                                             \
  do {                                                                                                         \
    const ::quorvel::core::FatalError quorvel_error_ = ::quorvel::testing::expect_fatal([&]() { statement; }); \
    EXPECT_EQ(std::string(quorvel_error_.what()), std::string(expected_message));                              \
    EXPECT_EQ(quorvel_error_.status(), (expected_status));                                                     \
  } while (0)
