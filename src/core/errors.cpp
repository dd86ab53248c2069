#include "core/errors.hpp"

#include <cstring>

#include "core/arrays.hpp"
#include "core/console.hpp"
#include "core/format.hpp"
#include "core/text_output.hpp"

namespace quorvel::core {

void fatal_error(const std::string& message, int status) { throw FatalError(message, status, true, false); }

void stop_run(const std::string& message, int status) { throw FatalError(message, status, false, true); }

void stop_on_write_failure(const std::string& file_name, int system_error) {
  stop_run(format("\n\nERROR: cannot write \"%s\" (%s): the run is stopped and no result file has been "
                  "changed.\nPress any key to stop.",
                  file_name.c_str(), std::strerror(system_error)),
           kStoppedStatus);
}

void stop_at_end_of_input(const std::string& message) {
  throw FatalError(message + kNoMoreInput, kEndOfInputStatus, false, false, message.size());
}

void allocation_failure(const char* message) { fatal_error(message, 1); }

int report_fatal_error(const FatalError& error) {
  if (error.log_to_error_file()) {
    try {
      echo_to_file(kErrorFile, error.what());
    } catch (const FatalError& write_error) {
      // The log itself cannot be written: that failure ends the run.
      return report_fatal_error(write_error);
    }
  } else {
    console_print(std::string(error.what()).substr(error.shown()));
  }
  if (error.wait_for_key()) wait_for_key();
  return error.status();
}

}  // namespace quorvel::core
