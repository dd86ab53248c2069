#include "core/output_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <utility>

namespace quorvel::core {

std::string lock_file_of(const std::string& target) {
  const std::filesystem::path path(target);
  return (path.parent_path() / ("." + path.filename().string() + ".quorvel.lock")).string();
}

OutputLock::OutputLock(OutputLock&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), path_(std::move(other.path_)) {}

int OutputLock::acquire(const std::string& target) {
  release();
  const std::string path = lock_file_of(target);
  for (;;) {
    const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0) return errno;
    int result;
    do {
      result = flock(descriptor, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
      const int error = errno;
      close(descriptor);
      return error;
    }
    // The run that held the lock removes the lock file before releasing it:
    // a lock obtained on a file that is no longer the one at `path` guards
    // nothing, and the next try creates a fresh one.
    struct stat held {};
    struct stat named {};
    if (fstat(descriptor, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      descriptor_ = descriptor;
      path_ = path;
      return 0;
    }
    close(descriptor);
  }
}

void OutputLock::release() {
  if (descriptor_ < 0) return;
  unlink(path_.c_str());  // while still held: see acquire()
  close(descriptor_);
  descriptor_ = -1;
  path_.clear();
}

}  // namespace quorvel::core
