#pragma once

#include <concepts>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ini_index.h"
#include "platform/profile_strings.h"

namespace tavrin {

class Platform;

// INI files with a section cache. Files are ANSI text or UTF-16LE text that starts with
// the marker "@@@" (written without byte-order mark). Lines end with CR LF; a line is a
// section header when it starts with "[" and ends with "]"; key lines are key "=" value,
// keys and section names compared without regard to case, the first occurrence winning.
// Nothing is trimmed, quoted or escaped.
//
// Loads are served from a cache of the file's sections that is rebuilt whenever the file
// changes on disk, so several instances on one file see each other's writes. In offline
// mode the instance works on an in-memory image and never writes the file. The cache
// indexes the sections and, on first use of a section, its keys: reading a file costs
// one pass over it, each further Load a lookup, however large the file.
class cIniFile {
 public:
  explicit cIniFile(Platform& platform);

  // Names of the sections in file order, each followed by ";".
  std::string GetAllSections();
  // Rewrites the file keeping only headers and key lines, without duplicate sections or
  // keys and with an empty line before each header but the first. True when rewritten.
  bool RebuildIniStructure();
  // True when the section was found and removed.
  bool RemoveSection(const std::string& section);
  // The key's value; the default when the file, section or key is missing or the value
  // is empty.
  std::string Load(const std::string& section, const std::string& key,
                   const std::string& defaultValue);
  // True only while running inside the development environment; never in this program.
  bool gbVBEntwicklung() const { return false; }
  // Tests the first 10 bytes of the file for the Unicode marker; a missing or shorter
  // file leaves the flag as it is. Returns the flag.
  bool CheckUnicodeFile();
  // Forgets the cached modification time, so the next access rereads the file.
  void ResetCache();

  // Writes one value. Throws RuntimeError 53 without a file name (outside offline mode),
  // 5 when section, key or value hold a line break, 75 when the file cannot be written.
  void Save(const std::string& section, const std::string& key, std::string_view value);
  void Save(const std::string& section, const std::string& key, const char* value) {
    Save(section, key, std::string_view(value));
  }
  // Booleans are written as "True" and "False".
  void Save(const std::string& section, const std::string& key, bool value) {
    Save(section, key, std::string_view(value ? "True" : "False"));
  }
  template <std::integral T>
  requires(!std::same_as<T, bool>) void Save(const std::string& section, const std::string& key,
                                             T value) {
    Save(section, key, std::string_view(std::to_string(value)));
  }
  void Save(const std::string& section, const std::string& key, double value);

  const std::string& IniFile() const { return fileName_; }
  void IniFile(const std::string& fileName);

  // Removes the first line of the section that starts with key "=" (exact case).
  // True when a line was removed.
  bool RemoveKey(const std::string& section, const std::string& key);

  bool CacheIniFile() const { return cacheFlag_; }
  void CacheIniFile(bool value) { cacheFlag_ = value; }

  // Writes the in-memory image to the file as ANSI text (deletes the file when empty).
  void SaveOfflineToFile();

  bool UseCacheDirectly() const { return useCacheDirectly_; }
  void UseCacheDirectly(bool value) { useCacheDirectly_ = value; }

  // Writes the Unicode content to the file as ANSI text.
  void WriteAsAnsi();
  // Writes the Unicode content to the file as UTF-16LE with the marker. With convert,
  // the file is first taken over as it is (an ANSI file becomes Unicode).
  void WriteAsUnicode(bool convert);

  const std::string& IniContent() const { return memContent_; }
  void IniContent(const std::string& content);

  bool Offline() const { return offline_; }
  void Offline(bool value) { offline_ = value; }

  bool SaveToRAM() const { return saveToRam_; }
  void SaveToRAM(bool value) { saveToRam_ = value; }

 private:
  // What the cache remembers of the file: modification time and size.
  struct FileStamp {
    std::filesystem::file_time_type time;
    std::uintmax_t size = 0;
    bool operator==(const FileStamp&) const = default;
  };

  std::optional<FileStamp> StampOfFile() const;
  // Rebuilds the section cache from the offline image or the file.
  void BuildCache();
  // Indexes memContent_ anew; every change of memContent_ is followed by this.
  void IndexContent();
  // Rebuilds the cache when the file changed since the last build (or, offline, when
  // there is no image yet).
  void MakeCacheCurrent();
  // The file decoded by the Unicode flag: marker forms decoded, else ANSI.
  std::string ReadFileText();
  std::string DecodeUnicode(const std::string& bytes) const;
  // Bytes of a file without the "@@@" marker: ANSI, or UTF-8 or UTF-16 when an editor
  // saved it with that byte-order mark, which is kept for writing it back.
  std::string DecodeAnsi(const std::string& bytes) const;
  void WriteAnsiFile(std::string_view content, const char* source);
  // Replaces the file with the bytes (ReplaceFile); throws 75 with the reason on failure.
  void ReplaceOnDisk(std::string_view bytes, const char* source);
  void WriteUnicodeFile(const char* source);
  // Puts text edited by RemoveSection, RemoveKey or RebuildIniStructure back where it
  // came from.
  enum class Origin { OfflineImage, UnicodeFile, AnsiFile };
  Origin CurrentOrigin();
  std::string TextOf(Origin origin);
  void StoreText(Origin origin, const std::string& text, const char* source);

  Platform& platform_;
  std::string fileName_;
  std::optional<FileStamp> cachedStamp_;
  std::optional<IniIndex> sections_;  // describes memContent_
  bool cacheFlag_ = true;
  bool unicode_ = false;
  // The encoding an "ANSI" file was found in, which WriteAnsiFile keeps.
  mutable ProfileEncoding markedEncoding_ = ProfileEncoding::kAnsi;
  std::string unicodeContent_;
  std::string rawContent_;
  std::string memContent_;
  bool offline_ = false;
  bool useCacheDirectly_ = false;
  bool saveToRam_ = false;
};

// The text of one INI line edit: sets key to value in the section, adding the key or the
// section as needed; an empty value never adds anything. Section and key are found
// without regard to case.
std::string EditIniContent(const std::string& content, const std::string& section,
                           const std::string& key, const std::string& value);

}  // namespace tavrin
