#include "core/text_input.hpp"

#include <sys/stat.h>

#include "core/constants.hpp"

namespace quorvel::core {

bool TextInput::open(const std::string& file_name) {
  file_.reset();
  name_ = file_name;
  line_number_ = 0;
  struct stat info {};
  if (stat(file_name.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return false;
  file_.reset(std::fopen(file_name.c_str(), "r"));
  if (file_) skip_byte_order_mark();
  return is_open();
}

// The UTF-8 byte-order mark (EF BB BF) is a marker, not text: left in place
// it would hide the first keyword of the file.
void TextInput::skip_byte_order_mark() {
  std::FILE* f = file_.get();
  const int b1 = std::getc(f);
  if (b1 == 0xEF) {
    const int b2 = std::getc(f);
    if (b2 == 0xBB) {
      const int b3 = std::getc(f);
      if (b3 == 0xBF) return;
    }
  }
  std::rewind(f);
}

bool TextInput::read_line(std::string& line) {
  line.clear();
  if (!file_) return false;
  std::FILE* f = file_.get();
  int c = 0;
  while (static_cast<int>(line.size()) < kMaxLineLength && (c = std::getc(f)) != EOF) {
    if (c == '\r') {
      // CR LF (Windows) and a lone CR (old Mac) both end the line.
      const int next = std::getc(f);
      if (next != '\n' && next != EOF) std::ungetc(next, f);
      c = '\n';
    }
    // A NUL byte is no text (it would cut the line short for every reader
    // that walks it as a C string): it is skipped, as in files saved as
    // UTF-16, whose ASCII text then reads as it should.
    if (c == '\0') continue;
    line.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  if (line.empty()) return false;
  ++line_number_;
  return true;
}

void TextInput::rewind() {
  if (!file_) return;
  std::rewind(file_.get());
  line_number_ = 0;
  skip_byte_order_mark();
}

bool TextInput::find_keyword_line(const std::string& keyword, std::string& line) {
  while (read_line(line)) {
    if (starts_with(line, keyword)) return true;
  }
  return false;
}

}  // namespace quorvel::core
