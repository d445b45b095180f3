#include "platform/system_info.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include "platform/settings.h"
#include "platform/trace_log.h"
#include "platform/version_resource.h"

namespace tavrin {
namespace {

constexpr int kPlatformNt = 2;

std::string WindowsName(int major, int minor, int platformId) {
  switch (major) {
    case 3:
      return platformId == kPlatformNt ? "Windows NT 3.x" : "Windows 3.x";
    case 4:
      if (platformId == kPlatformNt) return "Windows NT 4.0";
      if (minor == 0) return "Windows 95";
      if (minor < 90) return "Windows 98";
      return "Windows Me";
    case 5:
      if (minor == 0) return "Windows 2000";
      if (minor == 1) return "Windows XP";
      return "";
    case 6:
      return minor == 1 ? "Windows 7" : "Windows Vista";
    default:
      return "Unknown Windows Version";
  }
}

// Upper-case hexadecimal without leading zeros.
std::string Hex(unsigned value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%X", value);
  return buffer;
}

}  // namespace

std::string WindowsVersionName(const OsVersionInfo& info, std::string& versionNumber, bool& is64) {
  if (!info.systemName.empty()) {
    versionNumber = info.systemRelease;
    is64 = info.is64Bit;
    return info.systemName;
  }
  versionNumber = std::to_string(info.major) + "." + std::to_string(info.minor);
  is64 = info.major >= 6 && info.is64Bit;
  return WindowsName(info.major, info.minor, info.platformId);
}

std::string TimeZoneText(int biasMinutes) {
  const char sign = biasMinutes >= 0 ? '-' : '+';
  const long long total = std::llabs(static_cast<long long>(biasMinutes));
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%c%02lld:%02lld", sign, total / 60, total % 60);
  return buffer;
}

std::string TimeZoneOffset(Platform& platform) {
  return TimeZoneText(platform.Clock().UtcBiasMinutes(platform.Clock().Now()));
}

std::string FileVersionText(const std::string& path) {
  const auto version = ReadFileVersion(path);
  if (!version) return "";
  return std::to_string((*version)[0]) + "." + std::to_string((*version)[1]) + "." +
         std::to_string((*version)[2]) + "." + std::to_string((*version)[3]);
}

std::string ShortPath(Platform& platform, const std::string& path) {
  std::string shortPath = platform.Files().ShortPath(path);
  // A path without a short form (or a failed conversion) is used as it stands, which is
  // what every caller wants rather than an empty path.
  return shortPath.empty() ? path : shortPath;
}

bool ZipAvailable(Platform& platform, const AppPaths& paths, ZipRegistration registration) {
  if (platform.Machine().CreateZipComponent()) return true;
  if (registration == ZipRegistration::kNone) return false;
  platform.Machine().RegisterZipComponent(paths.ProgramFolder() + kZipLibraryName);
  return platform.Machine().CreateZipComponent();
}

void WriteLocaleReport(Platform& platform, TraceLog& trace) {
  static constexpr std::array<unsigned, 16> kTypes = {1, 2, 4097, 3, 4,  5,  6,    4098,
                                                      7, 8, 21,   9, 10, 11, 4100, 4113};
  for (unsigned type : kTypes) {
    const std::string line =
        "Locale[&H" + Hex(type) + "] =" + platform.Locale().LocaleInfo(static_cast<int>(type));
    trace.Write(std::string_view(line));
  }
}

}  // namespace tavrin
