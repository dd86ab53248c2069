// Counts on keyword lines that cannot stand for data.

#include "core/errors.hpp"
#include "core/format.hpp"
#include "instructions/instruction_reader.hpp"

namespace quorvel::instructions {

void refuse_negative_count(const KeywordRecord& record, const std::string& word) {
  int count = 0;
  if (!word.empty() && word[0] == '-' && scan_count(word.c_str(), count)) check_not_negative(record.keyword, count, "");
}

void check_randomizations(const char* keyword, int count) {
  if (count < 0) {
    core::stop_run(core::format("\n\nERROR: \"%s\" asks for %d randomizations: the number cannot be negative (0 "
                                "requests no test).\nPress any key to stop.",
                                keyword, count),
                   core::kStoppedStatus);
  }
  if (count > kMaxRandomizations) {
    core::stop_run(core::format("\n\nERROR: \"%s\" asks for %d randomizations: at most %d are possible.\nPress any "
                                "key to stop.",
                                keyword, count, kMaxRandomizations),
                   core::kStoppedStatus);
  }
}

}  // namespace quorvel::instructions
