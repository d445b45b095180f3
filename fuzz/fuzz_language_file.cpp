// Reads arbitrary bytes as a language file and fills messages from it: lookups,
// placeholders and the yes/no words must never crash, whatever the file holds.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "fuzz_context.h"
#include "platform/languages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tavrin::fuzzing::FuzzContext fuzz("language-file");
  std::error_code ec;
  std::filesystem::create_directories(fuzz.folder / "Language", ec);
  std::ofstream(fuzz.folder / "Language" / "SCCSK.txt", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  tavrin::Languages languages(fuzz.platform, fuzz.context->paths, "SK");
  for (int number : {399, 770, 5051, 5082, 5297, 5577, 5583}) {
    (void)languages.GetMessageText(number, {"%2", "%1", "a\r\nb"});
  }
  (void)languages.YesNoTexts();
  return 0;
}
