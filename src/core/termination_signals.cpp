#include "core/termination_signals.hpp"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <memory>

namespace quorvel::core {

namespace {

constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ};
constexpr std::size_t kSignalCount = sizeof kTerminationSignals / sizeof kTerminationSignals[0];

// The handler may only call async-signal-safe functions and may run on any
// thread at any moment, even while a path is being added: the list is
// therefore only ever extended at its head by one atomic store of a node
// that is complete, and nodes are marked dead instead of being unlinked.
// They are freed when the handler is removed.
struct TemporaryNode {
  std::unique_ptr<char[]> path;
  std::atomic<bool> live{true};
  TemporaryNode* next = nullptr;
};
static_assert(std::atomic<TemporaryNode*>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the signal handler reads these without locks");

std::atomic<TemporaryNode*> g_temporaries{nullptr};

struct SavedAction {
  bool installed = false;
  struct sigaction action {};
};
SavedAction g_saved[kSignalCount];

termios g_terminal_mode{};
std::atomic<int> g_terminal{-1};  // set once g_terminal_mode is complete

sigset_t termination_set() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal_number : kTerminationSignals) sigaddset(&set, signal_number);
  return set;
}

extern "C" void remove_temporaries_and_end(int signal_number) {
  const int terminal = g_terminal.load();
  if (terminal >= 0) tcsetattr(terminal, TCSANOW, &g_terminal_mode);
  for (TemporaryNode* node = g_temporaries.load(); node != nullptr; node = node->next) {
    if (node->live.load()) unlink(node->path.get());
  }
  // End as the signal would have ended the program without this handler
  // (status 128 + signal for the shell): the signal is re-raised with its
  // default action and delivered when the handler returns.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
  raise(signal_number);
}

void free_temporaries() {
  TemporaryNode* node = g_temporaries.exchange(nullptr);
  while (node != nullptr) {
    TemporaryNode* next = node->next;
    delete node;
    node = next;
  }
}

}  // namespace

TerminationCleanup::TerminationCleanup() {
  struct sigaction action {};
  action.sa_handler = remove_temporaries_and_end;
  // One handler at a time: a second signal waits until the first has ended
  // the program.
  action.sa_mask = termination_set();
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    SavedAction& saved = g_saved[i];
    saved.installed = false;
    if (sigaction(kTerminationSignals[i], nullptr, &saved.action) != 0) continue;
    if (saved.action.sa_handler == SIG_IGN) continue;  // ignored by whoever started the program: stays so
    saved.installed = sigaction(kTerminationSignals[i], &action, nullptr) == 0;
  }
}

TerminationCleanup::~TerminationCleanup() {
  {
    const TerminationSignalsHeld held;
    for (std::size_t i = 0; i < kSignalCount; ++i) {
      if (g_saved[i].installed) sigaction(kTerminationSignals[i], &g_saved[i].action, nullptr);
      g_saved[i].installed = false;
    }
    free_temporaries();
  }
}

void register_temporary(const std::string& path) {
  auto* node = new TemporaryNode;
  node->path = std::make_unique<char[]>(path.size() + 1);
  std::memcpy(node->path.get(), path.c_str(), path.size() + 1);
  node->next = g_temporaries.load();
  while (!g_temporaries.compare_exchange_weak(node->next, node)) {
  }
}

void forget_temporary(const std::string& path) {
  for (TemporaryNode* node = g_temporaries.load(); node != nullptr; node = node->next) {
    if (node->live.load() && path == node->path.get()) {
      node->live.store(false);
      return;
    }
  }
}

TerminalModeRestored::TerminalModeRestored(int descriptor, const termios& mode) {
  g_terminal_mode = mode;
  g_terminal.store(descriptor);
}

TerminalModeRestored::~TerminalModeRestored() { g_terminal.store(-1); }

TerminationSignalsHeld::TerminationSignalsHeld() {
  const sigset_t set = termination_set();
  pthread_sigmask(SIG_BLOCK, &set, &previous_mask_);
}

TerminationSignalsHeld::~TerminationSignalsHeld() {
  if (discard_) {
    // Setting a pending signal's action to "ignore" discards it.
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    for (const int signal_number : kTerminationSignals) {
      if (sigismember(&pending, signal_number) != 1) continue;
      struct sigaction ignore {};
      struct sigaction former {};
      ignore.sa_handler = SIG_IGN;
      sigemptyset(&ignore.sa_mask);
      sigaction(signal_number, &ignore, &former);
      sigaction(signal_number, &former, nullptr);
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous_mask_, nullptr);
}

}  // namespace quorvel::core
