#include <cstdlib>
#include <utility>

#include "core/errors.hpp"
#include "input/open_retry.hpp"
#include "instructions/instruction_reader.hpp"

namespace quorvel::instructions {

void stop_missing_argument(const KeywordRecord& record) {
  core::stop_run(record.missing_argument_message, core::kStoppedStatus);
}

void open_data_block(DataBlock& block, InstructionContext& context, const std::string& word, const char* what) {
  // "-5" is neither inline data nor, in all likelihood, a file: a negative count.
  int count = 0;
  if (!word.empty() && word[0] == '-' && scan_count(word.c_str(), count)) {
    check_not_negative(context.keyword, count, "");
  }
  if (is_inline_argument(word)) {
    block.lines = &context.source;
    block.name = context.instruction_file;
    return;
  }
  input::open_data_file(block.file.file, word, what);
  block.file.name = word;
  block.lines = &block.file;
  block.name = word;
}

input::DataSource inline_data(const InstructionContext& context, std::vector<int> numbers) {
  input::DataSource source;
  source.file = context.instruction_file;
  source.keyword_line = context.source.line_number;
  source.numbers = std::move(numbers);
  return source;
}

void skip_inline_lines(InstructionContext& context, long long count) {
  std::string line;
  for (long long k = 0; k < count && context.source.read(line); ++k) {
  }
}

}  // namespace quorvel::instructions
