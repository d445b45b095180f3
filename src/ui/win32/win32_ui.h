#pragma once

#include <exception>
#include <string>

#include "shared/ui.h"
#include "ui/win32/hourglass.h"

struct HWND__;
struct HICON__;
struct HFONT__;

namespace tavrin {

class MainWindowView;

// The user interface as Windows windows: message boxes and the serial-number dialogs
// owned by the main window, the common file dialog, the main window's status line and
// progress bar, and the pointer shapes.
//
// No C++ exception may cross a window or dialog procedure: the procedures catch what the
// core throws (ProgramEnded, RuntimeError, ...), keep it here and end their dialog or the
// message loop; the code that started the modal loop then rethrows it (RethrowStored).
class Win32Ui : public Ui {
 public:
  Win32Ui() = default;
  ~Win32Ui() override = default;
  Win32Ui(const Win32Ui&) = delete;
  Win32Ui& operator=(const Win32Ui&) = delete;

  MessageResult ShowMessage(const std::string& text, const std::string& caption,
                            MessageButtons buttons, MessageIcon icon) override;
  FileDialogResult ChooseFile(const FileDialogArgs& args) override;
  SerialAutoChoice ShowSerialAutoDialog(const SerialAutoDialogArgs& args) override;
  SerialNoPatientChoice ShowSerialNoPatientDialog(const SerialNoPatientDialogArgs& args) override;
  SerialEntryResult ShowSerialEntryDialog(const SerialEntryDialogArgs& args) override;
  void SetStatusText(const std::string& text) override;
  // Runs the window messages that are waiting. What a procedure catches meanwhile is
  // rethrown by the message loop.
  void DoEvents() override;
  void ShowProgress(ProgressStep step, std::uint64_t done, std::uint64_t total) override;
  void KeepMainWindowOnTop(bool onTop) override;

  // The main window, owner of every box and dialog (null before it exists).
  void SetMainWindow(MainWindowView* view) { mainWindow_ = view; }
  HWND__* OwnerWindow() const;
  // The language code of the texts, which chooses the windows' font.
  void SetLanguageCode(std::string code) { languageCode_ = std::move(code); }
  const std::string& LanguageCode() const { return languageCode_; }

  HourglassState& Hourglass() { return hourglass_; }
  // The hand pointer over the logo, loaded on first use and kept.
  HICON__* HandCursor();

  // Runs the main window's messages until a procedure caught an exception (rethrown here)
  // or the loop was told to quit (then returns).
  void RunMessageLoop();
  // For the catch blocks of window and dialog procedures: keeps the exception (the first
  // one wins) and quits the message loop.
  void StoreException(std::exception_ptr error);
  void RethrowStored();

 private:
  // Keeps the pointer default and the window switches while a box or dialog is shown.
  MessageResult MessageBoxOwned(const std::string& text, const std::string& caption,
                                unsigned flags);

  MainWindowView* mainWindow_ = nullptr;
  std::string languageCode_;
  HourglassState hourglass_;
  HICON__* handCursor_ = nullptr;
  std::exception_ptr stored_;
};

// The resolution of a window in dots per inch (96 = 100 %): the window's own on systems
// that scale per monitor, the screen's elsewhere.
int DpiOfWindow(HWND__* window);
// The windows' font for a language at a resolution (Segoe UI 9 pt or the script's font);
// the caller deletes it.
HFONT__* CreateWindowFont(const std::string& languageCode, int dpi);

}  // namespace tavrin
