#include "platform/temp_files.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/platform.h"
#include "shared/error.h"
#include "shared/fs.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

constexpr const char* kDefaultPrefix = "tVp";
// Numbered fallback names: prefix characters and counter make seven characters.
constexpr std::size_t kNumberedNameLength = 7;
constexpr std::size_t kPrefixCharacters = 3;
// A damaged count must not make every start walk through millions of values.
constexpr int kMaxRecordedFiles = 10000;
// The platform numbers placeholders with four hexadecimal digits at most.
constexpr int kMaxPlaceholderTries = 0x10000;
constexpr int kMaxNumberedTries = 1000000;
// The longest number a name made here carries: the numbered names' counter.
constexpr std::size_t kMaxNumberDigits = 7;

// Anything of that name (file or folder) blocks it.
bool NameTaken(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(FsPath(path), ec);
}

// Registry calls, locks and file checks that fail with a run-time error must never stop
// the caller; such a failure counts as "no", and what stays recorded is deleted at a later
// start. No trace log is reachable here (the object knows only the platform), so it is not
// traced. Running out of memory is no answer of the system and passes up.
template <typename Call>
auto Guarded(Call call, decltype(call()) fallback) -> decltype(call()) {
  try {
    return call();
  } catch (const RuntimeError&) {
    return fallback;
  }
}

// The first characters of a text (UTF-8 sequences kept whole).
std::string FirstCharacters(const std::string& text, std::size_t count) {
  std::size_t pos = 0;
  for (std::size_t i = 0; i < count && pos < text.size(); ++i) {
    pos += Utf8SequenceLength(text, pos);
  }
  return text.substr(0, std::min(pos, text.size()));
}

// The path with "~" in front of its file name unless the name begins with one.
std::string WithTildeName(const std::string& path) {
  const std::size_t sep = path.find_last_of(std::string{'/', '\\', kPathSep});
  const std::size_t start = sep == std::string::npos ? 0 : sep + 1;
  if (path.compare(start, 1, "~") == 0) return path;
  return path.substr(0, start) + "~" + path.substr(start);
}

bool IsSeparator(char c) {
  return c == '/' || c == '\\' || c == kPathSep;
}

bool IsLetterOrDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Whether a file name has the form of the names MakeName gives: the start ("~" and the
// prefix's first characters), a number of hexadecimal digits (decimal in the numbered
// names), "." and an extension of letters and digits.
bool IsTempName(std::string_view name, std::string_view start) {
  if (!name.starts_with(start)) return false;
  name.remove_prefix(start.size());
  std::size_t digits = 0;
  while (digits < name.size() && IsHexDigit(name[digits])) ++digits;
  if (digits == 0 || digits > kMaxNumberDigits || digits + 1 >= name.size() ||
      name[digits] != '.') {
    return false;
  }
  const std::string_view extension = name.substr(digits + 1);
  return std::all_of(extension.begin(), extension.end(), IsLetterOrDigit);
}

// The path with its file name's extension replaced.
std::string WithExtension(const std::string& path, const std::string& extension) {
  const std::size_t sep = path.find_last_of(std::string{'/', '\\', kPathSep});
  const std::size_t dot = path.rfind('.');
  const bool hasDot = dot != std::string::npos && (sep == std::string::npos || dot > sep);
  return (hasDot ? path.substr(0, dot) : path) + "." + extension;
}

}  // namespace

cTempFiles::cTempFiles(Platform& platform) : platform_(platform) {
  std::string folder =
      Guarded([&] { return platform_.Machine().GetEnvironmentVariable("Temp"); }, "");
  if (folder.empty()) folder = Guarded([&] { return platform_.Files().TempPath(); }, "");
  if (folder.empty()) folder = kPathSep == '\\' ? "c:\\" : "/tmp/";
  // The import tool runs in a folder of its own, so a relative folder would name another
  // place there: it is taken relative to the current folder now.
  if (!FsPath(folder).is_absolute()) {
    const std::string current = Guarded([&] { return platform_.Files().CurrentDirectory(); }, "");
    if (!current.empty()) folder = PathText((FsPath(current) / FsPath(folder)).lexically_normal());
  }
  tempPath_ = AddBackslash(folder);
}

cTempFiles::~cTempFiles() {
  if (!deleteAtEnd_) return;
  try {
    inUse_.reset();  // this object's own files are not in use any more
    DeleteTempFiles();
  } catch (...) {
    // Nothing may escape a destructor, whatever it is; no trace log is reachable here.
    // What stays recorded is deleted at a later start.
  }
}

std::string cTempFiles::GetTempFile(const std::string& extension, Record record) {
  if (prefix_.empty()) prefix_ = kDefaultPrefix;
  std::string path = MakeName(extension);
  if (record == Record::kYes) RecordPath(path);
  return path;
}

std::string cTempFiles::TildePrefix() const {
  const std::string& prefix = prefix_.empty() ? std::string(kDefaultPrefix) : prefix_;
  return prefix.starts_with('~') ? prefix : "~" + prefix;
}

std::string cTempFiles::MakeName(const std::string& extension) {
  const std::string prefix = TildePrefix();
  const bool tmp = ToLower(extension) == "tmp";

  // Every placeholder stays until a free name is found: deleting one early would let the
  // platform hand out the same number again and the search would never end.
  std::vector<std::string> placeholders;
  std::string name;
  for (int tries = 0; tries < kMaxPlaceholderTries && name.empty(); ++tries) {
    std::string placeholder =
        Guarded([&] { return platform_.Files().CreateUniqueTempFile(tempPath_, prefix); }, "");
    placeholder = placeholder.substr(0, placeholder.find('\0'));
    if (placeholder.empty()) break;
    placeholders.push_back(placeholder);
    const std::string candidate = WithTildeName(placeholder);
    if (tmp) {
      name = candidate;
    } else if (const std::string named = WithExtension(candidate, extension); !NameTaken(named)) {
      name = named;
    }
  }
  if (name.empty()) name = NumberedName(prefix, extension);

  for (const std::string& placeholder : placeholders) {
    if (placeholder != name) KillFile(placeholder);
  }
  return name;
}

std::string cTempFiles::NumberedName(const std::string& prefix, const std::string& extension) {
  const std::string start = FirstCharacters(prefix, kPrefixCharacters);
  const int digits = static_cast<int>(kNumberedNameLength - CharCount(start));
  for (int counter = 1; counter <= kMaxNumberedTries; ++counter) {
    char number[16];
    std::snprintf(number, sizeof number, "%0*d", digits, counter);
    std::string path = tempPath_ + start;
    path += number;
    path += '.';
    path += extension;
    if (!NameTaken(path)) return path;
  }
  throw PathFileAccessError("cTempFiles.GetTempFile", tempPath_);
}

int cTempFiles::RecordedCount() {
  const std::string text =
      Guarded([&] { return platform_.UserValues().ReadUserValue(kRecordKey, kCountValue); }, "");
  const double count = Val(text);
  if (count < 1) return 0;
  return count > kMaxRecordedFiles ? kMaxRecordedFiles : static_cast<int>(count);
}

std::unique_ptr<HeldFile> cTempFiles::Lock(const char* name, LockMode mode) {
  return Guarded([&] { return platform_.UserValues().TakeUserLock(name, mode); }, nullptr);
}

void cTempFiles::RecordPath(const std::string& path) {
  // From the first recorded file on, this process counts as using its files, so that no
  // other process's clean-up deletes them while it lives.
  if (!inUse_) inUse_ = Lock(kInUseLock, LockMode::Shared);
  const std::unique_ptr<HeldFile> lock = Lock(kRecordKey, LockMode::Exclusive);
  const std::string number = std::to_string(RecordedCount() + 1);
  Guarded(
      [&] {
        return platform_.UserValues().WriteUserValues(kRecordKey,
                                                      {{kCountValue, number}, {number, path}}, {});
      },
      false);
}

bool cTempFiles::IsOwnTempFile(const std::string& path) {
  // Right in the temporary folder: a path with folders of its own below it, or ".."
  // steps out of it, may lead anywhere.
  const bool inFolder =
      path.size() > tempPath_.size() &&
      (kPathSep == '\\' ? EqualsNoCase(path.substr(0, tempPath_.size()), tempPath_)
                        : path.compare(0, tempPath_.size(), tempPath_) == 0);
  if (!inFolder) return false;
  const std::string_view name = std::string_view(path).substr(tempPath_.size());
  if (std::any_of(name.begin(), name.end(), IsSeparator) ||
      !IsTempName(name, FirstCharacters(TildePrefix(), kPrefixCharacters))) {
    return false;
  }
  // A regular file of the user's own; a link is never followed to what it names. (Only
  // the owner may swap a file of a temporary folder that others can write, which has
  // the sticky bit; and removing a link removes the link, never its target.)
  const PathFacts facts = Guarded([&] { return platform_.Files().InspectPath(path); }, PathFacts{});
  return facts.kind == PathFacts::Kind::Regular && facts.ownedByUser;
}

void cTempFiles::DeleteTempFiles() {
  // While another process lives that recorded files, nothing is deleted: its files would
  // not show as in use on every system. They are all deleted at a later start.
  const std::unique_ptr<HeldFile> noneInUse = Lock(kInUseLock, LockMode::TryExclusive);
  if (!noneInUse) return;
  const std::unique_ptr<HeldFile> lock = Lock(kRecordKey, LockMode::Exclusive);
  const int count = RecordedCount();
  if (count == 0) return;

  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) names.push_back(std::to_string(i));
  const std::vector<std::string> paths =
      Guarded([&] { return platform_.UserValues().ReadUserValues(kRecordKey, names); },
              std::vector<std::string>());
  if (paths.size() != names.size()) return;  // the record cannot be read now

  std::vector<std::pair<std::string, std::string>> kept;
  for (const std::string& path : paths) {
    // A path whose file is gone is dropped from the record. So is one that names no
    // temporary file of this program's: another user's file, a link, a file elsewhere
    // or of another name, as an entry planted in the record would. It is never deleted,
    // and waiting does not make it deletable; kept, it would only grow the record, and
    // entries planted up to the record's limit would leave no room for the program's own.
    if (!FileExists(path) || !IsOwnTempFile(path)) continue;
    const bool free = Guarded([&] { return platform_.Files().CanOpenExclusively(path); }, false);
    if (!free || KillFile(path) != 0) kept.emplace_back(std::to_string(kept.size() + 1), path);
  }
  // The kept paths are renumbered from 1; the values above their number are deleted.
  kept.emplace_back(kCountValue, std::to_string(kept.size()));
  const std::vector<std::string> stale(names.begin() + static_cast<std::ptrdiff_t>(kept.size() - 1),
                                       names.end());
  Guarded([&] { return platform_.UserValues().WriteUserValues(kRecordKey, kept, stale); }, false);
}

}  // namespace tavrin
