#include "formats/xml_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>

#include "formats/crc.h"
#include "shared/text.h"
#include "shared/two_halves.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

constexpr std::string_view kCheckStart = "<CHECK CRC=\"";

// Writes value in decimal with at least width digits, zero-padded on the left.
void AppendPadded(std::string& out, int value, int width) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (value < 0) out += '-';
  if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
  out += digits;
}

std::string VersionText(const ProgramVersion& version) {
  return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
         std::to_string(version.revision);
}

// Position of the first "Val='" in text, letters compared without regard to case.
std::size_t FindValStart(std::string_view text) {
  for (std::size_t at = text.find("='", 3); at != std::string_view::npos;
       at = text.find("='", at + 1)) {
    if ((text[at - 3] | 0x20) == 'v' && (text[at - 2] | 0x20) == 'a' &&
        (text[at - 1] | 0x20) == 'l') {
      return at - 3;
    }
  }
  return std::string_view::npos;
}

// Moves n bytes from in down to out (out <= in) with every single quote turned into a
// double quote.
void MoveDoubleQuoted(char* text, std::size_t in, std::size_t n, std::size_t out) {
  for (std::size_t i = 0; i < n; ++i) {
    const char c = text[in + i];
    text[out + i] = c == '\'' ? '"' : c;
  }
}

// Removes every occurrence of pattern, found left to right without overlap in the text as
// it stood before the call (a removal that joins two pieces into a new occurrence does not
// remove that one too).
void EraseAll(std::string& text, std::string_view pattern) {
  std::size_t found = text.find(pattern);
  if (found == std::string::npos) return;
  std::size_t out = found;
  std::size_t in = found + pattern.size();
  for (;;) {
    const std::size_t next = text.find(pattern, in);
    const std::size_t end = next == std::string::npos ? text.size() : next;
    std::memmove(text.data() + out, text.data() + in, end - in);
    out += end - in;
    if (next == std::string::npos) break;
    in = next + pattern.size();
  }
  text.resize(out);
}

// The empty optional attributes of a working record, each with the blank that follows it.
// Every one is a name followed by kEmptyValue; no name ends with another, so no two of
// them can overlap in a text.
constexpr std::string_view kEmptyValue = "='' ";
constexpr std::array<std::string_view, 7> kEmptyAttributeNames = {"Flg",  "Evt",  "Carb",  "Ins1",
                                                                  "Ins2", "Ins3", "remark"};
constexpr std::array<std::string_view, 7> kEmptyAttributes = {
    "Flg='' ", "Evt='' ", "Carb='' ", "Ins1='' ", "Ins2='' ", "Ins3='' ", "remark='' "};

// The length of the empty attribute whose kEmptyValue stands at valueAt, counted from
// its name, or 0 when no such name stands before it from from on.
std::size_t EmptyAttributeLength(std::string_view text, std::size_t from, std::size_t valueAt) {
  for (std::string_view name : kEmptyAttributeNames) {
    if (valueAt >= from + name.size() && text.substr(valueAt - name.size(), name.size()) == name) {
      return name.size() + kEmptyValue.size();
    }
  }
  return 0;
}

}  // namespace

bool XmlAttributeNeedsEscape(std::string_view value) {
  for (const char c : value) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x80 || c == '&' || c == '<' || c == '>' || c == '"' || c == '\'') {
      return true;
    }
  }
  return false;
}

std::string XmlEscapeAttribute(std::string_view value) {
  if (!XmlAttributeNeedsEscape(value)) return std::string(value);
  // Taken out characters leave U+FFFD in their place: "1\x02" "2" must not become 12.
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(value.size() + 16);
  for (std::size_t i = 0; i < value.size();) {
    const char c = value[i];
    if (static_cast<unsigned char>(c) >= 0x80) {
      const std::size_t length = Utf8SequenceLength(value, i);
      const std::string_view character = value.substr(i, length);
      i += length;
      const bool allowed = length > 1 && character != "\xEF\xBF\xBE" && character != "\xEF\xBF\xBF";
      out += allowed ? character : kReplacement;
      continue;
    }
    ++i;
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\r' || c == '\n') {
          out += c;
        } else {
          out += kReplacement;
        }
    }
  }
  return out;
}

void WriteXmlHeader(cStringBuilder& xml, std::string_view exportUnit, std::string_view serialNumber,
                    bool staticSerial, const DateTime& writtenAt, const ProgramVersion& version) {
  const std::string versionText = VersionText(version);
  const std::string serial = XmlEscapeAttribute(serialNumber);
  const std::string unit = XmlEscapeAttribute(exportUnit);

  std::string head;
  head += "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n";
  head += "<?xml-stylesheet type=\"text/xls\" href=\"VTOXIXMT.xsl\" ?>\r\n";
  head += "<IMPORT>\r\n";
  // The VTOXIX element alone has no blank before its closing "/>".
  head += "<VTOXIX Type=\"0000\" SN=\"";
  head += staticSerial ? std::string("OXP-Tavrin ") : serial;
  head += "\" Ver=\"" + versionText + "\"/>\r\n";

  head +=
      "<DEVICE  Name=\"Tavrin App\" SN=\"" + serial + "\" ModelNum=\"" + versionText + "\" Dt=\"";
  AppendPadded(head, writtenAt.year, 4);
  head += '-';
  AppendPadded(head, writtenAt.month, 2);
  head += '-';
  AppendPadded(head, writtenAt.day, 2);
  head += "\" Tm=\"";
  AppendPadded(head, writtenAt.hour, 2);
  head += ':';
  AppendPadded(head, writtenAt.minute, 2);
  head += "\" BGUnit=\"" + unit + "\" CarbUnit=\"g\" />\r\n";

  head += "<RECENTREC Dt=\"-\" Tm=\"-\" />\r\n";
  head += "<BGDATA>\r\n";
  xml.Add(head);
}

namespace xml_detail {

void AppendBgLine(std::string_view recordText, cStringBuilder& xml, std::string& work) {
  work.assign(recordText);

  // A record without glucose value says so with "---".
  constexpr std::string_view kValStart = "Val='";
  const std::size_t valPos = FindValStart(work);
  if (valPos != std::string::npos) {
    const std::size_t valueAt = valPos + kValStart.size();
    if (valueAt >= work.size() || work[valueAt] == '\'') work.insert(valueAt, "---");
  }

  // One pass drops the empty optional attributes and turns the quotes into double quotes.
  // Dropping one attribute after the other gives the same text unless a drop joins two
  // pieces into a further empty attribute; the result then still holds an empty value,
  // and only then are the attributes dropped one after the other.
  char* text = work.data();
  std::size_t out = 0;
  std::size_t in = 0;
  for (std::size_t at = work.find(kEmptyValue); at != std::string::npos;
       at = work.find(kEmptyValue, at + kEmptyValue.size())) {
    const std::size_t length = EmptyAttributeLength(work, in, at);
    if (length == 0) continue;
    const std::size_t start = at + kEmptyValue.size() - length;
    MoveDoubleQuoted(text, in, start - in, out);
    out += start - in;
    in = at + kEmptyValue.size();
  }
  MoveDoubleQuoted(text, in, work.size() - in, out);
  out += work.size() - in;
  work.resize(out);

  if (work.find("=\"\" ") != std::string::npos) {
    work.assign(recordText);
    if (valPos != std::string::npos) {
      const std::size_t valueAt = valPos + kValStart.size();
      if (valueAt >= work.size() || work[valueAt] == '\'') work.insert(valueAt, "---");
    }
    for (std::string_view empty : kEmptyAttributes) EraseAll(work, empty);
    std::replace(work.begin(), work.end(), '\'', '"');
  }
  work += kCrLf;
  xml.Add(work);
}

}  // namespace xml_detail

void WriteBgRecord(std::string_view recordText, cStringBuilder& xml) {
  std::string work;
  xml_detail::AppendBgLine(recordText, xml, work);
}

void WriteXmlTrailer(cStringBuilder& xml) {
  xml.Add("</BGDATA>\r\n<CHECK CRC=\"\" />\r\n</IMPORT>");
}

void InsertXmlCheck(std::string& document, Platform& platform, const ThreadUse& threads) {
  if (document.empty()) return;

  // Every ANSI code page agrees with ASCII, so a document of ASCII characters (the usual
  // case) is its own ANSI form and needs no conversion.
  const bool ascii = IsAscii(document);
  std::string converted;
  if (!ascii) converted = platform.Locale().Utf8ToAnsi(document);
  const std::string& ansi = ascii ? document : converted;
  cCRC crc;
  crc.SetCRCMode(1);
  const std::uint16_t value =
      crc.CRC(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(ansi.data()),
                                            ansi.size()),
              threads);

  std::string hex;
  AppendHex(hex, static_cast<std::uint8_t>(value >> 8), HexLetters::kUpper);
  AppendHex(hex, static_cast<std::uint8_t>(value & 0xFF), HexLetters::kUpper);

  // The CHECK element stands in the trailer; values in the document are escaped, so no
  // earlier text can look like it and the search may start from the end.
  const std::size_t start = document.rfind(kCheckStart);
  if (start != std::string::npos) {
    const std::size_t valueAt = start + kCheckStart.size();
    const std::size_t end = document.find('"', valueAt);
    if (end != std::string::npos) {
      document.replace(valueAt, end - valueAt, hex);
      return;
    }
  }
  document = SetBetween(document, kCheckStart, "\"", hex, MissingMarker::kLeaveText);
}

}  // namespace tavrin
