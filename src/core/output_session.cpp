#include "core/output_session.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "core/errors.hpp"
#include "core/format.hpp"

namespace quorvel::core {

namespace {

struct StagedFile {
  std::string target;     // the file replaced at the end (symbolic links resolved)
  std::string temporary;  // where the run writes meanwhile
  bool created = false;   // false: the temporary file could not be created
};

struct Session {
  std::vector<StagedFile> files;
  int serial = 0;
};

std::unique_ptr<Session> g_session;

// ---- Interruption (Ctrl+C, a closed terminal, kill): the handler may only
// call async-signal-safe functions, so it works on a fixed table of paths
// filled while the run writes. ----

constexpr int kSignalSlots = 32;
constexpr std::size_t kSignalPathLength = 4096;
char g_signal_paths[kSignalSlots][kSignalPathLength];
volatile std::sig_atomic_t g_signal_count = 0;
constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void remove_temporaries_and_reraise(int signal_number) {
  for (int i = 0; i < g_signal_count; ++i) {
    if (g_signal_paths[i][0] != '\0') unlink(g_signal_paths[i]);
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

void remember_for_signals(const std::string& path) {
  if (g_signal_count >= kSignalSlots || path.size() >= kSignalPathLength) return;
  std::memcpy(g_signal_paths[g_signal_count], path.c_str(), path.size() + 1);
  g_signal_count = g_signal_count + 1;
}

void forget_for_signals() {
  g_signal_count = 0;
  for (auto& path : g_signal_paths) path[0] = '\0';
}

// The file a name stands for: absolute, with symbolic links resolved, so that
// "a.txt" and "./a.txt" share one temporary file and a link keeps pointing at
// the file it names.
std::string target_of(const std::string& file_name) {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::weakly_canonical(file_name, error);
  return error ? file_name : path.string();
}

// Copies the whole content of `source` (when it exists) to the open
// descriptor; false on a read or write failure.
bool copy_content(const std::string& source, int descriptor) {
  std::FILE* in = std::fopen(source.c_str(), "rb");
  if (!in) return true;  // no old file: nothing to keep
  char buffer[65536];
  bool ok = true;
  std::size_t count = 0;
  while (ok && (count = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
    std::size_t written = 0;
    while (written < count) {
      const ssize_t n = write(descriptor, buffer + written, count - written);
      if (n <= 0) {
        ok = false;
        break;
      }
      written += static_cast<std::size_t>(n);
    }
  }
  if (std::ferror(in)) ok = false;
  std::fclose(in);
  return ok;
}

StagedFile* find_staged(const std::string& target) {
  for (StagedFile& file : g_session->files) {
    if (file.target == target) return &file;
  }
  return nullptr;
}

// The temporary file of `file_name`, created on first use: a hidden file
// beside the target, with the target's permissions when it exists.
StagedFile& stage(const std::string& file_name, bool keep_content) {
  const std::string target = target_of(file_name);
  if (StagedFile* staged = find_staged(target)) return *staged;
  const std::filesystem::path path(target);
  StagedFile file;
  file.target = target;
  file.temporary = (path.parent_path() / format(".%s.quorvel-%ld-%d.tmp", path.filename().string().c_str(),
                                                static_cast<long>(getpid()), ++g_session->serial))
                       .string();
  const int descriptor = open(file.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  if (descriptor >= 0) {
    remember_for_signals(file.temporary);
    struct stat old {};
    if (stat(target.c_str(), &old) == 0) fchmod(descriptor, old.st_mode & 07777);
    file.created = !keep_content || copy_content(target, descriptor);
    close(descriptor);
    if (!file.created) unlink(file.temporary.c_str());
  }
  // A file that cannot be staged is written nowhere: its writers then stop
  // the run as for any file that cannot be opened.
  if (!file.created) file.temporary.clear();
  g_session->files.push_back(file);
  return g_session->files.back();
}

void discard_all() {
  for (const StagedFile& file : g_session->files) {
    if (file.created) unlink(file.temporary.c_str());
  }
  g_session->files.clear();
}

}  // namespace

OutputSession::OutputSession() {
  g_session = std::make_unique<Session>();
  forget_for_signals();
  for (const int signal_number : kHandledSignals) std::signal(signal_number, remove_temporaries_and_reraise);
}

OutputSession::~OutputSession() {
  for (const int signal_number : kHandledSignals) std::signal(signal_number, SIG_DFL);
  discard_all();
  forget_for_signals();
  g_session.reset();
}

void OutputSession::commit() {
  std::string failures;
  for (StagedFile& file : g_session->files) {
    if (!file.created) continue;
    if (std::rename(file.temporary.c_str(), file.target.c_str()) == 0) {
      file.created = false;  // moved: nothing left to remove
      continue;
    }
    failures += format(
        "\n\nERROR: \"%s\" could not be replaced by the results of this run (%s): they are kept in "
        "\"%s\".",
        file.target.c_str(), std::strerror(errno), file.temporary.c_str());
    file.created = false;  // kept for the user
  }
  if (!failures.empty()) stop_run(failures + "\nPress any key to stop.", kStoppedStatus);
}

std::string output_path(const std::string& file_name) {
  // The error log accumulates the reports of every run, those of a failed
  // run above all: it is never held back.
  if (!g_session || file_name == kErrorFile) return file_name;
  return stage(file_name, true).temporary;
}

bool start_output_anew(const std::string& file_name) {
  const std::string path = g_session ? stage(file_name, false).temporary : file_name;
  if (path.empty()) return false;
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file) return false;
  std::fclose(file);
  return true;
}

bool is_staged(const std::string& file_name) {
  if (!g_session) return false;
  const StagedFile* file = find_staged(target_of(file_name));
  return file && file->created;
}

}  // namespace quorvel::core
