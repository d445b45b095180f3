#include "ui/win32/hourglass.h"

#include "ui/win32/win32_ui.h"
// After the program's own headers (see win32_api.h).
#include "platform/win32/win32_api.h"

namespace tavrin {

void HourglassState::SetPointer(bool hourglass) {
  hourglass_ = hourglass;
  ::SetCursor(::LoadCursorW(nullptr, hourglass ? IDC_WAIT : IDC_ARROW));
}

cSanduhr::cSanduhr(Win32Ui& ui) : state_(ui.Hourglass()) {
  state_.SetPointer(true);
  // Lets the new pointer and the last clicks show before the work starts.
  ui.DoEvents();
  ++state_.depth_;
}

cSanduhr::~cSanduhr() {
  --state_.depth_;
  if (state_.depth_ <= 0) {
    state_.depth_ = 0;
    state_.SetPointer(false);
  } else if (dialogWithoutHourglass_) {
    state_.SetPointer(true);
  }
}

void cSanduhr::DialogOhneSanduhr(bool withoutHourglass) {
  if (withoutHourglass) state_.SetPointer(false);
  dialogWithoutHourglass_ = withoutHourglass;
}

}  // namespace tavrin
