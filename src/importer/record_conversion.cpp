#include "importer/record_conversion.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "formats/json_writer.h"
#include "formats/xml_writer.h"
#include "importer/bg_record_groups.h"
#include "importer/date_parsing.h"
#include "importer/row_table.h"
#include "platform/ini_file.h"
#include "platform/process_context.h"
#include "platform/settings.h"
#include "shared/date_time.h"
#include "shared/error.h"
#include "shared/number_format.h"
#include "shared/string_builder.h"
#include "shared/text.h"
#include "shared/two_halves.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

constexpr std::size_t kCgmStep = 100000;

// Characters start to start + length - 1 (1-based, counted in characters) of a text;
// shorter or empty where the text ends earlier.
std::string_view Mid(std::string_view text, std::size_t start, std::size_t length) {
  std::size_t from = 0;
  for (std::size_t n = 1; n < start && from < text.size(); ++n) {
    from += Utf8SequenceLength(text, from);
  }
  std::size_t to = from;
  for (std::size_t n = 0; n < length && to < text.size(); ++n) to += Utf8SequenceLength(text, to);
  return text.substr(from, to - from);
}

// Whether the whole text reads as a number in the row text's own form: blanks around it,
// an optional sign, digits with at most one "." (no regional separators; compare
// IsNumericText of the export reader).
bool IsPlainDecimalText(std::string_view text) {
  const std::string trimmed = Trim(text);
  std::string_view rest = trimmed;
  if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) rest.remove_prefix(1);
  bool digit = false;
  bool point = false;
  for (char c : rest) {
    if (IsAsciiDigit(c)) {
      digit = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digit;
}

// A code of plain digits that its number text would write the same way.
bool IsCanonicalNumber(std::string_view text) {
  if (text.empty() || text.size() > 6 || (text.size() > 1 && text.front() == '0')) return false;
  for (char c : text) {
    if (!IsAsciiDigit(c)) return false;
  }
  return true;
}

// Rounds to a 16-bit integer, halves to the even neighbour; outside the range an
// overflow error, as the conversion of a number to a 16-bit integer reports it, that
// names the row (its line as `line` composes it).
template <typename Line>
int ToInt16(double value, const Line& line) {
  // Most values are whole numbers in range: they round to themselves.
  if (value >= -32768.0 && value <= 32767.0) {
    const int whole = static_cast<int>(value);
    if (whole == value) return whole;
  }
  double rounded = std::floor(value);
  const double fraction = value - rounded;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) rounded += 1.0;
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) {
    throw OverflowError("ConvertRows", line());
  }
  return static_cast<int>(rounded);
}

// Texts compared by UTF-16 code units. Byte order agrees with it except where two
// multi-byte characters differ; only then is the slower comparison needed.
bool TextLess(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  std::size_t i = 0;
  // Eight bytes at a time up to the first difference.
  for (; i + 8 <= n; i += 8) {
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x != y) break;
  }
  while (i < n && a[i] == b[i]) ++i;
  if (i == n) return a.size() < b.size();
  const auto x = static_cast<unsigned char>(a[i]);
  const auto y = static_cast<unsigned char>(b[i]);
  if (x >= 0x80 && y >= 0x80) return CompareUtf16(a, b) < 0;
  return x < y;
}

// One thread's share of the second pass: its group of records (or all of them), its
// counts and its work buffers, on cache lines of its own.
struct alignas(64) Lane {
  unsigned group = 0;
  long rowCount = 0;
  // The error that ended the lane, and the row it came from.
  std::exception_ptr error;
  std::size_t errorRow = 0;
  // Work buffers reused from row to row.
  std::string codeText;
  std::string valueText;
  std::string listLine;
  std::string rowLine;  // a row's line, for the rows that the row text's rules cut
};

// A row as the conversion reads it: the record date and time of its stamp, its code and
// its value up to a ";".
struct RowView {
  RecordStamp stamp;
  std::string_view code;
  std::string_view value;
};

// The pass over the rows, with everything it builds. The XML document without CGM rows,
// by far the usual work, is built by two threads when there are many rows: each converts
// the rows of one group of record keys.
class RowConversion {
 public:
  RowConversion(ProcessContext& context, std::string_view exportUnit, std::string serial,
                bool xmlOutput, bool cgmPresent, bool grouped)
      : context_(context),
        exportUnit_(exportUnit),
        serial_(std::move(serial)),
        xmlOutput_(xmlOutput),
        cgmPresent_(cgmPresent),
        records_(NoteLabelsOfEveryLanguage(context)),
        lanes_(grouped ? 2 : 1) {
    for (unsigned g = 0; g < lanes_.size(); ++g) lanes_[g].group = g;
    if (cgmPresent_) {
      json_.emplace(context_.platform, std::string(exportUnit_), serial_);
      json_->WriteJsonOpening();
    }
  }

  // Whether the rows are shared out by the group of their record key: only rows that
  // are one line each carry the group of that line.
  static bool Grouped(const ThreadUse& threads, const RowTable& rows, bool xmlOutput) {
    // A row's line takes some 24 bytes of row text.
    return xmlOutput && !rows.HasCgmMarker() && rows.Exact() &&
           threads.WorthTwoThreads(rows.Size() * 24);
  }

  // Each line opens at most one record (a starred value two, rarely); each lane makes
  // room for its share on its own thread. The CGM entries take room for a whole step, or
  // for every line when there are fewer: a short export does not hold 3 MB for nothing.
  void Reserve(std::size_t lines) {
    reserveLines_ = lines / lanes_.size() + 16;
    if (cgmPresent_) cgm_.reserve(std::min(lines, kCgmStep));
  }

  void ConvertAll(const RowTable& rows) {
    RunTwoHalves(
        lanes_.size() == 2, [&] { RunLane(rows, lanes_[0]); }, [&] { RunLane(rows, lanes_[1]); });
    // The error of the earliest row, as one pass over the rows would have met it.
    const Lane* failed = nullptr;
    for (const Lane& lane : lanes_) {
      if (lane.error && (failed == nullptr || lane.errorRow < failed->errorRow)) failed = &lane;
    }
    if (failed != nullptr) std::rethrow_exception(failed->error);
  }

  void Finish(ConversionResult& out, cStringBuilder& xml) {
    for (const Lane& lane : lanes_) out.rowCount += lane.rowCount;
    const std::size_t records = records_.Count();
    out.bgRecords = static_cast<long>(records);
    out.cgmReadings = static_cast<long>(cgm_.size());

    if (xmlOutput_ && records > 0) records_.AppendXmlLines(context_.threads, xml);

    if (cgmPresent_) {
      if (!cgm_.empty()) {
        SortTexts(cgm_);
        for (const std::string& entry : cgm_) {
          json_->WriteCgmReading(ToUpper(Mid(entry, 1, 20)), Mid(entry, 22, entry.size()));
        }
      }
      out.json = json_->WriteJsonClosing();
    }

    if (!xmlOutput_) {
      std::string list = "Tavrin App;" + serial_ + ";" + std::to_string(out.rowCount) + ";";
      list.append(exportUnit_).append(kCrLf).append(plainRows_.ToString());
      out.result = std::move(list);
    } else if (records > 0) {
      WriteXmlTrailer(xml);
      std::string document = xml.Release();
      InsertXmlCheck(document, context_.platform, context_.threads);
      out.result = std::move(document);
    }
  }

 private:
  // Converts the rows of the lane's group (or all rows), in order.
  void RunLane(const RowTable& rows, Lane& lane) {
    std::size_t index = 0;
    try {
      records_.Store(lane.group).Reserve(reserveLines_);
      const bool allGroups = lanes_.size() == 1;
      RecordStamp stamp(DateTime{});
      std::uint64_t stampOf = ~std::uint64_t{0};
      for (; index < rows.Size(); ++index) {
        const RowTable::Row& row = rows[index];
        if ((row.flags & RowTable::kSplits) != 0) {
          ConvertSplitRow(rows, index, lane);
          continue;
        }
        // A row without value carries nothing (and must not turn into a glucose value 0);
        // a row whose stamp names no real point in time is not converted.
        if ((row.flags & RowTable::kDated) == 0 ||
            (!allGroups && RowTable::Group(row) != lane.group)) {
          continue;
        }
        const std::string_view value = rows.ConvertedValue(row);
        if (value.empty()) continue;
        // Rows come stamp by stamp: each stamp is written out once.
        const std::uint64_t when =
            (std::uint64_t{row.year} << 32) | (row.month << 24) | (row.day << 16) | row.minuteOfDay;
        if (when != stampOf) {
          stamp = RecordStamp(RowTable::When(row));
          stampOf = when;
        }
        const RowView view{stamp, rows.Code(row), value};
        ConvertRow(view, index, lane, [&] {
          std::string line;
          rows.AppendLine(row, line);
          return line.substr(0, line.size() - (rows.Value(row).size() - value.size()));
        });
      }
    } catch (...) {
      // The lane may run on a worker thread, from which nothing may escape: whatever it
      // threw is kept and rethrown on the calling thread once both lanes have ended.
      lane.error = std::current_exception();
      lane.errorRow = index;
    }
  }

  // A row whose value holds a CR LF: converted as the lines the row text's rules cut its
  // line into, all in the single lane.
  void ConvertSplitRow(const RowTable& rows, std::size_t index, Lane& lane) {
    lane.rowLine.clear();
    rows.AppendLine(rows[index], lane.rowLine);
    for (const RowFields& fields : RowTable::SplitRows(lane.rowLine)) {
      if (fields.field[2].empty() || !StampTime(fields.field[0])) continue;
      const RowView view{RecordStamp(fields.field[0]), fields.field[1], fields.field[2]};
      ConvertRow(view, index, lane, [&] {
        std::string line(fields.field[0]);
        line.append(";").append(fields.field[1]).append(";").append(fields.field[2]);
        return line;
      });
    }
  }

  // Converts one row with a value and a readable stamp; `index` is its place among the
  // rows, `line` composes its line of the row text for an error that names it.
  template <typename Line>
  void ConvertRow(const RowView& row, std::size_t index, Lane& lane, const Line& line) {
    std::string_view value = row.value;

    // Numeric codes in their number form, so that "04" is code 4.
    std::string_view code = row.code;
    if (!IsCanonicalNumber(code) && IsPlainDecimalText(code)) {
      lane.codeText = DoubleToText(LeadingNumber(code), ".");
      code = lane.codeText;
    }
    const bool cgmRow = AsciiEqualsNoCase(code, "UDTCGMS");

    int bgValue = 0;
    if (code == "1" || code == "1b" || cgmRow) {
      bgValue = ToInt16(LeadingNumber(value), line);
      if (exportUnit_ == "mmol/L") {
        const double mmol = RoundTo(static_cast<float>(RoundTo(bgValue / kMgdlPerMmol, 1)), 1);
        lane.valueText = SingleToText(static_cast<float>(mmol), ".");
        value = lane.valueText;
      }
    }

    const std::string_view date = row.stamp.Date();
    const std::string_view time = row.stamp.Time();

    if (cgmRow) {
      if (cgmPresent_) {
        if (cgm_.size() == cgm_.capacity()) cgm_.reserve(cgm_.capacity() + kCgmStep);
        std::string entry;
        entry.reserve(date.size() + time.size() + 12);
        entry.append(date).append("T").append(time).append(":00Z_");
        entry.append(std::to_string(bgValue));
        cgm_.push_back(std::move(entry));
      }
      return;
    }

    if (cgmPresent_) json_->WriteJsonEntry(date, time, code, value);

    BgRecordStore& store = records_.ForRow(lane.group, index);
    if (code == "4b") {
      store.AddBgValue(date, time, -2, value, exportUnit_);
    } else if (code == "1b") {
      ListRow(lane, date, time, code, value);
      store.AddBgValue(date, time, -1, value, exportUnit_);
    } else if (code == "0" || (code.size() == 4 && AsciiEqualsNoCase(code, "IPBR"))) {
      // Rows of no interest to the host.
    } else {
      ListRow(lane, date, time, code, value);
      store.AddBgValue(date, time, ToInt16(LeadingNumber(code), line), value, exportUnit_);
    }
  }

  void ListRow(Lane& lane, std::string_view date, std::string_view time, std::string_view code,
               std::string_view value) {
    ++lane.rowCount;
    if (xmlOutput_) return;  // the plain list is the result only without XML
    std::string& line = lane.listLine;
    line.clear();
    line.append(date).append(";").append(time).append(";").append(code).append(";");
    line.append(value).append(kCrLf);
    plainRows_.Add(line);
  }

  ProcessContext& context_;
  std::string_view exportUnit_;
  std::string serial_;
  bool xmlOutput_;
  bool cgmPresent_;
  BgRecordGroups records_;
  std::vector<Lane> lanes_;
  // Built by the single lane of the plain list or of an export with CGM rows.
  std::optional<JsonStreamWriter> json_;
  std::vector<std::string> cgm_;
  cStringBuilder plainRows_;
  std::size_t reserveLines_ = 0;
};

void QuickSort(std::vector<std::string>& texts, std::ptrdiff_t lower, std::ptrdiff_t upper) {
  while (lower < upper) {
    // Middle element as pivot; a half goes to the even neighbour.
    const std::ptrdiff_t sum = lower + upper;
    std::ptrdiff_t middle = sum / 2;
    if (sum % 2 != 0 && middle % 2 != 0) ++middle;
    const std::string pivot = texts[static_cast<std::size_t>(middle)];

    std::ptrdiff_t i = lower;
    std::ptrdiff_t j = upper;
    while (i <= j) {
      while (TextLess(texts[static_cast<std::size_t>(i)], pivot)) ++i;
      while (TextLess(pivot, texts[static_cast<std::size_t>(j)])) --j;
      if (i <= j) {
        std::swap(texts[static_cast<std::size_t>(i)], texts[static_cast<std::size_t>(j)]);
        ++i;
        --j;
      }
    }
    // Recurse into the smaller part and go on with the larger, so that the depth of
    // recursion stays logarithmic whatever the input.
    if (j - lower < upper - i) {
      if (lower < j) QuickSort(texts, lower, j);
      lower = i;
    } else {
      if (i < upper) QuickSort(texts, i, upper);
      upper = j;
    }
  }
}

}  // namespace

void SortTexts(std::vector<std::string>& texts) {
  if (texts.size() > 1) QuickSort(texts, 0, static_cast<std::ptrdiff_t>(texts.size()) - 1);
}

ConversionResult ConvertRows(ProcessContext& context, const RowTable& rows,
                             std::string_view exportUnit, SerialNumberSource& serials) {
  ConversionResult out;
  // A cancel left by an earlier attempt in this process does not belong to this run.
  context.dialogResult = DialogAnswer::kNone;

  // The settings are read from a snapshot that is never written back.
  cIniFile settings(context.platform);
  settings.IniFile(context.paths.SettingsFilePath());
  settings.Offline(true);
  const bool xmlOutput = IsTrueText(settings.Load("Driver", "XML", "1"));
  const bool staticSerial = IsTrueText(settings.Load("OXSW", "XML-SNo-Static", "0"));

  // Without a single dated row there is no age to warn about.
  const bool cgmPresent = rows.HasCgmMarker();
  const bool grouped = RowConversion::Grouped(context.threads, rows, xmlOutput);
  const DateRange& range = rows.Range();
  if (range.found && CheckDataAge(context, range.earliest, range.latest, &out.dataAgeWarnings)) {
    context.dialogResult = DialogAnswer::kCancel;
    out.cancelled = true;
    return out;
  }

  std::string serial = serials.ResolveSerialNumber(context);
  if (serial.empty()) serial = "unknown";
  if (context.dialogResult == DialogAnswer::kCancel) {
    out.cancelled = true;
    return out;
  }
  out.serialNumber = serial;

  cStringBuilder xml;
  WriteXmlHeader(xml, exportUnit, serial, staticSerial, context.platform.Clock().Now());

  // The rows are converted on up to two threads at a time; the bar moves by stages.
  constexpr std::uint64_t kStages = 3;
  context.ui.ShowProgress(ProgressStep::Converting, 0, kStages);
  RowConversion conversion(context, exportUnit, serial, xmlOutput, cgmPresent, grouped);
  conversion.Reserve(range.lines);
  context.ui.ShowProgress(ProgressStep::Converting, 1, kStages);
  conversion.ConvertAll(rows);
  context.ui.ShowProgress(ProgressStep::Converting, 2, kStages);
  conversion.Finish(out, xml);
  context.ui.ShowProgress(ProgressStep::Converting, kStages, kStages);
  return out;
}

}  // namespace tavrin
