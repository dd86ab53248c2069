#include "input/data_source.hpp"

#include "input/open_retry.hpp"

namespace quorvel::input {

void open_inline_data(core::TextInput& file, const DataSource& source) {
  open_file_generic(file, source.file);
  std::string line;
  while (file.line_number() < source.keyword_line && file.read_line(line)) {
  }
}

}  // namespace quorvel::input
