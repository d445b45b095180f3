#pragma once

#include <string>

namespace tavrin {

class ProcessContext;

// The path of the run marker file in the configuration folder.
std::string RunMarkerPath(ProcessContext& context);

// The one way out of the process: releases and deletes the run marker (when this process
// holds it), ignoring every error, and throws ProgramEnded for the front end to end on.
[[noreturn]] void EndProgram(ProcessContext& context, int exitCode = 0);

}  // namespace tavrin
