#pragma once

#include <string>

namespace tavrin {

class ProcessContext;

// Opens a document or web address with the program the system has for it. A failure is
// told to the user in an information box (message 5051 with "open doc" and the target);
// the caller goes on either way. Returns whether it opened.
bool OpenWithShell(ProcessContext& context, const std::string& target);

}  // namespace tavrin
