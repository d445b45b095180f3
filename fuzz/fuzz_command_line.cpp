// Runs arbitrary command lines through the start-up's rules: the patient arguments
// "-pid1" to "-pid4", the host's "/ID:" and "/f:" form, the job number after "-jobid",
// the dump-file test and the Windows splitting and joining of arguments. Nothing may
// crash, and joined arguments must split back into the same arguments.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "fuzz_context.h"
#include "handover/transfer_job.h"
#include "platform/command_line.h"
#include "shared/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tavrin::fuzzing::FuzzContext fuzz("command-line");
  const std::string line(reinterpret_cast<const char*>(data), size);
  tavrin::ProcessContext& context = *fuzz.context;

  context.commandLine = line;
  (void)tavrin::IsJobMode(line);
  (void)tavrin::Trim(tavrin::GetBetween(line, "-jobid ", " "));
  (void)tavrin::IsDumpFileName(line);
  tavrin::StripPatientArguments(context);
  (void)tavrin::ApplyHostCallForm(context.commandLine);

  const std::vector<std::string> arguments = tavrin::SplitWindowsCommandLine(line);
  if (!arguments.empty() && arguments[0].find('"') == std::string::npos &&
      line.find('\0') == std::string::npos) {
    if (tavrin::SplitWindowsCommandLine(tavrin::JoinWindowsCommandLine(arguments)) != arguments) {
      std::abort();
    }
  }
  return 0;
}
