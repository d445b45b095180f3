#include "app/main_window.h"

#include "app/command_line.h"
#include "app/file_dialog.h"
#include "app/import_run.h"
#include "app/mnemonics.h"
#include "app/shell_open.h"
#include "app/startup.h"
#include "handover/transfer_job.h"
#include "importer/export_reader.h"
#include "platform/end_program.h"
#include "platform/host_discovery.h"
#include "platform/process_context.h"
#include "platform/system_info.h"
#include "platform/temp_files.h"
#include "shared/error.h"
#include "shared/fs.h"
#include "shared/text.h"
#include "shared/utf8.h"
#include "shared/version.h"

namespace tavrin {

namespace {

constexpr const char* kWindowCaption = "Tavrin Plugin for Orvolux";
constexpr const char* kAppName = "Tavrin App";
constexpr const char* kMakerPage = "https://www.kelsar.example/";

constexpr int kMsgChooseExportFirst = 5771;

// Where the file dialog opened last, kept per user across runs (a run ends the process).
constexpr const char* kDialogFolderKey = "TavrinPlugin\\FileDialog";
constexpr const char* kDialogFolderValue = "LastFolder";

MessageResult ShowWarning(ProcessContext& context, const std::string& text,
                          MessageButtons buttons) {
  return context.ui.ShowMessage(text, kProgramTitle, buttons, MessageIcon::Exclamation);
}

// The hex dump of a file named on the command line goes to the clipboard for support
// staff, five characters for each of the file's: 16 MiB make an 80 MB clipboard text,
// more than anyone pastes anywhere.
constexpr std::uint64_t kMaxHexDumpFileBytes = std::uint64_t{16} << 20;

const char* TrueFalse(bool value) {
  return value ? "True" : "False";
}

}  // namespace

frmMeterImport::frmMeterImport(ProcessContext& context)
    : context_(context), settings_(context.platform) {}

frmMeterImport::~frmMeterImport() = default;

void frmMeterImport::Form_Load() {
  // Files recorded by earlier runs are removed below; the files of this run must outlive
  // it, because the import tool may still read them after the process has ended.
  tempFiles_ = std::make_unique<cTempFiles>(context_.platform);
  tempFiles_->SetDeleteAtEnd(false);

  DetermineHostFolders(context_);

  context_.commandLine = context_.rawCommandLine;
  context_.trace.Write("Command line args: " + context_.commandLine);
  ApplyCommandLine();

  settings_.IniFile(context_.paths.SettingsFilePath());
  jobNumbers_ = std::make_unique<JobNumberSource>(context_.platform.Machine().RandomSeed());
  texts_.version = std::string("V ") + kVersionText;

  WriteEnvironmentSummary();
  WriteLocaleReport(context_.platform, context_.trace);
  // A second process ends here, silently, before it shows anything, and before the
  // clean-up, which must not touch the files of the process that runs.
  if (!context_.runMarker && !TakeRunMarker(context_)) EndProgram(context_);
  tempFiles_->DeleteTempFiles();

  SetWindowTexts();
  context_.trace.Write("LanguageLocale=" + context_.platform.Locale().LocaleInfo(3) + " (" +
                       Languages::SystemLanguageCode(context_.platform) + ")");
  context_.trace.Write("[form_load] completed");
}

void frmMeterImport::ApplyCommandLine() {
  if (IsJobMode(context_.commandLine)) {
    // The host starts the second step while the run that parked the job may still wait
    // for the import tool, holding the run marker: the step then goes on beside it as
    // part of that run. Otherwise the step holds the marker itself, so that no other run
    // starts while its document is handed over.
    TakeRunMarker(context_);
    try {
      RunTransferJob(context_, *tempFiles_);
    } catch (const RuntimeError& error) {
      EndAfterRunError(context_, error);
    }
    EndProgram(context_);
  }

  DumpCommandLineFile();
  StripPatientArguments(context_);

  const std::string requiredFile = ApplyHostCallForm(context_.commandLine);
  if (!requiredFile.empty() && !FileExists(requiredFile)) {
    context_.ui.ShowMessage(context_.Message(5577, {requiredFile}), kProgramTitle,
                            MessageButtons::Ok, MessageIcon::Exclamation);
    EndProgram(context_);
  }
}

void frmMeterImport::DumpCommandLineFile() {
  const std::string& fileName = context_.commandLine;
  if (!IsDumpFileName(fileName)) return;
  std::string text;
  try {
    text = ReadUtf8File(fileName, kMaxHexDumpFileBytes);
  } catch (const RuntimeError& error) {
    // An unreadable or oversized file is no reason to stop start-up; running out of
    // memory is a fault of the program and ends it as such.
    context_.trace.TryWrite("Command-line file not dumped: " + error.Detail());
    return;
  }
  context_.platform.Machine().SetClipboardText(HexDumpOfText(context_.platform, text));
}

void frmMeterImport::WriteEnvironmentSummary() {
  Platform& platform = context_.platform;
  TraceLog& trace = context_.trace;
  trace.Write("Base-Folder=" + context_.paths.ConfigFolder());

  std::string versionNumber;
  bool is64 = false;
  const std::string windowsName =
      WindowsVersionName(platform.Machine().OsVersion(), versionNumber, is64);
  trace.Write("Windows-Version-Info=" + windowsName + ";" + versionNumber +
              ";64B=" + TrueFalse(is64));

  trace.Write("Language-Info=" + (context_.languages ? context_.languages->Code() : std::string()));
  trace.Write(std::string("TavrinPlugin-Version=") + kVersionText);
  trace.Write(
      std::string("Zip-Available=") +
      TrueFalse(ZipAvailable(platform, context_.paths, ZipRegistration::kRegisterAndRetry)));
  trace.Write("CLArgs=" + context_.rawCommandLine);
}

void frmMeterImport::SetWindowTexts() {
  texts_.caption = kWindowCaption;
  texts_.closeButton = Trim(context_.Message(176, {" "}));
  texts_.startButton = context_.Message(765);
  texts_.browseButton = context_.Message(354);
  texts_.instruction = context_.Message(5466, {kAppName});
}

const MainWindowTexts& frmMeterImport::Texts() const {
  return texts_;
}

std::string frmMeterImport::InitialDialogFolder() {
  if (!fileDialogFolder_.empty()) return fileDialogFolder_;
  Platform& platform = context_.platform;
  for (const std::string& folder :
       {FolderOfPath(Trim(txtImportDatei)),
        platform.UserValues().ReadUserValue(kDialogFolderKey, kDialogFolderValue),
        platform.Machine().DocumentsFolder()}) {
    if (!folder.empty() && KindOfFile(folder) == FileKind::kFolder) return folder;
  }
  return std::string();
}

void frmMeterImport::cmdDurchsuchen_Click() {
  const std::string title = context_.Message(770);
  const std::string filter = "L|Tavrin-" + title + "|*.csv|" + context_.Message(399) + "|*.*";
  fileDialogFolder_ = InitialDialogFolder();
  const std::string path =
      ShowFileDialog(context_.platform, context_.ui, filter, title, fileDialogFolder_);
  if (path.empty()) return;
  txtImportDatei = path;
  // A folder that cannot be remembered only costs the user a few clicks next time.
  context_.platform.UserValues().WriteUserValue(kDialogFolderKey, kDialogFolderValue,
                                                fileDialogFolder_);
}

void frmMeterImport::FilesDropped(const std::vector<std::string>& paths) {
  if (!paths.empty() && !paths.front().empty()) txtImportDatei = paths.front();
}

void frmMeterImport::cmdImportStarten_Click() {
  const std::string path = Trim(txtImportDatei);
  // A press that does nothing looks like a broken program: the user is told what is
  // missing.
  if (path.empty()) {
    ShowWarning(context_,
                context_.Message(kMsgChooseExportFirst, {StripMnemonic(texts_.browseButton)}),
                MessageButtons::Ok);
    return;
  }
  EndPluginImport(context_, *this, RunImport(context_, PluginImportRequest(*this, path)));
}

void frmMeterImport::cmdSchliessen_Click() {
  context_.trace.TryWrite("User cancelled import.");
  EndProgram(context_);
}

void frmMeterImport::Form_Unload() {
  tempFiles_.reset();
  EndProgram(context_);
}

void frmMeterImport::imgKELSAR_Click() {
  OpenWithShell(context_, kMakerPage);
}

void frmMeterImport::SetSeriennummer(const std::string& serial) {
  seriennummer_ = serial;
}

cTempFiles& frmMeterImport::TempFiles() {
  if (!tempFiles_) {
    tempFiles_ = std::make_unique<cTempFiles>(context_.platform);
    tempFiles_->SetDeleteAtEnd(false);
  }
  return *tempFiles_;
}

JobNumberSource& frmMeterImport::JobNumbers() {
  if (!jobNumbers_)
    jobNumbers_ = std::make_unique<JobNumberSource>(context_.platform.Machine().RandomSeed());
  return *jobNumbers_;
}

}  // namespace tavrin
