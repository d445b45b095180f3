#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace tavrin {

// Where the import files for the host's import tool come from. The tool may read a file
// after this process has ended, so such files cannot be deleted at the end of the run;
// they are recorded under the user's key "TavrinPlugin\TempFilesToBeDeleted" ("Anzahl"
// = count, "1", "2", ... = paths) and deleted at a later start, once no program has them
// open any more.
class cTempFiles {
 public:
  // The registry key and the value that holds the count.
  static constexpr const char* kRecordKey = "TavrinPlugin\\TempFilesToBeDeleted";
  static constexpr const char* kCountValue = "Anzahl";
  // Held shared by every process that recorded files, for as long as it lives. The
  // record's own lock (named like its key) guards each read-modify-write of the record.
  static constexpr const char* kInUseLock = "TavrinPlugin\\TempFilesInUse";

  // Fixes the temporary folder: the "Temp" variable, else the platform's temporary
  // folder, else the system drive's root ("/tmp/" where "/" is the separator); a relative
  // folder is taken below the current folder; always with a trailing separator.
  explicit cTempFiles(Platform& platform);
  // Runs DeleteTempFiles when the delete-at-end flag is on (this object's files count as
  // free then); never throws.
  ~cTempFiles();
  cTempFiles(const cTempFiles&) = delete;
  cTempFiles& operator=(const cTempFiles&) = delete;

  // The delete-at-end flag: on from creation.
  void SetDeleteAtEnd(bool deleteAtEnd) { deleteAtEnd_ = deleteAtEnd; }
  bool DeleteAtEnd() const { return deleteAtEnd_; }

  // Deletes every recorded file that exists and no program has open; files in use or
  // that cannot be deleted stay recorded, renumbered from 1 in their old order. Paths
  // whose files are gone are dropped, and so are, without deleting anything, paths that
  // name no file this program made for this user: only a regular file of the user's own
  // (no link) right in the temporary folder, named as GetTempFile names files (with this
  // object's prefix), is deleted. Does nothing while another live process (or another
  // object of this one) has recorded files. Reads and writes the record once each, under
  // its lock, so that thousands of entries take a moment only. A registry call, lock or
  // file check that fails with a run-time error counts as "no"; only running out of
  // memory passes up.
  void DeleteTempFiles();

  // The name prefix of new files; empty until the first GetTempFile makes it "tVp".
  const std::string& PrefixForTempFiles() const { return prefix_; }
  void PrefixForTempFiles(std::string prefix) { prefix_ = std::move(prefix); }

  const std::string& TempPath() const { return tempPath_; }

  // The full path of a file in the temporary folder that does not exist yet, named
  // "~" + the first characters of the prefix + a number + "." + extension. For "tmp" the
  // platform's empty placeholder file is the result and stays; for other extensions the
  // file itself is not created. With Record::kYes, the path is added to the record
  // (under the record's lock, so that processes recording at once lose no entry), and from
  // then on this object holds the in-use lock until it is destroyed.
  enum class Record { kNo, kYes };
  std::string GetTempFile(const std::string& extension, Record record);

 private:
  // The prefix with its leading "~", the default one when none was set yet.
  std::string TildePrefix() const;
  std::string MakeName(const std::string& extension);
  // Whether a recorded path is a file that DeleteTempFiles may delete.
  bool IsOwnTempFile(const std::string& path);
  std::string NumberedName(const std::string& prefix, const std::string& extension);
  void RecordPath(const std::string& path);
  int RecordedCount();
  std::unique_ptr<HeldFile> Lock(const char* name, LockMode mode);

  Platform& platform_;
  bool deleteAtEnd_ = true;
  std::string prefix_;
  std::string tempPath_;
  std::unique_ptr<HeldFile> inUse_;
};

}  // namespace tavrin
