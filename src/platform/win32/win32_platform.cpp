// The Windows back end: program, machine and user; code page; locale and time; system
// information; clipboard, random seed, profile strings and crypto. Files, folders, user
// values and locks are in win32_files.cpp, processes in win32_processes.cpp.
#include "platform/win32/win32_platform.h"

#include <array>
#include <cstring>
#include <vector>

#include "platform/win32/wide_text.h"

// The Windows headers last, so that their macros reach none of the program's headers.
#include "platform/win32/win32_api.h"

#include <objbase.h>
#include <shellapi.h>

namespace tavrin {
namespace {

// The text of a locale information type, empty when the locale has none. The locale is
// named by its id: Wine answers nothing for the name of the system default locale.
std::string LocaleText(LCID locale, LCTYPE type) {
  const int length = ::GetLocaleInfoW(locale, type, nullptr, 0);
  if (length <= 0) return "";
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  if (::GetLocaleInfoW(locale, type, text.data(), length) <= 0) return "";
  text.resize(static_cast<std::size_t>(length - 1));  // the terminating NUL
  return Narrow(text);
}

SYSTEMTIME ToSystemTime(const DateTime& time) {
  SYSTEMTIME system{};
  system.wYear = static_cast<WORD>(time.year);
  system.wMonth = static_cast<WORD>(time.month);
  system.wDay = static_cast<WORD>(time.day);
  system.wHour = static_cast<WORD>(time.hour);
  system.wMinute = static_cast<WORD>(time.minute);
  system.wSecond = static_cast<WORD>(time.second);
  return system;
}

// A SYSTEMTIME in 100-nanosecond steps, for differences.
bool Ticks(const SYSTEMTIME& time, long long& ticks) {
  FILETIME file{};
  if (!::SystemTimeToFileTime(&time, &file)) return false;
  ticks = static_cast<long long>((static_cast<unsigned long long>(file.dwHighDateTime) << 32) |
                                 file.dwLowDateTime);
  return true;
}

// Whether the system runs on a 64-bit processor, also when this is a 32-bit program.
bool SystemIs64Bit() {
  using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
  if (const auto isWow64Process2 =
          SystemFunction<IsWow64Process2Function>(L"kernel32.dll", "IsWow64Process2")) {
    USHORT process = 0, native = 0;
    if (isWow64Process2(::GetCurrentProcess(), &process, &native)) {
      return native == IMAGE_FILE_MACHINE_AMD64 || native == IMAGE_FILE_MACHINE_ARM64;
    }
  }
  if constexpr (sizeof(void*) == 8) return true;
  BOOL wow64 = FALSE;
  return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

// A clipboard held open by this program; another program may hold it for a moment.
class OpenedClipboard {
 public:
  OpenedClipboard() {
    for (int attempt = 0; attempt < 10 && !open_; ++attempt) {
      open_ = ::OpenClipboard(nullptr) != FALSE;
      if (!open_) ::Sleep(20);
    }
  }
  ~OpenedClipboard() {
    if (open_) ::CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  bool IsOpen() const { return open_; }

 private:
  bool open_ = false;
};

}  // namespace

std::string Win32Machine::ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return "";
    // A path that filled the buffer may have been cut short.
    if (length < path.size()) return Narrow(std::wstring_view(path.data(), length));
    if (path.size() >= 32768) return "";
    path.resize(path.size() * 2);
  }
}

std::string Win32Machine::ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(name, &length)) return "";
  return Narrow(std::wstring_view(name, length));
}

std::string Win32Machine::UserName() {
  wchar_t name[257] = {};  // UNLEN + 1
  DWORD length = 257;
  if (!::GetUserNameW(name, &length) || length == 0) return "";
  return Narrow(std::wstring_view(name, length - 1));  // the count includes the NUL
}

std::string EnvironmentValue(const std::string& name) {
  const std::wstring wideName = Wide(name);
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD length =
        ::GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) return "";
    // Too small a buffer gives the size needed, NUL included.
    if (length < value.size()) return Narrow(std::wstring_view(value.data(), length));
    value.resize(length);
  }
}

Win32Platform::~Win32Platform() = default;

std::string Win32Machine::GetEnvironmentVariable(const std::string& name) {
  return EnvironmentValue(name);
}

std::string Win32Locale::Utf8ToAnsi(std::string_view utf8) {
  const std::wstring wide = Wide(utf8);
  if (wide.empty()) return "";
  const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                           static_cast<int>(wide.size()), nullptr, 0, "?", nullptr);
  if (length <= 0) return "";
  std::string ansi(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        ansi.data(), length, "?", nullptr);
  return ansi;
}

std::string Win32Locale::AnsiToUtf8(std::string_view ansi) {
  if (ansi.empty()) return "";
  const int length =
      ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  if (length <= 0) return "";
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), length);
  return Narrow(wide);
}

std::string Win32Locale::LocaleInfo(int type) {
  if (type <= 0) return "";
  return LocaleText(LOCALE_SYSTEM_DEFAULT, static_cast<LCTYPE>(type));
}

RegionalSettings Win32Locale::Regional() {
  const LCID user = LOCALE_USER_DEFAULT;
  RegionalSettings regional;
  // The date order and separator the system derives from the short-date picture.
  static constexpr RegionalSettings::DateOrder kOrders[] = {
      RegionalSettings::DateOrder::MonthDayYear, RegionalSettings::DateOrder::DayMonthYear,
      RegionalSettings::DateOrder::YearMonthDay};
  const std::string order = LocaleText(user, LOCALE_IDATE);
  if (order.size() == 1 && order[0] >= '0' && order[0] <= '2') {
    regional.dateOrder = kOrders[order[0] - '0'];
  }
  const auto setIfAny = [](std::string& field, std::string text) {
    if (!text.empty()) field = std::move(text);
  };
  setIfAny(regional.dateSeparator, LocaleText(user, LOCALE_SDATE));
  setIfAny(regional.shortDateFormat, LocaleText(user, LOCALE_SSHORTDATE));
  setIfAny(regional.longTimeFormat, LocaleText(user, LOCALE_STIMEFORMAT));
  setIfAny(regional.timeSeparator, LocaleText(user, LOCALE_STIME));
  setIfAny(regional.decimalSeparator, LocaleText(user, LOCALE_SDECIMAL));
  // An empty thousand separator is a real setting (digits not grouped).
  regional.thousandSeparator = LocaleText(user, LOCALE_STHOUSAND);
  // A locale may name AM and PM although its clock runs to 24: the time picture decides.
  if (regional.longTimeFormat.find('t') != std::string::npos) {
    regional.amSymbol = LocaleText(user, LOCALE_S1159);
    regional.pmSymbol = LocaleText(user, LOCALE_S2359);
  }
  for (std::size_t i = 0; i < 12; ++i) {
    regional.monthNames[i] = LocaleText(user, static_cast<LCTYPE>(LOCALE_SMONTHNAME1 + i));
    regional.abbreviatedMonthNames[i] =
        LocaleText(user, static_cast<LCTYPE>(LOCALE_SABBREVMONTHNAME1 + i));
  }
  // Windows counts the days from Monday (name 1) to Sunday (name 7); the program from Sunday.
  for (std::size_t i = 0; i < 7; ++i) {
    const std::size_t fromMonday = (i + 6) % 7;
    regional.dayNames[i] = LocaleText(user, static_cast<LCTYPE>(LOCALE_SDAYNAME1 + fromMonday));
    regional.abbreviatedDayNames[i] =
        LocaleText(user, static_cast<LCTYPE>(LOCALE_SABBREVDAYNAME1 + fromMonday));
  }
  return regional;
}

DateTime Win32Clock::Now() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return DateTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

int Win32Clock::UtcBiasMinutes(const DateTime& local) {
  const SYSTEMTIME localTime = ToSystemTime(local);
  SYSTEMTIME utc{};
  // The zone's rules for that year, where the system keeps rules per year; else the rules
  // in force now. (TzSpecificLocalTimeToSystemTimeEx would do both at once, but Wine
  // lacks it.)
  DYNAMIC_TIME_ZONE_INFORMATION dynamicZone{};
  TIME_ZONE_INFORMATION zone{};
  const bool yearRules =
      ::GetDynamicTimeZoneInformation(&dynamicZone) != TIME_ZONE_ID_INVALID &&
      ::GetTimeZoneInformationForYear(static_cast<USHORT>(local.year), &dynamicZone, &zone);
  const bool converted =
      ::TzSpecificLocalTimeToSystemTime(yearRules ? &zone : nullptr, &localTime, &utc) != FALSE;
  long long localTicks = 0, utcTicks = 0;
  if (!converted || !Ticks(localTime, localTicks) || !Ticks(utc, utcTicks)) return 0;
  return static_cast<int>((utcTicks - localTicks) / (10'000'000LL * 60));
}

OsVersionInfo Win32Machine::OsVersion() {
  OsVersionInfo info;
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof version;
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  const auto rtlGetVersion = SystemFunction<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion");
  const bool known = (rtlGetVersion != nullptr && rtlGetVersion(&version) == 0) ||
                     ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)) != FALSE;
  if (!known) return info;  // major 0: the version could not be read
  info.major = static_cast<int>(version.dwMajorVersion);
  info.minor = static_cast<int>(version.dwMinorVersion);
  info.platformId = static_cast<int>(version.dwPlatformId);
  info.productType = version.wProductType;
  info.is64Bit = SystemIs64Bit();
  return info;
}

std::string Win32Files::ShortPath(const std::string& path) {
  const std::wstring widePath = Wide(path);
  const DWORD needed = ::GetShortPathNameW(widePath.c_str(), nullptr, 0);
  if (needed == 0) return "";
  std::wstring shortPath(needed, L'\0');
  const DWORD length = ::GetShortPathNameW(widePath.c_str(), shortPath.data(), needed);
  if (length == 0 || length >= needed) return "";
  shortPath.resize(length);
  return Narrow(shortPath);
}

bool Win32Machine::CreateZipComponent() {
  // A thread that runs COM in another apartment already keeps it; only a call that
  // initialized COM here undoes that.
  const HRESULT initialized = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  CLSID classId{};
  IUnknown* component = nullptr;
  const bool created =
      SUCCEEDED(::CLSIDFromProgID(L"zbitz.zzip", &classId)) &&
      SUCCEEDED(::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                   IID_IUnknown, reinterpret_cast<void**>(&component)));
  if (component != nullptr) component->Release();
  if (SUCCEEDED(initialized)) ::CoUninitialize();
  return created;
}

bool Win32Machine::RegisterZipComponent(const std::string& libraryPath) {
  const HMODULE library = ::LoadLibraryW(Wide(libraryPath).c_str());
  if (library == nullptr) return false;
  using RegisterFunction = HRESULT(STDAPICALLTYPE*)();
  const auto registerServer = reinterpret_cast<RegisterFunction>(
      reinterpret_cast<void (*)()>(::GetProcAddress(library, "DllRegisterServer")));
  const bool registered = registerServer != nullptr && SUCCEEDED(registerServer());
  ::FreeLibrary(library);
  return registered;
}

bool Win32Machine::OpenWithShell(const std::string& target) {
  // The active window owns whatever the shell shows about a failure.
  const HINSTANCE result = ::ShellExecuteW(::GetActiveWindow(), L"open", Wide(target).c_str(),
                                           nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

void Win32Machine::SetClipboardText(const std::string& text) {
  const std::wstring wide = Wide(text);
  const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  OpenedClipboard clipboard;
  if (!clipboard.IsOpen() || !::EmptyClipboard()) return;
  const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) return;
  if (void* target = ::GlobalLock(memory)) {
    std::memcpy(target, wide.c_str(), bytes);
    ::GlobalUnlock(memory);
    // Once the clipboard has taken the memory, it is the clipboard's to free.
    if (::SetClipboardData(CF_UNICODETEXT, memory) != nullptr) return;
  }
  ::GlobalFree(memory);
}

std::uint64_t Win32Machine::RandomSeed() {
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  std::uint64_t seed = static_cast<std::uint64_t>(counter.QuadPart);
  seed ^= (static_cast<std::uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) << 1;
  seed ^= static_cast<std::uint64_t>(::GetCurrentProcessId()) << 40;
  seed ^= ::GetTickCount64() << 20;
  return seed;
}

}  // namespace tavrin
