#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace tavrin {

// Single values of INI files read and written with the semantics of Windows' private
// profile functions, for systems that lack them: section and key names compared without
// regard to case, blanks around key and value trimmed, a value in matching single or
// double quotes loses them, at most 1023 characters returned. Files are ANSI text.
// Writing creates the file, the section or the key as needed and replaces the file
// through ReplaceFile (platform/file_replace.h) with the given access.
std::string ReadProfileStringFile(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& defaultValue);
// The values of several keys of one section, each as ReadProfileStringFile gives it, from
// one read of the file: the cost grows with the file plus the number of keys.
std::vector<std::string> ReadProfileStringsFile(const std::string& file, const std::string& section,
                                                const std::vector<std::string>& keys,
                                                const std::string& defaultValue);
bool WriteProfileStringFile(Platform& platform, const std::string& file, const std::string& section,
                            const std::string& key, const std::string& value, FileAccess access);

}  // namespace tavrin
