#include "randomization/slice_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "core/errors.hpp"
#include "core/format.hpp"

namespace quorvel::randomization {

using core::format;

namespace {

constexpr const char* kMagic = "QUORVEL RANDOMIZATION SLICE";
constexpr std::uint64_t kFnvPrime = 1099511628211ULL;
constexpr const char* kStop = "\nPress any key to stop.";

[[noreturn]] void refuse(const std::string& message) { core::stop_run(message + kStop, core::kStoppedStatus); }

void put_values(std::string& text, const float* values, int width) {
  char cell[10];
  for (int j = 0; j < width; ++j) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, values + j, sizeof bits);
    std::snprintf(cell, sizeof cell, "\t%08x", bits);
    text += cell;
  }
  text += '\n';
}

// The reading of one slice file: its lines, each read once, in order.
class SliceReader {
 public:
  SliceReader(const std::string& text, const std::string& name) : text_(text), name_(name) {}

  SliceFile read() {
    if (text_.empty()) damaged("it is empty");
    const std::string first = next_line();
    const std::string magic = std::string(kMagic) + "\t";
    if (first.compare(0, magic.size(), magic) != 0) {
      refuse(format("\n\nERROR: \"%s\" is not a slice file (a slice file begins with the line \"%s\").", name_.c_str(),
                    kMagic));
    }
    long long version = 0;
    if (!whole_number(first.substr(magic.size()), version)) damaged("its first line gives no format");
    if (version != kSliceFormat) {
      refuse(
          format("\n\nERROR: the slice file \"%s\" is of format %lld, and this program reads format %d: make the "
                 "slices and the merge with one version of the program.",
                 name_.c_str(), version, kSliceFormat));
    }
    check_closing_line();

    SliceFile slice;
    slice.identity.version = field(next_line(), "program");
    slice.identity.instruction_file = checksum_line(next_line(), "instruction file");
    std::string line = next_line();
    while (line.compare(0, 10, "data file\t") == 0) {
      slice.identity.data_files.push_back(checksum_line(line, "data file"));
      line = next_line();
    }
    slice.identity.seed = static_cast<int>(number(field(line, "random seed"), 1, 2147483647));
    const std::vector<std::string> position = cells(field(next_line(), "slice"), 2);
    slice.K = static_cast<int>(number(position[1], 1, kMaxCount));
    slice.k = static_cast<int>(number(position[0], 1, slice.K));
    const int n_tests = static_cast<int>(number(field(next_line(), "tests"), 0, kMaxCount));
    for (int t = 1; t <= n_tests; ++t) {
      const std::vector<std::string> shape = cells(field(next_line(), "test"), 3);
      if (number(shape[0], t, t) != t) damaged(format("line %d: test %d expected", line_number_, t));
      SliceTest test;
      test.n_randomizations = static_cast<int>(number(shape[1], 0, kMaxCount));
      test.width = static_cast<int>(number(shape[2], 0, kMaxCount));
      slice.tests.push_back(test);
    }
    for (int t = 1; t <= n_tests; ++t) {
      SliceTest& test = slice.tests[static_cast<std::size_t>(t - 1)];
      test.observed.resize(static_cast<std::size_t>(test.width));
      if (numbered_values(field(next_line(), "observed"), test.width, test.observed.data()) != t) {
        damaged(format("line %d: the observed values of test %d expected", line_number_, t));
      }
      const int count = slice_share(test.n_randomizations, slice.k, slice.K);
      test.values.resize(static_cast<std::size_t>(count) * static_cast<std::size_t>(test.width));
      int i = slice.k - 1 == 0 ? slice.K : slice.k - 1;  // the first randomization of the slice
      for (int r = 0; r < count; ++r, i += slice.K) {
        float* values = test.values.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(test.width);
        if (numbered_values(next_line(), test.width, values) != i) {
          damaged(format("line %d: randomization %d of test %d expected", line_number_, i, t));
        }
      }
    }
    if (position_ != closing_) damaged(format("line %d: the closing line expected", line_number_ + 1));
    return slice;
  }

 private:
  static constexpr long long kMaxCount = 1000000000;

  [[noreturn]] void damaged(const std::string& reason) const {
    refuse(
        format("\n\nERROR: the slice file \"%s\" is truncated or damaged (%s): make it again by running its "
               "slice again.",
               name_.c_str(), reason.c_str()));
  }

  // The last line, "end" and the checksum of every byte before it, closes a
  // whole file; a copy cut short or changed is known before anything is read.
  void check_closing_line() {
    if (text_.empty() || text_.back() != '\n') damaged("it ends before its closing line");
    const std::size_t start = text_.rfind('\n', text_.size() - 2) + 1;  // 0 when npos
    const std::string closing = text_.substr(start, text_.size() - 1 - start);
    if (closing.compare(0, 4, "end\t") != 0 || closing.size() != 20) damaged("it ends before its closing line");
    if (closing.substr(4) != checksum_text(fnv1a_64(text_.data(), start))) {
      damaged("its checksum does not match its content");
    }
    closing_ = start;
  }

  std::string next_line() {
    if (position_ >= closing_ && closing_ != 0) damaged(format("line %d: the file ends too early", line_number_ + 1));
    const std::size_t end = text_.find('\n', position_);
    if (end == std::string::npos) damaged("it ends before its closing line");
    std::string line = text_.substr(position_, end - position_);
    position_ = end + 1;
    ++line_number_;
    return line;
  }

  // The text after "<label><TAB>" on the line.
  std::string field(const std::string& line, const char* label) const {
    const std::size_t length = std::strlen(label);
    if (line.compare(0, length, label) != 0 || line.size() <= length || line[length] != '\t') {
      damaged(format("line %d: \"%s\" expected", line_number_, label));
    }
    return line.substr(length + 1);
  }

  std::vector<std::string> cells(const std::string& text, std::size_t count) const {
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\t', start)) != std::string::npos; start = end + 1) {
      result.push_back(text.substr(start, end - start));
    }
    result.push_back(text.substr(start));
    if (result.size() != count) damaged(format("line %d: %zu cells expected", line_number_, count + 1));
    return result;
  }

  static bool whole_number(const std::string& text, long long& value) {
    if (text.empty() || text.size() > 10) return false;
    value = 0;
    for (const char c : text) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    return true;
  }

  long long number(const std::string& text, long long low, long long high) const {
    long long value = 0;
    if (!whole_number(text, value) || value < low || value > high) {
      damaged(format("line %d: \"%s\" is not a number from %lld to %lld", line_number_, text.c_str(), low, high));
    }
    return value;
  }

  FileChecksum checksum_line(const std::string& line, const char* label) const {
    const std::string rest = field(line, label);
    const std::size_t tab = rest.find('\t');
    if (tab != 16 || rest.size() == 17) damaged(format("line %d: a checksum and a file name expected", line_number_));
    FileChecksum file;
    file.name = rest.substr(17);
    if (!hexadecimal(rest.substr(0, 16), file.checksum)) {
      damaged(format("line %d: a checksum and a file name expected", line_number_));
    }
    return file;
  }

  static bool hexadecimal(const std::string& text, std::uint64_t& value) {
    value = 0;
    for (const char c : text) {
      int digit = 0;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else {
        return false;
      }
      value = value << 4 | static_cast<std::uint64_t>(digit);
    }
    return !text.empty();
  }

  // "<number>" followed by `width` values, each a tabulation and 8
  // hexadecimal digits: returns the number (-1 when it cannot be read).
  long long numbered_values(const std::string& line, int width, float* values) const {
    const std::size_t tab = std::min(line.find('\t'), line.size());
    long long number = -1;
    if (!whole_number(line.substr(0, tab), number)) return -1;
    if (line.size() - tab != static_cast<std::size_t>(width) * 9) {
      damaged(format("line %d: %d values expected", line_number_, width));
    }
    for (int j = 0; j < width; ++j) {
      const std::size_t at = tab + static_cast<std::size_t>(j) * 9;
      std::uint64_t bits = 0;
      if (line[at] != '\t' || !hexadecimal(line.substr(at + 1, 8), bits)) {
        damaged(format("line %d: value %d cannot be read", line_number_, j + 1));
      }
      const std::uint32_t word = static_cast<std::uint32_t>(bits);
      std::memcpy(values + j, &word, sizeof word);
    }
    return number;
  }

  const std::string& text_;
  const std::string& name_;
  std::size_t position_ = 0;
  std::size_t closing_ = 0;
  int line_number_ = 0;
};

std::string quoted_list(const std::vector<std::string>& names) {
  std::string list;
  for (std::size_t j = 0; j < names.size(); ++j) {
    if (j > 0) list += j + 1 == names.size() ? " and " : ", ";
    list += "\"" + names[j] + "\"";
  }
  return list.empty() ? "none" : list;
}

std::vector<std::string> file_names(const std::vector<FileChecksum>& files) {
  std::vector<std::string> names;
  for (const FileChecksum& file : files) names.push_back(file.name);
  return names;
}

}  // namespace

std::uint64_t fnv1a_64(const char* data, std::size_t size, std::uint64_t hash) {
  for (std::size_t j = 0; j < size; ++j) {
    hash ^= static_cast<unsigned char>(data[j]);
    hash *= kFnvPrime;
  }
  return hash;
}

std::string checksum_text(std::uint64_t checksum) {
  return format("%016llx", static_cast<unsigned long long>(checksum));
}

int slice_share(int n, int k, int K) {
  // i = k - 1, k - 1 + K, ... (i >= 1): the first is K when k = 1.
  const int first = k == 1 ? K : k - 1;
  return n < first ? 0 : (n - first) / K + 1;
}

std::string slice_file_name(const std::string& main_result_file, int k, int K) {
  return format("%s.slice-%d-of-%d", main_result_file.c_str(), k, K);
}

std::string slice_file_text(const SliceFile& slice) {
  const RunIdentity& identity = slice.identity;
  std::string text = format("%s\t%d\n", kMagic, kSliceFormat);
  text += "program\t" + identity.version + "\n";
  text += "instruction file\t" + checksum_text(identity.instruction_file.checksum) + "\t" +
          identity.instruction_file.name + "\n";
  for (const FileChecksum& file : identity.data_files) {
    text += "data file\t" + checksum_text(file.checksum) + "\t" + file.name + "\n";
  }
  text += format("random seed\t%d\nslice\t%d\t%d\ntests\t%zu\n", identity.seed, slice.k, slice.K, slice.tests.size());
  for (std::size_t t = 0; t < slice.tests.size(); ++t) {
    text += format("test\t%zu\t%d\t%d\n", t + 1, slice.tests[t].n_randomizations, slice.tests[t].width);
  }
  for (std::size_t t = 0; t < slice.tests.size(); ++t) {
    const SliceTest& test = slice.tests[t];
    text += format("observed\t%zu", t + 1);
    put_values(text, test.observed.data(), test.width);
    int i = slice.k == 1 ? slice.K : slice.k - 1;
    for (std::size_t at = 0; at < test.values.size(); at += static_cast<std::size_t>(test.width), i += slice.K) {
      text += format("%d", i);
      put_values(text, test.values.data() + at, test.width);
    }
  }
  text += "end\t" + checksum_text(fnv1a_64(text.data(), text.size())) + "\n";
  return text;
}

SliceFile parse_slice_file(const std::string& text, const std::string& name) { return SliceReader(text, name).read(); }

std::string foreign_slice_message(const SliceFile& slice, const std::string& name, const RunIdentity& run) {
  const RunIdentity& made = slice.identity;
  const char* file = name.c_str();
  if (made.version != run.version) {
    return format(
        "\n\nERROR: the slice file \"%s\" was written by Quorvel %s, and this is Quorvel %s: make the slices "
        "and the merge with one version of the program.%s",
        file, made.version.c_str(), run.version.c_str(), kStop);
  }
  if (made.seed != run.seed) {
    return format(
        "\n\nERROR: the slice file \"%s\" was made with the random seed %d, and the instruction file gives "
        "%d: its randomizations are not those of this run.%s",
        file, made.seed, run.seed, kStop);
  }
  if (made.instruction_file.checksum != run.instruction_file.checksum) {
    return format(
        "\n\nERROR: the slice file \"%s\" was made from another instruction file than \"%s\" (their "
        "checksums differ): make the slices and the merge with one instruction file.%s",
        file, run.instruction_file.name.c_str(), kStop);
  }
  if (file_names(made.data_files) != file_names(run.data_files)) {
    return format(
        "\n\nERROR: the slice file \"%s\" was made from other data files: it names %s, and this run reads "
        "%s.%s",
        file, quoted_list(file_names(made.data_files)).c_str(), quoted_list(file_names(run.data_files)).c_str(), kStop);
  }
  for (std::size_t j = 0; j < run.data_files.size(); ++j) {
    if (made.data_files[j].checksum != run.data_files[j].checksum) {
      return format(
          "\n\nERROR: the slice file \"%s\" was made from another version of the data file \"%s\" (their "
          "checksums differ): the data have changed since the slice was made.%s",
          file, run.data_files[j].name.c_str(), kStop);
    }
  }
  return "";
}

std::string incomplete_slices_message(const std::vector<SliceFile>& slices, const std::vector<std::string>& names,
                                      const std::string& main_result_file) {
  if (slices.empty()) return "";
  const int K = slices[0].K;
  std::vector<int> given_as(static_cast<std::size_t>(K) + 1, -1);
  for (std::size_t j = 0; j < slices.size(); ++j) {
    const SliceFile& slice = slices[j];
    if (slice.K != K) {
      return format(
          "\n\nERROR: the slice file \"%s\" is slice %d of %d, and \"%s\" is slice %d of %d: give the "
          "slices of one array of %d or of %d slices.%s",
          names[j].c_str(), slice.k, slice.K, names[0].c_str(), slices[0].k, K, K, slice.K, kStop);
    }
    int& earlier = given_as[static_cast<std::size_t>(slice.k)];
    if (earlier >= 0) {
      const std::string& first = names[static_cast<std::size_t>(earlier)];
      if (first == names[j]) {
        return format("\n\nERROR: the slice file \"%s\" is given twice: give each slice once.%s", first.c_str(), kStop);
      }
      return format("\n\nERROR: the slice files \"%s\" and \"%s\" are both slice %d of %d: give each slice once.%s",
                    first.c_str(), names[j].c_str(), slice.k, K, kStop);
    }
    earlier = static_cast<int>(j);
  }
  std::vector<std::string> missing;
  std::string numbers;
  for (int k = 1; k <= K; ++k) {
    if (given_as[static_cast<std::size_t>(k)] >= 0) continue;
    missing.push_back(slice_file_name(main_result_file, k, K));
    numbers += (numbers.empty() ? "" : ", ") + std::to_string(k);
  }
  if (!missing.empty()) {
    const bool one = missing.size() == 1;
    const std::size_t last_comma = numbers.rfind(", ");
    if (last_comma != std::string::npos) numbers.replace(last_comma, 2, " and ");
    return format(
        "\n\nERROR: %s %s of %d %s missing: the merge needs the files of all %d slices (%s %s not among "
        "those given).%s",
        one ? "slice" : "slices", numbers.c_str(), K, one ? "is" : "are", K, quoted_list(missing).c_str(),
        one ? "is" : "are", kStop);
  }
  for (std::size_t j = 1; j < slices.size(); ++j) {
    const std::vector<SliceTest>& a = slices[0].tests;
    const std::vector<SliceTest>& b = slices[j].tests;
    bool same = a.size() == b.size();
    for (std::size_t t = 0; same && t < a.size(); ++t) {
      same = a[t].n_randomizations == b[t].n_randomizations && a[t].width == b[t].width &&
             std::memcmp(a[t].observed.data(), b[t].observed.data(), a[t].observed.size() * sizeof(float)) == 0;
    }
    if (!same) {
      return format(
          "\n\nERROR: the slice files \"%s\" and \"%s\" hold different tests (their randomizations or "
          "observed values differ): make every slice with one program and one instruction file.%s",
          names[0].c_str(), names[j].c_str(), kStop);
    }
  }
  return "";
}

bool read_whole_file(const std::string& path, std::string& content) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) return false;
  content = text.str();
  return true;
}

std::vector<SliceFile> read_slice_files(const std::vector<std::string>& names, const std::vector<std::string>& paths,
                                        const RunIdentity& identity, const std::string& main_result_file) {
  std::vector<SliceFile> slices;
  for (std::size_t j = 0; j < paths.size(); ++j) {
    const std::string& name = names[j];
    std::string text;
    if (!read_whole_file(paths[j], text)) {
      refuse(format("\n\nERROR: cannot read the slice file \"%s\" (%s).", name.c_str(), std::strerror(errno)));
    }
    slices.push_back(parse_slice_file(text, name));
    const std::string foreign = foreign_slice_message(slices.back(), name, identity);
    if (!foreign.empty()) core::stop_run(foreign, core::kStoppedStatus);
  }
  const std::string incomplete = incomplete_slices_message(slices, names, main_result_file);
  if (!incomplete.empty()) core::stop_run(incomplete, core::kStoppedStatus);
  return slices;
}

}  // namespace quorvel::randomization
