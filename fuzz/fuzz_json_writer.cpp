// Writes JSON streams of random CGM sequences (readings in time order with random gaps,
// duplicates and values) and random carbohydrate and insulin entries: the writer must
// never crash and always give valid JSON.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fakes/fake_platform.h"
#include "fakes/well_formed.h"
#include "formats/json_writer.h"
#include "platform/system_crypto.h"
#include "shared/date_time.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tavrin::SystemCrypto crypto;
  static tavrin::testing::FakePlatform platform;
  platform.crypto = &crypto;
  tavrin::JsonStreamWriter writer(platform, size > 0 && (data[0] & 1) ? "mmol/L" : "mg/dL",
                                  "TAV-1");
  writer.WriteJsonOpening();
  double serial = 46000.0;  // a day in 2025
  for (std::size_t i = 1; i + 3 <= size; i += 3) {
    const std::uint8_t kind = data[i];
    // Gaps from none to several days, in minutes.
    serial += (kind & 0x80 ? data[i + 1] * 37.0 : data[i + 1] % 16) / 1440.0;
    const tavrin::DateTime when = tavrin::FromSerial(serial);
    char date[16];
    char time[8];
    char stamp[32];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", when.year, when.month, when.day);
    std::snprintf(time, sizeof time, "%02d:%02d", when.hour, when.minute);
    std::snprintf(stamp, sizeof stamp, "%sT%s:%02dZ", date, time, when.second);
    const std::string value = std::to_string(static_cast<int>(data[i + 2]) * (kind & 0x40 ? 7 : 1));
    if ((kind & 0x30) == 0x30) {
      writer.WriteJsonEntry(date, time, std::to_string(3 + kind % 3), value);
    } else {
      writer.WriteCgmReading(stamp, value);
    }
  }
  const std::string document = writer.WriteJsonClosing();
  if (const std::string fault = tavrin::testing::JsonFault(document); !fault.empty()) {
    std::fprintf(stderr, "JSON not valid: %s\n%s\n", fault.c_str(), document.c_str());
    std::abort();
  }
  return 0;
}
