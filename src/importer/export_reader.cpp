#include "importer/export_reader.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <new>
#include <optional>
#include <system_error>

#include "importer/date_parsing.h"
#include "importer/locale_date.h"
#include "platform/process_context.h"
#include "shared/error.h"
#include "shared/fs.h"
#include "shared/number_format.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

constexpr std::string_view kCrLf = "\r\n";
// A data row is padded to the columns the import uses; the export's later columns
// (up to 36) are never looked at, so splitting stops behind the weight column.
constexpr std::size_t kRowFields = 21;
// The header must reach the weight column.
constexpr std::size_t kMinHeaderFields = 21;

constexpr double kMmolToMgdl = 18.0182;
constexpr double kPoundsFactor = 2.2046;

// Column indexes of the export.
enum Column : std::size_t {
  kDate = 0,
  kTime = 1,
  kGlucose = 3,
  kBolus = 4,       // code 4, marked with "*" when the star marker is on
  kBasal = 5,       // code 5
  kCorrection = 6,  // code 4; a positive amount anywhere switches the star marker on
  kInsulinSecond = 7,
  kInsulinFirst = 8,  // 8 and 7 make one code-4 value "first+second"
  kCarbs = 11,
  kActivityDuration = 13,
  kActivityIntensity = 14,
  kActivityKind = 15,
  kNote = 17,
  kTag = 19,
  kWeight = 20,
};

// Runs one step of a row; a run-time error in it skips only that step, and the row goes
// on with the next one. Running out of memory is not a fault of the row and ends the read.
template <typename Step>
void SkipOnError(Step&& step) {
  try {
    step();
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
  }
}

// The line from position up to the next CR LF; position moves behind it. Without a
// further CR LF: the rest, and position becomes the text's length.
std::string_view NextLineView(std::string_view text, std::size_t& position) {
  if (position >= text.size()) {
    position = text.size();
    return {};
  }
  const std::size_t found = text.find(kCrLf, position);
  if (found == std::string_view::npos) {
    const std::string_view rest = text.substr(position);
    position = text.size();
    return rest;
  }
  const std::string_view line = text.substr(position, found - position);
  position = found + kCrLf.size();
  return line;
}

// Splits a line that holds no quote character. On little-endian machines eight bytes are
// tested at a time: a long export spends most of its reading time here.
void SplitUnquoted(std::string_view line, char separator, std::vector<std::string_view>& fields,
                   std::size_t maxFields) {
  const char* const base = line.data();
  const std::size_t size = line.size();
  std::size_t start = 0;
  std::size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    const std::uint64_t pattern = 0x0101010101010101ULL * static_cast<unsigned char>(separator);
    for (; i + 8 <= size; i += 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, base + i, sizeof word);
      word ^= pattern;  // separator bytes become zero
      // The high bit of each byte that is zero, without false hits.
      std::uint64_t hits = ~(((word & kLow7) + kLow7) | word | kLow7);
      while (hits != 0) {
        const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(hits)) / 8;
        fields.emplace_back(base + start, at - start);
        if (fields.size() == maxFields) return;
        start = at + 1;
        hits &= hits - 1;
      }
    }
  }
  for (; i < size; ++i) {
    if (base[i] == separator) {
      fields.emplace_back(base + start, i - start);
      if (fields.size() == maxFields) return;
      start = i + 1;
    }
  }
  fields.emplace_back(base + start, size - start);
}

// SplitCsvLine on views into the line: no copies of the fields. Scanning stops once
// `maxFields` fields have been ended by a separator; those fields are the same as in a
// full split, so callers that look only at the first fields need not scan the rest.
void SplitCsvView(std::string_view line, char separator, char quote,
                  std::vector<std::string_view>& fields,
                  std::size_t maxFields = std::string_view::npos) {
  fields.clear();
  if (line.empty()) return;
  if (line.back() == separator) line.remove_suffix(1);
  if (line.find(quote) == std::string_view::npos) {
    SplitUnquoted(line, separator, fields, maxFields);
    return;
  }
  const char* fieldStart = line.data();
  const char* const end = line.data() + line.size();
  bool inQuotes = false;
  for (const char* p = fieldStart; p != end; ++p) {
    const char c = *p;
    if (c == quote) {
      inQuotes = !inQuotes;
    } else if (c == separator && !inQuotes) {
      const char* first = fieldStart;
      const char* last = p;
      if (first != last && *first == quote) ++first;
      if (first != last && last[-1] == quote) --last;
      fields.emplace_back(first, static_cast<std::size_t>(last - first));
      if (fields.size() == maxFields) return;
      fieldStart = p + 1;
    }
  }
  fields.emplace_back(fieldStart, static_cast<std::size_t>(end - fieldStart));
}

// The fields of a line that holds no quote character in the part that is split, into a
// fixed array: the same first N fields as SplitCsvView(line, separator, '"', fields, N),
// without its checks for a quote in the whole line. Returns how many fields there were
// (at most N; the rest of the array is left as it was), or nullopt when a quote character
// turned up, for the caller to use SplitCsvView.
template <std::size_t N>
std::optional<std::size_t> SplitPlainFields(std::string_view line, char separator,
                                            std::array<std::string_view, N>& fields) {
  constexpr char kQuote = '"';
  if (line.empty()) return 0;
  if (separator == kQuote) return std::nullopt;
  if (line.back() == separator) line.remove_suffix(1);
  const char* const base = line.data();
  const std::size_t size = line.size();
  std::size_t start = 0;
  std::size_t count = 0;
  std::size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    // The high bit of each byte of the word that equals the pattern's byte.
    const auto matches = [](std::uint64_t word, std::uint64_t pattern) {
      word ^= pattern;
      return ~(((word & kLow7) + kLow7) | word | kLow7);
    };
    const std::uint64_t separators = kOnes * static_cast<unsigned char>(separator);
    const std::uint64_t quotes = kOnes * static_cast<unsigned char>(kQuote);
    for (; i + 8 <= size; i += 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, base + i, sizeof word);
      if (matches(word, quotes) != 0) return std::nullopt;
      for (std::uint64_t hits = matches(word, separators); hits != 0; hits &= hits - 1) {
        const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(hits)) / 8;
        fields[count++] = std::string_view(base + start, at - start);
        if (count == N) return count;
        start = at + 1;
      }
    }
  }
  for (; i < size; ++i) {
    const char c = base[i];
    if (c == kQuote) return std::nullopt;
    if (c == separator) {
      fields[count++] = std::string_view(base + start, i - start);
      if (count == N) return count;
      start = i + 1;
    }
  }
  fields[count++] = std::string_view(base + start, size - start);
  return count;
}

// Bytes below 0x40 (digits, blanks, separators, line ends) are single characters in
// every ANSI code page, single-byte or double-byte (no trail byte is below 0x40), and
// mean the same as in ASCII. So only the stretches between such bytes that hold other
// bytes go through the platform's conversion; everything else is copied as it stands.
// Large exports are mostly plain ASCII, and this keeps their reading fast. It also means
// that a text cut behind a line break converts piece by piece exactly as it does whole.
struct Stretch {
  std::size_t from = std::string_view::npos;
  std::size_t to = std::string_view::npos;
};

// The next stretch of bytes from `done` on that needs the platform's conversion: the
// bytes of 0x40 and above around the first byte that is not ASCII. None at the end.
Stretch NextAnsiStretch(std::string_view bytes, std::size_t done) {
  const auto isBoundary = [](char c) { return static_cast<unsigned char>(c) < 0x40; };
  const std::size_t high = FindNonAscii(bytes, done);
  if (high == std::string_view::npos) return {};
  std::size_t from = high;
  while (from > done && !isBoundary(bytes[from - 1])) --from;
  std::size_t to = high + 1;
  while (to < bytes.size() && !isBoundary(bytes[to])) ++to;
  return {from, to};
}

void AppendAnsiAsUtf8(Platform& platform, std::string_view bytes, std::string& out) {
  std::size_t done = 0;
  for (Stretch s = NextAnsiStretch(bytes, 0); s.from != std::string_view::npos;
       s = NextAnsiStretch(bytes, done)) {
    out.append(bytes.substr(done, s.from - done));
    out.append(platform.AnsiToUtf8(bytes.substr(s.from, s.to - s.from)));
    done = s.to;
  }
  out.append(bytes.substr(done));
}

std::string AnsiBytesToUtf8(Platform& platform, std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16);
  AppendAnsiAsUtf8(platform, bytes, out);
  return out;
}

std::string Utf16BytesToUtf8(std::string_view bytes, bool bigEndian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(
        static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
  }
  // A dangling odd byte cannot be half of a character; it becomes a replacement character.
  if (bytes.size() % 2 != 0) units.push_back(u'\uFFFD');
  return Utf16ToUtf8(units);
}

// A field taken as a number: its decimal value as a single in the program's number
// format, without a trailing ",0".
void DropTrailingCommaZero(std::string& text) {
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, ",0") == 0) text.resize(text.size() - 2);
}

// The text of the common amounts ("4", "12", "3,5", "0.75"): digits with at most one "."
// or ",", at most five significant digits and four decimals. Such a number comes back
// unchanged from a single, so its text is written directly; nullopt for anything else.
std::optional<std::string> PlainNumberText(std::string_view field,
                                           std::string_view decimalSeparator) {
  std::size_t separator = std::string_view::npos;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const char c = field[i];
    if (c >= '0' && c <= '9') continue;
    if ((c == '.' || c == ',') && separator == std::string_view::npos) {
      separator = i;
      continue;
    }
    return std::nullopt;
  }
  std::string_view whole = field.substr(0, separator);
  std::string_view fraction =
      separator == std::string_view::npos ? std::string_view() : field.substr(separator + 1);
  while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  if (whole.size() + fraction.size() > 5 || fraction.size() > 4) return std::nullopt;
  std::string text(whole.empty() ? std::string_view("0") : whole);
  if (!fraction.empty()) text.append(decimalSeparator).append(fraction);
  return text;
}

std::string NumberText(std::string_view field, std::string_view decimalSeparator) {
  if (std::optional<std::string> plain = PlainNumberText(field, decimalSeparator)) return *plain;
  std::string text = SingleToText(ParseDecimal(field), decimalSeparator);
  DropTrailingCommaZero(text);
  return text;
}

// Carbohydrates given in whole units (the common case): the amount times the whole-number
// factor, exact without the round trip through floating point. nullopt for other texts.
std::optional<long long> WholeCarbs(std::string_view field, double factor) {
  if (field.empty() || field.size() > 6) return std::nullopt;
  long long amount = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return std::nullopt;
    amount = amount * 10 + (c - '0');
  }
  return amount * static_cast<long long>(factor);
}

bool IsLowReading(std::string_view lowered) {
  return lowered == "niedrig" || lowered == "lo" || lowered == "low";
}

// Settings taken from the header row.
struct HeaderSettings {
  char separator = ',';
  std::string exportUnit;
  bool mmol = false;
  double carbFactor = 1;
  bool pounds = false;
};

HeaderSettings ReadHeader(std::string_view header, const RegionalSettings& regional,
                          std::vector<std::string_view>& fields) {
  HeaderSettings settings;
  settings.separator = header.starts_with("Date;") || header.starts_with("\"Date\";") ? ';' : ',';
  // Only the first 21 fields matter. A file without CR LF is one long header line, and
  // splitting all of it would hold a view of every field of the file.
  SplitCsvView(header, settings.separator, '"', fields, kMinHeaderFields);
  if (fields.size() < kMinHeaderFields) {
    throw SubscriptError("ReadExportFile");
  }

  settings.exportUnit =
      FindNoCase(fields[kGlucose], "mg/dl") != std::string_view::npos ? "mg/dL" : "mmol/L";
  settings.mmol = settings.exportUnit == "mmol/L";

  // "Carbohydrates (BE 12)": the number at the end of the parenthesis converts the
  // export's carbohydrate units to grams; "(g)" and anything else not numeric leave 1.
  const std::string between = GetBetween(Trim(fields[kCarbs]), "(", ")");
  const std::u16string units = Utf8ToUtf16(between);
  const std::string lastTwo =
      Trim(Utf16ToUtf8(std::u16string_view(units).substr(units.size() > 2 ? units.size() - 2 : 0)));
  if (IsNumericText(lastTwo, regional)) {
    // The factor text is at most two characters, so its value is a small whole number
    // or a fraction; ParseDecimal reads either decimal separator.
    settings.carbFactor = std::nearbyint(static_cast<double>(ParseDecimal(lastTwo)));
  }

  settings.pounds = FindNoCase(StripQuotes(fields[kWeight]), "lbs") != std::string_view::npos;
  return settings;
}

// The star marker: set when column 6 carries a positive amount anywhere in the file, or
// when a row has fewer than seven fields (an empty line counts).
bool PreScanStarMarker(std::string_view text, std::size_t position, char separator,
                       std::vector<std::string_view>& fields) {
  std::array<std::string_view, kCorrection + 1> leading;
  while (position < text.size()) {
    const std::string_view line = NextLineView(text, position);
    std::string_view correction;
    if (const std::optional<std::size_t> count = SplitPlainFields(line, separator, leading)) {
      if (*count <= kCorrection) return true;
      correction = leading[kCorrection];
    } else {
      SplitCsvView(line, separator, '"', fields, kCorrection + 1);
      if (fields.size() <= kCorrection) return true;
      correction = fields[kCorrection];
    }
    // An empty field is no amount.
    if (!correction.empty() && Val(correction) > 0) return true;
  }
  return false;
}

// "DD.MM.YYYY HH:NN" into `out`, which has room for kStampRoom characters; returns the
// length. A year outside 0 to 9999 is written with as many digits as it has.
constexpr std::size_t kStampRoom = 32;
std::size_t FormatTimeStamp(char* out, const DateTime& when) {
  char* p = out;
  const auto two = [&p](int value) {
    const unsigned v = static_cast<unsigned>(value < 0 ? -value : value) % 100;
    *p++ = static_cast<char>('0' + v / 10);
    *p++ = static_cast<char>('0' + v % 10);
  };
  two(when.day);
  *p++ = '.';
  two(when.month);
  *p++ = '.';
  if (when.year >= 0 && when.year <= 9999) {
    two(when.year / 100);
    two(when.year % 100);
  } else {
    p = std::to_chars(p, out + kStampRoom, when.year).ptr;
  }
  *p++ = ' ';
  two(when.hour);
  *p++ = ':';
  two(when.minute);
  return static_cast<std::size_t>(p - out);
}

// Builds the RowText line by line.
class RowWriter {
 public:
  explicit RowWriter(std::string& out) : out_(out) {}
  void SetStamp(const DateTime& when) { stampLength_ = FormatTimeStamp(stamp_, when); }
  // Appends "stamp;code;value" and CR LF, composed on the stack so that the output grows
  // by one append per line.
  void Line(char code, std::string_view value) {
    const std::string_view stamp(stamp_, stampLength_);
    char buffer[128];
    const std::size_t length = stamp.size() + 3 + value.size() + 2;
    if (length > sizeof buffer) {
      out_.append(stamp).append(1, ';').append(1, code).append(1, ';');
      out_.append(value).append(kCrLf);
      return;
    }
    char* p = buffer;
    p = std::copy(stamp.begin(), stamp.end(), p);
    *p++ = ';';
    *p++ = code;
    *p++ = ';';
    p = std::copy(value.begin(), value.end(), p);
    *p++ = '\r';
    *p++ = '\n';
    out_.append(buffer, length);
  }

 private:
  std::string& out_;
  char stamp_[kStampRoom] = {};
  std::size_t stampLength_ = 0;
};

// The fields 0 to 20 of one data row; missing fields are empty.
using RowFields = std::array<std::string_view, kRowFields>;

// Splits a data row into `row`; `scratch` serves lines that need the full CSV rules.
void SplitRow(std::string_view line, char separator, RowFields& row,
              std::vector<std::string_view>& scratch) {
  std::size_t count = 0;
  if (const std::optional<std::size_t> plain = SplitPlainFields(line, separator, row)) {
    count = *plain;
  } else {
    SplitCsvView(line, separator, '"', scratch, kRowFields);
    count = scratch.size();
    std::copy(scratch.begin(), scratch.end(), row.begin());
  }
  std::fill(row.begin() + static_cast<std::ptrdiff_t>(count), row.end(), std::string_view());
}

bool AnyFieldSet(const RowFields& row) {
  for (std::string_view field : row) {
    if (!field.empty()) return true;
  }
  return false;
}

// `row` holds the fields 0 to 20 of one data row.
void WriteRowLines(RowWriter& writer, const RowFields& row, const HeaderSettings& header,
                   bool starMarker, const RegionalSettings& regional) {
  const std::string_view dec = regional.decimalSeparator;

  // Codes 2 and 1: blood glucose, with the device's out-of-range words.
  const std::string_view glucose = row[kGlucose];
  if (!glucose.empty()) {
    SkipOnError([&] {
      if (IsNumericText(glucose, regional)) {
        if (header.mmol) {
          const double mgdl = RoundTo(static_cast<double>(ParseDecimal(glucose)) * kMmolToMgdl, 0);
          writer.Line('1', DoubleToText(mgdl, dec));
        } else {
          writer.Line('1', glucose);
        }
        return;
      }
      const std::string lowered = ToLower(glucose);
      if (lowered == "hoch" || lowered == "high") {
        writer.Line('1', "600");
      } else if (IsLowReading(lowered)) {
        writer.Line('2', "--1");
        writer.Line('1', "20");
      } else {
        writer.Line('1', glucose);
      }
    });
  }

  // Code 3: carbohydrates in grams.
  if (!row[kCarbs].empty()) {
    SkipOnError([&] {
      if (std::optional<long long> grams = WholeCarbs(row[kCarbs], header.carbFactor)) {
        if (*grams > 0) writer.Line('3', std::to_string(*grams));
        return;
      }
      const double grams =
          RoundTo(static_cast<double>(ParseDecimal(row[kCarbs])) * header.carbFactor, 1);
      if (grams > 0) writer.Line('3', DoubleToText(grams, dec));
    });
  }

  // Code 4 from columns 8 and 7: one value "a+b" when both are given.
  if (!row[kInsulinFirst].empty() || !row[kInsulinSecond].empty()) {
    std::string combined;
    if (!row[kInsulinFirst].empty()) {
      SkipOnError([&] {
        combined += NumberText(row[kInsulinFirst], dec);
        DropTrailingCommaZero(combined);
      });
    }
    if (!row[kInsulinSecond].empty()) {
      SkipOnError([&] {
        const std::string part = NumberText(row[kInsulinSecond], dec);
        if (!combined.empty()) combined += '+';
        combined += part;
        DropTrailingCommaZero(combined);
      });
    }
    if (!combined.empty()) writer.Line('4', combined);
  }

  if (!row[kBolus].empty()) {
    SkipOnError([&] {
      std::string value = NumberText(row[kBolus], dec);
      if (starMarker) value += '*';
      writer.Line('4', value);
    });
  }
  if (!row[kCorrection].empty()) {
    SkipOnError([&] { writer.Line('4', NumberText(row[kCorrection], dec)); });
  }
  if (!row[kBasal].empty()) {
    SkipOnError([&] { writer.Line('5', NumberText(row[kBasal], dec)); });
  }

  // Code 8: activity, "kind;duration;intensity" with "o" for a missing intensity.
  if (!row[kActivityDuration].empty() && !row[kActivityKind].empty()) {
    SkipOnError([&] {
      std::string value(row[kActivityKind]);
      value.append(1, ';').append(row[kActivityDuration]).append(1, ';');
      value.append(row[kActivityIntensity].empty() ? std::string_view("o")
                                                   : row[kActivityIntensity]);
      writer.Line('8', value);
    });
  }

  // Code 7: the note, led by the row's time.
  if (!row[kNote].empty()) {
    SkipOnError([&] {
      std::string value = NormalizeTime(row[kTime]);
      value.append(": ").append(row[kNote]);
      writer.Line('7', value);
    });
  }

  // Code 6: the tag column without blanks.
  if (!row[kTag].empty()) {
    SkipOnError([&] {
      std::string value(row[kTag]);
      std::erase(value, ' ');
      writer.Line('6', value);
    });
  }

  // Code 9: body weight.
  if (!row[kWeight].empty()) {
    SkipOnError([&] {
      std::string value = NumberText(row[kWeight], dec);
      if (header.pounds) {
        value = DoubleToText(static_cast<double>(ParseDecimal(value)) * kPoundsFactor, dec);
      }
      writer.Line('9', value);
    });
  }
}

void ShowProgress(ProcessContext& context, const std::string& progressText, long count) {
  context.ui.SetStatusText(ReplaceAll(progressText, "%1", std::to_string(count)) + "...");
  context.ui.DoEvents();
}

void TraceSkippedRows(ProcessContext& context, const ExportReadResult& result) {
  if (result.rowsWithoutDate <= 0) return;
  std::string line =
      "Rows without readable date skipped: " + std::to_string(result.rowsWithoutDate) + " (lines ";
  for (std::size_t i = 0; i < result.skippedLineNumbers.size(); ++i) {
    if (i > 0) line += ", ";
    line += std::to_string(result.skippedLineNumbers[i]);
  }
  if (result.rowsWithoutDate > static_cast<long>(result.skippedLineNumbers.size())) line += ", ...";
  line += ")";
  // The note is for support staff; a trace log that cannot be written does not stop
  // the import.
  SkipOnError([&] { context.trace.Write(std::string_view(line)); });
}

// --- Reading in pieces
//
// The export is read in pieces of whole lines, twice: the first pass reads the header,
// settles the star marker and whether the text needs the UTF-8 repair; the second writes
// the rows. A file is never held whole. A long text is cut in two halves at a line
// start, and a worker thread reads the second half in both passes; the halves' row
// texts are joined in file order.

// How many bytes a piece holds at least (it runs on to the end of its last line).
constexpr std::size_t kPieceBytes = std::size_t{2} << 20;

bool StartsWithByteOrderMark(std::string_view bytes) {
  return bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") ||
         bytes.starts_with("\xFE\xFF");
}

// Pieces of a text: each ends right behind a CR LF, except the last, which holds the
// rest. Lines are cut at every CR LF, so the lines of the pieces are the lines of the
// whole text.
class TextPieces {
 public:
  virtual ~TextPieces() = default;
  // The next piece, kept in `buffer` when it must be copied; empty at the end.
  virtual std::string_view Next(std::string& buffer) = 0;
};

// A text to be read in pieces, whole or in parts that start at line starts.
class TextSource {
 public:
  virtual ~TextSource() = default;
  virtual std::uint64_t Size() = 0;
  // Where the line after the first CR LF at or behind `at` starts; Size() when none.
  virtual std::uint64_t LineStartAfter(std::uint64_t at) = 0;
  // The pieces of the part from `begin` (a line start) up to `end`.
  virtual std::unique_ptr<TextPieces> Pieces(std::uint64_t begin, std::uint64_t end) = 0;
  // How long a text must be for the worker thread to read half of it.
  virtual std::uint64_t LongText() = 0;
};

// The end of the piece that starts at `from`: behind the first CR LF that ends at or
// after from + pieceBytes; the text's end when there is none.
std::size_t PieceEnd(std::string_view text, std::size_t from, std::size_t pieceBytes) {
  if (text.size() - from <= pieceBytes) return text.size();
  const std::size_t found = text.find(kCrLf, from + pieceBytes - 1);
  return found == std::string_view::npos ? text.size() : found + kCrLf.size();
}

class MemoryPieces : public TextPieces {
 public:
  MemoryPieces(std::string_view text, std::size_t pieceBytes)
      : text_(text), pieceBytes_(pieceBytes) {}
  std::string_view Next(std::string&) override {
    const std::size_t end = PieceEnd(text_, position_, pieceBytes_);
    const std::string_view piece = text_.substr(position_, end - position_);
    position_ = end;
    return piece;
  }

 private:
  std::string_view text_;
  std::size_t pieceBytes_;
  std::size_t position_ = 0;
};

class MemorySource : public TextSource {
 public:
  MemorySource(std::string_view text, std::size_t pieceBytes)
      : text_(text), pieceBytes_(std::max<std::size_t>(pieceBytes, 1)) {}
  std::uint64_t Size() override { return text_.size(); }
  std::uint64_t LineStartAfter(std::uint64_t at) override {
    const std::size_t found = text_.find(kCrLf, static_cast<std::size_t>(at));
    return found == std::string_view::npos ? text_.size() : found + kCrLf.size();
  }
  std::unique_ptr<TextPieces> Pieces(std::uint64_t begin, std::uint64_t end) override {
    return std::make_unique<MemoryPieces>(
        text_.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)),
        pieceBytes_);
  }
  // More than one piece.
  std::uint64_t LongText() override { return pieceBytes_ + 1; }

 private:
  std::string_view text_;
  std::size_t pieceBytes_;
};

RuntimeError FileAccessError(const std::string& path) {
  return PathFileAccessError("ReadAnsiFile", path);
}

class FilePieces : public TextPieces {
 public:
  FilePieces(const std::string& path, std::uint64_t begin, std::uint64_t end,
             std::size_t pieceBytes)
      : path_(path),
        in_(FsPath(path), std::ios::binary),
        left_(end - begin),
        pieceBytes_(pieceBytes) {
    if (!in_) throw FileAccessError(path_);
    in_.seekg(static_cast<std::streamoff>(begin));
    if (!in_) throw FileAccessError(path_);
  }
  std::string_view Next(std::string& buffer) override {
    buffer.assign(carry_);
    carry_.clear();
    std::size_t searchFrom = 0;
    for (;;) {
      const std::size_t had = buffer.size();
      const auto want =
          static_cast<std::size_t>(std::min<std::uint64_t>(std::max(pieceBytes_, had / 2), left_));
      buffer.resize(had + want);
      in_.read(buffer.data() + had, static_cast<std::streamsize>(want));
      const auto got = static_cast<std::size_t>(in_.gcount());
      buffer.resize(had + got);
      left_ -= got;
      if (in_.bad()) throw FileAccessError(path_);
      if (got == 0) return buffer;  // the end: the rest, maybe without a line break
      // The last CR LF of what has been read; a line longer than a piece reads on, and
      // only the newly read bytes (and the one before them) are searched again.
      const std::size_t from = searchFrom > 0 ? searchFrom - 1 : 0;
      const std::size_t found = std::string_view(buffer).substr(from).rfind(kCrLf);
      if (found != std::string_view::npos) {
        const std::size_t end = from + found + kCrLf.size();
        carry_.assign(buffer, end, std::string::npos);
        buffer.resize(end);
        return buffer;
      }
      searchFrom = buffer.size();
    }
  }

 private:
  std::string path_;
  std::ifstream in_;
  std::uint64_t left_;  // bytes of the part not read yet
  std::size_t pieceBytes_;
  std::string carry_;  // the start of a line that the previous read cut off
};

class FileSource : public TextSource {
 public:
  FileSource(const std::string& path, std::uint64_t size, std::size_t pieceBytes)
      : path_(path), size_(size), pieceBytes_(pieceBytes) {}
  std::uint64_t Size() override { return size_; }
  std::uint64_t LineStartAfter(std::uint64_t at) override {
    std::ifstream in(FsPath(path_), std::ios::binary);
    in.seekg(static_cast<std::streamoff>(at));
    if (!in) throw FileAccessError(path_);
    char block[1 << 16];
    bool carriageReturn = false;  // the block before ended with a CR
    std::uint64_t position = at;
    while (in.read(block, sizeof block) || in.gcount() > 0) {
      const auto got = static_cast<std::size_t>(in.gcount());
      if (carriageReturn && block[0] == '\n') return position + 1;
      const std::size_t found = std::string_view(block, got).find(kCrLf);
      if (found != std::string_view::npos) return position + found + kCrLf.size();
      carriageReturn = block[got - 1] == '\r';
      position += got;
    }
    if (in.bad()) throw FileAccessError(path_);
    return size_;
  }
  std::unique_ptr<TextPieces> Pieces(std::uint64_t begin, std::uint64_t end) override {
    return std::make_unique<FilePieces>(path_, begin, end, pieceBytes_);
  }
  std::uint64_t LongText() override { return std::uint64_t{2} * pieceBytes_; }

 private:
  std::string path_;
  std::uint64_t size_;
  std::size_t pieceBytes_;
};

// What the first pass finds out.
struct TextSurvey {
  bool empty = true;  // no text at all
  HeaderSettings header;
  bool repair = false;
  bool starMarker = false;
};

// Whether a text read as ANSI is UTF-8 and needs the repair. A case-insensitive "Ã¶":
// the "¶" has no other case, so the two byte forms are all.
bool NeedsRepair(std::string_view text) {
  return text.find("Ã¶") != std::string_view::npos || text.find("ã¶") != std::string_view::npos;
}

// Whether the ANSI bytes of a piece, converted, need the UTF-8 repair. Only the stretches
// that are converted can hold the letters looked for (see AppendAnsiAsUtf8), and a
// stretch never reaches over a line break.
bool AnsiNeedsRepair(Platform& platform, std::string_view bytes) {
  for (Stretch s = NextAnsiStretch(bytes, 0); s.from != std::string_view::npos;
       s = NextAnsiStretch(bytes, s.to)) {
    if (NeedsRepair(platform.AnsiToUtf8(bytes.substr(s.from, s.to - s.from)))) return true;
  }
  return false;
}

// What a piece (without the header) tells the first pass.
struct PieceSurvey {
  bool repair = false;
  bool starMarker = false;
};

// ANSI bytes are surveyed as they stand: the separators, quotes, digits and blanks that
// the star marker depends on are ASCII and single bytes in every code page, and any other
// byte ends a number either way. May run on a worker thread.
PieceSurvey SurveyPiece(Platform& platform, std::string_view text, bool ansi, char separator) {
  PieceSurvey survey;
  survey.repair = ansi ? AnsiNeedsRepair(platform, text) : NeedsRepair(text);
  std::vector<std::string_view> fields;
  survey.starMarker = PreScanStarMarker(text, 0, separator, fields);
  return survey;
}

// Surveys a part of the text, from `text` (the rest of its first piece) on, until both
// answers are known. May run on a worker thread.
PieceSurvey SurveyPart(Platform& platform, TextPieces& pieces, std::string_view text, bool ansi,
                       char separator) {
  PieceSurvey part;
  std::string raw;
  for (; !text.empty(); text = pieces.Next(raw)) {
    const PieceSurvey piece = SurveyPiece(platform, text, ansi, separator);
    part.repair = part.repair || piece.repair;
    part.starMarker = part.starMarker || piece.starMarker;
    if (part.repair && part.starMarker) break;
  }
  return part;
}

// The first pass; the second half of the text (from `half` on) surveyed by a worker thread.
TextSurvey SurveyText(TextSource& source, std::uint64_t half, Platform& platform, bool ansi,
                      const RegionalSettings& regional) {
  TextSurvey survey;
  const std::unique_ptr<TextPieces> pieces = source.Pieces(0, half);
  std::string raw;
  std::string_view first = pieces->Next(raw);
  if (first.empty()) return survey;

  // The header's settings depend only on ASCII text as well; its letters matter for
  // nothing but the unit words, so the header is read converted and unrepaired.
  std::size_t position = 0;
  const std::string_view line = NextLineView(first, position);
  const std::string header = ansi ? AnsiBytesToUtf8(platform, line) : std::string(line);
  std::vector<std::string_view> fields;
  survey.empty = false;
  survey.header = ReadHeader(header, regional, fields);
  first.remove_prefix(position);

  const char separator = survey.header.separator;
  std::future<PieceSurvey> worker;
  if (half < source.Size()) {
    worker = std::async(std::launch::async, [&source, half, &platform, ansi, separator] {
      const std::unique_ptr<TextPieces> rest = source.Pieces(half, source.Size());
      std::string buffer;
      return SurveyPart(platform, *rest, rest->Next(buffer), ansi, separator);
    });
  }
  for (const PieceSurvey& part : {SurveyPart(platform, *pieces, first, ansi, separator),
                                  worker.valid() ? worker.get() : PieceSurvey{}}) {
    survey.repair = survey.repair || part.repair;
    survey.starMarker = survey.starMarker || part.starMarker;
  }
  return survey;
}

// The rows of a part of the text: its share of the RowText and of the counts.
struct PartRows {
  std::string rowText;
  long lines = 0;
  long rowsWithoutDate = 0;
  std::vector<long> skippedLines;                  // 1-based within the part, the first few
  std::array<std::string, kRowFields> fieldTexts;  // fields of a row converted to UTF-8
};

// The fields of a row that hold more than ASCII as UTF-8 text: ANSI bytes converted, the
// UTF-8 repair made when it is due. Lines are split as they stand (separators and quotes
// are ASCII and single bytes in every code page), and neither conversion nor repair
// reaches over a separator, so each field comes out as its part of the whole text
// converted would. Only the few fields that need it are converted.
void ConvertRowFields(Platform& platform, bool ansi, bool repair, RowFields& row,
                      std::array<std::string, kRowFields>& texts) {
  for (std::size_t i = 0; i < kRowFields; ++i) {
    if (FindNonAscii(row[i], 0) == std::string_view::npos) continue;
    std::string& text = texts[i];
    if (ansi) {
      text.clear();
      AppendAnsiAsUtf8(platform, row[i], text);
      row[i] = text;
    }
    if (repair && row[i].find("Ã") != std::string_view::npos) {
      text = RepairUtf8(row[i]);
      row[i] = text;
    }
  }
}

// Adds the rows of a piece to those of its part. May run on a worker thread: it touches
// nothing but its own PartRows and reads the shared settings.
void ReadPieceRows(Platform& platform, std::string_view text, bool skipFirstLine,
                   const TextSurvey& survey, bool ansi, const RegionalSettings& regional,
                   PartRows& out) {
  const bool convert = ansi || survey.repair;
  RowWriter writer(out.rowText);
  RowFields row;
  std::vector<std::string_view> fields;
  NumericDateTimeReader numericDates(regional);
  std::size_t position = 0;
  if (skipFirstLine) NextLineView(text, position);
  while (position < text.size()) {
    const std::string_view line = NextLineView(text, position);
    SplitRow(line, survey.header.separator, row, fields);
    if (convert && FindNonAscii(line, 0) != std::string_view::npos) {
      ConvertRowFields(platform, ansi, survey.repair, row, out.fieldTexts);
    }
    ++out.lines;

    std::optional<DateTime> when;
    if (!row[kDate].empty() || !row[kTime].empty()) {
      SkipOnError([&] {
        // The common numeric form first; every other row is read in full.
        const NumericDateTimeParts numeric = numericDates.Read(row[kDate], row[kTime]);
        when = numeric.parts && numeric.parts->hasDate
                   ? numeric.parts->value
                   : ReadDateTime(row[kDate], row[kTime], regional);
      });
    }
    if (when) {
      writer.SetStamp(*when);
      WriteRowLines(writer, row, survey.header, survey.starMarker, regional);
    } else if (AnyFieldSet(row)) {
      // A row that carries values but no readable date is lost to the import; count it
      // for the trace log. Blank rows and empty lines are not worth a note.
      ++out.rowsWithoutDate;
      if (out.skippedLines.size() < kMaxSkippedLineNumbers) out.skippedLines.push_back(out.lines);
    }
  }
}

// Adds the rows of a part to the result, behind those already there.
void AddPartRows(PartRows& part, ExportReadResult& result) {
  result.rowText.append(part.rowText);
  for (const long line : part.skippedLines) {
    if (result.skippedLineNumbers.size() >= kMaxSkippedLineNumbers) break;
    result.skippedLineNumbers.push_back(result.linesRead + line + 1);  // line 1 is the header
  }
  result.rowsWithoutDate += part.rowsWithoutDate;
  result.linesRead += part.lines;
}

ExportReadResult ReadText(ProcessContext& context, TextSource& source, bool ansi) {
  ExportReadResult result;
  const std::uint64_t size = source.Size();
  const std::uint64_t half = size >= source.LongText() ? source.LineStartAfter(size / 2) : size;
  const RegionalSettings regional = context.platform.Regional();
  const TextSurvey survey = SurveyText(source, half, context.platform, ansi, regional);
  if (survey.empty) return result;
  result.exportUnit = survey.header.exportUnit;

  // The worker thread reads the second half; its progress is shown with this thread's.
  std::atomic<long> workerLines = 0;
  PartRows second;
  std::future<void> worker;
  if (half < size) {
    worker = std::async(std::launch::async, [&] {
      second.rowText.reserve(static_cast<std::size_t>((size - half) / 4));
      const std::unique_ptr<TextPieces> pieces = source.Pieces(half, size);
      std::string raw;
      for (std::string_view piece = pieces->Next(raw); !piece.empty(); piece = pieces->Next(raw)) {
        ReadPieceRows(context.platform, piece, false, survey, ansi, regional, second);
        workerLines = second.lines;
      }
    });
  }

  const std::string progressText = context.Message(303, {"%1"});
  long shown = 0;
  const auto showProgress = [&](long count) {
    if (count == shown) return;
    ShowProgress(context, progressText, count);
    shown = count;
  };
  PartRows first;
  first.rowText.reserve(static_cast<std::size_t>(size / 2));  // room for the whole row text
  const std::unique_ptr<TextPieces> pieces = source.Pieces(0, half);
  std::string raw;
  bool header = true;
  for (std::string_view piece = pieces->Next(raw); !piece.empty(); piece = pieces->Next(raw)) {
    ReadPieceRows(context.platform, piece, header, survey, ansi, regional, first);
    header = false;
    // The count after every piece (some 10,000 rows), and always the final count.
    showProgress(first.lines + workerLines);
  }
  if (worker.valid()) {
    while (worker.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
      showProgress(first.lines + workerLines);
    }
    worker.get();
  }
  result.rowText = std::move(first.rowText);
  first.rowText.clear();
  AddPartRows(first, result);
  AddPartRows(second, result);
  showProgress(result.linesRead);
  TraceSkippedRows(context, result);
  return result;
}

}  // namespace

ExportReadResult ReadExportFile(ProcessContext& context, const std::string& path) {
  if (path.empty()) return ExportReadResult{};
  const std::filesystem::path fsPath = FsPath(path);
  std::error_code ec;
  if (!std::filesystem::exists(fsPath, ec)) return ExportReadResult{};
  if (std::filesystem::is_directory(fsPath, ec)) {
    throw PathFileAccessError("ReadAnsiFile", path);
  }
  const auto size = std::filesystem::file_size(fsPath, ec);
  if (ec) throw FileAccessError(path);
  FileSource source(path, size, kPieceBytes);
  {
    // A file with a byte-order mark is decoded whole (spreadsheet programs write such
    // files; they are small).
    char mark[3] = {};
    std::ifstream in(fsPath, std::ios::binary);
    in.read(mark, sizeof mark);
    if (StartsWithByteOrderMark(std::string_view(mark, static_cast<std::size_t>(in.gcount())))) {
      const std::optional<std::string> bytes = ReadFileBytes(path);
      if (!bytes) throw FileAccessError(path);
      return ReadExportText(context, *bytes);
    }
  }
  return ReadText(context, source, true);
}

ExportReadResult ReadExportText(ProcessContext& context, std::string_view bytes) {
  return ReadExportText(context, bytes, kPieceBytes);
}

ExportReadResult ReadExportText(ProcessContext& context, std::string_view bytes,
                                std::size_t pieceBytes) {
  if (StartsWithByteOrderMark(bytes)) {
    const std::string decoded = DecodeExportBytes(context.platform, bytes);
    MemorySource source(decoded, pieceBytes);
    return ReadText(context, source, false);
  }
  // Without a mark the bytes are ANSI; plain ASCII fields are used as they stand.
  MemorySource source(bytes, pieceBytes);
  return ReadText(context, source, true);
}

std::string DecodeExportBytes(Platform& platform, std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    const std::string_view rest = bytes.substr(3);
    // Invalid sequences become replacement characters, so the rest of the program only
    // ever sees well-formed UTF-8.
    return IsAscii(rest) ? std::string(rest) : Utf16ToUtf8(Utf8ToUtf16(rest));
  }
  if (bytes.starts_with("\xFF\xFE")) return Utf16BytesToUtf8(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return Utf16BytesToUtf8(bytes.substr(2), true);
  return AnsiBytesToUtf8(platform, bytes);
}

std::string RepairUtf8(std::string_view text) {
  // Each garbled pair is "Ã" followed by the character that the second byte of the letter's
  // UTF-8 form shows in the ANSI code page. No replacement letter is such a second
  // character, so one pass from left to right replaces exactly what replacing pair by
  // pair would.
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kRepairs = {{
      {"¼", "ü"},
      {"¶", "ö"},
      {"¤", "ä"},
      {"œ", "Ü"},
      {"–", "Ö"},
      {"„", "Ä"},
      {"Ÿ", "ß"},
      {"³", "ó"},
      {"©", "é"},
      {"¨", "è"},
      {"¡", "á"},
      {"¦", "æ"},
  }};
  constexpr std::string_view kLead = "Ã";
  std::string out;
  out.reserve(text.size());
  std::size_t done = 0;
  std::size_t lead = text.find(kLead);
  while (lead != std::string_view::npos) {
    const std::string_view after = text.substr(lead + kLead.size());
    std::size_t next = lead + kLead.size();
    for (const auto& [second, letter] : kRepairs) {
      if (after.starts_with(second)) {
        out.append(text.substr(done, lead - done)).append(letter);
        next += second.size();
        done = next;
        break;
      }
    }
    lead = text.find(kLead, next);
  }
  out.append(text.substr(done));
  return out;
}

void SplitCsvLine(std::string_view line, char separator, std::vector<std::string>& fields,
                  char quote) {
  std::vector<std::string_view> views;
  SplitCsvView(line, separator, quote, views);
  fields.resize(views.size());
  for (std::size_t i = 0; i < views.size(); ++i) fields[i].assign(views[i]);
}

std::string StripQuotes(std::string_view text) {
  std::string out = Trim(text);
  while (!out.empty() && out.front() == '"') out = Trim(std::string_view(out).substr(1));
  while (!out.empty() && out.back() == '"') {
    out.pop_back();
    out = Trim(out);
  }
  return out;
}

bool IsNumericText(std::string_view text, const RegionalSettings& regional) {
  const std::string_view decimal = regional.decimalSeparator;
  const std::string_view thousands = regional.thousandSeparator;
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };

  std::size_t i = 0;
  std::size_t end = text.size();
  while (i < end && isBlank(text[i])) ++i;
  while (end > i && isBlank(text[end - 1])) --end;
  text = text.substr(i, end - i);
  if (text.empty()) return false;

  std::size_t pos = 0;
  if (text[0] == '+' || text[0] == '-') {
    ++pos;
    while (pos < text.size() && isBlank(text[pos])) ++pos;
  }
  bool digits = false;
  // Whole part: digits, with thousands separators only between two digits.
  while (pos < text.size()) {
    if (isDigit(text[pos])) {
      digits = true;
      ++pos;
    } else if (!thousands.empty() && thousands != decimal && digits &&
               text.substr(pos).starts_with(thousands) && pos + thousands.size() < text.size() &&
               isDigit(text[pos + thousands.size()])) {
      pos += thousands.size();
    } else {
      break;
    }
  }
  if (!decimal.empty() && text.substr(pos).starts_with(decimal)) {
    pos += decimal.size();
    while (pos < text.size() && isDigit(text[pos])) {
      digits = true;
      ++pos;
    }
  }
  return digits && pos == text.size();
}

}  // namespace tavrin
