// The Windows back end's processes: starting and watching the import tool, finding a
// running program's folder, and this and other processes' ids.
#include "platform/win32/win32_platform.h"

#include <memory>
#include <string>

#include "platform/win32/wide_text.h"
#include "shared/error.h"
#include "shared/utf8.h"

// The Windows headers last, so that their macros reach none of the program's headers.
#include "platform/win32/win32_api.h"

#include <shlobj.h>
#include <tlhelp32.h>

namespace tavrin {
namespace {

// The longest wait of WaitBriefly; window messages that arrive end it at once.
constexpr DWORD kWaitSliceMs = 100;

// A program started with CreateProcessW, watched through its process handle.
class Win32ChildProcess : public ChildProcess {
 public:
  explicit Win32ChildProcess(UniqueHandle process) : process_(std::move(process)) {}

  bool Finished(std::uint32_t& exitCode) override {
    const DWORD state = ::WaitForSingleObject(process_.Get(), 0);
    if (state == WAIT_TIMEOUT) return false;
    DWORD code = 0;
    // A process that can no longer be watched counts as ended with code 0, as one whose
    // exit code cannot be read.
    if (state != WAIT_OBJECT_0 || !::GetExitCodeProcess(process_.Get(), &code)) code = 0;
    exitCode = code;
    return true;
  }

  void WaitBriefly() override {
    const HANDLE process = process_.Get();
    // MWMO_INPUTAVAILABLE also wakes for messages that arrived before the call, which the
    // user-interface layer then handles.
    ::MsgWaitForMultipleObjectsEx(1, &process, kWaitSliceMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }

 private:
  UniqueHandle process_;
};

// The full path of a running process's executable; empty when it cannot be opened.
std::string ProcessImagePath(DWORD id) {
  const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  if (!process) return "";
  std::wstring path(32768, L'\0');  // the longest path Windows knows
  DWORD length = static_cast<DWORD>(path.size());
  if (!::QueryFullProcessImageNameW(process.Get(), 0, path.data(), &length)) return "";
  path.resize(length);
  return Narrow(path);
}

}  // namespace

std::uint32_t Win32Processes::ProcessId() {
  return ::GetCurrentProcessId();
}

bool Win32Processes::ProcessAlive(std::uint32_t id) {
  if (id == 0) return false;
  const UniqueHandle process(
      ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;
  // The wait, not the exit code: a process may end with code STILL_ACTIVE (259) itself.
  return ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

std::unique_ptr<ChildProcess> Win32Processes::StartProcess(const ProcessStart& start,
                                                           int windowStyle) {
  if (start.program.empty()) throw FileNotFoundError("ShellAndWait", "");
  const std::wstring program = Wide(start.program);
  // CreateProcessW may write into the command line: it gets a copy of its own.
  std::wstring commandLine = Wide(start.commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(windowStyle);
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(program.c_str(), commandLine.empty() ? nullptr : commandLine.data(),
                        nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    throw FileNotFoundError("ShellAndWait", start.program);
  }
  ::CloseHandle(started.hThread);
  return std::make_unique<Win32ChildProcess>(UniqueHandle(started.hProcess));
}

std::string Win32Machine::DocumentsFolder() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    return "";
  }
  std::string path = Narrow(folder);
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path;
}

std::string Win32Processes::FindProcessFolder(const std::string& exeName) {
  const UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot || exeName.empty()) return "";
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (!EqualsNoCase(Narrow(entry.szExeFile), exeName)) continue;
    // A process of another user may not be opened: the next one of that name may.
    const std::string path = ProcessImagePath(entry.th32ProcessID);
    const std::size_t slash = path.find_last_of('\\');
    if (slash != std::string::npos) return path.substr(0, slash + 1);
  }
  return "";
}

}  // namespace tavrin
