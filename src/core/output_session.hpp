#pragma once

#include <functional>
#include <string>

namespace quorvel::core {

/// The output files of one run, kept safe until the run ends. While a session
/// is open, every file the run writes through text_output (the error log
/// excepted) is written to a temporary file in its folder
/// (".<name>.quorvel-<host>-<process>-<n>.tmp"); commit() puts them all in place when
/// the run has gone to its end. A run that stops (an error unwinds the
/// session, a termination signal arrives) removes its temporary files, so
/// every result file of earlier runs stays exactly as it was. The first write
/// in a folder removes the temporary files that runs killed outright (their
/// process no longer exists) left there. Outside a session, writes go straight
/// to the files (as in unit tests). One session at a time.
class OutputSession {
 public:
  OutputSession();
  /// Removes the temporary files that were not committed.
  ~OutputSession();
  OutputSession(const OutputSession&) = delete;
  OutputSession& operator=(const OutputSession&) = delete;

  /// Puts every written file in place, all of them or none, with the
  /// termination signals held back (a signal that arrives meanwhile is
  /// dropped once the commit is whole: the run has ended). Each file is locked
  /// (core/output_lock.hpp) for the whole commit, taken in path order; a file
  /// the run appends to gets the file's content as it is at that moment
  /// followed by this run's sections, so concurrent runs appending to one
  /// file add their sections one after the other. Every new file is flushed
  /// to disk before it is moved, and its folder after. When a file cannot be
  /// written or moved, those already moved get their earlier content back and
  /// the run stops (status 3) naming the file and the reason. New folders
  /// (prepare_output_folder) are made first, and removed again when the
  /// commit fails.
  void commit();

  /// Puts `file_name` alone in place, as commit() does: every other file
  /// written meanwhile is discarded and no new folder is made (a slice of
  /// the randomizations writes its slice file and nothing else).
  void commit_only(const std::string& file_name);
};

/// Where writes to `file_name` go: the file itself outside a session; inside
/// one, its temporary file, created empty at the first use. What the run
/// appends there is added to the file's content at the commit.
std::string output_path(const std::string& file_name);

/// Starts `file_name` anew (empty): inside a session only its temporary file
/// is emptied, and the file's old content is replaced only at the commit.
/// Returns false when the file cannot be created.
bool start_output_anew(const std::string& file_name);

/// Makes ready the folder `folder` for outputs (the figures). Inside a
/// session, a folder that does not exist yet is made by commit(), which moves
/// its files into it (they are written beside it until then): a run that
/// stops leaves no new folder behind. Outside a session it is made at once.
/// Only the folder itself is made, never the folders above it. Returns 0, or
/// the system error: ENOTDIR when it or the folder above it is a file, ENOENT
/// when the folder above it does not exist.
int prepare_output_folder(const std::string& folder);

/// True while a session is open and `file_name` has a temporary file.
bool is_staged(const std::string& file_name);

/// The file a name stands for: absolute, with symbolic links resolved, so
/// that "a.txt" and "./a.txt" are one output and a link keeps pointing at
/// the file it names.
std::string resolved_output_path(const std::string& file_name);

/// True when `file_name` (resolved) lies in the working folder or below it.
bool inside_working_folder(const std::string& file_name);

// ---- Test seams: inert unless a test sets them. ----

/// `failure` gives, for a file name as the writers name it, the system error
/// (an errno value such as ENOSPC) that its writes are to fail with, or 0.
/// An empty function removes it.
void set_write_failure(std::function<int(const std::string& file_name)> failure);

/// The error that set_write_failure gives for `file_name`, or 0.
int injected_write_failure(const std::string& file_name);

/// `hook` is called during commit() after each file has been moved into
/// place, with its resolved path. An empty function removes it.
void set_commit_hook(std::function<void(const std::string& target)> hook);

}  // namespace quorvel::core
