#pragma once

#include <string>

#include "platform/end_program.h"

namespace tavrin {

class ProcessContext;

// The settings and language steps of the program's start: reads the "Language" setting
// (default: the system's language), reads and writes back "NewerOnly" and "CreateDump" so
// that the settings file always holds them, gives a newly created settings file normal
// attributes, and opens the language files. The front end then shows its main window.
// When the settings file cannot be written, the values read stay in force: the failure is
// traced ("Settings not saved: ...") and message 5720 tells the user.
// The single-instance guard runs first: a second window-mode process ends there
// (EndProgram, silently) before it deletes or writes anything.
void Main(ProcessContext& context);

// Keeps a second process of the program out: takes the run marker and holds it for the
// life of the process. Returns false when another process (or this one) holds it already,
// keeping what this process holds; the caller then ends through EndProgram. A marker left behind
// by a process that died is simply taken over.
bool TakeRunMarker(ProcessContext& context);

}  // namespace tavrin
