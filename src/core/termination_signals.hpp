#pragma once

#include <signal.h>
#include <termios.h>

#include <string>

namespace quorvel::core {

// Signals that end a run from outside: Ctrl+C (SIGINT), Ctrl+\ (SIGQUIT), a
// closed terminal (SIGHUP), kill (SIGTERM), a reader of the console output
// that went away (SIGPIPE) and a file-size limit (SIGXFSZ). While a
// TerminationCleanup is installed, each of them removes the registered
// temporary files and then ends the process by that same signal, as it would
// have ended without the handler.

/// Installs the handler for every termination signal that is not ignored
/// (a signal ignored when the program starts, as SIGHUP under nohup, stays
/// ignored); the destructor restores the former actions. One at a time.
class TerminationCleanup {
 public:
  TerminationCleanup();
  ~TerminationCleanup();
  TerminationCleanup(const TerminationCleanup&) = delete;
  TerminationCleanup& operator=(const TerminationCleanup&) = delete;
};

/// Adds `path` to the files the handler removes; any number of them.
void register_temporary(const std::string& path);

/// Takes `path` out of that list (moved into place, or removed by the run).
void forget_temporary(const std::string& path);

/// Holds the termination signals back on the calling thread while it lives,
/// so that the work it protects is done whole. Signals that arrive meanwhile
/// are delivered when it ends, unless discard_pending() was called: the work
/// is then complete and the signals came too late to stop it.
class TerminationSignalsHeld {
 public:
  TerminationSignalsHeld();
  ~TerminationSignalsHeld();
  TerminationSignalsHeld(const TerminationSignalsHeld&) = delete;
  TerminationSignalsHeld& operator=(const TerminationSignalsHeld&) = delete;

  void discard_pending() { discard_ = true; }

 private:
  sigset_t previous_mask_{};
  bool discard_ = false;
};

/// While it lives, a termination signal puts the terminal `descriptor` back
/// into `mode` before ending the program, so that Ctrl+C during a key read in
/// raw mode does not leave the terminal without echo.
class TerminalModeRestored {
 public:
  TerminalModeRestored(int descriptor, const termios& mode);
  ~TerminalModeRestored();
  TerminalModeRestored(const TerminalModeRestored&) = delete;
  TerminalModeRestored& operator=(const TerminalModeRestored&) = delete;
};

}  // namespace quorvel::core
