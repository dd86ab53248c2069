#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace quorvel::core {

/// A text file open for reading, closed when it goes out of scope.
/// Lines are read as by a 100000-byte line buffer: at most 99999 characters,
/// line feed included; a longer line comes in pieces, each taken as a line.
/// Every line end is handed over as one line feed, whatever the system that
/// saved the file: Windows (CR LF), Unix (LF) and old Mac (a lone CR). A
/// UTF-8 byte-order mark at the start of the file is skipped, so the first
/// keyword of a file saved by a Windows editor is still recognised. A NUL
/// byte, which no text holds, stops the run naming the file, the line and
/// the column (status 1, "error.txt"): skipped, it would join the digits
/// around it into another number. A file saved as UTF-16 (Windows "Unicode
/// text") stops the run at its first line with a message saying so.
class TextInput {
 public:
  TextInput() = default;

  /// Opens `file_name` for reading; false when it cannot be opened (or is a
  /// folder).
  bool open(const std::string& file_name);
  bool is_open() const { return static_cast<bool>(file_); }
  const std::string& name() const { return name_; }

  /// Reads the next line into `line`, ending in a line feed unless it is the
  /// last line of a file without a final line break. Returns false at end of
  /// file (nothing read).
  bool read_line(std::string& line);

  /// Number of the line last read, counted from 1 as an editor shows it (0
  /// before the first line).
  int line_number() const { return line_number_; }

  /// Back to the first line.
  void rewind();

  /// Reads lines until one begins with `keyword` (compared over the keyword's
  /// length); that line is left in `line`. Returns false at end of file.
  bool find_keyword_line(const std::string& keyword, std::string& line);

  void close() { file_.reset(); }

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  void skip_byte_order_mark();
  [[noreturn]] void refuse_nul_byte(const std::string& line);

  std::unique_ptr<std::FILE, Closer> file_;
  std::string name_;
  int line_number_ = 0;
  bool utf16_ = false;  // the file begins with a UTF-16 byte-order mark
};

/// True when `line` begins with `keyword`.
inline bool starts_with(const std::string& line, const std::string& keyword) {
  return line.compare(0, keyword.size(), keyword) == 0;
}

}  // namespace quorvel::core
