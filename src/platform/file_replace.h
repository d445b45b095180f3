#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "shared/error.h"

namespace tavrin {

// The one way the program writes files: settings and INI files, the user-value store, the
// serial-number store, documents, dumps, replay batch files, job files and the trace log.
// (Whole-file reads: ReadFileBytes in shared/fs.h.) Each routine is portable; the system
// calls are the Platform's file-writing steps. All run on the calling thread only.

// How a write ended.
struct FileWriteResult {
  enum class Failure { None, Refused, Create, Write, Replace };
  Failure failure = Failure::None;
  // For the user, naming the file: "Cannot create file: <path>", "Cannot write file:
  // <path>", "Cannot replace file: <path>" (followed by the reason of a refusal).
  std::string description;

  bool Ok() const { return failure == Failure::None; }
  // The error to raise: 57 for a write that did not reach the file, else 75.
  RuntimeError Error(std::string source) const;
};

// Replaces the file's content (or creates the file) so that the name holds the old content
// or the new one, never part of either: the bytes go to a new file beside the target with
// a name of its own (ReplacementSiblingName), created exclusively and never through a link,
// which is written, flushed and closed, then renamed over the target. On any failure the
// new file is removed and the target stays as it was. While it is written it is marked with
// Platform::RemoveOnInterrupt, so that a process ended by a signal leaves no part of it.
//
// Refused, untouched: a target that is a folder, a device, a FIFO or another special file;
// a read-only target; a link owned by another user. A link of the user's own (also a
// chain of them) is followed and the file it names is replaced, as users who link their
// settings file expect. With OwnerOnly the file ends up readable by the user alone; with
// Usual and OwnerOnlyWhenNew a replaced file keeps its permissions, and a new one gets the
// usual ones or is for the user alone. New files
// that dead processes left in the target's folder are removed first (RemoveStaleSiblings).
FileWriteResult ReplaceFile(Platform& platform, const std::string& path, std::string_view bytes,
                            FileAccess access);

// Creates a file that must not exist yet: the name is taken exclusively (an empty file, never
// through a link) and then filled as by ReplaceFile, so that it never holds part of the
// bytes. Fails with Create when the name is taken; on any failure the name is given up.
FileWriteResult WriteNewFile(Platform& platform, const std::string& path, std::string_view bytes,
                             FileAccess access);

// Appends to a regular file, creating it when it is missing; never through a link, never
// into a special file.
FileWriteResult AppendToFile(Platform& platform, const std::string& path, std::string_view bytes,
                             FileAccess access);

// Writes the text as UTF-8 without byte-order mark by ReplaceFile; throws the result's
// error (source "mUTF8.WriteUtf8File").
void WriteUtf8File(Platform& platform, const std::string& path, std::string_view text,
                   FileAccess access);

// The name of a replacement file beside the target: the target's name + ".~" + the
// writing process's id + "-" + eight hexadecimal digits + ".new~".
std::string ReplacementSiblingName(const std::string& path, std::uint32_t processId,
                                   std::uint32_t unique);
// The process id in a file name made by ReplacementSiblingName; nullopt for other names.
std::optional<std::uint32_t> ReplacementSiblingWriter(std::string_view fileName);

// Removes the replacement files in the folder whose writing process no longer runs (it
// was killed in the middle of a write): only regular files owned by the user, never one
// of a live process. Returns how many were removed.
int RemoveStaleSiblings(Platform& platform, const std::string& folder);

// Whether two paths name the same file or folder: the platform's file identity, so that
// other spellings, links and hard links are seen, and paths too long for the system to
// take in one call are told apart. A name that exists is never the same as one that does
// not; two names of which neither exists yet are the same when their full, normalised
// paths are (one new output named twice).
bool IsSameFile(Platform& platform, const std::string& a, const std::string& b);

}  // namespace tavrin
