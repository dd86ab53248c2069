// A run ended by a signal leaves no temporary file and every result file as
// it was; a signal during the commit lets it end whole.
#include "core/termination_signals.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fcntl.h>
#include <termios.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>

#include "core/console.hpp"
#include "core/format.hpp"
#include "core/output_session.hpp"
#include "core/text_output.hpp"
#include "support/test_support.hpp"

namespace quorvel::core {
namespace {

using testing::read_file;
using testing::write_file;

class TerminationSignals : public testing::WorkDirTest {
 protected:
  void SetUp() override {
    WorkDirTest::SetUp();
    write_file("out.txt", "earlier results\n");
    write_file("fig00.svg", "earlier figure\n");
  }
  static std::set<std::string> folder_files() {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(".")) names.insert(entry.path().filename().string());
    return names;
  }
  // The files of the folder once a run has ended without a trace.
  static std::set<std::string> untouched() { return {"out.txt", "fig00.svg"}; }
};

// More result files than a fixed table of paths for the signal handler held.
constexpr int kFigures = 40;

void write_run_outputs() {
  append_to_file("out.txt", "new section");
  for (int i = 0; i < kFigures; ++i) write_file_anew(format("fig%02d.svg", i), "new figure");
}

void without_core_dump() {
  const rlimit none{0, 0};
  setrlimit(RLIMIT_CORE, &none);
}

TEST_F(TerminationSignals, EachRemovesEveryTemporaryFileAndEndsTheProgramBySignal) {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ}) {
    SCOPED_TRACE(strsignal(signal_number));
    EXPECT_EXIT(
        {
          without_core_dump();
          OutputSession session;
          write_run_outputs();
          std::raise(signal_number);
          std::_Exit(0);
        },
        ::testing::KilledBySignal(signal_number), "");
    EXPECT_EQ(read_file("out.txt"), "earlier results\n");
    EXPECT_EQ(read_file("fig00.svg"), "earlier figure\n");
    EXPECT_EQ(folder_files(), untouched());
  }
}

TEST_F(TerminationSignals, AConsoleReaderThatWentAwayEndsTheRunWithoutTemporaryFiles) {
  // As `quorvel instr.txt | grep -m1 ...` once grep has found its line.
  EXPECT_EXIT(
      {
        int ends[2];
        if (pipe(ends) != 0) std::_Exit(2);
        close(ends[0]);
        OutputSession session;
        write_run_outputs();
        set_console_streams(nullptr, fdopen(ends[1], "w"));
        console_print("\n\n\n\n\nAnalyse PLOTS x PHYLOGENY data");
        std::_Exit(0);
      },
      ::testing::KilledBySignal(SIGPIPE), "");
  EXPECT_EQ(folder_files(), untouched());
}

TEST_F(TerminationSignals, ASignalDuringTheCommitLetsItEndWholeAndTheRunEndsNormally) {
  EXPECT_EXIT(
      {
        OutputSession session;
        write_run_outputs();
        // Between the first two files put in place.
        bool raised = false;
        set_commit_hook([&](const std::string&) {
          if (!raised) std::raise(SIGTERM);
          raised = true;
        });
        session.commit();
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file("out.txt"), "earlier results\nnew section");
  for (int i = 0; i < kFigures; ++i) EXPECT_EQ(read_file(format("fig%02d.svg", i)), "new figure");
  std::set<std::string> all_new = untouched();
  for (int i = 0; i < kFigures; ++i) all_new.insert(format("fig%02d.svg", i));
  EXPECT_EQ(folder_files(), all_new);
}

TEST_F(TerminationSignals, ASignalIgnoredWhenTheProgramStartsStaysIgnored) {
  // As under nohup: a closed terminal does not end the run.
  EXPECT_EXIT(
      {
        std::signal(SIGHUP, SIG_IGN);
        OutputSession session;
        write_run_outputs();
        std::raise(SIGHUP);
        session.commit();
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file("out.txt"), "earlier results\nnew section");
}

TEST_F(TerminationSignals, CtrlCDuringAKeyReadGivesTheTerminalItsEchoBack) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string terminal = ptsname(master);
  EXPECT_EXIT(
      {
        std::FILE* keys = std::fopen(terminal.c_str(), "r");
        if (!keys) std::_Exit(2);
        OutputSession session;
        set_console_streams(keys, nullptr);
        // Ctrl+C once the key read has put the terminal in raw mode.
        std::thread interrupt([descriptor = fileno(keys)] {
          termios mode{};
          do {
            tcgetattr(descriptor, &mode);
          } while (mode.c_lflag & ECHO);
          kill(getpid(), SIGINT);
        });
        interrupt.detach();
        console_read_key();
        std::_Exit(0);
      },
      ::testing::KilledBySignal(SIGINT), "");
  const int descriptor = open(terminal.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(descriptor, 0);
  termios mode{};
  ASSERT_EQ(tcgetattr(descriptor, &mode), 0);
  EXPECT_TRUE(mode.c_lflag & ECHO);
  EXPECT_TRUE(mode.c_lflag & ICANON);
  close(descriptor);
  close(master);
}

}  // namespace
}  // namespace quorvel::core
