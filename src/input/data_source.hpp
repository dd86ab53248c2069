#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/text_input.hpp"

namespace quorvel::input {

/// Where the data named by a keyword are read: a file of its own, or the
/// lines of the instruction file that follow the keyword line (inline data,
/// announced by the numbers written after the keyword).
struct DataSource {
  std::string file;          ///< file name; the instruction file for inline data; empty: none given
  int keyword_line = 0;      ///< inline data: the number of the keyword line (0 for a file of its own)
  std::vector<int> numbers;  ///< inline data: the numbers after the keyword (0 where none was written)

  bool given() const { return !file.empty(); }
  bool is_inline() const { return keyword_line > 0; }
  /// The k-th number after the keyword (0 when not written).
  int number(std::size_t k) const { return k < numbers.size() ? numbers[k] : 0; }
};

/// Opens the instruction file holding the inline data of `source` and reads
/// it up to the keyword line: the next line read is the first of the data.
void open_inline_data(core::TextInput& file, const DataSource& source);

}  // namespace quorvel::input
