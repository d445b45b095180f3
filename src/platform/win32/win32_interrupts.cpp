// Files marked with RemoveOnInterrupt, and the console handler that removes them before the
// process ends by Ctrl+C, Ctrl+Break or the console's closing.
#include <atomic>
#include <exception>
#include <memory>
#include <string>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_platform.h"

// The Windows headers last, so that their macros reach none of the program's headers.
#include "platform/win32/win32_api.h"

namespace tavrin {

namespace {

// A slot is taken (Filling), filled and armed by a writer, and given back by its mark. The
// handler takes an armed slot (Removing) and leaves it Removed, so that no writer fills a
// slot while the handler's thread reads it.
enum SlotState : int { kFree, kFilling, kArmed, kRemoving, kRemoved };

struct Slot {
  std::atomic<int> state{kFree};
  std::wstring path;  // full path: no later change of the current folder changes it
};

// The console handler's table. The system calls the handler on a thread of its own with
// nothing but the event's number, so what it removes must lie where it reaches without
// arguments: this fixed table is the one process-wide mutable object of the program.
constexpr int kSlots = 16;
Slot gSlots[kSlots];

BOOL WINAPI OnConsoleEvent(DWORD event) noexcept {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      RemoveMarkedFiles();
      break;
    default:
      break;
  }
  return FALSE;  // the system's own handler, next in line, ends the process
}

class Win32Mark : public HeldFile {
 public:
  explicit Win32Mark(Slot& slot) : slot_(slot) {}
  ~Win32Mark() override {
    int state = kArmed;
    // A slot the handler is removing stays with it: the process is ending.
    if (slot_.state.compare_exchange_strong(state, kFilling) || state == kRemoved) {
      slot_.state.store(kFree);
    }
  }
  Win32Mark(const Win32Mark&) = delete;
  Win32Mark& operator=(const Win32Mark&) = delete;

 private:
  Slot& slot_;
};

}  // namespace

void RemoveMarkedFiles() noexcept {
  for (Slot& slot : gSlots) {
    int armed = kArmed;
    if (!slot.state.compare_exchange_strong(armed, kRemoving)) continue;
    // The writer shares the file for deletion: it goes when the writer's handle is closed,
    // at the latest when the process ends.
    ::DeleteFileW(slot.path.c_str());
    slot.state.store(kRemoved);
  }
}

std::unique_ptr<HeldFile> Win32Files::RemoveOnInterrupt(const std::string& path) {
  const std::wstring given = Wide(path);
  const DWORD needed = ::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return nullptr;
  for (Slot& slot : gSlots) {
    int free = kFree;
    if (!slot.state.compare_exchange_strong(free, kFilling)) continue;
    try {
      slot.path.assign(needed, L'\0');
      const DWORD length = ::GetFullPathNameW(given.c_str(), needed, slot.path.data(), nullptr);
      if (length == 0 || length >= needed) {
        slot.state.store(kFree);
        return nullptr;
      }
      slot.path.resize(length);
      auto mark = std::make_unique<Win32Mark>(slot);
      slot.state.store(kArmed);
      return mark;
    } catch (const std::exception&) {
      // Only running out of memory can come here. Arming is best effort and must not stop
      // the write: the slot is given back and the file is just not removed on Ctrl+C. The
      // platform has no trace log to note it.
      slot.state.store(kFree);
      return nullptr;
    }
  }
  return nullptr;
}

void CleanUpOnInterrupt() {
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace tavrin
