// tavrin-convert: converts an export of the Tavrin app into the Orvolux import document
// from the command line, optionally handing it to an Orvolux installation's import tool.

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <io.h>
#include <shellapi.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/convert_run.h"
#include "cli/options.h"
#include "platform/system_platform.h"
#include "shared/utf8.h"
#include "shared/version.h"

namespace {

#ifdef _WIN32
// Windows hands main its arguments in the ANSI code page, which cannot carry every file
// name: the arguments are read again from the UTF-16 command line.
std::vector<std::string> Arguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) {
      const std::wstring argument = wide[i];
      arguments.push_back(tavrin::Utf16ToUtf8(std::u16string(argument.begin(), argument.end())));
    }
    ::LocalFree(wide);
  }
  return arguments;
}
bool StderrIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}

// The program writes UTF-8; a console shows it as such while the program runs.
struct ConsoleCodePage {
  UINT saved = ::GetConsoleOutputCP();
  ConsoleCodePage() { ::SetConsoleOutputCP(CP_UTF8); }
  ~ConsoleCodePage() { ::SetConsoleOutputCP(saved); }
};
#else
std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}
bool StderrIsTerminal() {
  return isatty(STDERR_FILENO) != 0;
}
struct ConsoleCodePage {};
#endif

}  // namespace

int main(int argc, char** argv) {
  [[maybe_unused]] const ConsoleCodePage utf8Console;
  // A run stopped from the terminal (Ctrl+C, kill, a closed console) leaves no half-written
  // document in the output folder.
  tavrin::CleanUpOnInterrupt();
  try {
    const tavrin::ParsedOptions parsed = tavrin::ParseConvertOptions(Arguments(argc, argv));
    if (!parsed.error.empty()) {
      std::cerr << "tavrin-convert: " << parsed.error << "\n"
                << "Try 'tavrin-convert --help' for more information.\n";
      return tavrin::kExitUsage;
    }
    if (parsed.options.help) {
      std::cout << tavrin::UsageText();
      return tavrin::kExitSuccess;
    }
    if (parsed.options.version) {
      std::cout << "tavrin-convert " << tavrin::kVersionText << '\n';
      return tavrin::kExitSuccess;
    }
    tavrin::SystemPlatform platform;
    return tavrin::RunConverter(parsed.options, platform,
                                {std::cout, std::cerr, StderrIsTerminal()});
  } catch (const std::exception& error) {
    // The last line of defence: nothing may leave main. No trace log exists out here (the
    // run's own is written inside RunConverter, which traces what escapes the run).
    std::cerr << "tavrin-convert: " << error.what() << '\n';
    return tavrin::kExitConversion;
  }
}
