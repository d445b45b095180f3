#include "platform/ini_file.h"

#include <charconv>
#include <set>
#include <system_error>

#include "platform/file_replace.h"
#include "platform/ini_index.h"
#include "platform/platform.h"
#include "platform/profile_strings.h"
#include "shared/error.h"
#include "shared/fs.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMarker = "@@@";
constexpr std::size_t kMarkerProbeBytes = 10;

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != text.npos;
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Removes every trailing CR LF pair.
std::string WithoutTrailingCrLf(std::string_view text) {
  while (EndsWith(text, kCrLf)) text.remove_suffix(2);
  return std::string(text);
}

// Removes every trailing CR and LF.
void StripTrailingLineBreaks(std::string& text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
}

char16_t Utf16At(std::string_view bytes, std::size_t index) {
  const auto lo = static_cast<unsigned char>(bytes[2 * index]);
  const auto hi = static_cast<unsigned char>(bytes[2 * index + 1]);
  return static_cast<char16_t>(lo | (hi << 8));
}

// Where the UTF-16LE text starts behind the "@@@" marker, for the four forms in which
// the marker is recognised: as single bytes at the start or behind one leading byte, or
// as UTF-16LE characters at the start or behind one leading character (usually a
// byte-order mark). Nothing when the bytes carry no marker.
std::optional<std::size_t> MarkerEnd(std::string_view bytes) {
  if (bytes.substr(0, 3) == kMarker) return 3;
  if (bytes.size() >= 4 && bytes.substr(1, 3) == kMarker) return 4;
  const std::size_t units = bytes.size() / 2;
  auto markerAt = [&](std::size_t first) {
    if (units < first + 3) return false;
    for (std::size_t i = first; i < first + 3; ++i) {
      if (Utf16At(bytes, i) != u'@') return false;
    }
    return true;
  };
  if (markerAt(0)) return 6;
  if (markerAt(1)) return 8;
  return std::nullopt;
}

}  // namespace

std::string EditIniContent(const std::string& content, const std::string& section,
                           const std::string& key, const std::string& value) {
  const std::string header = "[" + section + "]";
  // Only a whole header line opens the section, as for reading: the same text inside a
  // line (a value, or a header followed by more text) is no header.
  const std::size_t h = FindHeaderLine(content, section);
  if (h == std::string::npos) {
    if (value.empty()) return content;
    std::string result = content;
    if (!result.empty()) {
      if (!EndsWith(result, kCrLf)) {
        result += "\r\n\r\n";
      } else if (!EndsWith(result, "\r\n\r\n")) {
        result += kCrLf;
      }
    }
    return result + header + "\r\n" + key + "=" + value + "\r\n";
  }

  // n: the line break before the next header line; the key is looked for only up to it.
  const std::size_t nextHeader = NextHeaderLine(content, h);
  const std::size_t n = nextHeader == std::string::npos ? std::string::npos : nextHeader - 2;
  const std::size_t k = FindNoCase(std::string_view(content).substr(0, n), "\r\n" + key + "=", h);
  if (k != std::string::npos) {
    const std::size_t e = content.find(kCrLf, k + 2);
    std::string result = content.substr(0, k) + "\r\n" + key + "=" + value;
    if (e != std::string::npos) result += content.substr(e);
    return result;
  }
  if (value.empty()) return content;
  const std::string line = key + "=" + value + "\r\n";
  if (n == std::string::npos) {
    std::string result = content;
    if (!EndsWith(result, kCrLf)) result += kCrLf;
    return result + line;
  }
  // Insert behind the section's last line so that one blank line stays before the next
  // header: into an existing blank line, or followed by a new one.
  if (n >= 2 && content.compare(n - 2, 4, "\r\n\r\n") == 0) {
    return content.substr(0, n) + line + content.substr(n);
  }
  return content.substr(0, n + 2) + line + content.substr(n);
}

cIniFile::cIniFile(Platform& platform) : platform_(platform) {}

std::optional<cIniFile::FileStamp> cIniFile::StampOfFile() const {
  if (fileName_.empty()) return std::nullopt;
  std::error_code ec;
  const fs::path path = FsPath(fileName_);
  FileStamp stamp;
  stamp.time = fs::last_write_time(path, ec);
  if (ec) return std::nullopt;
  stamp.size = fs::file_size(path, ec);
  if (ec) return std::nullopt;
  return stamp;
}

std::string cIniFile::DecodeUnicode(const std::string& bytes) const {
  const std::optional<std::size_t> start = MarkerEnd(bytes);
  // A file without marker (an ANSI file being taken over) is read as ANSI text.
  if (!start) return DecodeAnsi(bytes);
  std::u16string units;
  const std::string_view body = std::string_view(bytes).substr(*start);
  units.reserve(body.size() / 2);
  for (std::size_t i = 0; i < body.size() / 2; ++i) units.push_back(Utf16At(body, i));
  while (!units.empty() && units.back() == u'\0') units.pop_back();
  return Utf16ToUtf8(units);
}

std::string cIniFile::DecodeAnsi(const std::string& bytes) const {
  if (!StartsWithByteOrderMark(bytes)) {
    markedEncoding_ = ProfileEncoding::kAnsi;
    return platform_.Locale().AnsiToUtf8(bytes);
  }
  ProfileFile file = DecodeProfileFile(bytes);
  markedEncoding_ = file.encoding;
  return std::move(file.text);
}

std::string cIniFile::ReadFileText() {
  const std::string bytes = ReadFileBytes(fileName_, kMaxSettingsFileBytes).value_or(std::string());
  return unicode_ ? DecodeUnicode(bytes) : DecodeAnsi(bytes);
}

void cIniFile::BuildCache() {
  sections_.reset();
  // The stamp is taken before the read: a change during the read then shows as a
  // different stamp at the next access instead of being hidden.
  const std::optional<FileStamp> stamp = StampOfFile();
  if (!offline_ || memContent_.empty()) {
    const std::string bytes =
        ReadFileBytes(fileName_, kMaxSettingsFileBytes).value_or(std::string());
    if (unicode_) {
      // The ANSI image serves ANSI files only.
      rawContent_.clear();
      unicodeContent_ = DecodeUnicode(bytes);
      memContent_ = unicodeContent_;
    } else {
      rawContent_ = DecodeAnsi(bytes);
      memContent_ = rawContent_;
    }
  }
  IndexContent();
  cachedStamp_ = stamp;
}

void cIniFile::IndexContent() {
  sections_.emplace(memContent_);
}

void cIniFile::MakeCacheCurrent() {
  if (offline_) {
    if (memContent_.empty() || !sections_) BuildCache();
    return;
  }
  if (!cachedStamp_ || !useCacheDirectly_ || !sections_) {
    const std::optional<FileStamp> stamp = StampOfFile();
    if (!stamp || stamp != cachedStamp_ || !sections_) BuildCache();
  }
}

std::string cIniFile::GetAllSections() {
  MakeCacheCurrent();
  std::string result;
  for (std::string_view name : sections_->Names(memContent_)) result.append(name).append(";");
  return result;
}

bool cIniFile::CheckUnicodeFile() {
  if (fileName_.empty()) return unicode_;
  std::error_code ec;
  const fs::path path = FsPath(fileName_);
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size < kMarkerProbeBytes) return unicode_;
  const std::optional<std::string> bytes = ReadFileBytes(fileName_, kMaxSettingsFileBytes);
  if (!bytes || bytes->size() < kMarkerProbeBytes) return unicode_;
  unicode_ = MarkerEnd(std::string_view(*bytes).substr(0, kMarkerProbeBytes)).has_value();
  return unicode_;
}

void cIniFile::ResetCache() {
  cachedStamp_.reset();
}

void cIniFile::IniFile(const std::string& fileName) {
  if (fileName == fileName_) return;
  cachedStamp_.reset();
  fileName_ = fileName;
  // The images of the previous file must never be written into the new one.
  sections_.reset();
  rawContent_.clear();
  unicodeContent_.clear();
  if (!offline_) memContent_.clear();
  CheckUnicodeFile();
}

std::string cIniFile::Load(const std::string& section, const std::string& key,
                           const std::string& defaultValue) {
  if (fileName_.empty() && !offline_) return defaultValue;
  if (!cacheFlag_ && !unicode_ && !offline_) {
    const std::string value = ReadProfileStringFile(fileName_, section, key, "");
    return value.empty() ? defaultValue : value;
  }
  MakeCacheCurrent();
  const std::optional<std::string_view> value = sections_->Value(memContent_, section, key);
  return value && !value->empty() ? std::string(*value) : defaultValue;
}

void cIniFile::Save(const std::string& section, const std::string& key, double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  Save(section, key, std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

void cIniFile::Save(const std::string& section, const std::string& key,
                    std::string_view valueText) {
  static constexpr const char* kSource = "cIniFile.Save";
  if (fileName_.empty() && !offline_) throw FileNotFoundError(kSource);
  // A line break would end the line early and let the rest pose as further keys or
  // sections.
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(valueText)) {
    throw RuntimeError(
        kErrInvalidArgument, kSource,
        "A value may not contain a line break (section [" + section + "], key " + key + ")");
  }
  const std::string value(valueText);

  if (offline_) {
    MakeCacheCurrent();
    memContent_ = EditIniContent(memContent_, section, key, value);
    IndexContent();
  } else if (unicode_) {
    MakeCacheCurrent();
    unicodeContent_ = EditIniContent(unicodeContent_, section, key, value);
    WriteUnicodeFile(kSource);
    if (useCacheDirectly_) {
      memContent_ = unicodeContent_;
      IndexContent();
    }
  } else if (cacheFlag_) {
    MakeCacheCurrent();
    rawContent_ = EditIniContent(rawContent_, section, key, value);
    if (!saveToRam_) {
      if (rawContent_.empty()) {
        platform_.Files().RemoveFile(fileName_);
      } else {
        WriteAnsiFile(rawContent_, kSource);
      }
    }
    if (useCacheDirectly_) {
      // Keep the trusted cache in step with what this instance wrote.
      memContent_ = rawContent_;
      IndexContent();
    }
  } else if (!WriteProfileStringFile(platform_, fileName_, section, key, value,
                                     FileAccess::OwnerOnlyWhenNew)) {
    throw PathFileAccessError(kSource, fileName_);
  }

  if (!useCacheDirectly_) cachedStamp_.reset();
}

void cIniFile::WriteAnsiFile(std::string_view content, const char* source) {
  if (fileName_.empty()) throw FileNotFoundError(source);
  const std::string text = WithoutTrailingCrLf(content) + "\r\n";
  if (markedEncoding_ != ProfileEncoding::kAnsi) {
    ReplaceOnDisk(EncodeProfileFile(text, markedEncoding_), source);
    return;
  }
  // ANSI text whose first bytes are those of a byte-order mark (EF BB BF, FF FE, FE FF:
  // a line that a rebuild or a removal moved to the top) would be read back as UTF-8 or
  // UTF-16. An empty line in front, which every reader passes over, keeps the file ANSI.
  std::string bytes = platform_.Locale().Utf8ToAnsi(text);
  if (StartsWithByteOrderMark(bytes)) bytes.insert(0, "\r\n");
  ReplaceOnDisk(bytes, source);
}

void cIniFile::ReplaceOnDisk(std::string_view bytes, const char* source) {
  const FileWriteResult result =
      ReplaceFile(platform_, fileName_, bytes, FileAccess::OwnerOnlyWhenNew);
  if (!result.Ok()) {
    // The edited image was not written: the next access rebuilds it from the file.
    cachedStamp_.reset();
    throw PathFileAccessError(source, result.description);
  }
}

void cIniFile::WriteUnicodeFile(const char* source) {
  if (fileName_.empty()) throw FileNotFoundError(source);
  ReplaceOnDisk(Utf8ToUtf16Bytes(std::string(kMarker) + unicodeContent_, ByteOrder::kLittleEndian),
                source);
}

void cIniFile::WriteAsUnicode(bool convert) {
  if (convert) {
    unicode_ = true;
    BuildCache();
  }
  WriteUnicodeFile("cIniFile.WriteAsUnicode");
}

void cIniFile::WriteAsAnsi() {
  if (unicodeContent_.empty()) BuildCache();
  markedEncoding_ = ProfileEncoding::kAnsi;  // asked for ANSI, whatever the file was
  // For a file that is ANSI already the decoded content stands in, so that the call
  // never empties the file.
  WriteAnsiFile(unicodeContent_.empty() ? memContent_ : unicodeContent_, "cIniFile.WriteAsAnsi");
}

void cIniFile::SaveOfflineToFile() {
  if (memContent_.empty()) {
    if (!fileName_.empty()) platform_.Files().RemoveFile(fileName_);
    return;
  }
  WriteAnsiFile(memContent_, "cIniFile.SaveOfflineToFile");
}

void cIniFile::IniContent(const std::string& content) {
  memContent_ = content;
  BuildCache();
}

cIniFile::Origin cIniFile::CurrentOrigin() {
  if (offline_) return Origin::OfflineImage;
  return unicode_ ? Origin::UnicodeFile : Origin::AnsiFile;
}

std::string cIniFile::TextOf(Origin origin) {
  if (origin == Origin::OfflineImage) {
    MakeCacheCurrent();
    return memContent_;
  }
  std::string text = ReadFileText();
  if (origin == Origin::UnicodeFile) unicodeContent_ = text;
  return text;
}

void cIniFile::StoreText(Origin origin, const std::string& text, const char* source) {
  switch (origin) {
    case Origin::OfflineImage:
      memContent_ = text;
      IndexContent();
      return;
    case Origin::UnicodeFile:
      unicodeContent_ = text;
      WriteUnicodeFile(source);
      break;
    case Origin::AnsiFile:
      if (text.empty()) {
        ReplaceOnDisk("", source);
      } else {
        WriteAnsiFile(text, source);
      }
      break;
  }
  cachedStamp_.reset();
}

bool cIniFile::RemoveSection(const std::string& section) {
  const Origin origin = CurrentOrigin();
  const std::string text = TextOf(origin);
  const std::size_t h = FindHeaderLine(text, section);
  if (h == std::string::npos) return false;
  const std::size_t next = NextHeaderLine(text, h);
  std::string result;
  if (next != std::string::npos) {
    result = text.substr(0, h);
    StripTrailingLineBreaks(result);
    if (!result.empty()) result += kCrLf;
    result += text.substr(next);
  } else {
    result = text.substr(0, h >= 2 ? h - 2 : 0);
  }
  StripTrailingLineBreaks(result);
  StoreText(origin, result, "cIniFile.RemoveSection");
  return true;
}

bool cIniFile::RemoveKey(const std::string& section, const std::string& key) {
  const Origin origin = CurrentOrigin();
  std::string text = TextOf(origin);
  const std::size_t h = FindHeaderLine(text, section);
  if (h == std::string::npos) return false;
  std::size_t pos = text.find(kCrLf, h);
  if (pos == std::string::npos) return false;
  pos += 2;
  const std::string prefix = key + "=";
  while (pos < text.size()) {
    const std::size_t crlf = text.find(kCrLf, pos);
    const std::size_t lineEnd = crlf == std::string::npos ? text.size() : crlf;
    const std::string_view line(text.data() + pos, lineEnd - pos);
    if (IsIniHeaderLine(line)) return false;
    if (line.substr(0, prefix.size()) == prefix) {
      text.erase(pos, (crlf == std::string::npos ? text.size() : crlf + 2) - pos);
      StoreText(origin, text, "cIniFile.RemoveKey");
      return true;
    }
    if (crlf == std::string::npos) break;
    pos = crlf + 2;
  }
  return false;
}

bool cIniFile::RebuildIniStructure() {
  const std::string text = ReadFileText();
  std::string result;
  std::set<std::string> sectionsSeen;
  std::set<std::string> keysSeen;
  bool skipping = false;
  bool firstHeader = true;
  std::size_t pos = 0;
  while (pos < text.size()) {
    // Lines, headers and key lines as Load sees them, so that the rebuilt file reads the
    // same: a line that only looks like a header once trimmed, or behind a bare LF, is
    // none and is dropped with the other text.
    const std::size_t crlf = text.find(kCrLf, pos);
    const std::size_t lineEnd = crlf == std::string::npos ? text.size() : crlf;
    std::string line = text.substr(pos, lineEnd - pos);
    pos = crlf == std::string::npos ? text.size() : crlf + 2;
    if (IsIniHeaderLine(line)) {
      skipping = !sectionsSeen.insert(ToLower(line.substr(1, line.size() - 2))).second;
      if (skipping) continue;
      keysSeen.clear();
      if (!firstHeader) result += kCrLf;
      firstHeader = false;
      result += line + "\r\n";
      continue;
    }
    if (skipping) continue;
    std::string trimmed = line;
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\r')) {
      trimmed.pop_back();
    }
    // A key line such as "[a]=b]\r" stays as it is rather than turn into a header.
    if (!IsIniHeaderLine(trimmed)) line = trimmed;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (!keysSeen.insert(ToLower(line.substr(0, eq))).second) continue;
    result += line + "\r\n";
  }
  if (result == text) return false;
  if (unicode_) {
    unicodeContent_ = result;
    WriteUnicodeFile("cIniFile.RebuildIniStructure");
  } else if (result.empty()) {
    ReplaceOnDisk("", "cIniFile.RebuildIniStructure");
  } else {
    WriteAnsiFile(result, "cIniFile.RebuildIniStructure");
  }
  cachedStamp_.reset();
  return true;
}

}  // namespace tavrin
