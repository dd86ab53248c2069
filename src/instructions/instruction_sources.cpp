// The sources of the data keywords: a file, or inline data after the keyword
// line, whose lines the reader passes over.

#include <utility>

#include "core/errors.hpp"
#include "instructions/instruction_reader.hpp"

namespace quorvel::instructions {

void stop_missing_argument(const KeywordRecord& record) {
  core::stop_run(record.missing_argument_message, core::kStoppedStatus);
}

namespace {

void set_source(InstructionContext& context, const KeywordRecord& record, input::DataSource source) {
  context.settings.*record.source = std::move(source);
  if (record.named_by) context.settings.*record.named_by = record.keyword;
}

}  // namespace

void set_inline_source(InstructionContext& context, const KeywordRecord& record, std::vector<int> numbers) {
  input::DataSource source;
  source.file = context.instruction_file;
  source.keyword_line = context.source.line_number;
  source.numbers = std::move(numbers);
  set_source(context, record, std::move(source));
}

void set_file_source(InstructionContext& context, const KeywordRecord& record, const std::string& file) {
  input::DataSource source;
  source.file = file;
  set_source(context, record, std::move(source));
}

bool read_inline_numbers(InstructionContext& context, const std::string& line, const KeywordRecord& record,
                         int* numbers, int count, int* read) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  refuse_negative_count(record, word);
  if (!is_inline_argument(word)) {
    set_file_source(context, record, word);
    return false;
  }
  const int n = read_line_numbers(after_keyword_text(line, record.keyword), numbers, count, record.keyword,
                                  context.instruction_file, context.source.line_number);
  if (read) *read = n;
  return true;
}

void skip_inline_lines(InstructionContext& context, long long count) {
  std::string line;
  for (long long k = 0; k < count && context.source.read(line); ++k) {
  }
}

}  // namespace quorvel::instructions
