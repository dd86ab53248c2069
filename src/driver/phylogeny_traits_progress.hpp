#pragma once

namespace quorvel::driver {

/// Whether the progress display shows randomization `i` of `n`: every
/// multiple of k = (n + 1) / 10, and for n >= 100 also the multiples of
/// (n + 1) / 100 up to k (n = 999: 10, 20, ..., 100, 200, ..., 900).
/// A step of 0 shows nothing.
bool progress_shows(int i, int n);

/// Prints " %i" with `i` on the console when progress_shows(i, n).
void show_progress(int i, int n);

}  // namespace quorvel::driver
