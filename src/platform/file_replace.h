#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

// Crash-safe whole-file replacement for the settings and INI files. (Whole-file reads:
// ReadFileBytes in shared/fs.h.)

// Replaces the file's content with the given bytes without ever leaving a truncated file
// behind: the bytes go to a new file beside the target (same folder, the target's name
// plus ".~new"), which is flushed, closed and then renamed over the target. A read-only
// target is not replaced. Returns false on failure and leaves the old file untouched;
// `error` then says why.
bool ReplaceFileBytes(const std::string& path, std::string_view bytes,
                      std::string* error = nullptr);

// The name of the new file that ReplaceFileBytes writes before the rename.
std::string ReplacementFileName(const std::string& path);

}  // namespace tavrin
