#include "importer/export_reader.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "importer/date_parsing.h"
#include "importer/export_encoding.h"
#include "importer/export_pieces.h"
#include "importer/export_rows.h"
#include "importer/locale_date.h"
#include "platform/process_context.h"
#include "shared/error.h"
#include "shared/fs.h"
#include "shared/text.h"
#include "shared/two_halves.h"
#include "shared/utf8.h"

namespace tavrin {

// The export is read in pieces of whole lines. The first piece tells the header and
// whether the text needs the UTF-8 repair and the star marker as far as it goes; the rows
// are then written on that assumption while each piece is surveyed as it passes. Should a
// later piece settle either answer otherwise (rare: both show in the first rows as a
// rule), the rows are written once more with the answers of the whole text. A long text
// is cut in two halves at a line start, and a worker thread reads the second half; the
// halves' rows are joined in file order.
//
// ANSI bytes are split and surveyed as they stand: the separators, quotes, digits and
// blanks that the rules depend on are ASCII and single bytes in every code page, and any
// other byte ends a number either way. Only the fields that hold more than ASCII are
// converted (see AppendAnsiAsUtf8).

namespace {

// What the first piece tells; once settled, what the whole text does.
struct TextSurvey {
  bool empty = true;  // no text at all
  HeaderSettings header;
  bool repair = false;
  bool starMarker = false;
  bool loneLineFeeds = false;  // lines end in CR LF, so an LF alone ends a line too
  bool settled = false;        // repair and starMarker hold for the whole text
  std::string firstName;       // the header's first field (HeaderLineName)
};

// What the bytes of a text are: the system's ANSI code page (an export file without a
// byte-order mark), or UTF-8 (decoded from UTF-16 or a marked file).
enum class TextBytes { kAnsi, kUtf8 };
// Whether a piece starts with the header line, which ReadPieceRows then passes over.
enum class FirstLine { kRow, kHeader };

// The first field of a line as a header names it: up to the first ";" or ",", blanks and
// quotes around it taken off. A data line whose first field reads so, like the header's
// or "Date", is taken for a header line.
std::string_view HeaderLineName(std::string_view line) {
  std::string_view name = line.substr(0, line.find_first_of(";,"));
  const std::size_t first = name.find_first_not_of(" \t\"");
  if (first == std::string_view::npos) return {};
  name = name.substr(first, name.find_last_not_of(" \t\"") + 1 - first);
  return name;
}

// Whether the settings that decide how the values of a row are read differ between two
// headers; when they do, the header field that shows it in each, as found and as the
// first header has it.
std::optional<std::pair<std::string, std::string>> HeaderDifference(const HeaderSettings& found,
                                                                    const HeaderSettings& first) {
  if (found.separator != first.separator) {
    return std::pair{std::string(1, found.separator), std::string(1, first.separator)};
  }
  if (found.exportUnit != first.exportUnit) return std::pair{found.exportUnit, first.exportUnit};
  if (found.carbFactor != first.carbFactor) {
    return std::pair{found.columnNames[column::kCarbs], first.columnNames[column::kCarbs]};
  }
  if (found.pounds != first.pounds) {
    return std::pair{found.columnNames[column::kWeight], first.columnNames[column::kWeight]};
  }
  return std::nullopt;
}

// What a part of the text (without the header) tells about the whole.
struct PartSurvey {
  bool repair = false;
  bool starMarker = false;

  void Add(const PartSurvey& other) {
    repair = repair || other.repair;
    starMarker = starMarker || other.starMarker;
  }
};

// Whether a piece of the text needs the UTF-8 repair. May run on a worker thread.
bool PieceNeedsRepair(Platform& platform, std::string_view text, bool ansi) {
  return ansi ? AnsiNeedsRepair(platform, text) : NeedsRepair(text);
}

// The header, and what the rest of the first piece tells.
TextSurvey SurveyFirstPiece(Platform& platform, TextSource& source, std::uint64_t cut, bool ansi,
                            const RegionalSettings& regional) {
  TextSurvey survey;
  const std::unique_ptr<TextPieces> pieces = source.Pieces(0, cut);
  std::string raw;
  std::string_view first = pieces->Next(raw);
  if (first.empty()) return survey;

  // The first piece holds a CR LF if the text has one at all (pieces end behind one).
  survey.loneLineFeeds = first.find("\r\n") != std::string_view::npos;
  // The header's settings depend only on ASCII text as well; its letters matter for
  // nothing but the unit words, so the header is read converted and unrepaired.
  std::size_t position = 0;
  const std::string_view line = NextLineView(first, position, survey.loneLineFeeds);
  survey.empty = false;
  survey.header = ReadHeader(ansi ? AnsiBytesToUtf8(platform, line) : std::string(line), regional);
  survey.firstName = HeaderLineName(line);
  first.remove_prefix(position);

  survey.repair = PieceNeedsRepair(platform, first, ansi);
  survey.starMarker = SetsStarMarker(first, survey.header.separator, survey.loneLineFeeds);
  return survey;
}

// The rows of a part of the text: its share of the RowText and of the counts.
struct PartRows {
  RowTable rows;
  long lines = 0;
  long rowsWithoutDate = 0;
  std::vector<long> skippedLines;  // 1-based within the part, the first few
  long valuesRefused = 0;
  long rowsWithRefusedValues = 0;
  std::vector<long> refusedLines;  // as skippedLines
  long glucoseKeptAsText = 0;
  std::vector<long> keptLines;  // as skippedLines
  long datesDayFirst = 0;
  long datesMonthFirst = 0;
  long datesOnlyDayFirst = 0;
  long datesOnlyMonthFirst = 0;
  long headerLines = 0;             // header lines inside the data, like the first header
  std::vector<long> headerLinesAt;  // as skippedLines
  // The first header line inside the data whose settings differ from the first header's.
  std::optional<long> otherHeaderLine;
  std::pair<std::string, std::string> otherHeaderFields;  // as HeaderDifference gives them
  std::vector<NotedRow> notedRows;                        // lines 1-based within the part
  std::array<std::string, kRowFields> fields;             // fields of a row converted to UTF-8
  PartSurvey survey;  // what the part's pieces tell about the whole text
};

// Keeps the number of a line for the trace log while there is room.
void NoteLine(std::vector<long>& lines, long line) {
  if (lines.size() < kMaxSkippedLineNumbers) lines.push_back(line);
}

// The part of a line up to the end of its last field as split: columns behind the weight
// column are never used, so a letter there needs no conversion. The fields lie in it in
// order, and what lies between them (separators, the quotes taken off) is ASCII.
std::string_view SplitPart(std::string_view line, const ExportRow& row, std::size_t fieldCount) {
  if (fieldCount == 0) return {};
  const std::string_view last = row[fieldCount - 1];
  return line.substr(0, static_cast<std::size_t>(last.data() + last.size() - line.data()));
}

// The fields of a row that hold more than ASCII as UTF-8 text: ANSI bytes converted, the
// UTF-8 repair made when it is due. Lines are split as they stand, and neither conversion
// nor repair reaches over a separator, so each field comes out as its part of the whole
// text converted would. Only the few fields that need it are converted: those that hold
// the bytes beyond ASCII found in `part` (SplitPart), looked for once over the part, and
// whose text is read at all (a converted field is never empty, nor was it before).
void ConvertRowFields(Platform& platform, bool ansi, bool repair, std::string_view part,
                      std::size_t fieldCount, ExportRow& row,
                      std::array<std::string, kRowFields>& texts) {
  std::size_t i = 0;
  for (std::size_t at = FindNonAscii(part); at != std::string_view::npos;) {
    const char* const high = part.data() + at;
    while (i < fieldCount && row[i].data() + row[i].size() <= high) ++i;
    if (i == fieldCount) return;
    if (high < row[i].data()) {  // between fields: nothing to convert
      at = FindNonAscii(part, static_cast<std::size_t>(row[i].data() - part.data()));
      continue;
    }
    const std::size_t fieldEnd =
        static_cast<std::size_t>(row[i].data() + row[i].size() - part.data());
    if (!column::IsReadColumn(i)) {
      ++i;
      at = FindNonAscii(part, fieldEnd);
      continue;
    }
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
    ++i;
    at = FindNonAscii(part, fieldEnd);
  }
}

bool AnyFieldSet(const ExportRow& row) {
  for (std::string_view field : row) {
    if (!field.empty()) return true;
  }
  return false;
}

RowNote NoteOf(ValueFate fate) {
  switch (fate) {
    case ValueFate::kRefused:
      return RowNote::kValuesRefused;
    case ValueFate::kDoseRefused:
      return RowNote::kDoseRefused;
    case ValueFate::kKeptAsText:
      break;
  }
  return RowNote::kKeptAsText;
}

// Counts and notes the values of a row that WriteRowLines refused or kept as text.
void NoteRowValues(const RowValueNotes& notes, const ExportRow& row, PartRows& out) {
  for (std::size_t i = 0; i < notes.count; ++i) {
    const ValueNote& note = notes.items[i];
    std::string text =
        note.fate == ValueFate::kDoseRefused ? DoseText(row) : std::string(note.text);
    out.notedRows.push_back(
        {out.lines, NoteOf(note.fate), note.values, note.column, std::move(text)});
  }
  if (notes.refused > 0) {
    out.valuesRefused += notes.refused;
    ++out.rowsWithRefusedValues;
    NoteLine(out.refusedLines, out.lines);
  }
  if (notes.keptAsText > 0) {
    out.glucoseKeptAsText += notes.keptAsText;
    NoteLine(out.keptLines, out.lines);
  }
}

// Whether a line without a readable date is a header line: its first field names the
// column as the header's does, or as the app's header does ("Date").
bool IsHeaderLine(std::string_view line, const TextSurvey& survey) {
  const std::string_view name = HeaderLineName(line);
  return !name.empty() && (name == survey.firstName || name == "Date");
}

// A header line inside the data, as two exports joined into one file have it: one like
// the first header is passed over; the first one that reads its values otherwise (another
// unit, separator, carbohydrate factor or weight unit) is noted, and the file is refused.
void NoteHeaderLine(Platform& platform, std::string_view line, bool ansi, const TextSurvey& survey,
                    const RegionalSettings& regional, PartRows& out) {
  ++out.headerLines;
  NoteLine(out.headerLinesAt, out.lines);
  if (out.otherHeaderLine) return;
  std::optional<std::pair<std::string, std::string>> difference;
  try {
    const HeaderSettings found =
        ReadHeader(ansi ? AnsiBytesToUtf8(platform, line) : std::string(line), regional);
    difference = HeaderDifference(found, survey.header);
  } catch (const RuntimeError&) {
    // Too few fields to tell its settings: its values cannot be read as the first's.
    difference = std::pair{std::string(line.substr(0, 40)), survey.header.exportUnit};
  }
  if (difference) {
    out.otherHeaderLine = out.lines;
    out.otherHeaderFields = std::move(*difference);
  }
}

// Adds the rows of a piece to those of its part. May run on a worker thread: it touches
// nothing but its own PartRows and reads the shared settings. Dates are read by
// `dateRegional`: the regional settings, or those with the order the export proves.
void ReadPieceRows(Platform& platform, std::string_view text, FirstLine firstLine,
                   const TextSurvey& survey, bool ansi, const RegionalSettings& regional,
                   const RegionalSettings& dateRegional, PartRows& out) {
  const bool convert = ansi || survey.repair;
  ExportRow row;
  std::vector<std::string_view> scratch;
  NumericDateTimeReader numericDates(dateRegional);
  RowValueNotes notes;
  std::size_t position = 0;
  const bool loneLineFeeds = survey.loneLineFeeds;
  if (firstLine == FirstLine::kHeader) NextLineView(text, position, loneLineFeeds);
  // What the piece tells about the whole text: the repair from its bytes, the star marker
  // from its rows as they are split.
  if (!survey.settled && !survey.repair && !out.survey.repair) {
    out.survey.repair = PieceNeedsRepair(platform, text.substr(position), ansi);
  }
  const bool starUnknown = !survey.settled && !survey.starMarker;
  while (position < text.size()) {
    const std::string_view line = NextLineView(text, position, loneLineFeeds);
    const std::size_t fieldCount = SplitRow(line, survey.header.separator, row, scratch);
    if (starUnknown && !out.survey.starMarker) {
      out.survey.starMarker = RowSetsStarMarker(row, fieldCount);
    }
    if (convert) {
      ConvertRowFields(platform, ansi, survey.repair, SplitPart(line, row, fieldCount), fieldCount,
                       row, out.fields);
    }
    ++out.lines;

    std::optional<DateTime> when;
    DayMonthOrder order = DayMonthOrder::kNone;
    DayMonthOrder only = DayMonthOrder::kNone;
    const std::string_view date = row[column::kDate];
    const std::string_view time = row[column::kTime];
    if (!date.empty() || !time.empty()) {
      SkipOnError([&] {
        // The common numeric form first; every other row is read in full.
        const NumericDateTimeParts numeric = numericDates.Read(date, time);
        if (numeric.parts && numeric.parts->hasDate) {
          when = numeric.parts->value;
          order = numeric.parts->order;
          only = numeric.parts->only;
        } else {
          when = ReadDateTime(date, time, dateRegional, &order, &only);
        }
      });
    }
    if (when) {
      out.datesOnlyDayFirst += only == DayMonthOrder::kDayFirst ? 1 : 0;
      out.datesOnlyMonthFirst += only == DayMonthOrder::kMonthFirst ? 1 : 0;
      if (order == DayMonthOrder::kDayFirst && ++out.datesDayFirst <= kMaxDateOrderNotes) {
        out.notedRows.push_back({.line = out.lines, .note = RowNote::kDayFirst});
      } else if (order == DayMonthOrder::kMonthFirst &&
                 ++out.datesMonthFirst <= kMaxDateOrderNotes) {
        out.notedRows.push_back({.line = out.lines, .note = RowNote::kMonthFirst});
      }
      out.rows.SetStamp(*when);
      notes.Clear();
      WriteRowLines(out.rows, row, survey.header, survey.starMarker, regional, notes);
      if (!notes.Empty()) NoteRowValues(notes, row, out);
    } else if (IsHeaderLine(line, survey)) {
      NoteHeaderLine(platform, line, ansi, survey, regional, out);
    } else if (AnyFieldSet(row)) {
      // A row that carries values but no readable date is lost to the import; count it
      // for the trace log. Blank rows and empty lines are not worth a note.
      ++out.rowsWithoutDate;
      NoteLine(out.skippedLines, out.lines);
      out.notedRows.push_back({.line = out.lines, .note = RowNote::kNoReadableDate});
    }
  }
}

// Adds the rows of a part to the result, behind those already there.
void AddPartRows(PartRows& part, ExportReadResult& result) {
  // Line 1 is the header.
  const long before = result.linesRead + 1;
  for (const long line : part.skippedLines) NoteLine(result.skippedLineNumbers, before + line);
  for (const long line : part.refusedLines) NoteLine(result.refusedLineNumbers, before + line);
  for (const long line : part.keptLines) NoteLine(result.keptLineNumbers, before + line);
  for (const long line : part.headerLinesAt) NoteLine(result.headerLineNumbers, before + line);
  result.headerLinesInData += part.headerLines;
  for (NotedRow& row : part.notedRows) {
    row.line += before;
    result.notedRows.push_back(std::move(row));
  }
  result.rowsWithoutDate += part.rowsWithoutDate;
  result.valuesRefused += part.valuesRefused;
  result.rowsWithRefusedValues += part.rowsWithRefusedValues;
  result.glucoseKeptAsText += part.glucoseKeptAsText;
  result.datesDayFirst += part.datesDayFirst;
  result.datesMonthFirst += part.datesMonthFirst;
  result.datesOnlyDayFirst += part.datesOnlyDayFirst;
  result.datesOnlyMonthFirst += part.datesOnlyMonthFirst;
  result.linesRead += part.lines;
}

// "what: count (lines a, b, ...)" of `rows` rows, the first of them at `lines`, for
// support staff: a trace log that cannot be written does not stop the import.
void TraceCount(ProcessContext& context, std::string_view what, long count, long rows,
                const std::vector<long>& lines) {
  if (count <= 0) return;
  std::string line = std::string(what) + ": " + std::to_string(count) + " (lines ";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) line += ", ";
    line += std::to_string(lines[i]);
  }
  if (rows > static_cast<long>(lines.size())) line += ", ...";
  line += ")";
  SkipOnError([&] { context.trace.Write(std::string_view(line)); });
}

// The date-order notes name the rows read in the rarer order when the dates mix both;
// otherwise they say nothing worth a line in the report.
void KeepRarerDateOrder(ExportReadResult& result) {
  const bool mixed = result.MixedDateOrders();
  const RowNote common =
      result.datesDayFirst >= result.datesMonthFirst ? RowNote::kDayFirst : RowNote::kMonthFirst;
  // Each half of the file noted its own first rows: the first of the whole file are kept.
  long kept = 0;
  std::erase_if(result.notedRows, [&](const NotedRow& row) {
    const bool order = row.note == RowNote::kDayFirst || row.note == RowNote::kMonthFirst;
    return order && (!mixed || row.note == common || ++kept > kMaxDateOrderNotes);
  });
}

// The first header line inside the data that reads its values otherwise than the first
// header, in either half, refuses the whole file: none of its rows may be read with the
// other part's units.
void RefuseOtherHeader(const PartRows& first, const PartRows& second) {
  const PartRows* part = first.otherHeaderLine    ? &first
                         : second.otherHeaderLine ? &second
                                                  : nullptr;
  if (part == nullptr) return;
  // Line 1 is the header; the second half's lines follow the first's.
  const long line = 1 + *part->otherHeaderLine + (part == &second ? first.lines : 0);
  throw HeaderInDataError(line, part->otherHeaderFields.first, part->otherHeaderFields.second);
}

void TraceReadNotes(ProcessContext& context, const ExportReadResult& result) {
  TraceCount(context, "Header lines inside the data skipped", result.headerLinesInData,
             result.headerLinesInData, result.headerLineNumbers);
  TraceCount(context, "Rows without readable date skipped", result.rowsWithoutDate,
             result.rowsWithoutDate, result.skippedLineNumbers);
  TraceCount(context, "Unreadable or out-of-range values skipped", result.valuesRefused,
             result.rowsWithRefusedValues, result.refusedLineNumbers);
  TraceCount(context, "Glucose texts kept as text", result.glucoseKeptAsText,
             result.glucoseKeptAsText, result.keptLineNumbers);
  if (result.fileDateOrder != DayMonthOrder::kNone) {
    const bool dayFirst = result.fileDateOrder == DayMonthOrder::kDayFirst;
    const long proving = dayFirst ? result.datesOnlyDayFirst : result.datesOnlyMonthFirst;
    const std::string order = dayFirst ? "day first" : "month first";
    const std::string other = dayFirst ? "month first" : "day first";
    const std::string line = "Date order taken from the export: " + order + " (" +
                             std::to_string(proving) + " dates can only be read " + order +
                             ", none " + other + ")";
    SkipOnError([&] { context.trace.Write(std::string_view(line)); });
  }
  if (result.MixedDateOrders()) {
    const std::string line =
        "Dates in mixed day/month order: " + std::to_string(result.datesDayFirst) +
        " rows read day first, " + std::to_string(result.datesMonthFirst) + " month first";
    SkipOnError([&] { context.trace.Write(std::string_view(line)); });
  }
}

// The order of day and month that the export's dates prove (some can be read only that
// way, none only the other way) where the regional settings read the other one; kNone
// when the dates prove neither or both, or the order the regional settings read anyway.
DayMonthOrder OrderToImpose(long onlyDayFirst, long onlyMonthFirst,
                            const RegionalSettings& regional) {
  DayMonthOrder proven = DayMonthOrder::kNone;
  if (onlyDayFirst > 0 && onlyMonthFirst == 0) proven = DayMonthOrder::kDayFirst;
  if (onlyMonthFirst > 0 && onlyDayFirst == 0) proven = DayMonthOrder::kMonthFirst;
  const DayMonthOrder regionalOrder =
      regional.dateOrder == RegionalSettings::DateOrder::DayMonthYear   ? DayMonthOrder::kDayFirst
      : regional.dateOrder == RegionalSettings::DateOrder::MonthDayYear ? DayMonthOrder::kMonthFirst
                                                                        : DayMonthOrder::kNone;
  return proven == regionalOrder ? DayMonthOrder::kNone : proven;
}

// One read of an export text: the header surveyed from the first piece, the rows of both
// halves (read a second time when the whole file answers otherwise than its first piece),
// and the result joined from the halves.
class TextRead {
 public:
  TextRead(ProcessContext& context, TextSource& source, TextBytes bytes)
      : context_(context),
        source_(source),
        ansi_(bytes == TextBytes::kAnsi),
        size_(source.Size()),
        cut_(HalfwayLineStart(context.threads, size_,
                              [&source](std::uint64_t at) { return source.LineStartAfter(at); })),
        regional_(context.platform.Locale().Regional()),
        dateRegional_(regional_) {}

  ExportReadResult Run();

 private:
  using Halves = std::pair<PartRows, PartRows>;
  Halves ReadHalves();
  PartRows ReadFirstHalf();
  PartRows ReadSecondHalf();
  bool SettleFromWhole(const Halves& halves, ExportReadResult& result);
  void Join(Halves& halves, ExportReadResult& result);
  void ShowProgress(long count);

  ProcessContext& context_;
  TextSource& source_;
  const bool ansi_;
  const std::uint64_t size_;
  const std::uint64_t cut_;
  const RegionalSettings regional_;
  RegionalSettings dateRegional_;  // the regional settings with the order the dates prove
  TextSurvey survey_;
  // The count after every piece of the first half (some 10,000 rows) and while the
  // worker reads on, each time with the second half's count so far, and always the final
  // count. Shown from this thread only, and only while the rows are read the first time.
  std::string progressText_;
  long shown_ = 0;
  bool showing_ = true;
  std::uint64_t firstBytes_ = 0;
  std::atomic<std::uint64_t> secondBytes_ = 0;
  long firstLines_ = 0;
  std::atomic<long> secondLines_ = 0;
};

ExportReadResult TextRead::Run() {
  ExportReadResult result;
  survey_ = SurveyFirstPiece(context_.platform, source_, cut_, ansi_, regional_);
  if (survey_.empty) return result;
  result.exportUnit = survey_.header.exportUnit;
  result.columnNames.assign(survey_.header.columnNames.begin(), survey_.header.columnNames.end());
  progressText_ = context_.Message(303, {"%1"});

  Halves halves = ReadHalves();
  if (SettleFromWhole(halves, result)) {
    // The rows written so far followed the wrong answer.
    firstBytes_ = 0;
    secondBytes_ = 0;
    showing_ = false;
    halves = ReadHalves();
    showing_ = true;
  }
  source_.CheckUnchanged();
  RefuseOtherHeader(halves.first, halves.second);
  Join(halves, result);
  ShowProgress(result.linesRead);
  context_.ui.ShowProgress(ProgressStep::Reading, size_, size_);
  TraceReadNotes(context_, result);
  return result;
}

void TextRead::ShowProgress(long count) {
  if (count == shown_ || !showing_) return;
  context_.ui.SetStatusText(ReplaceAll(progressText_, "%1", std::to_string(count)) + "...");
  context_.ui.ShowProgress(ProgressStep::Reading, firstBytes_ + secondBytes_, size_);
  context_.ui.DoEvents();
  shown_ = count;
}

TextRead::Halves TextRead::ReadHalves() {
  return RunTwoHalves(
      cut_ < size_, [this] { return ReadFirstHalf(); }, [this] { return ReadSecondHalf(); },
      [this] { ShowProgress(firstLines_ + secondLines_); });
}

PartRows TextRead::ReadFirstHalf() {
  PartRows rows;
  rows.rows.Reserve(size_);  // the second half's rows are added to these
  const std::unique_ptr<TextPieces> pieces = source_.Pieces(0, cut_);
  std::string raw;
  FirstLine firstLine = FirstLine::kHeader;
  for (std::string_view piece = pieces->Next(raw); !piece.empty(); piece = pieces->Next(raw)) {
    ReadPieceRows(context_.platform, piece, firstLine, survey_, ansi_, regional_, dateRegional_,
                  rows);
    firstLine = FirstLine::kRow;
    firstLines_ = rows.lines;
    firstBytes_ += piece.size();
    ShowProgress(firstLines_ + secondLines_);
  }
  return rows;
}

// Runs on the worker thread: it shows nothing itself.
PartRows TextRead::ReadSecondHalf() {
  PartRows rows;
  rows.rows.Reserve(size_ - cut_);
  const std::unique_ptr<TextPieces> pieces = source_.Pieces(cut_, size_);
  std::string raw;
  for (std::string_view piece = pieces->Next(raw); !piece.empty(); piece = pieces->Next(raw)) {
    ReadPieceRows(context_.platform, piece, FirstLine::kRow, survey_, ansi_, regional_,
                  dateRegional_, rows);
    secondLines_ = rows.lines;
    secondBytes_ += piece.size();
  }
  return rows;
}

// Whether a later piece settled an answer otherwise than the first, or the file's dates
// prove another order than the regional one; if so, the survey and the date order now
// follow the whole file and the rows must be read again.
bool TextRead::SettleFromWhole(const Halves& halves, ExportReadResult& result) {
  PartSurvey whole{.repair = survey_.repair, .starMarker = survey_.starMarker};
  whole.Add(halves.first.survey);
  whole.Add(halves.second.survey);
  // Whether a date can be read in only one order is the same in either order, so the
  // first read tells what the file proves.
  const DayMonthOrder imposed = OrderToImpose(
      halves.first.datesOnlyDayFirst + halves.second.datesOnlyDayFirst,
      halves.first.datesOnlyMonthFirst + halves.second.datesOnlyMonthFirst, regional_);
  if (whole.repair == survey_.repair && whole.starMarker == survey_.starMarker &&
      imposed == DayMonthOrder::kNone) {
    return false;
  }
  survey_.repair = whole.repair;
  survey_.starMarker = whole.starMarker;
  survey_.settled = true;
  if (imposed != DayMonthOrder::kNone) {
    dateRegional_.dateOrder = imposed == DayMonthOrder::kDayFirst
                                  ? RegionalSettings::DateOrder::DayMonthYear
                                  : RegionalSettings::DateOrder::MonthDayYear;
    result.fileDateOrder = imposed;
  }
  return true;
}

void TextRead::Join(Halves& halves, ExportReadResult& result) {
  auto& [first, second] = halves;
  first.rows.Append(second.rows);
  second.rows = RowTable();
  result.rows = std::move(first.rows);
  AddPartRows(first, result);
  AddPartRows(second, result);
  KeepRarerDateOrder(result);
}

ExportReadResult ReadText(ProcessContext& context, TextSource& source, TextBytes bytes) {
  return TextRead(context, source, bytes).Run();
}

}  // namespace

ExportReadResult ReadExportFile(ProcessContext& context, const std::string& path) {
  if (path.empty()) return ExportReadResult{};
  const FileKind kind = KindOfFile(path);
  if (kind == FileKind::kMissing) return ExportReadResult{};
  if (kind != FileKind::kRegular) throw ExportFileAccessError(path);
  const std::unique_ptr<TextSource> source = FileTextSource(path);
  // A file with a byte-order mark, or in UTF-16 without one, is decoded whole.
  if (DecodedWhole(source->Bytes(0, 8))) {
    const std::string bytes = source->Bytes(0, source->Size());
    source->CheckUnchanged();
    return ReadExportText(context, bytes);
  }
  return ReadText(context, *source, TextBytes::kAnsi);
}

ExportReadResult ReadExportText(ProcessContext& context, std::string_view bytes,
                                std::size_t pieceBytes) {
  if (DecodedWhole(bytes)) {
    const std::string decoded = DecodeExportBytes(context.platform, bytes);
    ExportReadResult result =
        ReadText(context, *MemoryTextSource(decoded, pieceBytes), TextBytes::kUtf8);
    result.endsInHalfCharacter = EndsInHalfUtf16Character(bytes);
    if (result.endsInHalfCharacter) {
      SkipOnError([&] {
        context.trace.Write(
            std::string_view("The UTF-16 export ends in half a character (an odd number of bytes): "
                             "it may be cut short"));
      });
    }
    return result;
  }
  // Without a mark the bytes are ANSI; plain ASCII fields are used as they stand.
  return ReadText(context, *MemoryTextSource(bytes, pieceBytes), TextBytes::kAnsi);
}

}  // namespace tavrin
