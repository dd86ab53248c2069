#include "instructions/instruction_file.hpp"

#include <algorithm>
#include <cctype>

#include "core/arrays.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/text_output.hpp"
#include "input/open_retry.hpp"
#include "instructions/instruction_reader.hpp"

namespace quorvel::instructions {

// ---- Generic handlers: keywords that only store a name or a number. ----

// A number (inline data after the keyword line) or a file name. A negative
// number is a file name: negative class counts are given in a separate file.
void handle_source_or_inline(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  if (!is_inline_argument(word)) {
    set_file_source(context, record, word);
    return;
  }
  int count = 0;
  // The reader takes the count from this line: it must be a whole number alone.
  if (read_line_numbers(after_keyword_text(line, record.keyword), &count, 1, record.keyword, context.instruction_file,
                        context.source.line_number) < 1) {
    stop_missing_argument(record);
  }
  set_inline_source(context, record, {count});
}

// A file name, or nothing for a matrix written after the keyword line.
void handle_file_or_following_block(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (word_after_keyword(line, record.keyword, word)) {
    set_file_source(context, record, word);
  } else {
    set_inline_source(context, record, {});
  }
}

void handle_source_file(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  set_file_source(context, record, word);
}

// A file that only a name after the keyword gives: nothing named, the
// keyword is ignored.
void handle_optional_source(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (word_after_keyword(line, record.keyword, word)) set_file_source(context, record, word);
}

void handle_required_name(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  context.settings.*record.name = word;
  if (record.named_by) context.settings.*record.named_by = record.keyword;
}

// A clade is matched against node names, which are kept to the name limit.
void handle_clade_name(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  context.settings.*record.name = word.substr(0, kNameLimit);
}

// An optional output: without a name it goes to the main result file ("1").
void handle_optional_output(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  context.settings.*record.name = word_after_keyword(line, record.keyword, word) ? word : "1";
}

// The main result file is only recorded here; "MAIN RESULT FILE" empties it
// once the whole instruction file has been read and checked, so that a run
// stopped by a mistake in the instructions destroys no earlier results.
void handle_main_result_file(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  handle_required_name(context, line, record);
  context.settings.empty_main_result_file = true;
}

void handle_add_to_main_result_file(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  handle_required_name(context, line, record);
  context.settings.empty_main_result_file = false;
}

namespace {

void read_count(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  int value = 0;
  if (read_line_numbers(after_keyword_text(line, record.keyword), &value, 1, record.keyword, context.instruction_file,
                        context.source.line_number) < 1) {
    stop_missing_argument(record);
  }
  context.settings.*record.count = value;
}

}  // namespace

// A number of randomizations: 0 requests no test; a negative number or one
// too large for the stores of the test is refused.
void handle_randomizations(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  read_count(context, line, record);
  check_randomizations(record.keyword, context.settings.*record.count);
}

void handle_positive_count(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  read_count(context, line, record);
  if (context.settings.*record.count <= 0) stop_missing_argument(record);
}

// "ANALYSIS LEVEL" INDIVIDUALS or PLOTS: the answer to the level question
// asked when individuals stand in groups at a few positions.
void handle_analysis_level(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  if (word == "INDIVIDUALS") {
    context.settings.*record.count = 1;
  } else if (word == "PLOTS") {
    context.settings.*record.count = 3;
  } else {
    stop_missing_argument(record);
  }
}

// Plots are weighted equally (0), by their totals (1) or by the totals of the
// pair (2): another number is a mistake, not a fourth weighting.
void handle_plot_weighting(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  read_count(context, line, record);
  const int weighting = context.settings.*record.count;
  if (weighting < 0 || weighting > 2) {
    core::stop_run(core::format("\n\nERROR: \"PLOT WEIGHTING\" is followed by %d: give 0 (equal weights), 1 or 2 "
                                "(weights from the plot totals).\nPress any key to stop.",
                                weighting),
                   core::kStoppedStatus);
  }
}

void handle_threads(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  handle_positive_count(context, line, record);
  const int threads = context.settings.*record.count;
  if (threads > kMaxThreads) {
    core::stop_run(core::format("\n\nERROR: \"THREADS\" asks for %d threads: at most %d are possible.\nPress any "
                                "key to stop.",
                                threads, kMaxThreads),
                   core::kStoppedStatus);
  }
}

// "RANDOMIZATION SLICE" k K: this run evaluates slice k of the K slices of
// the randomizations (the command line's --slice k/K).
void handle_randomization_slice(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  int numbers[2] = {0, 0};
  if (read_line_numbers(after_keyword_text(line, record.keyword), numbers, 2, record.keyword, context.instruction_file,
                        context.source.line_number) < 2 ||
      numbers[0] < 1 || numbers[0] > numbers[1] || numbers[1] > kMaxSlices) {
    stop_missing_argument(record);
  }
  context.settings.slice_number = numbers[0];
  context.settings.slice_count = numbers[1];
}

// Divergence intervals are given by their upper limits, the first of which is
// the interval of divergence 0: at least one is needed, and the partition by
// interval is sized by their number. A number (even negative) is a count
// here, never a file name; the count of a file is checked with the data.
void handle_divergence_intervals(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  int count = 0;
  if (!scan_count(word.c_str(), count)) {
    if (is_inline_argument(word)) stop_missing_argument(record);  // "3x": a count must be a whole number
    set_file_source(context, record, word);
    return;
  }
  read_line_numbers(after_keyword_text(line, record.keyword), &count, 1, record.keyword, context.instruction_file,
                    context.source.line_number);
  set_inline_source(context, record, {count});
  if (count < 1) {
    core::stop_run(core::format("\n\nERROR: \"DIVERGENCE INTERVALS\" announces %d intervals: at least 1 is needed "
                                "(the intervals are given by their upper limits, the first being 0).\nPress any key "
                                "to stop.",
                                count),
                   core::kStoppedStatus);
  }
}

namespace {

// The keyword of a line that lengthens it with letters ("WRITE NEXUS TREES",
// whose argument would be read as "S"), or nullptr. "INDIVIDUALS" is the
// keyword line of the individual list itself.
const char* lengthened_keyword(const std::string& line, const KeywordRecord& record) {
  const char* after = after_keyword_text(line, record.keyword);
  if (!after || !std::isalpha(static_cast<unsigned char>(*after))) return nullptr;
  if (std::string(record.keyword) == "INDIVIDUAL" && *after == 'S') return nullptr;
  return record.keyword;
}

// A line as a message shows it: without its line end, cut when very long.
std::string line_text(const std::string& line) {
  std::string text = line.substr(0, std::min<std::size_t>(line.find_first_of("\r\n"), 80));
  return text;
}

// Every count 0, every name empty, the test tables at their full range.
RunSettings empty_settings() {
  RunSettings settings;
  settings.test_species_pool = core::vector(1, kMaxPhylogenyTests);
  settings.test_restriction = core::vector(1, kMaxPhylogenyTests);
  settings.test_age_limit = core::vector(1, kMaxPhylogenyTests);
  settings.test_clade_names = core::name_table(1, kMaxPhylogenyTests);
  return settings;
}

}  // namespace

RunSettings read_instruction_file(const std::string& instruction_file) {
  RunSettings settings = empty_settings();
  LineSource source;
  source.name = instruction_file;
  input::open_with_warning(source.file, instruction_file,
                           core::format("\nWarning: cannot open inputfile %s.\nIf it is being used by another "
                                        "application, close it first.\nIf it does not exist in the specified "
                                        "directory, bring it first.\nThen press Return.\n",
                                        instruction_file.c_str()));
  InstructionContext context{instruction_file, source, settings};
  std::string line;
  std::string lookalikes;
  while (source.read(line)) {
    const KeywordRecord* record = find_keyword(line);
    const char* keyword = record ? lengthened_keyword(line, *record) : resembled_keyword(line);
    if (record && !keyword) {
      context.keyword = record->keyword;
      record->handler(context, line, *record);
    } else if (keyword) {
      // Ignored, the line would drop a test, a table or a data set that the
      // user asked for: every such line is reported and the run stops.
      lookalikes += core::format(
          "\n\nERROR: line %d of %s, \"%s\", is not read as a keyword line but looks like the keyword \"%s\": "
          "write the keyword in capitals at the very start of the line, or begin a comment line with \"#\".",
          source.line_number, instruction_file.c_str(), line_text(line).c_str(), keyword);
    }
  }
  source.file.close();

  const std::string messages = lookalikes + final_check_messages(settings) +
                               output_conflict_messages(settings, instruction_file, settings.main_result_file);
  if (!messages.empty()) core::stop_run(messages + "\nPress any key to stop.", core::kStoppedStatus);
  return settings;
}

void prepare_main_result_file(const RunSettings& settings) {
  if (settings.empty_main_result_file) core::empty_file(settings.main_result_file);
}

}  // namespace quorvel::instructions
