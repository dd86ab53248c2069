#include "core/text_output.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "core/console.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_session.hpp"

namespace quorvel::core {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::FILE* open_output(const std::string& file_name) {
  const std::string path = output_path(file_name);
  if (path.empty()) return nullptr;
  // The name itself: outside a session, or the error log.
  if (path == file_name) return std::fopen(path.c_str(), "a");
  // A temporary file is created by the session only: one that has gone
  // (removed by hand or by another program) is never created again empty,
  // which would lose the sections written to it.
  const int descriptor = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (descriptor < 0) {
    if (errno == ENOENT) stop_on_write_failure(file_name, errno);
    return nullptr;
  }
  std::FILE* file = fdopen(descriptor, "a");
  if (!file) close(descriptor);
  return file;
}

// Appends `text` to what `file_name` stands for. Returns false when the file
// cannot be opened; a write that fails once it is open (a full disk, a
// file-size limit) stops the run, so that no result is ever cut short.
bool append_text(const std::string& file_name, const std::string& text) {
  std::FILE* file = open_output(file_name);
  if (!file) return false;
  errno = 0;
  int error = injected_write_failure(file_name);
  if (error == 0 && std::fwrite(text.data(), 1, text.size(), file) != text.size()) error = errno != 0 ? errno : EIO;
  // The close flushes the buffer: a full disk often shows only there.
  if (std::fclose(file) != 0 && error == 0) error = errno != 0 ? errno : EIO;
  if (error != 0) stop_on_write_failure(file_name, error);
  return true;
}

void append_or_stop(const std::string& file_name, const std::string& text) {
  if (!append_text(file_name, text)) {
    // The text, not the file name, is what the user is shown: it is the
    // report that could not be saved.
    stop_run("error in writing " + text + " : cannot open file", kStoppedStatus);
  }
}

}  // namespace

void echo_to_file(const std::string& file_name, const std::string& text) {
  console_print(text);
  append_or_stop(file_name, text);
}

void append_to_file(const std::string& file_name, const std::string& text) { append_or_stop(file_name, text); }

bool empty_file(const std::string& file_name) { return start_output_anew(file_name); }

bool write_file_anew(const std::string& file_name, const std::string& text) {
  if (!start_output_anew(file_name)) return false;
  return try_append_to_file(file_name, text);
}

bool try_append_to_file(const std::string& file_name, const std::string& text) { return append_text(file_name, text); }

namespace {

bool can_append(const std::string& file_name) {
  std::unique_ptr<std::FILE, FileCloser> file(open_output(file_name));
  return static_cast<bool>(file);
}

}  // namespace

void wait_for_results_file(const std::string& file_name) {
  while (!can_append(file_name)) {
    const std::string warning = format(
        "\nWARNING: Cannot open results file %c%s%c.\nIf it is being used by another application, close it first. "
        "Then press Return.\n",
        '"', file_name.c_str(), '"');
    console_print(warning);
    console_ask_line(warning);
  }
}

void wait_for_output_file(const std::string& file_name) {
  while (!can_append(file_name)) {
    const std::string warning = format(
        "\nWarning: cannot open output file %s.\nIf it is being used by another application, close it first. Then "
        "press Return.\n",
        file_name.c_str());
    console_print(warning);
    wait_for_key_or_stop(warning);
  }
}

bool file_is_readable(const std::string& file_name) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(file_name.c_str(), "r"));
  return static_cast<bool>(file);
}

}  // namespace quorvel::core
