// The stand-in import tool on Windows.
#include <string>

#include "standin_system.h"

#include "platform/win32/win32_api.h"

#include <shellapi.h>

namespace tavrin::standin {
namespace {

namespace fs = std::filesystem;

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return L"";
  const int size = static_cast<int>(utf8.size());
  std::wstring out(
      static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)),
      L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), static_cast<int>(out.size()));
  return out;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) return "";
  const int size = static_cast<int>(utf16.size());
  std::string out(static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size,
                                                                 nullptr, 0, nullptr, nullptr)),
                  '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, out.data(), static_cast<int>(out.size()),
                        nullptr, nullptr);
  return out;
}

}  // namespace

std::vector<std::string> CommandArguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) arguments.push_back(Narrow(wide[i]));
    ::LocalFree(wide);
  }
  return arguments;
}

fs::path OwnPath(const char*) {
  std::wstring path(32768, L'\0');  // the longest path Windows knows
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return fs::path(path);
}

bool AppendLine(const fs::path& file, const std::string& line) {
  const UniqueHandle handle(::CreateFileW(file.c_str(), FILE_APPEND_DATA,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return false;
  const std::string text = line + '\n';
  DWORD written = 0;
  return ::WriteFile(handle.Get(), text.data(), static_cast<DWORD>(text.size()), &written,
                     nullptr) != FALSE &&
         written == text.size();
}

std::string RunPluginForJob(const fs::path& base, const std::string& jobId) {
  const fs::path program = base / "_EXTRAS" / "KELSAR" / "TavrinPlugin.exe";
  // The plug-in inherits this process's environment; the tool ends right after it.
  ::SetEnvironmentVariableW(L"STANDIN_FROM_JOB", Wide(jobId).c_str());
  std::wstring commandLine = L"\"" + program.wstring() + L"\" -jobid " + Wide(jobId);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started)) {
    return "not started: error " + std::to_string(::GetLastError());
  }
  ::CloseHandle(started.hThread);
  const UniqueHandle process(started.hProcess);
  DWORD code = 0;
  if (::WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 ||
      !::GetExitCodeProcess(process.Get(), &code)) {
    return "lost";
  }
  return std::to_string(code);
}

}  // namespace tavrin::standin
