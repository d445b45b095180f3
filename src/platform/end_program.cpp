#include "platform/end_program.h"

#include "platform/process_context.h"
#include "shared/error.h"
#include "shared/text.h"

namespace tavrin {

namespace {
constexpr const char* kRunMarkerName = "TavrinPlugin.run";
}

std::string RunMarkerPath(ProcessContext& context) {
  return context.paths.ConfigFolder() + kRunMarkerName;
}

void EndProgram(ProcessContext& context, int exitCode) {
  try {
    if (context.runMarker) {
      context.runMarker.reset();
      KillFile(RunMarkerPath(context));
    }
  } catch (...) {
    // Nothing on the way out may keep the process from ending, whatever it is; a marker
    // that stays is taken over by the next start.
    context.trace.TryWrite("Run marker not removed: " + RunMarkerPath(context));
  }
  throw ProgramEnded{exitCode};
}

}  // namespace tavrin
