#include "importer/csv_fields.h"

namespace tavrin {

void SplitCsvFields(std::string_view line, char separator, std::vector<std::string_view>& fields,
                    std::size_t maxFields) {
  using csv_fields::kQuote;
  fields.clear();
  if (line.empty()) return;
  if (line.back() == separator) line.remove_suffix(1);
  const std::size_t count =
      csv_fields::SplitUnquoted(line, separator, [&](std::size_t, std::string_view field) {
        fields.push_back(field);
        return fields.size() != maxFields;
      });
  if (count != std::string_view::npos) return;

  fields.clear();
  const char* fieldStart = line.data();
  const char* const end = line.data() + line.size();
  bool inQuotes = false;
  for (const char* p = fieldStart; p != end; ++p) {
    const char c = *p;
    if (c == kQuote) {
      inQuotes = !inQuotes;
    } else if (c == separator && !inQuotes) {
      const char* first = fieldStart;
      const char* last = p;
      if (first != last && *first == kQuote) ++first;
      if (first != last && last[-1] == kQuote) --last;
      fields.emplace_back(first, static_cast<std::size_t>(last - first));
      if (fields.size() == maxFields) return;
      fieldStart = p + 1;
    }
  }
  fields.emplace_back(fieldStart, static_cast<std::size_t>(end - fieldStart));
}

}  // namespace tavrin
