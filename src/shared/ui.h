#pragma once

#include <cstdint>
#include <string>

namespace tavrin {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MessageIcon { None, Critical, Question, Exclamation, Information };
enum class MessageResult { Ok = 1, Cancel = 2, Retry = 4, Yes = 6, No = 7 };

// The long steps of an import, for a progress bar: reading the export (counted in bytes)
// and converting its rows (counted in stages).
enum class ProgressStep { Reading, Converting };

// The file dialog: the caller's filter ("L|" or "S|" followed by description|pattern
// pairs), title, initial folder and default file name.
struct FileDialogArgs {
  std::string filter;
  std::string title;
  std::string initialFolder;
  std::string defaultFileName;
};

struct FileDialogResult {
  bool chosen = false;  // false when the user cancelled
  std::string path;     // the chosen full path
  std::string folder;   // the folder part of the choice (the next initial folder)
};

// frmSeriennrAuto: the question whether to create an artificial serial number.
struct SerialAutoDialogArgs {
  std::string caption;
  std::string label;
  std::string autoButton;
  std::string manualButton;
  std::string cancelButton;
  bool yesNoMode = false;  // manual button hidden; auto and cancel read yes and no
};
enum class SerialAutoChoice { Auto, Manual, Cancel };

// frmSeriennrNoPatient: no patient is open in the host.
struct SerialNoPatientDialogArgs {
  std::string caption;
  std::string label;
  std::string openButton;
  std::string manualButton;
  std::string cancelButton;
};
enum class SerialNoPatientChoice { OpenPatient, Manual, Cancel };

// frmSeriennummer: the serial number typed by hand.
struct SerialEntryDialogArgs {
  std::string caption;
  std::string label;
  std::string okButton;
  std::string cancelButton;
  std::string initialText;
  // What the text box holds, for front ends that ask for it with a prompt (the terminal).
  std::string textBoxLabel;
};
struct SerialEntryResult {
  bool confirmed = false;
  std::string text;
};

// Every interaction with the user goes through this interface: the Win32 windows, the
// terminal front end and the tests' fake each implement it. The decisions behind each
// answer live in the core.
class Ui {
 public:
  virtual ~Ui() = default;

  virtual MessageResult ShowMessage(const std::string& text, const std::string& caption,
                                    MessageButtons buttons, MessageIcon icon) = 0;
  virtual FileDialogResult ChooseFile(const FileDialogArgs& args) = 0;
  virtual SerialAutoChoice ShowSerialAutoDialog(const SerialAutoDialogArgs& args) = 0;
  virtual SerialNoPatientChoice ShowSerialNoPatientDialog(
      const SerialNoPatientDialogArgs& args) = 0;
  virtual SerialEntryResult ShowSerialEntryDialog(const SerialEntryDialogArgs& args) = 0;
  // The status line of the main window.
  virtual void SetStatusText(const std::string& text) = 0;
  // Lets pending window messages run during long work.
  virtual void DoEvents() = 0;
  // How far a long step has come: `done` of `total`. Called from the user-interface
  // thread only; front ends without a progress bar ignore it.
  virtual void ShowProgress(ProgressStep /*step*/, std::uint64_t /*done*/,
                            std::uint64_t /*total*/) {}
  // Keeps the main window above other windows, or lets it go behind them (while the
  // import tool runs in front of it). Front ends without windows ignore it.
  virtual void KeepMainWindowOnTop(bool /*onTop*/) {}
};

}  // namespace tavrin
