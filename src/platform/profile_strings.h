#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace tavrin {

// Single values of INI files read and written with the semantics of Windows' private
// profile functions, for systems that lack them: section and key names compared without
// regard to case, blanks around key and value trimmed, a value in matching single or
// double quotes loses them, at most 1023 characters returned. Files are ANSI text, or
// UTF-8 or UTF-16 (either byte order) when they start with that byte-order mark, as text
// editors save them. Writing creates the file, the section or the key as needed and
// replaces the file through ReplaceFile (platform/file_replace.h) with the given access,
// in the encoding the file was found in (a new file: ANSI); an existing file that cannot
// be read is left alone and the write fails.
std::string ReadProfileStringFile(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& defaultValue);
// The values of several keys of one section, each as ReadProfileStringFile gives it, from
// one read of the file: the cost grows with the file plus the number of keys.
std::vector<std::string> ReadProfileStringsFile(const std::string& file, const std::string& section,
                                                const std::vector<std::string>& keys,
                                                const std::string& defaultValue);
// The encoding a profile file was found in, kept when it is written back so that the
// file never ends up in two encodings.
enum class ProfileEncoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be };
struct ProfileFile {
  std::string text;  // UTF-8, without the byte-order mark
  ProfileEncoding encoding = ProfileEncoding::kAnsi;
};
ProfileFile DecodeProfileFile(std::string_view bytes);
// The text in the encoding, with its byte-order mark (ANSI has none).
std::string EncodeProfileFile(std::string_view text, ProfileEncoding encoding);

bool WriteProfileStringFile(Platform& platform, const std::string& file, const std::string& section,
                            const std::string& key, const std::string& value, FileAccess access);

}  // namespace tavrin
