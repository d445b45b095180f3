#pragma once

namespace tavrin {

class Win32Ui;

// The mouse pointer of the program's windows while long work runs: the hourglass or the
// default pointer, and how many guards ask for the hourglass. One instance, owned by the
// Win32Ui; the windows ask it which pointer to show (WM_SETCURSOR).
class HourglassState {
 public:
  bool HourglassShown() const { return hourglass_; }
  int Depth() const { return depth_; }

 private:
  friend class cSanduhr;
  // Shows the pointer at once, without waiting for the mouse to move.
  void SetPointer(bool hourglass);

  int depth_ = 0;
  bool hourglass_ = false;
};

// The hourglass while the guard lives. Guards nest: the default pointer returns when the
// outermost one ends. A guard of a dialog marks itself with DialogOhneSanduhr, so that
// the dialog shows the default pointer and the outer guards get their hourglass back when
// the dialog ends.
class cSanduhr {
 public:
  explicit cSanduhr(Win32Ui& ui);
  ~cSanduhr();
  cSanduhr(const cSanduhr&) = delete;
  cSanduhr& operator=(const cSanduhr&) = delete;

  void DialogOhneSanduhr(bool withoutHourglass);

 private:
  HourglassState& state_;
  bool dialogWithoutHourglass_ = false;
};

}  // namespace tavrin
