#include "platform/message_trace_ui.h"

#include "platform/trace_log.h"

namespace tavrin {

std::string MessageTraceLine(const std::string& text) {
  std::string line = "Message: ";
  line.reserve(line.size() + text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    line += c == '\r' || c == '\n' ? ' ' : c;
  }
  return line;
}

MessageResult MessageTraceUi::ShowMessage(const std::string& text, const std::string& caption,
                                          MessageButtons buttons, MessageIcon icon) {
  // The user is told all the same when the log cannot be written.
  trace_.TryWrite(MessageTraceLine(text));
  return front_.ShowMessage(text, caption, buttons, icon);
}

}  // namespace tavrin
