#pragma once

#include <string>

namespace quorvel::core {

/// printf-style formatting into a string ("C" locale: the program never
/// changes it, so decimal points are always ".").
std::string format(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// One result cell: the value through `format` (one conversion of a double),
/// or an empty text for MISSING_VALUE and other non-finite values.
std::string format_cell(const char* format, double value);

/// A tab and the cell of `value`: one column of a tab-separated report line.
std::string tab_cell(const char* format, double value);

/// A single-precision table value as a double; MISSING_VALUE and every
/// other non-finite value stay missing.
double float_value(float value);

/// The local time in its standard 24-character text form followed by a line
/// break ("Mon Dec  7 08:01:15 2026\n").
std::string local_time_text();

}  // namespace quorvel::core
