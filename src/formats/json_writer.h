#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "formats/program_version.h"
#include "platform/platform.h"
#include "shared/string_builder.h"

namespace tavrin {

// --- Text pieces of the exchange JSON stream. Nothing is indented; line breaks are
// CR LF and come only where a piece says so.

// The text of a string value: a double quote becomes "'" when replaceQuotes is set, CR LF
// becomes "||", then backslashes and control characters are escaped as JSON requires.
std::string JsonStringValue(std::string_view value, bool replaceQuotes);

// How a member's value is written: in quotes, escaped, or raw (as given apart from the
// quote and CR LF replacements), for numbers and arrays.
enum class JsonValue { kQuoted, kRaw };
// What follows a member: nothing, a ",", the close of its object (CR LF and "}"), or both.
enum class JsonAfter { kNothing, kComma, kClose, kCloseAndComma };
// Whether a double quote in the value becomes "'" (the usual) or is kept (and escaped).
enum class JsonQuotes { kReplace, kKeep };
// "key": value.
std::string JsonMember(std::string_view key, std::string_view value, JsonValue kind,
                       JsonAfter after, JsonQuotes quotes = JsonQuotes::kReplace);
enum class JsonOpen { kObject, kArray };
// "key": { (or "key": [{ as an array), or { / [{ without a key; always ends with CR LF.
std::string JsonOpenObject(std::string_view key, JsonOpen open = JsonOpen::kObject);
// } CR LF, with a "," before the CR LF and a CR LF before the "}" as named.
enum class JsonClose { kPlain, kWithComma, kOnNewLine, kOnNewLineWithComma };
std::string JsonCloseObject(JsonClose close);

// The time-zone suffix of a local timestamp for a UTC bias in minutes (UTC minus local
// time): a bias of -60 gives "+01:00", 300 gives "-05:00".
std::string TimeZoneSuffix(int biasMinutes);

// Writes the exchange JSON stream of one conversion: two devices (the app with its
// carbohydrate and insulin entries, the CGM transmitter with its readings as runtime
// sequences), closed by a SHA-256 checksum over the document itself.
//
// Call WriteJsonOpening once, then WriteJsonEntry and WriteCgmReading (readings in time
// order) as the rows come, and WriteJsonClosing once at the end. Malformed dates, times
// or timestamps raise RuntimeError 5.
class JsonStreamWriter {
 public:
  JsonStreamWriter(Platform& platform, std::string exportUnit, std::string serialNumber,
                   const ProgramVersion& version = kProgramVersion);

  void WriteJsonOpening();

  // A carbohydrate (code 3) or insulin (codes 4 and 5) entry at a local date
  // ("YYYY-MM-DD") and time ("HH:NN"); the code is the leading number of codeText, so
  // "4b" counts as 4. Returns true when an entry was written: other codes and amounts
  // not above 0 write nothing.
  bool WriteJsonEntry(std::string_view date, std::string_view time, std::string_view codeText,
                      std::string_view value);

  // One CGM reading, timestamp "YYYY-MM-DDTHH:NN:SSZ", value the whole mg/dL value.
  void WriteCgmReading(std::string_view timestamp, std::string_view value);

  // Finishes the document and returns it, checksum included. The writer is spent
  // afterwards: later calls return an empty text.
  std::string WriteJsonClosing();

 private:
  struct Placeholder {
    std::size_t offset = 0;
    std::size_t length = 0;
  };

  void AddPlaceholder(Placeholder& where, std::string_view memberBefore,
                      std::string_view placeholder, std::string_view textAfter);
  std::string ComputeChecksum(std::string& document, std::string_view tail);

  Platform& platform_;
  std::string exportUnit_;
  std::string serialNumber_;
  ProgramVersion version_;

  cStringBuilder document_;
  cStringBuilder entries_;
  bool opened_ = false;
  bool closed_ = false;

  // Where the placeholders stand in the document, filled in by the closing.
  Placeholder dataPlaceholder_;
  Placeholder startPlaceholder_;
  Placeholder endPlaceholder_;

  // Readings so far: times as minutes since a fixed day, so gaps are plain differences.
  bool hasReading_ = false;
  long long firstMinute_ = 0;
  long long previousMinute_ = 0;
  double previousValue_ = 0.0;
  std::string firstTimestamp_;
  std::string lastTimestamp_;
  std::string piece_;  // reused for the elements of one reading
};

}  // namespace tavrin
