#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ini_file.h"

namespace tavrin {

class ProcessContext;
class cTempFiles;
class JobNumberSource;

// The texts the front end shows on the main window.
struct MainWindowTexts {
  std::string caption, instruction, browseButton, startButton, closeButton, version;
};

// The main window's logic, free of any window system: the load sequence, the buttons and
// the run state of the one import of the process. Front ends show the controls and
// forward their events here.
class frmMeterImport {
 public:
  explicit frmMeterImport(ProcessContext& context);
  ~frmMeterImport();
  frmMeterImport(const frmMeterImport&) = delete;
  frmMeterImport& operator=(const frmMeterImport&) = delete;

  // The load sequence: temporary-file manager, host installation, command line (job mode,
  // file dump, patient arguments, host call form), environment summary, single-instance
  // guard, left-over temporary files, window texts. Throws ProgramEnded when the
  // process ends during load (job mode, second instance, missing "/f:" file, host not
  // found).
  void Form_Load();
  const MainWindowTexts& Texts() const;

  // The export file's path (typed or chosen).
  std::string txtImportDatei;

  // Opens the file dialog in the folder of this run's last choice, else the folder of the
  // typed path, else the one kept for the user from an earlier run, else the user's
  // documents (each only when it exists); a chosen path replaces txtImportDatei and its folder is
  // kept.
  void cmdDurchsuchen_Click();
  // Files dropped onto the window: the first one becomes the export file's path.
  void FilesDropped(const std::vector<std::string>& paths);
  // Reads the export file and runs the import. Ends the process (ProgramEnded) after a
  // hand-over or a failed run; returns when the user cancelled, or after telling the user
  // why nothing was imported (no path, no such file, not an export, an unreadable file, no
  // data in it), the window staying open.
  void cmdImportStarten_Click();
  // "User cancelled import." and the end of the process.
  [[noreturn]] void cmdSchliessen_Click();
  // Releases the temporary-file manager and ends the process.
  [[noreturn]] void Form_Unload();

  // The maker's logo: opens the maker's web page.
  void imgKELSAR_Click();

  // The serial number typed by hand in the serial-number dialog.
  void SetSeriennummer(const std::string& serial);
  const std::string& Seriennummer() const { return seriennummer_; }

  // The run state that the import run works with.
  ProcessContext& Context() { return context_; }
  cIniFile& Settings() { return settings_; }
  cTempFiles& TempFiles();
  JobNumberSource& JobNumbers();
  // The folder the file dialog opens in: the folder of the last choice.
  const std::string& FileDialogFolder() const { return fileDialogFolder_; }

 private:
  void ApplyCommandLine();
  std::string InitialDialogFolder();
  void DumpCommandLineFile();
  void WriteEnvironmentSummary();
  void SetWindowTexts();

  ProcessContext& context_;
  cIniFile settings_;
  std::unique_ptr<cTempFiles> tempFiles_;
  std::unique_ptr<JobNumberSource> jobNumbers_;
  MainWindowTexts texts_;
  std::string seriennummer_;
  std::string fileDialogFolder_;
};

}  // namespace tavrin
