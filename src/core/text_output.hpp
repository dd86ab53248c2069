#pragma once

#include <string>

namespace quorvel::core {

/// Prints `text` on the console unchanged, then appends it to `file_name`.
/// A file that cannot be opened ends the run with status 3 after
/// "error in writing <text> : cannot open file" and a key press.
void echo_to_file(const std::string& file_name, const std::string& text);

/// Appends `text` to `file_name`, without console echo; same failure as
/// echo_to_file.
void append_to_file(const std::string& file_name, const std::string& text);

/// Creates `file_name` empty (replacing an old file). Returns false when it
/// cannot be created.
bool empty_file(const std::string& file_name);

/// True when `file_name` exists and can be opened for reading.
bool file_is_readable(const std::string& file_name);

}  // namespace quorvel::core
