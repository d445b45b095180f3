#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tavrin {

// The sections and key lines of one INI text, found in one pass, so that a lookup costs
// a hash and a comparison or two however large the text is. The index holds positions,
// not text: every query takes the text the index was built from, and the owner builds a
// new index whenever that text changes.
//
// Lines end with CR LF. A header line starts with "[" and ends with "]"; of two sections
// with one name (compared without regard to case) the first counts. A section's text
// runs from its header line up to the CR of the line break before the next header line
// (the last one to the end of the text).
class IniIndex {
 public:
  IniIndex() = default;
  explicit IniIndex(std::string_view content);

  // The value of the first occurrence of CR LF + key + "=" (key in any case) in the
  // section's text: from behind the "=" up to the next CR LF, else the next CR, else the
  // next LF, else the end of the section. Nothing when the section or the key is missing.
  // The first call for a section indexes its key lines (its cost grows with the section).
  std::optional<std::string_view> Value(std::string_view content, std::string_view section,
                                        std::string_view key);
  // The names of the sections in file order, each name once, as its first header spells it.
  std::vector<std::string_view> Names(std::string_view content) const;

 private:
  struct Section {
    std::uint64_t nameHash = 0;
    std::size_t begin = 0;  // the header line's "["
    std::size_t end = 0;
  };
  // A line of a section that holds "=": where it starts, and the hash of its key.
  struct KeyLine {
    std::uint64_t keyHash = 0;
    std::size_t start = 0;
  };

  // The number of the first section of that name, or nothing.
  std::optional<std::size_t> Find(std::string_view content, std::string_view name) const;
  const std::vector<KeyLine>& KeyLinesOf(std::string_view content, std::size_t section);

  std::vector<Section> sections_;                                   // file order
  std::vector<std::pair<std::uint64_t, std::size_t>> byNameHash_;   // (name hash, number), sorted
  std::unordered_map<std::size_t, std::vector<KeyLine>> keyLines_;  // by section number
};

// Whether a line (without its line break) is a section header: "[" first, "]" last.
bool IsIniHeaderLine(std::string_view line);
// Where the header line of the first section of that name (any case) starts: a whole line
// "[" + name + "]" at the start of the text or behind CR LF; npos when there is none.
std::size_t FindHeaderLine(std::string_view content, std::string_view name);
// Where the first header line behind the line that starts at lineStart starts; npos when
// no header line follows.
std::size_t NextHeaderLine(std::string_view content, std::size_t lineStart);

}  // namespace tavrin
