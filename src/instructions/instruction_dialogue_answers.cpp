#include "instructions/instruction_dialogue_answers.hpp"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/console.hpp"
#include "core/format.hpp"

namespace quorvel::instructions::dialogue {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Characters of a plain decimal number: strtod alone would also take "inf",
// "nan" and hexadecimal numbers, which no data file of the program holds.
bool plain_number_characters(const std::string& text) {
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) return false;
  }
  return !text.empty();
}

}  // namespace

std::string ask(const std::string& prompt) {
  core::console_print(prompt);
  return core::console_ask_line(prompt);
}

std::string trimmed(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && is_blank(text[begin])) ++begin;
  while (end > begin && is_blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool selects(const std::string& answer, char choice) {
  const char capital = static_cast<char>(std::toupper(static_cast<unsigned char>(choice)));
  return answer.find(choice) != std::string::npos || answer.find(capital) != std::string::npos;
}

// A choice that is not shown makes no sense for the data declared: acted
// upon, it would write lines the reader refuses or misreads.
std::string unshown_choice_message(const std::string& answer, const std::string& shown) {
  for (const char c : answer) {
    if (c == ' ' || c == '\t' || c == ',') continue;
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (shown.find(lower) != std::string::npos) continue;
    std::string list;
    for (std::size_t k = 0; k < shown.size(); ++k) {
      list += (k == 0 ? "" : k + 1 == shown.size() ? " or " : ", ") + std::string(1, shown[k]);
    }
    return core::format("\nChoice \"%c\" is not in the menu: please select among %s.\n", c, list.c_str());
  }
  return "";
}

bool parse_whole_number(const std::string& text, int& value) {
  const std::string word = trimmed(text);
  if (word.empty() || word.find_first_not_of("+-0123456789") != std::string::npos) return false;
  errno = 0;
  char* end = nullptr;
  const long number = std::strtol(word.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || number < std::numeric_limits<int>::min() ||
      number > std::numeric_limits<int>::max()) {
    return false;
  }
  value = static_cast<int>(number);
  return true;
}

bool parse_decimal(const std::string& text, double& value) {
  const std::string word = trimmed(text);
  if (!plain_number_characters(word)) return false;
  errno = 0;
  char* end = nullptr;
  const double number = std::strtod(word.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(number)) return false;
  value = number;
  return true;
}

double written_value(double value) { return std::strtod(core::format("%f", value).c_str(), nullptr); }

std::string file_name_message(const std::string& name) {
  if (name.find_first_of(" \t") != std::string::npos) {
    return "\nA file name must be one word, without blanks: please enter another name.\n";
  }
  struct stat status {};
  if (stat(name.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
    return core::format("\n\"%s\" is a folder: please enter the name of a file.\n", name.c_str());
  }
  return "";
}

bool ask_optional_count(const std::string& prompt, int min, int max, int& value) {
  for (;;) {
    const std::string answer = ask(prompt);
    if (trimmed(answer).empty()) return false;
    if (parse_whole_number(answer, value) && value >= min && value <= max) return true;
    core::console_print(core::format("\nPlease enter a whole number from %d to %d.\n", min, max));
  }
}

int ask_count(const std::string& prompt, int default_value, int min, int max) {
  int value = default_value;
  return ask_optional_count(prompt, min, max, value) ? value : default_value;
}

std::string ask_file_name(const std::string& prompt, const std::string& default_name, const AnswerCheck& check) {
  for (;;) {
    std::string name = trimmed(ask(prompt));
    if (name.empty()) name = default_name;
    std::string message = file_name_message(name);
    if (message.empty() && check) message = check(name);
    if (message.empty()) return name;
    core::console_print(message);
  }
}

std::string ask_decimal(const std::string& prompt, const std::function<std::string(double)>& check, double& value) {
  for (;;) {
    const std::string answer = trimmed(ask(prompt));
    std::string message = "\nPlease enter a number, with a decimal point if needed (e.g. 2.5).\n";
    if (parse_decimal(answer, value)) message = check(value);
    if (message.empty()) return answer;
    core::console_print(message);
  }
}

std::string ask_until_accepted(const std::string& prompt, const AnswerCheck& check) {
  for (;;) {
    const std::string answer = ask(prompt);
    const std::string message = check(answer);
    if (message.empty()) return answer;
    core::console_print(message);
  }
}

}  // namespace quorvel::instructions::dialogue
