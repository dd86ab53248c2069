#include "core/output_session.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <set>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_lock.hpp"
#include "core/text_output.hpp"
#include "support/test_support.hpp"

namespace quorvel::core {
namespace {

using testing::read_file;
using testing::write_file;

class OutputSessionTest : public testing::WorkDirTest {
 protected:
  // Names of the files of the working folder, hidden ones included.
  static std::set<std::string> folder_files(const std::string& folder = ".") {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
};

// Makes every write to `file_name` fail with `error` while it lives, as a
// full disk would.
class InjectedWriteFailure {
 public:
  InjectedWriteFailure(const std::string& file_name, int error) {
    set_write_failure([file_name, error](const std::string& name) { return name == file_name ? error : 0; });
  }
  ~InjectedWriteFailure() { set_write_failure({}); }
};

// A file-size limit with SIGXFSZ ignored, as `ulimit -f` under a shell that
// ignores the signal: a write past the limit fails with EFBIG. Set before the
// session, which then leaves the signal ignored.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : former_action_(std::signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &former_);
    rlimit limit = former_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &former_);
    std::signal(SIGXFSZ, former_action_);
  }

 private:
  rlimit former_{};
  void (*former_action_)(int);
};

std::string write_failure_message(const std::string& file_name, const char* reason) {
  return "\n\nERROR: cannot write \"" + file_name + "\" (" + reason +
         "): the run is stopped and no result file has been changed.\nPress any key to stop.";
}

// One byte through a pipe: a step of a child process that the test waits for.
class Signal {
 public:
  Signal() {
    if (pipe(ends_) != 0) ADD_FAILURE() << "no pipe";
  }
  ~Signal() {
    close(ends_[0]);
    close(ends_[1]);
  }
  void send() { EXPECT_EQ(write(ends_[1], "x", 1), 1); }
  void wait() {
    char byte;
    EXPECT_EQ(read(ends_[0], &byte, 1), 1);
  }

 private:
  int ends_[2] = {-1, -1};
};

// Runs `body` in a child process, as a second run of the program would be;
// the child ends with status 0 when `body` returns.
pid_t start_run(const std::function<void()>& body) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child != 0) return child;
  try {
    body();
  } catch (...) {
    std::_Exit(1);
  }
  std::_Exit(0);
}

int exit_status(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(OutputSessionTest, AppendingRunAddsItsSectionsToTheFileOnlyAtCommit) {
  write_file("out.txt", "earlier results\n");
  {
    OutputSession session;
    append_to_file("out.txt", "new section");
    echo_to_file("./out.txt", " and more");  // another name of the same file
    EXPECT_EQ(read_file("out.txt"), "earlier results\n");
    EXPECT_TRUE(is_staged("out.txt"));
    session.commit();
    EXPECT_EQ(read_file("out.txt"), "earlier results\nnew section and more");
  }
  // Neither temporary files nor lock files are left.
  EXPECT_EQ(folder_files(), (std::set<std::string>{"out.txt"}));
}

TEST_F(OutputSessionTest, StoppedRunLeavesEveryFileAsItWasAndNoTemporaryFile) {
  write_file("out.txt", "earlier results\n");
  write_file("tree.nex", "old tree\n");
  write_file("error.txt", "old log\n");
  {
    OutputSession session;
    EXPECT_TRUE(empty_file("out.txt"));  // "MAIN RESULT FILE": erased only at the end
    append_to_file("out.txt", "partial");
    EXPECT_TRUE(write_file_anew("tree.nex", "#NEXUS"));
    EXPECT_TRUE(write_file_anew("new.txt", "created"));
    echo_to_file(kErrorFile, "\nreport");  // the log is written at once
    EXPECT_EQ(read_file("error.txt"), "old log\n\nreport");
  }  // no commit: the run stopped
  EXPECT_EQ(read_file("out.txt"), "earlier results\n");
  EXPECT_EQ(read_file("tree.nex"), "old tree\n");
  EXPECT_EQ(folder_files(), (std::set<std::string>{"out.txt", "tree.nex", "error.txt"}));
}

TEST_F(OutputSessionTest, OutputsCreatedAnewReplaceTheOldContentAtCommit) {
  write_file("out.txt", "old");
  write_file("dist.txt", "old distances");
  {
    OutputSession session;
    EXPECT_TRUE(empty_file("out.txt"));
    append_to_file("out.txt", "results");
    EXPECT_TRUE(write_file_anew("dist.txt", "a\tb\t1"));
    EXPECT_TRUE(write_file_anew("dist.txt", "a\tb\t2"));  // written twice: the last one stays
    session.commit();
  }
  EXPECT_EQ(read_file("out.txt"), "results");
  EXPECT_EQ(read_file("dist.txt"), "a\tb\t2");
}

// A slice of the randomizations keeps its slice file alone.
TEST_F(OutputSessionTest, CommittingOneFileDiscardsEveryOtherAndMakesNoFolder) {
  write_file("out.txt", "earlier results\n");
  {
    OutputSession session;
    EXPECT_TRUE(empty_file("out.txt"));
    append_to_file("out.txt", "a section of a slice");
    EXPECT_EQ(prepare_output_folder("figures"), 0);
    EXPECT_TRUE(write_file_anew("figures/map.svg", "<svg/>"));
    EXPECT_TRUE(write_file_anew("out.txt.slice-2-of-3", "values"));
    session.commit_only("./out.txt.slice-2-of-3");
  }
  EXPECT_EQ(read_file("out.txt"), "earlier results\n");
  EXPECT_EQ(read_file("out.txt.slice-2-of-3"), "values");
  EXPECT_EQ(folder_files(), (std::set<std::string>{"out.txt", "out.txt.slice-2-of-3"}));
}

TEST_F(OutputSessionTest, LinkedResultFileKeepsItsLinkAndGetsTheResults) {
  write_file("real.txt", "old\n");
  std::filesystem::create_symlink("real.txt", "link.txt");
  {
    OutputSession session;
    append_to_file("link.txt", "new");
    session.commit();
  }
  EXPECT_TRUE(std::filesystem::is_symlink("link.txt"));
  EXPECT_EQ(read_file("real.txt"), "old\nnew");
}

TEST_F(OutputSessionTest, FileInAFolderThatDoesNotExistStopsTheRunWithStatus3) {
  OutputSession session;
  EXPECT_FALSE(write_file_anew("no-such-folder/x.txt", "x"));
  EXPECT_FALSE(try_append_to_file("no-such-folder/x.txt", "x"));
  EXPECT_STOPS(append_to_file("no-such-folder/out.txt", "REPORT"), "error in writing REPORT : cannot open file",
               kStoppedStatus);
}

TEST_F(OutputSessionTest, OutsideASessionWritesGoStraightToTheFiles) {
  append_to_file("out.txt", "a");
  EXPECT_TRUE(write_file_anew("n.txt", "b"));
  EXPECT_EQ(read_file("out.txt"), "a");
  EXPECT_EQ(read_file("n.txt"), "b");
  EXPECT_FALSE(is_staged("out.txt"));
}

TEST_F(OutputSessionTest, AFailedWriteStopsTheRunNamingTheFileAndChangesNoResult) {
  write_file("out.txt", "earlier results\n");
  write_file("tree.nex", "old tree\n");
  {
    OutputSession session;
    append_to_file("out.txt", "new section");
    const InjectedWriteFailure full_disk("tree.nex", ENOSPC);
    const std::string message = write_failure_message("tree.nex", "No space left on device");
    // Optional outputs are skipped when they cannot be opened, never cut short.
    EXPECT_STOPS(write_file_anew("tree.nex", "#NEXUS"), message, kStoppedStatus);
    EXPECT_STOPS(try_append_to_file("tree.nex", "tree"), message, kStoppedStatus);
    EXPECT_STOPS(append_to_file("tree.nex", "tree"), message, kStoppedStatus);
  }
  EXPECT_EQ(read_file("out.txt"), "earlier results\n");
  EXPECT_EQ(read_file("tree.nex"), "old tree\n");
  EXPECT_EQ(folder_files(), (std::set<std::string>{"out.txt", "tree.nex"}));
}

TEST_F(OutputSessionTest, AFileSizeLimitStopsTheRunWhetherItIsReachedWhileWritingOrAtTheCommit) {
  write_file("out.txt", std::string(3000, 'o'));
  write_file("new.txt", "old");
  {
    const FileSizeLimit limit(4096);
    OutputSession session;
    EXPECT_STOPS(append_to_file("big.txt", std::string(5000, 'b')), write_failure_message("big.txt", "File too large"),
                 kStoppedStatus);
    EXPECT_TRUE(write_file_anew("new.txt", "new"));
    // 2,000 bytes more fit in the temporary file, not in out.txt.
    append_to_file("out.txt", std::string(2000, 'n'));
    EXPECT_STOPS(session.commit(), write_failure_message("out.txt", "File too large"), kStoppedStatus);
  }
  EXPECT_EQ(read_file("out.txt"), std::string(3000, 'o'));
  EXPECT_EQ(read_file("new.txt"), "old");
  EXPECT_EQ(folder_files(), (std::set<std::string>{"out.txt", "new.txt"}));
}

TEST_F(OutputSessionTest, AFileThatCannotBeMovedIntoPlaceGetsEveryFileMovedBeforeItBack) {
  write_file("a.txt", "old a");
  write_file("c.txt", "old c");
  {
    OutputSession session;
    append_to_file("a.txt", " and new a");
    EXPECT_TRUE(write_file_anew("b.txt", "new b"));
    EXPECT_TRUE(write_file_anew("c.txt", "new c"));
    // Once a.txt is in place, b.txt becomes a folder: it cannot be replaced.
    set_commit_hook([](const std::string& target) {
      if (std::filesystem::path(target).filename() == "a.txt") std::filesystem::create_directory("b.txt");
    });
    EXPECT_STOPS(session.commit(), write_failure_message("b.txt", "Is a directory"), kStoppedStatus);
    set_commit_hook({});
  }
  EXPECT_EQ(read_file("a.txt"), "old a");
  EXPECT_EQ(read_file("c.txt"), "old c");
  EXPECT_EQ(folder_files(), (std::set<std::string>{"a.txt", "b.txt", "c.txt"}));
}

TEST_F(OutputSessionTest, ANewFolderIsMadeByTheCommitAndAFailedRunLeavesNone) {
  std::filesystem::create_directory("old");
  write_file("old/a.svg", "old a");
  // A run that stops, earlier or in its commit: no new folder is left.
  for (const bool commit_fails : {false, true}) {
    SCOPED_TRACE(commit_fails);
    {
      OutputSession session;
      EXPECT_EQ(prepare_output_folder("figs/"), 0);
      EXPECT_EQ(prepare_output_folder("old"), 0);
      EXPECT_TRUE(write_file_anew("figs/a.svg", "new a"));
      EXPECT_TRUE(write_file_anew("old/a.svg", "new a"));
      EXPECT_TRUE(write_file_anew("z.txt", "z"));
      EXPECT_FALSE(std::filesystem::exists("figs"));
      if (commit_fails) {
        // Once figs/a.svg is in place, z.txt becomes a folder: it cannot be replaced.
        set_commit_hook([](const std::string& target) {
          if (std::filesystem::path(target).filename() == "a.svg") std::filesystem::create_directory("z.txt");
        });
        EXPECT_STOPS(session.commit(), write_failure_message("z.txt", "Is a directory"), kStoppedStatus);
        set_commit_hook({});
        std::filesystem::remove("z.txt");
      }
    }
    EXPECT_EQ(folder_files(), (std::set<std::string>{"old"}));
    EXPECT_EQ(read_file("old/a.svg"), "old a");
  }
  {
    OutputSession session;
    EXPECT_EQ(prepare_output_folder("figs"), 0);
    EXPECT_TRUE(write_file_anew("figs/a.svg", "new a"));
    EXPECT_EQ(prepare_output_folder("empty"), 0);  // made even with nothing to put in it
    session.commit();
  }
  EXPECT_EQ(folder_files(), (std::set<std::string>{"old", "figs", "empty"}));
  EXPECT_EQ(folder_files("figs"), (std::set<std::string>{"a.svg"}));
  EXPECT_EQ(read_file("figs/a.svg"), "new a");
  // Only the folder itself is made, never a folder above it.
  write_file("file", "");
  OutputSession session;
  EXPECT_EQ(prepare_output_folder("no/figs"), ENOENT);
  EXPECT_EQ(prepare_output_folder("file"), ENOTDIR);
  EXPECT_EQ(prepare_output_folder("file/figs"), ENOTDIR);
}

// The host part of the temporary file names of this computer.
std::string this_host() {
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  std::string host(name);
  for (char& c : host) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') c = '_';
  }
  return host;
}

TEST_F(OutputSessionTest, TemporaryFilesOfKilledRunsAreRemovedAndThoseOfLiveRunsKept) {
  const pid_t dead_run = start_run([] {});
  ASSERT_EQ(exit_status(dead_run), 0);
  const int dead = static_cast<int>(dead_run);
  const int live = static_cast<int>(getppid());
  const std::string host_name = this_host();
  const char* host = host_name.c_str();
  std::filesystem::create_directory("figs");
  const std::string stale[] = {format(".out.txt.quorvel-%s-%d-3.tmp", host, dead),
                               format(".table.tsv.quorvel-%s-%d-1.old", host, dead),
                               format("figs/.a.svg.quorvel-%s-%d-12.tmp", host, dead)};
  const std::string kept[] = {
      format(".out.txt.quorvel-%s-%d-1.tmp", host, live),
      // Another computer sharing the folder: its processes cannot be seen.
      format(".out.txt.quorvel-%s-other-%d-1.tmp", host, dead),
      format("notes.quorvel-%s-%d-1.tmp", host, dead),  // not one of ours
      format(".out.txt.quorvel-%s-%d-1.txt", host, dead),
  };
  for (const std::string& name : stale) write_file(name, "left by a killed run");
  for (const std::string& name : kept) write_file(name, "not ours to remove");
  {
    OutputSession session;
    append_to_file("out.txt", "results");
    EXPECT_TRUE(write_file_anew("figs/b.svg", "<svg/>"));
    session.commit();
  }
  EXPECT_EQ(folder_files(), (std::set<std::string>{"out.txt", "figs", kept[0], kept[1], kept[2], kept[3]}));
  EXPECT_EQ(folder_files("figs"), (std::set<std::string>{"b.svg"}));
}

TEST_F(OutputSessionTest, ATemporaryFileRemovedDuringTheRunStopsItInsteadOfLosingSections) {
  write_file("out.txt", "earlier results\n");
  OutputSession session;
  append_to_file("out.txt", "first section");
  std::filesystem::remove(output_path("out.txt"));
  EXPECT_STOPS(append_to_file("out.txt", "second section"),
               write_failure_message("out.txt", "No such file or directory"), kStoppedStatus);
}

TEST_F(OutputSessionTest, ARunAppendingToAFileKeepsWhatAnotherRunAddedMeanwhile) {
  write_file("all.txt", "earlier\n");
  Signal written, go_on;
  const pid_t first = start_run([&] {
    OutputSession session;
    append_to_file("all.txt", "first run\n");
    EXPECT_TRUE(write_file_anew("table.tsv", "first table"));
    written.send();
    go_on.wait();
    append_to_file("all.txt", "first run, end\n");
    session.commit();
  });
  written.wait();
  // The second run starts and commits while the first one is writing.
  const pid_t second = start_run([] {
    OutputSession session;
    append_to_file("all.txt", "second run\n");
    EXPECT_TRUE(write_file_anew("table.tsv", "second table"));
    session.commit();
  });
  EXPECT_EQ(exit_status(second), 0);
  go_on.send();
  EXPECT_EQ(exit_status(first), 0);
  EXPECT_EQ(read_file("all.txt"), "earlier\nsecond run\nfirst run\nfirst run, end\n");
  // A file created anew is the one of the later commit, whole.
  EXPECT_EQ(read_file("table.tsv"), "first table");
  EXPECT_EQ(folder_files(), (std::set<std::string>{"all.txt", "table.tsv"}));
}

TEST_F(OutputSessionTest, EveryFileIsLockedUntilTheWholeCommitHasEnded) {
  write_file("all.txt", "earlier\n");
  Signal committing, go_on;
  const pid_t run = start_run([&] {
    OutputSession session;
    append_to_file("all.txt", "results\n");
    EXPECT_TRUE(write_file_anew("a.txt", "a"));  // moved first: the files go in path order
    set_commit_hook([&](const std::string& target) {
      if (std::filesystem::path(target).filename() == "a.txt") {
        committing.send();
        go_on.wait();
      }
    });
    session.commit();
  });
  committing.wait();
  // all.txt has its new content ready, not yet in place: another run that
  // wants to read it for appending has to wait.
  const int descriptor = open(lock_file_of(resolved_output_path("all.txt")).c_str(), O_RDWR);
  ASSERT_GE(descriptor, 0);
  EXPECT_NE(flock(descriptor, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(errno, EWOULDBLOCK);
  close(descriptor);
  go_on.send();
  EXPECT_EQ(exit_status(run), 0);
  EXPECT_EQ(read_file("all.txt"), "earlier\nresults\n");
  EXPECT_EQ(folder_files(), (std::set<std::string>{"a.txt", "all.txt"}));  // lock files removed
}

TEST_F(OutputSessionTest, OutputsOutsideTheWorkingFolderAreToldApart) {
  std::filesystem::create_directory("sub");
  std::filesystem::create_symlink("..", "up");
  EXPECT_TRUE(inside_working_folder("out.txt"));
  EXPECT_TRUE(inside_working_folder("sub/../sub/new/out.txt"));
  EXPECT_FALSE(inside_working_folder("../out.txt"));
  EXPECT_FALSE(inside_working_folder("up/out.txt"));
  EXPECT_FALSE(inside_working_folder("/out.txt"));
  EXPECT_EQ(resolved_output_path("./sub/x.txt"), resolved_output_path("sub/x.txt"));
}

}  // namespace
}  // namespace quorvel::core
