#include "input/interval_files.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/text_input.hpp"
#include "input/community_matrix.hpp"
#include "input/field_reading.hpp"
#include "input/keyword_lines.hpp"
#include "input/open_retry.hpp"

namespace quorvel::input {

namespace {

// What tells the three interval files apart: their keyword (and how much of
// it is compared when looking for the keyword line) and their messages.
struct IntervalFileKind {
  const char* keyword;
  int compared_length;
  const char* open_warning_start;  // leading line feeds and the opening words
  const char* contents;            // "distance intervals" and the like
  const char* too_many_word;       // "distance" or "time"
};

constexpr IntervalFileKind kDistanceIntervals{"DISTANCE INTERVALS", 17, "\n\nWarning", "distance intervals",
                                              "distance"};
constexpr IntervalFileKind kRegressionIntervals{"REGRESSION DISTANCE INTERVALS", 28, "\nWarning",
                                                "regression distance intervals", "distance"};
constexpr IntervalFileKind kDivergenceIntervals{"DIVERGENCE INTERVALS", 13, "\n\nWarning", "divergence intervals",
                                                "time"};

// Opens the file and reads its keyword line (required); returns the number
// of intervals it announces, checked against the limit.
int open_at_keyword(core::TextInput& file, const std::string& file_name, const IntervalFileKind& kind) {
  open_with_warning(file, file_name,
                    core::format("%s: cannot open the file containing %s \"%s\".\nIf it is being used by another "
                                 "application, close it first.\nIf it does not exist in the specified directory, "
                                 "bring it first.\nThen press Return.\n",
                                 kind.open_warning_start, kind.contents, file_name.c_str()));
  std::string line;
  if (!file.find_keyword_line(std::string(kind.keyword, static_cast<std::size_t>(kind.compared_length)), line)) {
    reader_error(core::format("\n\nERROR: %s not found in file \"%s\".\nNo line beginning with \"%s\" was found. "
                              "\nPress any key to stop the programm now.\n",
                              kind.contents, file_name.c_str(), kind.keyword),
                 1);
  }
  int n = 0;
  const char* after = nullptr;
  // The count fills the rest of the line: "5 m" or "5.5" is no count.
  if (!core::starts_with(line, kind.keyword) || !scan_int(line.c_str() + std::strlen(kind.keyword), n, &after) ||
      !is_blank_line(after)) {
    reader_error(core::format("\n\nERROR: In file \"%s\", no number of intervals follows \"%s\".\nPress any key "
                              "to stop",
                              file_name.c_str(), kind.keyword),
                 kDataStopStatus);
  }
  // Compared before any std::abs: -2147483648 has no absolute value in an int.
  if (n >= kIntervalCountLimit || n <= -kIntervalCountLimit) {
    reader_error(core::format("\n\nERROR:The number of %s intervals given (=%lld) is higher than max allowed "
                              "(=%d)\nPress any key to stop",
                              kind.too_many_word, std::llabs(static_cast<long long>(n)), kIntervalCountLimit),
                 kDataStopStatus);
  }
  return n;
}

// Walks the cells of the limits line. An empty cell counts as a missing
// limit: it is never read as the number of the cell after it.
// A limit is the whole cell: "2,5" or "10 km" stops the run naming the cell.
class LimitCells {
 public:
  LimitCells(const std::string& line, const std::string& file_name, int line_number)
      : line_(line), file_name_(file_name), line_number_(line_number), position_(nullptr) {}

  bool next(double& value) {
    if (position_ == nullptr) {
      position_ = line_.c_str();
    } else {
      const char* tab = std::strchr(position_, '\t');
      if (!tab) return false;
      position_ = tab + 1;
    }
    return read_number_cell(position_, value, file_name_, line_number_, line_.c_str()) == CellContent::kNumber;
  }

 private:
  const std::string& line_;
  const std::string& file_name_;
  int line_number_;
  const char* position_;
};

[[noreturn]] void stop_on_missing_limits(const IntervalFileKind& kind, int announced, int found) {
  reader_error(core::format("\n\nERROR: %d %s announced but only %d found. \nPress any key to stop", announced,
                            kind.contents, found),
               kDataStopStatus);
}

Intervals read_plain_intervals(const std::string& file_name, const IntervalFileKind& kind) {
  core::TextInput file;
  Intervals intervals;
  const int n_intervals = intervals.n = open_at_keyword(file, file_name, kind);
  core::DVector& limits = intervals.limits;
  limits = core::dvector(0, std::max(kIntervalCountLimit, std::abs(n_intervals) + 3));
  if (n_intervals <= 0) return intervals;
  std::string line;
  if (!file.read_line(line)) line.clear();
  LimitCells cells(line, file_name, file.line_number());
  for (int i = 1; i <= n_intervals; ++i) {
    if (!cells.next(limits[i])) stop_on_missing_limits(kind, n_intervals, i - 1);
  }
  return intervals;
}

}  // namespace

Intervals read_distance_intervals(const std::string& file_name) {
  return read_plain_intervals(file_name, kDistanceIntervals);
}

Intervals read_regression_intervals(const std::string& file_name) {
  return read_plain_intervals(file_name, kRegressionIntervals);
}

Intervals default_divergence_intervals() {
  Intervals intervals;
  intervals.n = 2;
  intervals.limits = core::dvector(0, 2);
  intervals.limits[1] = 0;
  intervals.limits[2] = 1;
  return intervals;
}

Intervals read_divergence_intervals(const std::string& file_name, float max_divergence) {
  core::TextInput file;
  Intervals intervals;
  int& n_intervals = intervals.n;
  core::DVector& limits = intervals.limits;
  const int announced = open_at_keyword(file, file_name, kDivergenceIntervals);
  if (announced < 1) {
    // Every pair of species falls in one divergence interval: without any,
    // the partition by interval has nowhere to put them.
    reader_error(core::format("\n\nERROR: The number of divergence intervals given in file \"%s\" (=%d) must be at "
                              "least 1.\nPress any key to stop",
                              file_name.c_str(), announced),
                 kDataStopStatus);
  }
  n_intervals = announced;
  limits = core::dvector(0, std::max(kIntervalCountLimit, std::abs(n_intervals) + 3));
  std::string line;
  if (!file.read_line(line)) line.clear();
  LimitCells cells(line, file_name, file.line_number());
  double value = 0;
  if (!cells.next(value)) stop_on_missing_limits(kDivergenceIntervals, announced, 0);
  limits[1] = 0;  // the first limit is 0, read or put there
  const auto check_increasing = [&limits](int i) {
    if (limits[i] <= limits[i - 1]) {
      reader_error(
          "\n\nERROR: divergence intervals must be given by increasing divergences. \nPress any key to "
          "stop",
          kDataStopStatus);
    }
  };
  int n_read = 1;
  int next = 2;
  if (value != 0) {
    // Interval 1 is always divergence 0 (pairs of conspecifics): a file
    // that starts above 0 gets that interval put first.
    ++n_intervals;
    limits[2] = value;
    check_increasing(2);
    next = 3;
  }
  for (int i = next; i <= n_intervals; ++i) {
    if (!cells.next(limits[i])) stop_on_missing_limits(kDivergenceIntervals, announced, n_read);
    ++n_read;
    check_increasing(i);
  }
  // Divergences above the last limit would fall in no interval: the last
  // interval then reaches the largest divergence between species.
  if (static_cast<double>(max_divergence) > limits[n_intervals]) {
    ++n_intervals;
    limits[n_intervals] = static_cast<double>(max_divergence);
  }
  return intervals;
}

void check_divergence_interval_count(const std::string& file_name) {
  core::TextInput file;
  std::string keyword_line;
  int count = 0;
  // A file that cannot be opened now is waited for by its reader.
  if (!file.open(file_name) || !file.find_keyword_line("DIVERGENCE IN", keyword_line) ||
      !scan_count(after_keyword_text(keyword_line, kDivergenceIntervals.keyword), count) || count >= 1) {
    return;
  }
  core::stop_run(core::format("\n\nERROR: \"DIVERGENCE INTERVALS\" in file %s announces %d intervals: at least 1 is "
                              "needed (the intervals are given by their upper limits, the first being 0).\nPress "
                              "any key to stop.",
                              file_name.c_str(), count),
                 core::kStoppedStatus);
}

core::IVector scan_selection_tests(const DataSource& source) {
  constexpr const char* kKeyword = "SELECTION TESTS";
  core::TextInput file;
  int n = source.number(0);
  if (source.is_inline()) {
    open_inline_data(file, source);
  } else {
    open_data_file(file, source.file, "selection tests");
    std::string header;
    if (!file.find_keyword_line("SELECTION TEST", header)) {
      core::stop_run(core::format("\nERROR: selection tests not found in file \"%s\".\nNo line beginning with "
                                  "\"SELECTION TESTS\" was found. \nPress any key to stop the programm now.\n",
                                  source.file.c_str()),
                     1);
    }
    if (read_line_numbers(after_first_tab(header), &n, 1, kKeyword, source.file, file.line_number()) < 1) {
      core::stop_run(core::format("\n\nERROR: cannot read the number of selection tests after \"SELECTION TESTS\" "
                                  "in file %s.\nPress any key to stop.",
                                  source.file.c_str()),
                     core::kStoppedStatus);
    }
  }
  // Compared before any std::abs: -2147483648 has no absolute value in an int.
  if (n > kMaxSelectionTests || n < -kMaxSelectionTests) {
    core::stop_run(core::format("\n\nERROR:The number of selection tests (%lld) is higher than the max allowed (%d)",
                                std::llabs(static_cast<long long>(n)), kMaxSelectionTests + 1),
                   core::kStoppedStatus);
  }
  const int n_tests = std::abs(n);
  core::IVector counts = core::ivector(0, n_tests);
  counts[0] = n;
  std::string test_line;
  for (int j = 1; j <= n_tests; ++j) {
    int count = 0;
    if (!file.read_line(test_line) || scan_numbers(after_first_tab(test_line), &count, 1) < 1) {
      core::stop_run("\n\nERROR: cannot read number of pairwise selection tests. \nPress any key to stop",
                     core::kStoppedStatus);
    }
    // The table of compiled subtests holds at most this many: more would be
    // written past its end.
    if (count > kMaxPairwiseSelectionTests || count < -kMaxPairwiseSelectionTests) {
      core::stop_run(
          core::format("\n\nERROR: The number of pairwise selection tests (%lld) is higher than the max allowed "
                       "(%d)\nPress any key to stop.",
                       std::llabs(static_cast<long long>(count)), kMaxPairwiseSelectionTests),
          core::kStoppedStatus);
    }
    counts[j] = count;
  }
  return counts;
}

core::Vector<core::NameTable> read_selection_tests(const std::string& file_name, const core::IVector& counts) {
  core::Vector<core::NameTable> texts;
  core::TextInput file;
  open_data_file(file, file_name, "selection tests");
  std::string line;
  if (!file.find_keyword_line("SELECTION TEST", line)) {
    reader_error(core::format("\nERROR: selection tests not found in file \"%s\".\nNo line beginning with "
                              "\"SELECTION TESTS\" was found. \nPress any key to stop the programm now.\n",
                              file_name.c_str()),
                 1);
  }
  const int n_tests = std::max(counts[0], 0);
  texts = core::Vector<core::NameTable>(1, n_tests);
  // Test texts may hold spaces; the last cell of a line loses its line feed
  // and the blanks before it.
  const auto clean = [](std::string& text) {
    strip_line_end(text);
    while (!text.empty() && text.back() == ' ') text.pop_back();
  };
  constexpr int kTestTextLimit = 1001;
  int line_number = 0;
  for (int t = 1; t <= n_tests; ++t) {
    const int n_pairwise = std::abs(counts[t]);
    texts[t] = core::name_table(0, n_pairwise);
    read_data_line(file, line, file_name, line_number);
    read_name_field(line.c_str(), texts[t][0], kTestTextLimit, file_name, line_number, line.c_str());
    clean(texts[t][0]);
    const char* position = next_field(line.c_str(), file_name, line_number);  // the count k
    for (int r = 1; r <= n_pairwise; ++r) {
      position = next_field(position, file_name, line_number);
      read_name_field(position, texts[t][r], kTestTextLimit, file_name, line_number, line.c_str());
      clean(texts[t][r]);
    }
  }
  return texts;
}

}  // namespace quorvel::input
