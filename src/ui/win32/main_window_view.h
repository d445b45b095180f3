#pragma once

#include <string>

#include "ui/win32/progress_bar.h"
#include "ui/win32/window_layout.h"

struct HWND__;
struct HFONT__;
struct HDROP__;

namespace tavrin {

class Win32Ui;
class frmMeterImport;

// The main window frmMeterImport as a Windows window: the controls, their texts from the
// core's form, the keyboard (Tab order path box, browse, start, close; Enter starts, Esc
// closes; every button has an Alt mnemonic), files dropped onto it, and the events,
// forwarded to the form. The form decides everything; this class
// only shows it.
class MainWindowView {
 public:
  // The form has loaded; its texts are set.
  MainWindowView(Win32Ui& ui, frmMeterImport& form);
  ~MainWindowView();
  MainWindowView(const MainWindowView&) = delete;
  MainWindowView& operator=(const MainWindowView&) = delete;

  // Creates the window in the middle of the screen and shows it with the focus in the
  // path box. showCommand: as handed to wWinMain.
  void Show(int showCommand);

  HWND__* Window() const { return window_; }
  void SetStatus(const std::string& text);
  ShEProgressBar& Progress() { return progress_; }
  std::string PathText() const;
  void SetPathText(const std::string& text);
  // The control of a number from resource_ids.h (IDOK: start, IDCANCEL: close).
  HWND__* Control(int id) const;

 private:
  friend struct MainWindowProc;
  void CreateControls();
  void ApplyLayout(int dpi);
  void Browse();
  void StartImport();
  void FilesDropped(HDROP__* drop);
  void CloseClicked();
  void CloseRequested();
  void Activated();
  // Enables or disables the three buttons together (disabled while the import runs).
  void EnableButtons(bool enabled);

  Win32Ui& ui_;
  frmMeterImport& form_;
  HWND__* window_ = nullptr;
  HFONT__* font_ = nullptr;
  ShEProgressBar progress_;
  bool activatedOnce_ = false;
  bool running_ = false;
};

}  // namespace tavrin
