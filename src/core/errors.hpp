#pragma once

#include <stdexcept>
#include <string>

namespace quorvel::core {

// Exit statuses. 0 means that the run went to its end ("Analyses finished");
// every stop before it is non-zero, so that scripts can tell a failure.
/// A run stopped by a reported error (instruction file, data, refused output,
/// a file that cannot be written).
inline constexpr int kStoppedStatus = 3;

/// How a fatal condition ends the run. Deep code throws it; the entry point
/// catches it once, shows the message, logs it, pauses and exits.
class FatalError : public std::runtime_error {
 public:
  FatalError(std::string message, int status, bool log_to_error_file, bool wait_for_key, std::size_t shown = 0)
      : std::runtime_error(message),
        // A stop is never reported as success: the status 0 of older reports
        // becomes the status of a stopped run.
        status_(status == 0 ? kStoppedStatus : status),
        log_to_error_file_(log_to_error_file),
        wait_for_key_(wait_for_key),
        shown_(shown) {}

  /// Exit status of the run.
  int status() const { return status_; }
  /// True when the message is also appended to "error.txt".
  bool log_to_error_file() const { return log_to_error_file_; }
  /// True when the program waits for one key before ending.
  bool wait_for_key() const { return wait_for_key_; }
  /// Length of the beginning of the message that is already on the console.
  std::size_t shown() const { return shown_; }

 private:
  int status_;
  bool log_to_error_file_;
  bool wait_for_key_;
  std::size_t shown_;
};

/// The error log of the working directory; only ever appended to.
inline constexpr const char* kErrorFile = "error.txt";

/// Unrecoverable condition: the message goes to the console and to
/// "error.txt"; the run ends with `status` (1, or 87 for an over-long field).
[[noreturn]] void fatal_error(const std::string& message, int status = 1);

/// Reported error: the message goes to the console only, the program waits
/// for a key and ends with `status`.
[[noreturn]] void stop_run(const std::string& message, int status);

/// A result file could not be written, flushed, closed or put in place (a
/// full disk, a file-size limit): stops the run (status 3) with a message
/// naming the file and the system's reason for `system_error` (an errno
/// value). The output session then leaves every result file as it was.
[[noreturn]] void stop_on_write_failure(const std::string& file_name, int system_error);

/// Suffix added to a question that cannot be answered at end of input.
inline constexpr const char* kNoMoreInput = "\nNo more input: stopping.\n";
/// Exit status of a run stopped because standard input ended.
inline constexpr int kEndOfInputStatus = 2;

/// Standard input ended where the run needs an answer: the message (the
/// question or warning that was pending, just shown on the console) is
/// followed by "No more input".
[[noreturn]] void stop_at_end_of_input(const std::string& message);

/// Shows and logs a caught FatalError as the run ends, pauses where it asks
/// to, and returns the exit status. Used by the entry point only.
int report_fatal_error(const FatalError& error);

}  // namespace quorvel::core
