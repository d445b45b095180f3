#pragma once

#include <string>
#include <string_view>

#include "formats/program_version.h"
#include "platform/platform.h"
#include "shared/date_time.h"
#include "shared/string_builder.h"
#include "shared/two_halves.h"

namespace tavrin {

// The host's XML import document: a fixed header, one BG line per record, a trailer with
// a CRC check value over the whole document. Every line ends with CR LF except the last
// ("</IMPORT>").

// Escapes a value for an XML attribute (& < > " ' become entities) and puts U+FFFD in
// place of what XML 1.0 allows in no document: control characters other than tab, CR and
// LF, the noncharacters U+FFFE and U+FFFF, and bytes that start no valid UTF-8 sequence.
// Values are escaped at the moment they are put into a header line or a record, so that a
// record text never holds a raw quote of either kind inside a value, and no field, serial
// number or dialog answer can make a document that is not well-formed.
std::string XmlEscapeAttribute(std::string_view value);

// Whether XmlEscapeAttribute would change the value (it holds markup characters, control
// characters or anything beyond ASCII).
bool XmlAttributeNeedsEscape(std::string_view value);

// Appends the seven header lines up to and including "<BGDATA>". With staticSerial the
// VTOXIX line carries the fixed serial text "OXP-Tavrin " instead of the serial number;
// the DEVICE line always carries the serial number. writtenAt gives the DEVICE date and
// time.
void WriteXmlHeader(cStringBuilder& xml, std::string_view exportUnit, std::string_view serialNumber,
                    bool staticSerial, const DateTime& writtenAt,
                    const ProgramVersion& version = kProgramVersion);

// Appends one BG line for a record text in its single-quoted working form: an empty Val
// becomes "---", empty optional attributes are dropped, quotes become double quotes.
void WriteBgRecord(std::string_view recordText, cStringBuilder& xml);

namespace xml_detail {
// WriteBgRecord with a caller-owned work buffer, so that writing many records reuses one
// allocation.
void AppendBgLine(std::string_view recordText, cStringBuilder& xml, std::string& work);
}  // namespace xml_detail

// Appends one BG line per record text, in the order of the range. Elements must convert
// to std::string_view.
template <typename Range>
void WriteBgRecords(const Range& records, cStringBuilder& xml) {
  std::string work;
  for (const auto& record : records) {
    xml_detail::AppendBgLine(std::string_view(record), xml, work);
  }
}

// Appends "</BGDATA>", the CHECK element with an empty CRC attribute and "</IMPORT>".
void WriteXmlTrailer(cStringBuilder& xml);

// Computes the check value over the finished document (each character one byte of the
// system's ANSI code page, the CRC attribute still empty) and writes it as four upper-case
// hex digits into the CHECK element. An empty document is left unchanged. A long
// document's check value is computed in two halves at once unless `threads` says one.
void InsertXmlCheck(std::string& document, Platform& platform, const ThreadUse& threads = {});

}  // namespace tavrin
