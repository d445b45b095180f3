#pragma once

// The checks of the stand-in import tool, kept apart from its main program so that tests
// can run them on hand-made documents. Everything here is written from scratch on
// purpose: the stand-in must not share code with the plug-in whose output it judges.

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin::standin {

// Exit codes of the import tool and their texts.
inline constexpr int kUnknownError = 1;
inline constexpr int kMissingDataFile = 3;
inline constexpr int kInvalidFileFormat = 4;
inline constexpr int kValidationError = 10;

inline std::string ExitText(int code) {
  static constexpr const char* kTexts[] = {"",
                                           "Unknown error.",
                                           "Missing Ctrl-File.",
                                           "Missing Data-File.",
                                           "Invalid file format.",
                                           "Missing username.",
                                           "Missing password.",
                                           "Unknown patient",
                                           "Missing access rights.",
                                           "Cannot connect.",
                                           "Validation error.",
                                           "Missing server.",
                                           "Login failed.",
                                           "Unknown host.",
                                           "Decrypt failed."};
  if (code < 1 || code > 14) return "";
  return kTexts[code];
}

inline std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

inline std::string TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return "";
  const auto last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

// Position of needle in text, letter case ignored (ASCII), from `from` on.
inline std::size_t FindNoCase(std::string_view text, std::string_view needle,
                              std::size_t from = 0) {
  if (needle.empty() || text.size() < needle.size()) return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
    bool same = true;
    for (std::size_t j = 0; j < needle.size() && same; ++j) {
      same = std::tolower(static_cast<unsigned char>(text[i + j])) ==
             std::tolower(static_cast<unsigned char>(needle[j]));
    }
    if (same) return i;
  }
  return std::string_view::npos;
}

inline std::size_t CountOf(std::string_view text, std::string_view needle) {
  std::size_t count = 0;
  for (auto at = text.find(needle); at != std::string_view::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

// CRC-16/MCRF4XX, bit by bit: reflected polynomial 0x8408, start 0xFFFF, no final xor.
inline std::uint16_t Crc16Mcrf4xx(std::string_view bytes) {
  std::uint16_t crc = 0xFFFF;
  for (const char c : bytes) {
    crc ^= static_cast<unsigned char>(c);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1u) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408u)
                       : static_cast<std::uint16_t>(crc >> 1);
    }
  }
  return crc;
}

// Windows-1252 byte of a code point; '?' for characters the code page lacks.
inline unsigned char Windows1252Byte(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  // The five positions the code page leaves undefined map to their own C1 code points.
  if (cp == 0x81 || cp == 0x8D || cp == 0x8F || cp == 0x90 || cp == 0x9D) {
    return static_cast<unsigned char>(cp);
  }
  static constexpr struct {
    char32_t cp;
    unsigned char byte;
  } kHigh[] = {{0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85},
               {0x2020, 0x86}, {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A},
               {0x2039, 0x8B}, {0x0152, 0x8C}, {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92},
               {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97},
               {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B}, {0x0153, 0x9C},
               {0x017E, 0x9E}, {0x0178, 0x9F}};
  for (const auto& entry : kHigh) {
    if (entry.cp == cp) return entry.byte;
  }
  return '?';
}

// Decodes UTF-8 and encodes every character as one Windows-1252 byte. Empty optional when
// the text is not well-formed UTF-8 (overlong forms, surrogates and cut sequences
// included).
inline std::optional<std::string> Utf8ToWindows1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    int length = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
      length = 1;
      cp = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      cp = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      cp = lead & 0x07u;
    } else {
      return std::nullopt;
    }
    if (i + static_cast<std::size_t>(length) > utf8.size()) return std::nullopt;
    for (int k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0u) != 0x80u) return std::nullopt;
      cp = (cp << 6) | (next & 0x3Fu);
    }
    if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return std::nullopt;
    }
    out += static_cast<char>(Windows1252Byte(cp));
    i += static_cast<std::size_t>(length);
  }
  return out;
}

inline std::string Hex(std::string_view bytes, bool upper) {
  static constexpr char kLower[] = "0123456789abcdef";
  static constexpr char kUpper[] = "0123456789ABCDEF";
  const char* digits = upper ? kUpper : kLower;
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += digits[b >> 4];
    out += digits[b & 0x0F];
  }
  return out;
}

// The text of attribute `name` (with its leading blank, e.g. " SN=\"") in the element
// that starts at `elementStart`; empty when the element or attribute is missing.
inline std::string AttributeOf(std::string_view doc, std::string_view elementStart,
                               std::string_view attribute) {
  const auto element = doc.find(elementStart);
  if (element == std::string_view::npos) return "";
  const auto end = doc.find('>', element);
  const auto at = doc.find(attribute, element);
  if (at == std::string_view::npos || (end != std::string_view::npos && at > end)) return "";
  const auto from = at + attribute.size();
  const auto close = doc.find('"', from);
  if (close == std::string_view::npos) return "";
  return std::string(doc.substr(from, close - from));
}

struct XmlFindings {
  bool wellFormedText = false;  // valid UTF-8 and a CHECK element was found
  std::string check;            // the CHECK value found in the document
  std::string expected;         // the check value computed over the document
  std::size_t records = 0;      // number of BG elements
  std::string serial;           // SN attribute of the DEVICE element
  bool CheckMatches() const { return wellFormedText && check == expected; }
};

// Judges a host XML import document: the CHECK element's value must be the CRC over the
// document's Windows-1252 bytes with the CRC attribute empty, as four upper-case digits.
inline XmlFindings CheckXmlDocument(std::string_view doc) {
  XmlFindings f;
  f.records = CountOf(doc, "<BG ");
  f.serial = AttributeOf(doc, "<DEVICE ", " SN=\"");
  static constexpr std::string_view kCheckStart = "<CHECK CRC=\"";
  const auto start = doc.find(kCheckStart);
  if (start == std::string_view::npos) return f;
  const auto valueFrom = start + kCheckStart.size();
  const auto valueEnd = doc.find('"', valueFrom);
  if (valueEnd == std::string_view::npos) return f;
  f.check = std::string(doc.substr(valueFrom, valueEnd - valueFrom));
  std::string blank(doc.substr(0, valueFrom));
  blank += doc.substr(valueEnd);
  const auto ansi = Utf8ToWindows1252(blank);
  if (!ansi) return f;
  f.wellFormedText = true;
  char digits[8];
  std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(Crc16Mcrf4xx(*ansi)));
  f.expected = digits;
  return f;
}

struct JsonFindings {
  bool found = false;         // the checksum member with 64 digits was found
  std::string checksum;       // the digits found in the document
  std::string withoutDigits;  // the document with the 64 digits removed
  std::size_t readings = 0;   // CGM data elements ([runtime, value, "NaN"])
  std::size_t sequences = 0;  // CGM sequences (each opens with a timestamp element)
  std::size_t entries = 0;    // carbohydrate and insulin entries
  std::string serial;         // the first "serial number" member
};

// Finds the SHA-256 checksum member of an exchange stream; the caller hashes
// withoutDigits and compares.
inline JsonFindings ScanJsonDocument(std::string_view doc) {
  JsonFindings f;
  f.readings = CountOf(doc, ",\"NaN\"]");
  f.sequences = CountOf(doc, "Z\"]");
  f.entries = CountOf(doc, "\"type\": \"carb\"") + CountOf(doc, "\"type\": \"insulin\"");
  static constexpr std::string_view kSerial = "\"serial number\": \"";
  if (const auto at = doc.find(kSerial); at != std::string_view::npos) {
    const auto from = at + kSerial.size();
    const auto close = doc.find('"', from);
    if (close != std::string_view::npos) f.serial = std::string(doc.substr(from, close - from));
  }
  static constexpr std::string_view kChecksum = "\"checksum\": { \"SHA-256\": \"";
  const auto at = doc.rfind(kChecksum);
  if (at == std::string_view::npos) return f;
  const auto from = at + kChecksum.size();
  const auto close = doc.find('"', from);
  if (close == std::string_view::npos || close - from != 64) return f;
  f.checksum = std::string(doc.substr(from, 64));
  if (!std::all_of(f.checksum.begin(), f.checksum.end(),
                   [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; })) {
    return f;
  }
  f.found = true;
  f.withoutDigits = std::string(doc.substr(0, from));
  f.withoutDigits += doc.substr(close);
  return f;
}

// The value of `key` in `section` of an INI text (names compared without letter case,
// blanks trimmed, matching quotes removed); empty optional when absent.
inline std::optional<std::string> IniValue(std::string_view ini, std::string_view section,
                                           std::string_view key) {
  bool inSection = false;
  std::size_t pos = 0;
  while (pos < ini.size()) {
    auto end = ini.find('\n', pos);
    if (end == std::string_view::npos) end = ini.size();
    const std::string line = TrimBlanks(ini.substr(pos, end - pos));
    pos = end + 1;
    if (!line.empty() && line.front() == '[') {
      const auto close = line.find(']');
      inSection = close != std::string::npos &&
                  Lower(TrimBlanks(line.substr(1, close - 1))) == Lower(section);
      continue;
    }
    if (!inSection) continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos || Lower(TrimBlanks(line.substr(0, eq))) != Lower(key)) continue;
    std::string value = TrimBlanks(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return value;
  }
  return std::nullopt;
}

// The database identifier of a patient list: the GUID attribute of the PATIENTS tag,
// without quotes, apostrophes and braces; empty when the tag or attribute is missing.
inline std::string DatabaseIdFromPatientList(std::string_view palist) {
  const auto tag = FindNoCase(palist, "<PATIENTS ");
  if (tag == std::string_view::npos) return "";
  const auto from = tag + 10;
  const auto close = palist.find('>', from);
  const std::string_view inside =
      palist.substr(from, close == std::string_view::npos ? std::string_view::npos : close - from);
  const auto guid = FindNoCase(inside, "GUID=");
  if (guid == std::string_view::npos) return "";
  const auto valueFrom = guid + 5;
  const auto blank = inside.find(' ', valueFrom);
  std::string value(inside.substr(
      valueFrom, blank == std::string_view::npos ? std::string_view::npos : blank - valueFrom));
  std::erase_if(value, [](char c) { return c == '"' || c == '\'' || c == '{' || c == '}'; });
  return value;
}

}  // namespace tavrin::standin
