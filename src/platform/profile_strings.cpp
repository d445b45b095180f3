#include "platform/profile_strings.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/file_replace.h"
#include "shared/codepage.h"
#include "shared/fs.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

constexpr std::size_t kMaxValueChars = 1023;

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == text.npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// The file's lines without their line ends (CR LF or LF).
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t lf = text.find('\n', pos);
    const std::size_t end = lf == std::string::npos ? text.size() : lf;
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    pos = lf == std::string::npos ? text.size() : lf + 1;
  }
  return lines;
}

// The section name of a header line ("[name]", blanks allowed around and inside the
// brackets); nothing for other lines.
std::optional<std::string_view> HeaderName(std::string_view line) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const std::size_t close = line.find(']');
  if (close == line.npos) return std::nullopt;
  return TrimBlanks(line.substr(1, close - 1));
}

// The key of a key line, trimmed; nothing for lines without "=".
std::optional<std::string_view> KeyName(std::string_view line) {
  const std::size_t eq = line.find('=');
  if (eq == line.npos) return std::nullopt;
  return TrimBlanks(line.substr(0, eq));
}

struct Location {
  std::optional<std::size_t> header;  // line of the section's header
  std::optional<std::size_t> key;     // line of the key within that section
  std::size_t lastContent = 0;        // last non-blank line of the section
};

Location Find(const std::vector<std::string>& lines, std::string_view section,
              std::string_view key) {
  Location where;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::optional<std::string_view> name = HeaderName(lines[i]);
    if (!where.header) {
      if (name && EqualsNoCase(*name, section)) {
        where.header = i;
        where.lastContent = i;
      }
      continue;
    }
    if (name) break;  // the next section begins
    if (!TrimBlanks(lines[i]).empty()) where.lastContent = i;
    const std::optional<std::string_view> lineKey = KeyName(lines[i]);
    if (lineKey && EqualsNoCase(*lineKey, key)) {
      where.key = i;
      break;
    }
  }
  return where;
}

// At most the first 1023 characters (UTF-8 sequences are kept whole).
std::string Limited(std::string text) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (chars == kMaxValueChars) {
      text.resize(i);
      break;
    }
    ++chars;
  }
  return text;
}

// The value of a key line as the reader returns it: trimmed, without matching quotes,
// at most 1023 characters.
std::string ValueOf(std::string_view line) {
  std::string_view value = TrimBlanks(line.substr(line.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return Limited(std::string(value));
}

bool Unusable(std::string_view name) {
  return name.find_first_of("\r\n") != name.npos;
}

}  // namespace

ProfileFile DecodeProfileFile(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    return {SanitizeUtf8(bytes.substr(3)), ProfileEncoding::kUtf8};
  }
  if (bytes.starts_with("\xFF\xFE")) {
    return {Utf16BytesToUtf8(bytes.substr(2), ByteOrder::kLittleEndian), ProfileEncoding::kUtf16Le};
  }
  if (bytes.starts_with("\xFE\xFF")) {
    return {Utf16BytesToUtf8(bytes.substr(2), ByteOrder::kBigEndian), ProfileEncoding::kUtf16Be};
  }
  return {Windows1252ToUtf8(bytes), ProfileEncoding::kAnsi};
}

std::string EncodeProfileFile(std::string_view text, ProfileEncoding encoding) {
  switch (encoding) {
    case ProfileEncoding::kUtf8:
      return "\xEF\xBB\xBF" + SanitizeUtf8(text);
    case ProfileEncoding::kUtf16Le:
      return "\xFF\xFE" + Utf8ToUtf16Bytes(text, ByteOrder::kLittleEndian);
    case ProfileEncoding::kUtf16Be:
      return "\xFE\xFF" + Utf8ToUtf16Bytes(text, ByteOrder::kBigEndian);
    case ProfileEncoding::kAnsi:
      break;
  }
  return Utf8ToWindows1252(text);
}

std::vector<std::string> ReadProfileStringsFile(const std::string& file, const std::string& section,
                                                const std::vector<std::string>& keys,
                                                const std::string& defaultValue) {
  std::vector<std::string> values(keys.size(), Limited(defaultValue));
  const std::optional<std::string> bytes = ReadFileBytes(file, kMaxSettingsFileBytes);
  if (!bytes) return values;
  // The wanted keys by the hash of their trimmed text, so that each line of the section
  // is compared with the few keys that can match it, not with all of them.
  std::unordered_multimap<std::uint64_t, std::size_t> wanted;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (!keys[i].empty()) wanted.emplace(FoldedHash(TrimBlanks(keys[i])), i);
  }
  std::vector<bool> found(keys.size(), false);
  const std::string text = DecodeProfileFile(*bytes).text;
  const std::string_view sectionName = TrimBlanks(section);
  bool inSection = false;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t lf = text.find('\n', pos);
    std::string_view line(text.data() + pos, (lf == text.npos ? text.size() : lf) - pos);
    pos = lf == text.npos ? text.size() : lf + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (const std::optional<std::string_view> name = HeaderName(line)) {
      if (inSection) break;  // only the first section of the name counts
      inSection = EqualsNoCase(*name, sectionName);
      continue;
    }
    const std::optional<std::string_view> lineKey = KeyName(line);
    if (!inSection || !lineKey) continue;
    const auto [first, last] = wanted.equal_range(FoldedHash(*lineKey));
    for (auto it = first; it != last; ++it) {
      if (found[it->second] || !EqualsNoCase(*lineKey, TrimBlanks(keys[it->second]))) continue;
      found[it->second] = true;
      values[it->second] = ValueOf(line);
    }
  }
  return values;
}

std::string ReadProfileStringFile(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& defaultValue) {
  return ReadProfileStringsFile(file, section, {key}, defaultValue)[0];
}

bool WriteProfileStringFile(Platform& platform, const std::string& file, const std::string& section,
                            const std::string& key, const std::string& value, FileAccess access) {
  // A line break would forge further lines; "]" in a section name or "=" in a key would
  // produce a line that reads back as something else.
  const std::string_view sectionName = TrimBlanks(section);
  const std::string_view keyName = TrimBlanks(key);
  if (sectionName.empty() || keyName.empty() || Unusable(section) || Unusable(key) ||
      Unusable(value) || sectionName.find(']') != sectionName.npos ||
      keyName.find('=') != keyName.npos) {
    return false;
  }
  const std::optional<std::string> bytes = ReadFileBytes(file, kMaxSettingsFileBytes);
  // A file that is there but cannot be read is not replaced by one holding this key alone.
  if (!bytes && KindOfFile(file) != FileKind::kMissing) return false;
  const ProfileFile found = DecodeProfileFile(bytes.value_or(std::string()));
  std::vector<std::string> lines = SplitLines(found.text);
  const Location where = Find(lines, sectionName, keyName);
  const std::string keyLine = std::string(keyName) + "=" + value;
  if (where.key) {
    lines[*where.key] = keyLine;
  } else if (where.header) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(where.lastContent + 1), keyLine);
  } else {
    lines.push_back("[" + std::string(sectionName) + "]");
    lines.push_back(keyLine);
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return ReplaceFile(platform, file, EncodeProfileFile(text, found.encoding), access).Ok();
}

}  // namespace tavrin
