// Loads arbitrary bytes as an INI file (ANSI or with the Unicode marker), then saves one
// value and reads it back: parsing must never crash, and a value that was saved must be
// the value that is loaded, whatever the file held around it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "fuzz_context.h"
#include "platform/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tavrin::fuzzing::FuzzContext fuzz("ini-file");
  const std::string path = tavrin::PathText(fuzz.folder / "fuzz.ini");
  std::ofstream(tavrin::FsPath(path), std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  tavrin::cIniFile ini(fuzz.platform);
  ini.IniFile(path);
  ini.CheckUnicodeFile();
  (void)ini.GetAllSections();
  (void)ini.Load("Config", "Language", "DE");
  ini.Save("Config", "Fuzz", "Wert \xC3\xA4 = [x]");
  if (ini.Load("Config", "Fuzz", "") != "Wert \xC3\xA4 = [x]") std::abort();
  (void)ini.RebuildIniStructure();
  if (ini.Load("Config", "Fuzz", "") != "Wert \xC3\xA4 = [x]") std::abort();
  return 0;
}
