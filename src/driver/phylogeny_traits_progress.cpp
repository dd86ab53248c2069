#include "driver/phylogeny_traits_progress.hpp"

#include "core/console.hpp"

namespace quorvel::driver {

bool progress_shows(int i, int n) {
  const int coarse = (n + 1) / 10;
  if (coarse > 0 && i % coarse == 0) return true;
  // Long loops also show the first tenth in finer steps, so that the user
  // sees the loop start.
  if (n < 100) return false;
  const int fine = (n + 1) / 100;
  return fine > 0 && i <= coarse && i % fine == 0;
}

void show_progress(int i, int n) {
  if (progress_shows(i, n)) core::console_printf(" %i", i);
}

}  // namespace quorvel::driver
