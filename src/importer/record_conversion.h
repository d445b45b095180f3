#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "importer/bg_record_store.h"
#include "importer/row_table.h"

namespace tavrin {

class ProcessContext;

class SerialNumberSource {
 public:
  virtual ~SerialNumberSource() = default;
  // Settles a serial number for a run without one (may be empty); may leave
  // context.dialogResult == DialogAnswer::kCancel, which ends the conversion.
  virtual std::string ResolveSerialNumber(ProcessContext& context) = 0;
};

struct ConversionResult {
  std::string result;  // the XML document (or the plain list when "Driver"/"XML" is off);
                       // empty when cancelled or no BG record
  std::string json;    // the JSON stream; empty without CGM rows
  bool cancelled = false;
  std::string serialNumber;
  long rowCount = 0;  // rows handed to the BG records
  long bgRecords = 0;
  long cgmReadings = 0;
  std::vector<std::string> dataAgeWarnings;  // the texts of the data-age warnings shown
};

// Turns the rows of an export (the RowText's "DD.MM.YYYY HH:NN;code;value" lines) into
// the host documents: asks the data-age question and settles the serial number first,
// then merges the rows into BG records written as the host XML document with its check
// value, and collects CGM readings ("UDTCGMS" rows) into the JSON stream. A cancel at
// either question leaves context.dialogResult kCancel and an empty result. A glucose
// value outside the 16-bit range raises RuntimeError 6; other run-time errors of the
// writers reach the caller as well.
ConversionResult ConvertRows(ProcessContext& context, const RowTable& rows,
                             std::string_view exportUnit, SerialNumberSource& serials);

// Sorts texts ascending by their UTF-16 code units, in place: a quicksort that takes the
// middle element as pivot, so sorted and reversed input split evenly.
void SortTexts(std::vector<std::string>& texts);

}  // namespace tavrin
