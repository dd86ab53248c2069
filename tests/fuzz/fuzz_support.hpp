#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quorvel::fuzz {

// Shared harness of the reader fuzz targets. Every target writes the fuzzed
// bytes to a file of a private working folder and reads it as a run would.
// A FatalError (the error model's way of ending a run) is a normal outcome;
// a crash, a sanitizer report, a leak, a hang or a huge allocation is a
// finding.

/// Prepares the process on first use: a private working folder (every file
/// the readers or writers create stays in it) and a console that prints
/// nowhere and is at end of input, so that no pause or question can block.
void prepare();

/// Writes the fuzzed bytes to `name` in the working folder.
void write_input(const std::string& name, const std::uint8_t* data, std::size_t size);

/// Runs `action`; a FatalError ends it like it ends a run, and is dropped.
void run_guarded(const std::function<void()>& action);

/// Reads the instruction file `text` (written as "instr.txt") and loads every
/// data set it names, as a run does before its analyses.
void load_as_run(const std::string& text);

/// Path of a shared data set file (tests/data/sets/<set>/<file>).
std::string data_set_file(const std::string& set, const std::string& file);

}  // namespace quorvel::fuzz
