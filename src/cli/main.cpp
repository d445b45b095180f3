// tavrin-convert: converts an export of the Tavrin app into the Orvolux import document
// from the command line, optionally handing it to an Orvolux installation's import tool.

#include <unistd.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/convert_run.h"
#include "cli/options.h"
#include "platform/posix/posix_platform.h"
#include "shared/version.h"

int main(int argc, char** argv) {
  try {
    const tavrin::ParsedOptions parsed =
        tavrin::ParseConvertOptions(std::vector<std::string>(argv + 1, argv + argc));
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
    tavrin::PosixPlatform platform;
    return tavrin::RunConverter(parsed.options, platform,
                                {std::cout, std::cerr, isatty(STDERR_FILENO) != 0});
  } catch (const std::exception& error) {
    std::cerr << "tavrin-convert: " << error.what() << '\n';
    return tavrin::kExitConversion;
  }
}
