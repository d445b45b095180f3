// Converts arbitrary row texts into the host documents. The first byte picks the regional
// settings, the export unit and the serial number (one of them with characters XML
// forbids); the rest is the row text. Whatever the rows hold, the XML document must be
// well-formed and the JSON stream valid JSON.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "fakes/well_formed.h"
#include "fuzz_context.h"
#include "importer/record_conversion.h"
#include "shared/error.h"

namespace {

class FixedSerial : public tavrin::SerialNumberSource {
 public:
  std::string serial;
  std::string ResolveSerialNumber(tavrin::ProcessContext&) override { return serial; }
};

[[noreturn]] void Fail(const char* kind, const std::string& fault, const std::string& document) {
  std::fprintf(stderr, "%s not well-formed: %s\n%s\n", kind, fault.c_str(), document.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tavrin::fuzzing::FuzzContext fuzz("row-conversion");
  // The data-age question would cancel most runs before any document is written.
  static const bool quiet = [] {
    std::ofstream(tavrin::FsPath(fuzz.context->paths.SettingsFilePath()), std::ios::binary)
        << "[Config]\r\nShowOldOrNewDataWarning=0\r\n";
    return true;
  }();
  static_cast<void>(quiet);
  if (size == 0) return 0;
  fuzz.PickRegional(data[0]);
  static const char* const kSerials[] = {"TAV-123", "", "a\x01<b>&\"'\x7F", "\xEF\xBF\xBE"};
  FixedSerial serials;
  serials.serial = kSerials[(data[0] >> 2) % 4];
  const std::string_view unit = (data[0] & 0x10) ? "mmol/L" : "mg/dL";
  const std::string_view rows(reinterpret_cast<const char*>(data) + 1, size - 1);

  fuzz.context->dialogResult = tavrin::DialogAnswer::kNone;
  tavrin::ConversionResult converted;
  try {
    converted = tavrin::ConvertRows(*fuzz.context, tavrin::RowTable::FromText(rows), unit, serials);
  } catch (const tavrin::RuntimeError&) {
    // A value beyond its range is refused with a run-time error; that is an answer.
  }
  if (converted.result.starts_with("<?xml")) {
    if (const std::string fault = tavrin::testing::XmlFault(converted.result); !fault.empty())
      Fail("XML", fault, converted.result);
  }
  if (!converted.json.empty()) {
    if (const std::string fault = tavrin::testing::JsonFault(converted.json); !fault.empty())
      Fail("JSON", fault, converted.json);
  }
  fuzz.Tidy();
  return 0;
}
