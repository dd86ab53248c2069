#pragma once

#include <string>

namespace quorvel::core {

/// An exclusive lock on one output file, held while a run puts its new
/// content in place, so that two runs writing the same file do it one after
/// the other. It is an flock on a hidden file beside the output
/// (".<name>.quorvel.lock"), which is removed when the lock is released.
class OutputLock {
 public:
  OutputLock() = default;
  ~OutputLock() { release(); }
  OutputLock(OutputLock&& other) noexcept;
  OutputLock& operator=(OutputLock&& other) = delete;
  OutputLock(const OutputLock&) = delete;
  OutputLock& operator=(const OutputLock&) = delete;

  /// Waits until the lock of `target` (a resolved path) is held. Returns the
  /// system error (errno) when the lock file cannot be created or locked,
  /// 0 on success.
  int acquire(const std::string& target);

  /// Removes the lock file and lets the next run in.
  void release();

 private:
  int descriptor_ = -1;
  std::string path_;
};

/// The lock file of `target`.
std::string lock_file_of(const std::string& target);

}  // namespace quorvel::core
