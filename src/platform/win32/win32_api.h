#pragma once

// The Windows headers of the back end, and owners for the handles it opens. Every back-end
// .cpp file includes this after all the program's own headers: the Windows headers define
// macros with plain names (GetEnvironmentVariable, WriteProfileString, small, interface)
// that would otherwise rename declarations of the Platform interface in that file alone.
#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max, not the min and max macros
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// ShellExecuteW, left out of windows.h by WIN32_LEAN_AND_MEAN.
#include <shellapi.h>

#undef GetEnvironmentVariable
#undef WriteProfileString

namespace tavrin {

// A kernel handle closed when the owner dies. Both "no handle" values of the API (null and
// INVALID_HANDLE_VALUE) count as empty.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = other.Release();
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Release() {
    const HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  // Closes the handle; false when the system reports a failure (for a file: the last of
  // its data could not be written).
  bool Reset() {
    const HANDLE handle = Release();
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return true;
    return ::CloseHandle(handle) != FALSE;
  }

 private:
  HANDLE handle_ = nullptr;
};

// A function of a system library looked up at run time, for functions that older Windows
// versions lack; null when the library or the function is missing. The detour through
// void (*)() is the one cast between function types that the compiler accepts silently.
template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name) {
  const HMODULE module = ::GetModuleHandleW(library);
  if (module == nullptr) return nullptr;
  const FARPROC address = ::GetProcAddress(module, name);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

}  // namespace tavrin
