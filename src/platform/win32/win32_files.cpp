// The Windows back end's files, folders, temporary names, user values (the registry) and
// locks between the user's processes.
#include "platform/win32/win32_platform.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/win32/wide_text.h"
#include "shared/error.h"
#include "shared/fs.h"

// The Windows headers last, so that their macros reach none of the program's headers.
#include "platform/win32/win32_api.h"
// GetSecurityInfo, after windows.h.
#include <aclapi.h>

namespace tavrin {
namespace {

// A held file or lock: closing the handle releases it (and the system releases it when the
// process ends).
class Win32HeldFile : public HeldFile {
 public:
  explicit Win32HeldFile(UniqueHandle handle) : handle_(std::move(handle)) {}

 private:
  UniqueHandle handle_;
};

// A file being written; Flush is FlushFileBuffers, so that a renamed file is complete on
// the disk.
class Win32WritableFile : public WritableFile {
 public:
  explicit Win32WritableFile(UniqueHandle handle) : handle_(std::move(handle)) {}

  // In pieces of 1 MiB, like the POSIX writer: a system that passes the write on to
  // Linux (Wine) takes one large write many times longer than the same bytes in pieces.
  bool Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const auto piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
      DWORD written = 0;
      if (!::WriteFile(handle_.Get(), bytes.data(), piece, &written, nullptr) || written == 0) {
        return false;
      }
      bytes.remove_prefix(written);
    }
    return true;
  }
  bool Flush() override { return ::FlushFileBuffers(handle_.Get()) != FALSE; }
  bool Close() override { return handle_.Reset(); }

 private:
  UniqueHandle handle_;
};

bool IsLinkTag(DWORD tag) {
  return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT;
}

// The reparse tag of a path's last part, which the directory entry carries.
DWORD ReparseTag(const std::wstring& path) {
  WIN32_FIND_DATAW entry{};
  const HANDLE search = ::FindFirstFileW(path.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  ::FindClose(search);
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? entry.dwReserved0 : 0;
}

// Whether an opened handle is a plain disk file: not a device, pipe, folder or link.
bool IsPlainDiskFile(HANDLE file) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  return ::GetFileType(file) == FILE_TYPE_DISK &&
         ::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &info, sizeof info) &&
         (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         !((info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsLinkTag(info.ReparseTag));
}

// Whether the file a link leads to may be written.
bool LinkTargetWritable(const std::wstring& path) {
  const UniqueHandle target(::CreateFileW(
      path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  return target && ::GetFileInformationByHandle(target.Get(), &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0;
}

// Whether the security identifier is this process's user, or the owner its token gives
// new objects (for an elevated administrator the Administrators group, which then owns
// the files the user makes).
bool IsOwnSid(PSID sid) {
  HANDLE opened = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened)) return false;
  const UniqueHandle token(opened);
  for (const TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), kind, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !::GetTokenInformation(token.Get(), kind, buffer.data(), size, &size)) {
      continue;
    }
    const PSID own = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                       : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
    if (::EqualSid(own, sid)) return true;
  }
  return false;
}

// Whether the file or folder (a link itself, not what it names) is owned by this process's
// user. A volume that keeps no owners (FAT) cannot tell users apart: its files count as
// the user's. A file whose owner cannot be read is not the user's, whose owner may always
// read it.
bool OwnedByUser(const std::wstring& path) {
  const UniqueHandle file(::CreateFileW(
      path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return false;
  DWORD volumeFlags = 0;
  if (::GetVolumeInformationByHandleW(file.Get(), nullptr, 0, nullptr, nullptr, &volumeFlags,
                                      nullptr, 0) &&
      (volumeFlags & FILE_PERSISTENT_ACLS) == 0) {
    return true;
  }
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(file.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool own = owner != nullptr && IsOwnSid(owner);
  ::LocalFree(descriptor);
  return own;
}

std::wstring UserKeyPath(const std::string& key) {
  return L"Software\\" + Wide(key);
}

// Takes a byte-range lock on a lock file, polling while another holder keeps it, for at
// most kLockWait unless the mode asks not to wait. Null when the lock is not granted.
constexpr auto kLockWait = std::chrono::seconds(10);
constexpr auto kLockPoll = std::chrono::milliseconds(5);

std::unique_ptr<HeldFile> LockFile(const std::wstring& path, LockMode mode) {
  UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
  if (!file) return nullptr;
  const DWORD flags =
      (mode == LockMode::Shared ? 0 : LOCKFILE_EXCLUSIVE_LOCK) | LOCKFILE_FAIL_IMMEDIATELY;
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  for (;;) {
    OVERLAPPED start{};  // the lock covers the first byte, whether or not the file has one
    if (::LockFileEx(file.Get(), flags, 0, 1, 0, &start)) {
      return std::make_unique<Win32HeldFile>(std::move(file));
    }
    if (::GetLastError() != ERROR_LOCK_VIOLATION || mode == LockMode::TryExclusive ||
        std::chrono::steady_clock::now() > deadline) {
      return nullptr;
    }
    std::this_thread::sleep_for(kLockPoll);
  }
}

// The lock file of a name: every character that is not a letter, digit, "-" or "." is
// written as "_", so that a key path such as "A\B" names one file.
std::string LockFileName(const std::string& name) {
  std::string file;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.';
    file += plain ? c : '_';
  }
  return file + ".lock";
}

}  // namespace

void Win32Files::SetNormalAttributes(const std::string& path) {
  const std::wstring widePath = Wide(path);
  const DWORD attributes = ::GetFileAttributesW(widePath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  constexpr DWORD kCleared =
      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if ((attributes & kCleared) == 0) return;
  const DWORD wanted = attributes & ~kCleared;
  ::SetFileAttributesW(widePath.c_str(), wanted != 0 ? wanted : FILE_ATTRIBUTE_NORMAL);
}

std::unique_ptr<HeldFile> Win32Files::HoldFile(const std::string& path) {
  UniqueHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return nullptr;
  return std::make_unique<Win32HeldFile>(std::move(file));
}

bool Win32Files::CanOpenExclusively(const std::string& path) {
  const UniqueHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(file);
}

PathFacts Win32Files::InspectPath(const std::string& path) {
  PathFacts facts;
  const std::wstring widePath = Wide(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(widePath.c_str(), GetFileExInfoStandard, &data)) return facts;
  const DWORD attributes = data.dwFileAttributes;
  const bool link =
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsLinkTag(ReparseTag(widePath));
  if (link) {
    facts.kind = PathFacts::Kind::Link;
  } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    facts.kind = PathFacts::Kind::Other;
  } else {
    facts.kind = PathFacts::Kind::Regular;
  }
  facts.ownedByUser = OwnedByUser(widePath);
  facts.writable =
      link ? LinkTargetWritable(widePath) : (attributes & FILE_ATTRIBUTE_READONLY) == 0;
  return facts;
}

std::optional<FileIdentity> Win32Files::IdentifyFile(const std::string& path) {
  if (path.empty()) return std::nullopt;
  // A full path beyond MAX_PATH reaches the system whole in its "\\?\" form.
  std::wstring name = Wide(path);
  const DWORD needed = ::GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (needed > MAX_PATH) {
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(name.c_str(), needed, full.data(), nullptr);
    if (length > 0 && length < needed && !full.starts_with(L"\\\\?\\")) {
      full.resize(length);
      name = full.starts_with(L"\\\\") ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
    }
  }
  // Neither reading nor writing: any file can be opened so, whoever else has it open.
  const UniqueHandle file(
      ::CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !::GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::unique_ptr<WritableFile> Win32Files::OpenFileForWriting(const std::string& path,
                                                             WriteMode mode,
                                                             std::uint32_t permissions) {
  const bool append = mode == WriteMode::Append;
  const bool readOnly = permissions != 0 && (permissions & 0200) == 0;
  const DWORD attributes = readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
  UniqueHandle file(::CreateFileW(
      Wide(path).c_str(), append ? FILE_APPEND_DATA | FILE_READ_ATTRIBUTES : GENERIC_WRITE,
      append ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
      append ? OPEN_ALWAYS : CREATE_NEW, attributes | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file || (append && !IsPlainDiskFile(file.Get()))) return nullptr;
  return std::make_unique<Win32WritableFile>(std::move(file));
}

bool Win32Files::RenameFile(const std::string& from, const std::string& to) {
  return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool Win32Files::RemoveFile(const std::string& path) {
  return ::DeleteFileW(Wide(path).c_str()) != FALSE;
}

std::string Win32Files::TempPath() {
  wchar_t buffer[MAX_PATH + 2] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH + 1) return "";
  std::string path = Narrow(std::wstring_view(buffer, length));
  if (path.back() != '\\') path += '\\';
  return path;
}

std::string Win32Files::CreateUniqueTempFile(const std::string& folder, const std::string& prefix) {
  if (folder.empty()) return "";
  wchar_t path[MAX_PATH] = {};
  if (::GetTempFileNameW(Wide(folder).c_str(), Wide(prefix).c_str(), 0, path) == 0) return "";
  return Narrow(path);
}

std::string Win32Files::CurrentDirectory() {
  const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return "";
  std::wstring folder(needed, L'\0');
  const DWORD length = ::GetCurrentDirectoryW(needed, folder.data());
  if (length == 0 || length >= needed) return "";
  folder.resize(length);
  return Narrow(folder);
}

int Win32Files::ChangeDirectory(const std::string& folder) {
  if (folder.empty() || !::SetCurrentDirectoryW(Wide(folder).c_str())) {
    return static_cast<int>(kErrPathNotFound);
  }
  return 0;
}

bool Win32Files::CreateFolders(const std::string& folder) {
  if (folder.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(FsPath(folder), ec);
  return std::filesystem::is_directory(FsPath(folder), ec);
}

std::string Win32UserValues::ReadUserValue(const std::string& key, const std::string& name) {
  const std::wstring keyPath = UserKeyPath(key), valueName = Wide(name);
  std::wstring value(128, L'\0');
  for (;;) {
    DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    const LSTATUS status = ::RegGetValueW(HKEY_CURRENT_USER, keyPath.c_str(), valueName.c_str(),
                                          RRF_RT_REG_SZ, nullptr, value.data(), &bytes);
    if (status == ERROR_MORE_DATA) {
      value.resize(bytes / sizeof(wchar_t) + 1);
      continue;
    }
    if (status != ERROR_SUCCESS || bytes < sizeof(wchar_t)) return "";
    value.resize(bytes / sizeof(wchar_t) - 1);  // the terminating NUL
    return Narrow(value);
  }
}

bool Win32UserValues::WriteUserValue(const std::string& key, const std::string& name,
                                     const std::string& value) {
  HKEY opened = nullptr;
  // Creates every missing level of the key on the way.
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, UserKeyPath(key).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &opened, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring text = Wide(value);
  const LSTATUS status = ::RegSetValueExW(opened, Wide(name).c_str(), 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(text.c_str()),
                                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(opened);
  return status == ERROR_SUCCESS;
}

bool Win32UserValues::DeleteUserValue(const std::string& key, const std::string& name) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, UserKeyPath(key).c_str(), 0, KEY_SET_VALUE, &opened) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LSTATUS status = ::RegDeleteValueW(opened, Wide(name).c_str());
  ::RegCloseKey(opened);
  return status == ERROR_SUCCESS;
}

std::unique_ptr<HeldFile> Win32UserValues::TakeUserLock(const std::string& name, LockMode mode) {
  const std::string localData = EnvironmentValue("LOCALAPPDATA");
  if (localData.empty() || name.empty()) return nullptr;
  const std::string folder = localData + "\\TavrinPlugin\\locks";
  std::error_code ec;
  std::filesystem::create_directories(FsPath(folder), ec);
  return LockFile(Wide(folder + "\\" + LockFileName(name)), mode);
}

}  // namespace tavrin
