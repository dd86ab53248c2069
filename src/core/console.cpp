#include "core/console.hpp"

#include <termios.h>
#include <unistd.h>

#include <cstdarg>
#include <optional>
#include <vector>

#include "core/errors.hpp"
#include "core/termination_signals.hpp"

namespace quorvel::core {

namespace {

std::FILE* g_input = nullptr;
std::FILE* g_output = nullptr;

std::FILE* input() { return g_input ? g_input : stdin; }
std::FILE* output() { return g_output ? g_output : stdout; }

}  // namespace

void set_console_streams(std::FILE* in, std::FILE* out) {
  g_input = in;
  g_output = out;
}

void console_print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), output());
  std::fflush(output());
}

void console_printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(output(), format, args);
  va_end(args);
  std::fflush(output());
}

bool console_read_line(std::string& line) {
  std::fflush(output());
  line.clear();
  int c = std::fgetc(input());
  if (c == EOF) return false;
  while (c != EOF && c != '\n') {
    line.push_back(static_cast<char>(c));
    c = std::fgetc(input());
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

std::string console_ask_line(const std::string& pending_message) {
  std::string line;
  if (!console_read_line(line)) stop_at_end_of_input(pending_message);
  return line;
}

bool console_read_key() {
  std::fflush(output());
  std::FILE* in = input();
  const int fd = fileno(in);
  termios saved{};
  const bool raw = isatty(fd) && tcgetattr(fd, &saved) == 0;
  std::optional<TerminalModeRestored> restored;
  if (raw) {
    restored.emplace(fd, saved);  // also when Ctrl+C ends the run during the read
    termios keys = saved;
    keys.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &keys);
  }
  const int c = std::fgetc(in);
  if (raw) tcsetattr(fd, TCSANOW, &saved);
  return c != EOF;
}

void wait_for_key() { console_read_key(); }

void wait_for_key_or_stop(const std::string& pending_message) {
  if (!console_read_key()) stop_at_end_of_input(pending_message);
}

}  // namespace quorvel::core
