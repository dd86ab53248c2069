#pragma once

#include <string>

#include "core/text_input.hpp"

namespace quorvel::input {

// Opening a data file. A file that cannot be opened is never an error by
// itself: the user is told and the program tries again once they have closed
// the other application or brought the file. With no user left (standard
// input ended) the run stops with the warning and status 2 instead of looping.

/// "\nWarning: cannot open the file containing <what> \"<name>\".\n..." then one
/// key press, then retry. `what` is e.g. "the plot list".
void open_data_file(core::TextInput& file, const std::string& file_name, const std::string& what);

/// "\nWarning: cannot open the file \"<name>\".\n..." then one key press, then retry.
void open_file_generic(core::TextInput& file, const std::string& file_name);

/// The Return family: "\nWARNING: Cannot open data file \"<name>\"..." (or
/// "Cannot open file" when `data_file` is false), then a whole input line.
void open_file_wait_return(core::TextInput& file, const std::string& file_name, bool data_file);

/// Opens `file_name`, showing `warning` and waiting for a key between tries.
void open_with_warning(core::TextInput& file, const std::string& file_name, const std::string& warning);

}  // namespace quorvel::input
