#include "core/output_session.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <system_error>
#include <vector>

#include "core/console.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_lock.hpp"
#include "core/termination_signals.hpp"

namespace quorvel::core {

namespace {

struct StagedFile {
  std::string name;       // as the run names it (messages)
  std::string target;     // the file replaced at the end (resolved)
  std::string temporary;  // where the run writes meanwhile; empty: could not be created
  bool anew = false;      // true: replaces the file's content; false: is appended to it
};

// This computer's name as it may stand in a file name.
std::string host_name() {
  char buffer[256] = {};
  if (gethostname(buffer, sizeof buffer - 1) != 0 || buffer[0] == '\0') return "localhost";
  std::string host(buffer);
  for (char& c : host) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') c = '_';
  }
  return host;
}

// A folder of outputs that did not exist when the run began: it is made by
// the commit, so that a run that stops leaves no new folder behind.
struct NewFolder {
  std::string name;  // as the run names it (messages)
  std::string path;  // resolved
};

struct Session {
  std::string host = host_name();
  std::vector<StagedFile> files;
  std::vector<NewFolder> new_folders;
  std::set<std::string> swept_folders;
  int serial = 0;
  TerminationCleanup cleanup;
};

std::unique_ptr<Session> g_session;
std::function<int(const std::string&)> g_write_failure;
std::function<void(const std::string&)> g_commit_hook;

constexpr const char* kMarker = ".quorvel-";

// The folder that holds the temporary files of `target`: its own folder, or,
// for a folder the commit is to make, the folder above it.
std::filesystem::path staging_folder(const std::string& target) {
  const std::filesystem::path folder = std::filesystem::path(target).parent_path();
  for (const NewFolder& made : g_session->new_folders) {
    if (folder == made.path) return folder.parent_path();
  }
  return folder;
}

// ".<name>.quorvel-<host>-<process>-<n>.<suffix>" in the staging folder of
// `target`: hidden, and traceable to the run that wrote it, also in a folder
// that several computers share.
std::string temporary_name(const std::string& target, const char* suffix) {
  const std::filesystem::path path(target);
  return (staging_folder(target) / format(".%s%s%s-%ld-%d.%s", path.filename().string().c_str(), kMarker,
                                          g_session->host.c_str(), static_cast<long>(getpid()), ++g_session->serial,
                                          suffix))
      .string();
}

// Digits that end at `end` (excluded) in `text`, preceded by `separator`:
// their value (at most INT_MAX), with `end` moved to the separator; -1 when
// there are none.
long number_before(const std::string& text, std::size_t& end, char separator) {
  std::size_t start = end;
  while (start > 0 && std::isdigit(static_cast<unsigned char>(text[start - 1]))) --start;
  if (start == end || end - start > 9 || start == 0 || text[start - 1] != separator) return -1;
  const long value = std::stol(text.substr(start, end - start));
  end = start - 1;
  return value;
}

// The process that wrote a temporary file of ours on this computer, or 0 for
// another file (or one written on another computer, whose processes cannot
// be seen from here).
long owner_of_temporary(const std::string& name) {
  const std::size_t marker = name.rfind(kMarker);
  if (name.empty() || name[0] != '.' || marker == std::string::npos || name.size() < 4) return 0;
  const std::string suffix = name.substr(name.size() - 4);
  if (suffix != ".tmp" && suffix != ".old") return 0;
  std::size_t end = name.size() - 4;
  if (number_before(name, end, '-') < 0) return 0;
  const long process = number_before(name, end, '-');
  const std::size_t host_start = marker + std::strlen(kMarker);
  const std::string& host = g_session->host;
  const bool this_host =
      end >= host_start && end - host_start == host.size() && name.compare(host_start, host.size(), host) == 0;
  return this_host ? std::max(process, 0L) : 0;
}

// Removes the temporary files that killed runs left in `folder`: only those
// whose process no longer exists, so that a run going on beside this one
// keeps its files.
void remove_stale_temporaries(const std::string& folder) {
  if (!g_session->swept_folders.insert(folder).second) return;
  std::error_code error;
  std::filesystem::directory_iterator entry(folder.empty() ? "." : folder, error);
  for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
    const long process = owner_of_temporary(entry->path().filename().string());
    if (process <= 0 || process == static_cast<long>(getpid())) continue;
    if (kill(static_cast<pid_t>(process), 0) != 0 && errno == ESRCH) unlink(entry->path().c_str());
  }
}

StagedFile* find_staged(const std::string& target) {
  for (StagedFile& file : g_session->files) {
    if (file.target == target) return &file;
  }
  return nullptr;
}

// The temporary file of `file_name`, created empty on first use (and tried
// again while it could not be created, as the user may have fixed the cause).
StagedFile& stage(const std::string& file_name) {
  const std::string target = resolved_output_path(file_name);
  StagedFile* file = find_staged(target);
  if (!file) {
    remove_stale_temporaries(staging_folder(target).string());
    g_session->files.push_back(StagedFile{file_name, target, "", false});
    file = &g_session->files.back();
  }
  if (!file->temporary.empty()) return *file;
  const std::string temporary = temporary_name(target, "tmp");
  const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor < 0) return *file;  // its writers then report a file that cannot be opened
  register_temporary(temporary);
  // A write-protected result file stays so: writes to its temporary file
  // fail as writes to the file itself would.
  struct stat old {};
  if (stat(target.c_str(), &old) == 0) fchmod(descriptor, old.st_mode & 07777);
  close(descriptor);
  file->temporary = temporary;
  return *file;
}

void remove_temporary(std::string& path) {
  if (path.empty()) return;
  unlink(path.c_str());
  forget_temporary(path);
  path.clear();
}

void discard_all() {
  for (StagedFile& file : g_session->files) remove_temporary(file.temporary);
  g_session->files.clear();
}

// ---- Whole writes to descriptors; each returns 0 or the system error. ----

int write_all(int descriptor, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(descriptor, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

int copy_into(const std::string& source, int descriptor) {
  const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  char buffer[65536];
  int error = 0;
  for (;;) {
    const ssize_t count = read(in, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      if (count < 0) error = errno;
      break;
    }
    error = write_all(descriptor, buffer, static_cast<std::size_t>(count));
    if (error != 0) break;
  }
  close(in);
  return error;
}

// Flushes a file's content to the disk. File systems that cannot (EINVAL)
// have nothing more to flush.
int sync_descriptor(int descriptor) {
  return fsync(descriptor) == 0 || errno == EINVAL || errno == ENOTSUP ? 0 : errno;
}

int sync_file(const std::string& path) {
  // Either way of opening will do (the file has the permissions of the
  // result file it replaces).
  int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0 && errno == EACCES) descriptor = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (descriptor < 0) return errno;
  const int error = sync_descriptor(descriptor);
  return close(descriptor) != 0 && error == 0 ? errno : error;
}

// ---- The commit ----

struct CommitStep {
  StagedFile* file;
  bool existed = false;
  std::string backup;  // the earlier content, kept until every file is in place
  bool moved = false;
};

// Gives `file` its final content in its temporary file, flushed to disk: for
// a file appended to, the file's content as it is now (under the lock)
// followed by what the run wrote.
int finish_content(StagedFile& file, bool& existed) {
  struct stat old {};
  existed = stat(file.target.c_str(), &old) == 0;
  if (existed && S_ISDIR(old.st_mode)) return EISDIR;
  if (file.anew || !existed) return sync_file(file.temporary);
  std::string merged = temporary_name(file.target, "tmp");
  const int descriptor = open(merged.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor < 0) return errno;
  register_temporary(merged);
  int error = copy_into(file.target, descriptor);
  if (error == 0) error = copy_into(file.temporary, descriptor);
  if (error == 0 && fchmod(descriptor, old.st_mode & 07777) != 0) error = errno;
  if (error == 0) error = sync_descriptor(descriptor);
  if (close(descriptor) != 0 && error == 0) error = errno;
  if (error != 0) {
    remove_temporary(merged);
    return error;
  }
  remove_temporary(file.temporary);
  file.temporary = merged;
  return 0;
}

// Keeps the earlier content of the step's file under a second name: a hard
// link, or a copy where the file system has none.
int keep_earlier_content(CommitStep& step) {
  if (!step.existed) return 0;
  const std::string& target = step.file->target;
  std::string backup = temporary_name(target, "old");
  if (link(target.c_str(), backup.c_str()) != 0) {
    const int descriptor = open(backup.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor < 0) return errno;
    step.backup = backup;
    int error = copy_into(target, descriptor);
    if (close(descriptor) != 0 && error == 0) error = errno;
    if (error != 0) return error;
  }
  step.backup = backup;
  return 0;
}

// Moves back the earlier content of every file already moved. Returns a
// message for a file whose earlier content could not be put back (it then
// stays in its kept copy, which is not removed).
std::string roll_back(std::vector<CommitStep>& steps) {
  std::string failures;
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    if (!step->moved) continue;
    const char* target = step->file->target.c_str();
    if (!step->existed) {
      unlink(target);
    } else if (std::rename(step->backup.c_str(), target) == 0) {
      step->backup.clear();
    } else {
      failures += format("\nThe earlier content of \"%s\" could not be put back (%s): it is kept in \"%s\".",
                         step->file->name.c_str(), std::strerror(errno), step->backup.c_str());
      step->backup.clear();
    }
    step->moved = false;
  }
  return failures;
}

void remove_backups(std::vector<CommitStep>& steps) {
  for (CommitStep& step : steps) {
    if (!step.backup.empty()) unlink(step.backup.c_str());
    step.backup.clear();
  }
}

[[noreturn]] void stop_commit(std::vector<CommitStep>& steps, const StagedFile& file, int error,
                              const std::string& roll_back_failures = "") {
  remove_backups(steps);
  if (roll_back_failures.empty()) stop_on_write_failure(file.name, error);
  stop_run(format("\n\nERROR: cannot write \"%s\" (%s): the run is stopped.%s\nPress any key to stop.",
                  file.name.c_str(), std::strerror(error), roll_back_failures.c_str()),
           kStoppedStatus);
}

// The new folders of the run, made at the commit; removed again (with
// nothing in them by then) unless the whole commit succeeds.
struct MadeFolders {
  std::vector<std::string> paths;
  bool kept = false;
  ~MadeFolders() {
    if (kept) return;
    for (auto path = paths.rbegin(); path != paths.rend(); ++path) rmdir(path->c_str());
  }
};

void make_new_folders(MadeFolders& made) {
  for (const NewFolder& folder : g_session->new_folders) {
    if (mkdir(folder.path.c_str(), 0777) == 0) {
      made.paths.push_back(folder.path);
      continue;
    }
    // A folder made by another run meanwhile is used as it is; otherwise the
    // run stops with nothing moved yet.
    const int error = errno;
    std::error_code unused;
    if (error != EEXIST) stop_on_write_failure(folder.name, error);
    if (!std::filesystem::is_directory(folder.path, unused)) stop_on_write_failure(folder.name, ENOTDIR);
  }
}

// The renames are durable only once their folders are flushed (and those
// holding a new folder). They are done and visible already, so a folder that
// cannot be flushed is only reported.
void sync_folders(const std::vector<CommitStep>& steps, const MadeFolders& made) {
  std::set<std::string> folders;
  for (const CommitStep& step : steps) folders.insert(std::filesystem::path(step.file->target).parent_path().string());
  for (const std::string& folder : made.paths) folders.insert(std::filesystem::path(folder).parent_path().string());
  for (const std::string& folder : folders) {
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int error = descriptor < 0 ? errno : sync_descriptor(descriptor);
    if (descriptor >= 0) close(descriptor);
    if (error != 0) {
      console_print(
          format("\nWARNING: the folder \"%s\" could not be flushed to disk (%s): the results are in "
                 "place, but a system crash could still lose them.\n",
                 folder.c_str(), std::strerror(error)));
    }
  }
}

}  // namespace

OutputSession::OutputSession() { g_session = std::make_unique<Session>(); }

OutputSession::~OutputSession() {
  discard_all();
  g_session.reset();
}

void OutputSession::commit() {
  TerminationSignalsHeld held;
  // Declared before the locks: a folder made here is removed, if the commit
  // fails, once their lock files have gone.
  MadeFolders made;
  make_new_folders(made);
  std::vector<CommitStep> steps;
  for (StagedFile& file : g_session->files) {
    if (!file.temporary.empty()) steps.push_back(CommitStep{&file, false, "", false});
  }
  // One order for every run, so that two runs never wait for each other's
  // locks.
  std::sort(steps.begin(), steps.end(),
            [](const CommitStep& a, const CommitStep& b) { return a.file->target < b.file->target; });
  std::vector<OutputLock> locks(steps.size());
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (const int error = locks[i].acquire(steps[i].file->target)) stop_commit(steps, *steps[i].file, error);
  }
  for (CommitStep& step : steps) {
    if (const int error = finish_content(*step.file, step.existed)) stop_commit(steps, *step.file, error);
  }
  for (CommitStep& step : steps) {
    if (const int error = keep_earlier_content(step)) stop_commit(steps, *step.file, error);
  }
  for (CommitStep& step : steps) {
    if (std::rename(step.file->temporary.c_str(), step.file->target.c_str()) != 0) {
      const int error = errno;
      stop_commit(steps, *step.file, error, roll_back(steps));
    }
    step.moved = true;
    if (g_commit_hook) g_commit_hook(step.file->target);
  }
  sync_folders(steps, made);
  made.kept = true;
  remove_backups(steps);
  for (CommitStep& step : steps) {
    forget_temporary(step.file->temporary);
    step.file->temporary.clear();
  }
  held.discard_pending();
}

void OutputSession::commit_only(const std::string& file_name) {
  const std::string target = resolved_output_path(file_name);
  for (StagedFile& file : g_session->files) {
    if (file.target != target) remove_temporary(file.temporary);
  }
  g_session->new_folders.clear();
  commit();
}

std::string output_path(const std::string& file_name) {
  // The error log accumulates the reports of every run, those of a failed
  // run above all: it is never held back.
  if (!g_session || file_name == kErrorFile) return file_name;
  return stage(file_name).temporary;
}

bool start_output_anew(const std::string& file_name) {
  std::string path = file_name;
  if (g_session) {
    StagedFile& file = stage(file_name);
    file.anew = true;
    path = file.temporary;
  }
  if (path.empty()) return false;
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file) return false;
  if (std::fclose(file) != 0) stop_on_write_failure(file_name, errno);
  return true;
}

int prepare_output_folder(const std::string& folder) {
  std::filesystem::path path(folder);
  if (!path.has_filename()) path = path.parent_path();  // "figures/" is the folder "figures"
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return 0;
  if (std::filesystem::exists(path, error)) return ENOTDIR;
  const std::filesystem::path parent = path.parent_path();
  if (!parent.empty() && !std::filesystem::is_directory(parent, error)) {
    return std::filesystem::exists(parent, error) ? ENOTDIR : ENOENT;
  }
  if (!g_session) return mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
  const std::string resolved = resolved_output_path(path.string());
  for (const NewFolder& made : g_session->new_folders) {
    if (made.path == resolved) return 0;
  }
  g_session->new_folders.push_back(NewFolder{folder, resolved});
  return 0;
}

bool is_staged(const std::string& file_name) {
  if (!g_session) return false;
  const StagedFile* file = find_staged(resolved_output_path(file_name));
  return file && !file->temporary.empty();
}

std::string resolved_output_path(const std::string& file_name) {
  // Made absolute first: the resolution keeps a relative name relative when
  // no part of it exists yet.
  std::error_code error;
  std::filesystem::path path = std::filesystem::absolute(file_name, error);
  // A link to a file that does not exist yet is followed too: the file is
  // created where the link points.
  constexpr int kMaxLinks = 40;
  std::error_code no_link;  // a file that does not exist is no link
  for (int links = 0; !error && links < kMaxLinks && std::filesystem::is_symlink(path, no_link); ++links) {
    const std::filesystem::path target = std::filesystem::read_symlink(path, error);
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  if (!error) path = std::filesystem::weakly_canonical(path, error);
  return error ? file_name : path.string();
}

bool inside_working_folder(const std::string& file_name) {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::canonical(std::filesystem::current_path(), error);
  if (error) return false;
  const std::filesystem::path path(resolved_output_path(file_name));
  auto part = path.begin();
  for (const std::filesystem::path& folder_part : folder) {
    if (part == path.end() || *part != folder_part) return false;
    ++part;
  }
  return true;
}

void set_write_failure(std::function<int(const std::string& file_name)> failure) {
  g_write_failure = std::move(failure);
}

int injected_write_failure(const std::string& file_name) { return g_write_failure ? g_write_failure(file_name) : 0; }

void set_commit_hook(std::function<void(const std::string& target)> hook) { g_commit_hook = std::move(hook); }

}  // namespace quorvel::core
