#pragma once

#include <string>

namespace tavrin {

class ProcessContext;

// The settings and language steps of the program's start: reads the "Language" setting
// (default: the system's language), reads and writes back "NewerOnly" and "CreateDump" so
// that the settings file always holds them, gives a newly created settings file normal
// attributes, and opens the language files. The front end then shows its main window.
void Main(ProcessContext& context);

// The path of the run marker file in the configuration folder.
std::string RunMarkerPath(ProcessContext& context);

// Keeps a second process of the program out: takes the run marker and holds it for the
// life of the process. Returns false when another process holds it; the caller then ends
// through EndProgram. A marker left behind by a process that died is simply taken over.
bool TakeRunMarker(ProcessContext& context);

// The one way out of the process: releases and deletes the run marker (when this process
// holds it), ignoring every error, and throws ProgramEnded for the front end to end on.
[[noreturn]] void EndProgram(ProcessContext& context, int exitCode = 0);

}  // namespace tavrin
