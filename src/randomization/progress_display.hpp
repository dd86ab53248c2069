#pragma once

namespace quorvel::randomization {

/// True when the progress display shows randomization i of n: i a multiple
/// of k = (n + 1) / 10, and, when n >= 100, also i <= k and a multiple of
/// (n + 1) / 100 (integer divisions; a step of 0 shows nothing), so that
/// 999 randomizations show 10, 20, ..., 100, 200, ..., 900.
bool shows_progress(int i, int n);

/// Prints " %i" for randomization i of n when shows_progress says so.
void display_progress(int i, int n);

}  // namespace quorvel::randomization
