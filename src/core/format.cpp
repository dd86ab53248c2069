#include "core/format.hpp"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <limits>
#include <vector>

namespace quorvel::core {

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), fmt, args);
    text.assign(buffer.data(), static_cast<std::size_t>(length));
  }
  va_end(args);
  return text;
}

std::string format_cell(const char* fmt, double value) {
  if (!std::isfinite(value)) return std::string();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  return format(fmt, value);
#pragma GCC diagnostic pop
}

std::string tab_cell(const char* fmt, double value) { return "\t" + format_cell(fmt, value); }

double float_value(float value) {
  return std::isfinite(value) ? static_cast<double>(value) : std::numeric_limits<double>::infinity();
}

std::string local_time_text() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[64];
  std::strftime(buffer, sizeof buffer, "%a %b %e %H:%M:%S %Y\n", &local);
  return buffer;
}

}  // namespace quorvel::core
