#include "formats/xml_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>

#include "formats/crc.h"
#include "shared/text.h"

namespace tavrin {

namespace {

constexpr std::string_view kCrLf = "\r\n";
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

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Position of an ASCII marker in text, letters compared without regard to case.
std::size_t FindAsciiNoCase(std::string_view text, std::string_view marker) {
  if (marker.size() > text.size()) return std::string_view::npos;
  for (std::size_t i = 0; i + marker.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < marker.size() && AsciiLower(text[i + k]) == AsciiLower(marker[k])) ++k;
    if (k == marker.size()) return i;
  }
  return std::string_view::npos;
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
constexpr std::array<std::string_view, 7> kEmptyAttributes = {
    "Flg='' ", "Evt='' ", "Carb='' ", "Ins1='' ", "Ins2='' ", "Ins3='' ", "remark='' "};

}  // namespace

std::string XmlEscapeAttribute(std::string_view value) {
  if (value.find_first_of("&<>\"'") == std::string_view::npos) return std::string(value);
  std::string out;
  out.reserve(value.size() + 16);
  for (char c : value) {
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
        out += c;
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
  const std::size_t valPos = FindAsciiNoCase(work, kValStart);
  if (valPos != std::string::npos) {
    const std::size_t valueAt = valPos + kValStart.size();
    if (valueAt >= work.size() || work[valueAt] == '\'') work.insert(valueAt, "---");
  }

  for (std::string_view empty : kEmptyAttributes) EraseAll(work, empty);
  std::replace(work.begin(), work.end(), '\'', '"');
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

void InsertXmlCheck(std::string& document, Platform& platform) {
  if (document.empty()) return;

  // Every ANSI code page agrees with ASCII, so a document of ASCII characters (the usual
  // case) is its own ANSI form and needs no conversion.
  const bool ascii = std::all_of(document.begin(), document.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  std::string converted;
  if (!ascii) converted = platform.Utf8ToAnsi(document);
  const std::string& ansi = ascii ? document : converted;
  cCRC crc;
  crc.SetCRCMode(1);
  const std::uint16_t value = crc.CRC(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(ansi.data()), ansi.size()));

  constexpr char kHexDigits[] = "0123456789ABCDEF";
  const std::string hex = {kHexDigits[(value >> 12) & 0xF], kHexDigits[(value >> 8) & 0xF],
                           kHexDigits[(value >> 4) & 0xF], kHexDigits[value & 0xF]};

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
  document = SetBetween(document, kCheckStart, "\"", hex, false);
}

}  // namespace tavrin
