#include "core/text_input.hpp"

#include <sys/stat.h>

#include "core/constants.hpp"

namespace quorvel::core {

bool TextInput::open(const std::string& file_name) {
  file_.reset();
  name_ = file_name;
  struct stat info {};
  if (stat(file_name.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return false;
  file_.reset(std::fopen(file_name.c_str(), "r"));
  return is_open();
}

bool TextInput::read_line(std::string& line) {
  line.clear();
  if (!file_) return false;
  int c = 0;
  while (static_cast<int>(line.size()) < kMaxLineLength && (c = std::getc(file_.get())) != EOF) {
    line.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  if (line.empty()) return false;
  const std::size_t n = line.size();
  if (n >= 2 && line[n - 1] == '\n' && line[n - 2] == '\r') line.erase(n - 2, 1);
  return true;
}

void TextInput::rewind() {
  if (file_) std::rewind(file_.get());
}

bool TextInput::find_keyword_line(const std::string& keyword, std::string& line) {
  while (read_line(line)) {
    if (starts_with(line, keyword)) return true;
  }
  return false;
}

}  // namespace quorvel::core
