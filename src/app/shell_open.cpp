#include "app/shell_open.h"

#include "platform/process_context.h"
#include "shared/version.h"

namespace tavrin {

bool OpenWithShell(ProcessContext& context, const std::string& target) {
  if (context.platform.Machine().OpenWithShell(target)) return true;
  context.ui.ShowMessage(context.Message(5051, {"open doc", target}), kProgramTitle,
                         MessageButtons::Ok, MessageIcon::Information);
  return false;
}

}  // namespace tavrin
