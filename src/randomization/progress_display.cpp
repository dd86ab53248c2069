#include "randomization/progress_display.hpp"

#include "core/console.hpp"
#include "core/format.hpp"

namespace quorvel::randomization {

bool shows_progress(int i, int n) {
  const int step = (n + 1) / 10;
  if (step == 0) return false;
  if (i % step == 0) return true;
  // Long loops also show their first tenth in finer steps, so that the user
  // sees the loop start.
  if (n >= 100) {
    const int fine_step = (n + 1) / 100;
    if (fine_step != 0 && i <= step && i % fine_step == 0) return true;
  }
  return false;
}

void display_progress(int i, int n) {
  if (shows_progress(i, n)) core::console_print(core::format(" %i", i));
}

}  // namespace quorvel::randomization
