#include "platform/file_replace.h"

#include <atomic>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "shared/fs.h"
#include "shared/utf8.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

using Failure = FileWriteResult::Failure;
using Kind = PathFacts::Kind;
using WriteMode = FileService::WriteMode;

constexpr std::string_view kSiblingMark = ".~";
constexpr std::string_view kSiblingEnd = ".new~";
constexpr std::uint32_t kOwnerOnlyPermissions = 0600;
constexpr std::uint32_t kUsualPermissions = 0;  // the system's default for new files
// A chain longer than this is taken for a loop, as the system itself would.
constexpr int kMaxLinkSteps = 40;
// Names are random, so a taken one is a rare accident; a few tries are plenty.
constexpr int kMaxNameTries = 16;

FileWriteResult Failed(Failure failure, std::string description) {
  return FileWriteResult{failure, std::move(description)};
}

FileWriteResult Refused(const std::string& path, const char* why) {
  return Failed(Failure::Refused, "Cannot replace file: " + path + " (" + why + ")");
}

std::uint32_t PermissionsFor(FileAccess access, const PathFacts& existing) {
  if (access == FileAccess::OwnerOnly) return kOwnerOnlyPermissions;
  if (existing.kind == Kind::Regular) return existing.permissions;
  return access == FileAccess::OwnerOnlyWhenNew ? kOwnerOnlyPermissions : kUsualPermissions;
}

// Follows links of the user's own from the path to the name that is no link; `facts`
// then describe that name. A link of another user is not followed: in a shared folder it
// may have been planted to make the program overwrite a file of the planter's choice.
FileWriteResult FollowOwnLinks(Platform& platform, std::string& path, PathFacts& facts) {
  const std::string given = path;
  for (int step = 0; facts.kind == Kind::Link; ++step) {
    if (!facts.ownedByUser) return Refused(given, "a link of another user");
    if (step == kMaxLinkSteps) return Refused(given, "a loop of links");
    std::error_code ec;
    const fs::path link = FsPath(path);
    fs::path next = fs::read_symlink(link, ec);
    if (ec) return Refused(given, "a link that cannot be read");
    if (next.is_relative()) next = link.parent_path() / next;
    path = PathText(next.lexically_normal());
    facts = platform.Files().InspectPath(path);
  }
  return {};
}

// The file that a write to the path replaces, with its facts; or the refusal.
FileWriteResult SettleTarget(Platform& platform, std::string& target, PathFacts& facts) {
  const std::string given = target;
  facts = platform.Files().InspectPath(target);
  if (FileWriteResult followed = FollowOwnLinks(platform, target, facts); !followed.Ok()) {
    return followed;
  }
  if (facts.kind != Kind::Missing && facts.kind != Kind::Regular) {
    return Refused(given, "not a regular file");
  }
  // A rename would replace a read-only file as easily as any other; the owner's "do not
  // change" is respected instead.
  if (facts.kind == Kind::Regular && !facts.writable) return Refused(given, "read-only");
  return {};
}

std::uint32_t NextUniqueNumber(Platform& platform) {
  static std::atomic<std::uint32_t> counter{0};
  return static_cast<std::uint32_t>(platform.Machine().RandomSeed()) + 0x9E3779B9u * ++counter;
}

// Creates the replacement file beside the target under a name nobody else uses. The name
// is marked for removal on an interruption before the file exists, so that no moment of
// the write leaves a part of the document behind; `unfinished` holds the mark.
std::unique_ptr<WritableFile> CreateSibling(Platform& platform, const std::string& target,
                                            std::uint32_t permissions, std::string& sibling,
                                            std::unique_ptr<HeldFile>& unfinished) {
  for (int attempt = 0; attempt < kMaxNameTries; ++attempt) {
    sibling = ReplacementSiblingName(target, platform.Processes().ProcessId(),
                                     NextUniqueNumber(platform));
    unfinished = platform.Files().RemoveOnInterrupt(sibling);
    if (auto file =
            platform.Files().OpenFileForWriting(sibling, WriteMode::CreateNew, permissions)) {
      return file;
    }
    unfinished.reset();
    // Only a taken name is worth another try; a folder that refuses new files refuses all.
    if (platform.Files().InspectPath(sibling).kind == Kind::Missing) break;
  }
  return nullptr;
}

std::string FolderOf(const std::string& path) {
  const fs::path parent = FsPath(path).parent_path();
  return parent.empty() ? std::string(".") : PathText(parent);
}

}  // namespace

RuntimeError FileWriteResult::Error(std::string source) const {
  return RuntimeError(failure == Failure::Write ? kErrDeviceIo : kErrPathFileAccess,
                      std::move(source), description);
}

std::string ReplacementSiblingName(const std::string& path, std::uint32_t processId,
                                   std::uint32_t unique) {
  char tail[40];
  std::snprintf(tail, sizeof tail, "%u-%08X", static_cast<unsigned>(processId),
                static_cast<unsigned>(unique));
  return path + std::string(kSiblingMark) + tail + std::string(kSiblingEnd);
}

std::optional<std::uint32_t> ReplacementSiblingWriter(std::string_view fileName) {
  if (!fileName.ends_with(kSiblingEnd)) return std::nullopt;
  fileName.remove_suffix(kSiblingEnd.size());
  const std::size_t mark = fileName.rfind(kSiblingMark);
  if (mark == std::string_view::npos || mark == 0) return std::nullopt;
  const std::string_view tail = fileName.substr(mark + kSiblingMark.size());
  const std::size_t dash = tail.find('-');
  if (dash == std::string_view::npos || tail.size() - dash - 1 != 8) return std::nullopt;
  std::uint32_t id = 0;
  const auto [end, error] = std::from_chars(tail.data(), tail.data() + dash, id);
  if (error != std::errc() || end != tail.data() + dash || dash == 0) return std::nullopt;
  std::uint32_t unique = 0;
  const auto [hexEnd, hexError] = std::from_chars(tail.data() + dash + 1, tail.end(), unique, 16);
  if (hexError != std::errc() || hexEnd != tail.end()) return std::nullopt;
  return id;
}

int RemoveStaleSiblings(Platform& platform, const std::string& folder) {
  const std::uint32_t self = platform.Processes().ProcessId();
  int removed = 0;
  std::error_code ec;
  for (fs::directory_iterator it(FsPath(folder), ec), end; !ec && it != end; it.increment(ec)) {
    const std::optional<std::uint32_t> writer =
        ReplacementSiblingWriter(PathText(it->path().filename()));
    if (!writer || *writer == self || platform.Processes().ProcessAlive(*writer)) continue;
    const std::string path = PathText(it->path());
    const PathFacts facts = platform.Files().InspectPath(path);
    if (facts.kind == Kind::Regular && facts.ownedByUser && platform.Files().RemoveFile(path))
      ++removed;
  }
  return removed;
}

FileWriteResult ReplaceFile(Platform& platform, const std::string& path, std::string_view bytes,
                            FileAccess access) {
  if (path.empty()) return Failed(Failure::Create, "Cannot create file: ");
  std::string target = path;
  PathFacts facts;
  if (FileWriteResult refused = SettleTarget(platform, target, facts); !refused.Ok()) {
    return refused;
  }
  RemoveStaleSiblings(platform, FolderOf(target));

  std::string sibling;
  // Released when the new file is renamed or removed, at the end of this call.
  std::unique_ptr<HeldFile> unfinished;
  std::unique_ptr<WritableFile> file =
      CreateSibling(platform, target, PermissionsFor(access, facts), sibling, unfinished);
  if (!file) return Failed(Failure::Create, "Cannot create file: " + path);
  const bool written = file->Write(bytes) && file->Flush() && file->Close();
  file.reset();
  if (!written) {
    platform.Files().RemoveFile(sibling);
    return Failed(Failure::Write, "Cannot write file: " + path);
  }
  if (!platform.Files().RenameFile(sibling, target)) {
    platform.Files().RemoveFile(sibling);
    return Failed(Failure::Replace, "Cannot replace file: " + path);
  }
  return {};
}

FileWriteResult WriteNewFile(Platform& platform, const std::string& path, std::string_view bytes,
                             FileAccess access) {
  std::unique_ptr<WritableFile> claim =
      platform.Files().OpenFileForWriting(path, WriteMode::CreateNew, PermissionsFor(access, {}));
  if (!claim) return Failed(Failure::Create, "Cannot create file: " + path);
  const bool closed = claim->Close();
  claim.reset();
  FileWriteResult result = closed ? ReplaceFile(platform, path, bytes, access)
                                  : Failed(Failure::Create, "Cannot create file: " + path);
  if (!result.Ok()) platform.Files().RemoveFile(path);
  return result;
}

FileWriteResult AppendToFile(Platform& platform, const std::string& path, std::string_view bytes,
                             FileAccess access) {
  std::unique_ptr<WritableFile> file =
      platform.Files().OpenFileForWriting(path, WriteMode::Append, PermissionsFor(access, {}));
  if (!file) return Failed(Failure::Create, "Cannot create file: " + path);
  if (!file->Write(bytes) || !file->Close()) {
    return Failed(Failure::Write, "Cannot write file: " + path);
  }
  return {};
}

void WriteUtf8File(Platform& platform, const std::string& path, std::string_view text,
                   FileAccess access) {
  // Documents are valid UTF-8 as a rule; they are written as they stand, not copied.
  const FileWriteResult result = IsValidUtf8(text)
                                     ? ReplaceFile(platform, path, text, access)
                                     : ReplaceFile(platform, path, SanitizeUtf8(text), access);
  if (!result.Ok()) throw result.Error("mUTF8.WriteUtf8File");
}

namespace {

// The path made absolute, its existing folders' links resolved and "." and ".." taken out;
// where the system cannot do that (a path longer than it takes), as far as the text goes.
// Never empty for a name: a failure must not make two names look alike.
fs::path NormalPath(const std::string& path) {
  std::error_code ec;
  fs::path full = fs::absolute(FsPath(path), ec);
  if (ec) full = FsPath(path);
  fs::path resolved = fs::weakly_canonical(full, ec);
  return ec || resolved.empty() ? full.lexically_normal() : resolved;
}

}  // namespace

bool IsSameFile(Platform& platform, const std::string& a, const std::string& b) {
  const std::optional<FileIdentity> first = platform.Files().IdentifyFile(a);
  const std::optional<FileIdentity> second = platform.Files().IdentifyFile(b);
  if (first || second) return first == second;
  return NormalPath(a) == NormalPath(b);
}

}  // namespace tavrin
