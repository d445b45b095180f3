#include "platform/ini_index.h"

#include <algorithm>
#include <string>

#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

constexpr auto npos = std::string_view::npos;

// The line that starts at lineStart, without its CR LF.
std::string_view LineAt(std::string_view content, std::size_t lineStart) {
  const std::size_t end = content.find(kCrLf, lineStart);
  return content.substr(lineStart, (end == npos ? content.size() : end) - lineStart);
}

// The start of the first header line among the text's first line (when from is 0) and
// the lines behind a CR LF at or after from.
std::size_t HeaderLineFrom(std::string_view content, std::size_t from) {
  if (from == 0 && IsIniHeaderLine(LineAt(content, 0))) return 0;
  // Every other line starts behind a CR LF; only lines that start with "[" are looked at.
  for (std::size_t at = content.find("\r\n[", from); at != npos;
       at = content.find("\r\n[", at + 2)) {
    if (IsIniHeaderLine(LineAt(content, at + 2))) return at + 2;
  }
  return npos;
}

// Value end inside a section's text, as the lookup rule has it.
std::size_t ValueEnd(std::string_view text, std::size_t start) {
  for (std::string_view end : {kCrLf, std::string_view("\r"), std::string_view("\n")}) {
    const std::size_t at = text.find(end, start);
    if (at != npos) return at;
  }
  return text.size();
}

}  // namespace

bool IsIniHeaderLine(std::string_view line) {
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

std::size_t FindHeaderLine(std::string_view content, std::string_view name) {
  for (std::size_t at = HeaderLineFrom(content, 0); at != npos; at = NextHeaderLine(content, at)) {
    const std::string_view line = LineAt(content, at);
    if (EqualsNoCase(line.substr(1, line.size() - 2), name)) return at;
  }
  return npos;
}

std::size_t NextHeaderLine(std::string_view content, std::size_t lineStart) {
  const std::size_t lineEnd = content.find(kCrLf, lineStart);
  return lineEnd == npos ? npos : HeaderLineFrom(content, lineEnd);
}

IniIndex::IniIndex(std::string_view content) {
  for (std::size_t at = HeaderLineFrom(content, 0); at != npos;) {
    const std::string_view line = LineAt(content, at);
    const std::size_t next = NextHeaderLine(content, at);
    // The text ends before the LF of the line break in front of the next header.
    sections_.push_back({FoldedHash(line.substr(1, line.size() - 2)), at,
                         next == npos ? content.size() : next - 1});
    at = next;
  }
  byNameHash_.reserve(sections_.size());
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    byNameHash_.emplace_back(sections_[i].nameHash, i);
  }
  std::sort(byNameHash_.begin(), byNameHash_.end());
}

std::optional<std::size_t> IniIndex::Find(std::string_view content, std::string_view name) const {
  const std::uint64_t hash = FoldedHash(name);
  // Sections of one hash stand in file order, so the first one whose name matches is the
  // first section of that name.
  for (auto it = std::lower_bound(byNameHash_.begin(), byNameHash_.end(),
                                  std::pair(hash, std::size_t{0}));
       it != byNameHash_.end() && it->first == hash; ++it) {
    const std::string_view line = LineAt(content, sections_[it->second].begin);
    if (EqualsNoCase(line.substr(1, line.size() - 2), name)) return it->second;
  }
  return std::nullopt;
}

const std::vector<IniIndex::KeyLine>& IniIndex::KeyLinesOf(std::string_view content,
                                                           std::size_t section) {
  auto [it, added] = keyLines_.try_emplace(section);
  if (!added) return it->second;
  std::vector<KeyLine>& lines = it->second;
  const Section& s = sections_[section];
  const std::string_view text = content.substr(s.begin, s.end - s.begin);
  // Every line behind a CR LF of the section's text; the key is the text before its
  // first "=" (a key without "=" can match nothing else).
  for (std::size_t at = text.find(kCrLf); at != npos; at = text.find(kCrLf, at + 2)) {
    const std::string_view line = LineAt(text, at + 2);
    const std::size_t equals = line.find('=');
    if (equals != npos) lines.push_back({FoldedHash(line.substr(0, equals)), at + 2});
  }
  std::stable_sort(lines.begin(), lines.end(),
                   [](const KeyLine& a, const KeyLine& b) { return a.keyHash < b.keyHash; });
  return lines;
}

std::optional<std::string_view> IniIndex::Value(std::string_view content, std::string_view section,
                                                std::string_view key) {
  const std::optional<std::size_t> number = Find(content, section);
  if (!number) return std::nullopt;
  const Section& s = sections_[*number];
  const std::string_view text = content.substr(s.begin, s.end - s.begin);
  std::size_t start = npos;
  if (key.find_first_of("=\r\n") != npos) {
    // A key that spans an "=" or a line break is searched for in the text itself.
    std::size_t matchLength = 0;
    const std::size_t found = FindNoCase(text, "\r\n" + std::string(key) + "=", 0, matchLength);
    if (found != npos) start = found + matchLength;
  } else {
    const std::vector<KeyLine>& lines = KeyLinesOf(content, *number);
    const std::uint64_t hash = FoldedHash(key);
    auto it =
        std::lower_bound(lines.begin(), lines.end(), hash,
                         [](const KeyLine& line, std::uint64_t h) { return line.keyHash < h; });
    for (; it != lines.end() && it->keyHash == hash; ++it) {
      const std::size_t equals = text.find('=', it->start);
      if (EqualsNoCase(text.substr(it->start, equals - it->start), key)) {
        start = equals + 1;
        break;
      }
    }
  }
  if (start == npos) return std::nullopt;
  return text.substr(start, ValueEnd(text, start) - start);
}

std::vector<std::string_view> IniIndex::Names(std::string_view content) const {
  std::vector<std::string_view> names;
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const std::string_view line = LineAt(content, sections_[i].begin);
    const std::string_view name = line.substr(1, line.size() - 2);
    if (Find(content, name) == i) names.push_back(name);
  }
  return names;
}

}  // namespace tavrin
