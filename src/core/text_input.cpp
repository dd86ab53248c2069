#include "core/text_input.hpp"

#include <sys/stat.h>

#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"

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
// it would hide the first keyword of the file. The UTF-16 marks (FF FE, FE
// FF) are remembered: such a file is refused when it is read.
void TextInput::skip_byte_order_mark() {
  std::FILE* f = file_.get();
  utf16_ = false;
  const int b1 = std::getc(f);
  if (b1 == 0xFF || b1 == 0xFE) {
    const int b2 = std::getc(f);
    utf16_ = (b1 == 0xFF && b2 == 0xFE) || (b1 == 0xFE && b2 == 0xFF);
  } else if (b1 == 0xEF) {
    const int b2 = std::getc(f);
    if (b2 == 0xBB) {
      const int b3 = std::getc(f);
      if (b3 == 0xBF) return;
    }
  }
  std::rewind(f);
}

namespace {

std::string utf16_message(const std::string& file_name) {
  return format(
      "\n\nERROR: the file %s is saved as UTF-16 (\"Unicode text\"), which the program does not read: save it again as "
      "UTF-8 or plain text. In a text editor, choose the encoding UTF-8 when saving (Notepad: \"Save as\", "
      "Encoding \"UTF-8\"); from a spreadsheet, save it as \"Text (Tab delimited)\".",
      file_name.c_str());
}

}  // namespace

// UTF-16 text without byte-order mark begins with ASCII characters that
// alternate with NUL bytes: a NUL among the first two bytes of the file and
// another two bytes further.
void TextInput::refuse_nul_byte(const std::string& line) {
  if (line_number_ == 0 && line.size() <= 1) {
    std::getc(file_.get());
    if (std::getc(file_.get()) == 0) fatal_error(utf16_message(name_));
  }
  int column = 1;
  for (const char c : line) column += c == '\t' ? 1 : 0;
  fatal_error(
      format("\n\nERROR: the file %s holds a NUL byte (character code 0) on line %d, column %d (character %d of the "
             "line): a NUL byte is no text. The file is damaged or is not a text file.",
             name_.c_str(), line_number_ + 1, column, static_cast<int>(line.size()) + 1));
}

bool TextInput::read_line(std::string& line) {
  line.clear();
  if (!file_) return false;
  if (utf16_) fatal_error(utf16_message(name_));
  std::FILE* f = file_.get();
  int c = 0;
  while (static_cast<int>(line.size()) < kMaxLineLength && (c = std::getc(f)) != EOF) {
    if (c == '\r') {
      // CR LF (Windows) and a lone CR (old Mac) both end the line.
      const int next = std::getc(f);
      if (next != '\n' && next != EOF) std::ungetc(next, f);
      c = '\n';
    }
    // A NUL byte is no text: it would cut the line short for every reader
    // that walks it as a C string, and skipped it would make "1<NUL>9" 19.
    if (c == '\0') refuse_nul_byte(line);
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
