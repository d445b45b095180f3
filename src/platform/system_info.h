#pragma once

#include <string>

#include "platform/platform.h"

namespace tavrin {

class AppPaths;
class TraceLog;

// The name of the operating system for the environment summary. On Windows the name comes
// from the version table (for example 5.1 gives "Windows XP") and versionNumber is
// major + "." + minor; the 64-bit flag is only determined from Windows 6 on. A system
// that names itself gives that name, with its release as versionNumber.
std::string WindowsVersionName(const OsVersionInfo& info, std::string& versionNumber, bool& is64);

// The offset of local time from UTC as sign + hh + ":" + mm for a bias in minutes (UTC
// minus local time): -120 gives "+02:00", 240 gives "-04:00", and 0 gives "-00:00".
std::string TimeZoneText(int biasMinutes);
// TimeZoneText of the bias in effect now, so that summer and winter time each give their
// own offset.
std::string TimeZoneOffset(Platform& platform);

// The file version of an executable as "major.minor.build.revision"; empty when the file
// has no version information or cannot be read.
std::string FileVersionText(const std::string& path);

// The short form of a path; the path itself when the system has no short form for it.
std::string ShortPath(Platform& platform, const std::string& path);

// Name of the optional archive component's library in the program folder.
inline constexpr char kZipLibraryName[] = "zbitz.dll";
// Whether the optional archive component can be created. When it cannot, with
// kRegisterAndRetry its library in the program folder is registered and creation is tried
// once more.
enum class ZipRegistration { kNone, kRegisterAndRetry };
bool ZipAvailable(Platform& platform, const AppPaths& paths, ZipRegistration registration);

// Writes one trace line "Locale[&H<type in hex>] =<text>" for each locale information type
// of the environment summary.
void WriteLocaleReport(Platform& platform, TraceLog& trace);

}  // namespace tavrin
