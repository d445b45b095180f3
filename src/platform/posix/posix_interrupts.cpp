// Files marked with RemoveOnInterrupt, and the signal handler that removes them before the
// process ends by SIGTERM, SIGINT or SIGHUP.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "platform/posix/posix_platform.h"

namespace tavrin {

namespace {

// A slot is taken (Filling), filled and armed by a writer, and given back by its mark. The
// handler takes an armed slot (Removing) and leaves it Removed, so that no writer fills a
// slot while the handler reads it, on whichever thread the signal arrives.
enum SlotState : int { kFree, kFilling, kArmed, kRemoving, kRemoved };
static_assert(std::atomic<int>::is_always_lock_free, "the handler may use lock-free atomics only");

struct Slot {
  std::atomic<int> state{kFree};
  int folder = -1;  // the file's folder, held open: no later chdir changes what it names
  char name[NAME_MAX + 1] = {};
};

// The signal handler's table. A handler receives nothing but the signal's number and may
// call only async-signal-safe functions, so what it removes must lie in memory it reaches
// without arguments and without allocating: this fixed table is the one process-wide
// mutable object of the program.
constexpr int kSlots = 16;
Slot gSlots[kSlots];

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

#ifdef O_PATH
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;  // a folder without read rights
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// Async-signal-safe: atomics and unlinkat only.
void RemoveMarkedFiles() {
  for (Slot& slot : gSlots) {
    int armed = kArmed;
    if (!slot.state.compare_exchange_strong(armed, kRemoving)) continue;
    ::unlinkat(slot.folder, slot.name, 0);
    slot.state.store(kRemoved);
  }
}

extern "C" void OnTerminationSignal(int signal) {
  RemoveMarkedFiles();
  // The process ends by the signal as it would have without the handler, so that the
  // parent sees "killed by SIGTERM": the signal, blocked while the handler runs, comes
  // again with the default action once the handler returns.
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  ::sigemptyset(&standard.sa_mask);
  ::sigaction(signal, &standard, nullptr);
  ::raise(signal);
}

class PosixMark : public HeldFile {
 public:
  explicit PosixMark(Slot& slot) : slot_(slot) {}
  ~PosixMark() override {
    int state = kArmed;
    // A slot the handler is removing stays with it: the process is ending.
    if (slot_.state.compare_exchange_strong(state, kFilling) || state == kRemoved) {
      ::close(slot_.folder);
      slot_.folder = -1;
      slot_.state.store(kFree);
    }
  }
  PosixMark(const PosixMark&) = delete;
  PosixMark& operator=(const PosixMark&) = delete;

 private:
  Slot& slot_;
};

}  // namespace

std::unique_ptr<HeldFile> PosixFiles::RemoveOnInterrupt(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name.size() > NAME_MAX) return nullptr;  // no file can have it
  for (Slot& slot : gSlots) {
    int free = kFree;
    if (!slot.state.compare_exchange_strong(free, kFilling)) continue;
    slot.folder = ::open(folder.c_str(), kFolderFlags);
    if (slot.folder < 0) {
      slot.state.store(kFree);
      return nullptr;
    }
    std::memcpy(slot.name, name.c_str(), name.size() + 1);
    slot.state.store(kArmed);
    return std::make_unique<PosixMark>(slot);
  }
  return nullptr;
}

void CleanUpOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  ::sigemptyset(&action.sa_mask);
  for (const int signal : kSignals) ::sigaddset(&action.sa_mask, signal);  // one at a time
  for (const int signal : kSignals) {
    struct sigaction current {};
    // A signal the process was started to ignore (nohup, a background job) stays ignored.
    if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

}  // namespace tavrin
