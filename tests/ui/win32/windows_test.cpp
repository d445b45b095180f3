// The Windows program's windows, in this process: the real main window and serial-number
// dialogs on the tests' fake platform (no host, registry or clock of the machine). Dialogs
// and message boxes are answered by a timer of the test thread, which fires inside their
// modal loops.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/app_fixture.h"
#include "shared/version.h"
#include "ui/win32/main_window_view.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/win32_ui.h"
// After the program's own headers (see win32_api.h).
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_api.h"

#include <shlobj.h>  // DROPFILES

namespace tavrin {
namespace {

std::string TextOf(HWND window) {
  wchar_t text[1024] = {};
  ::GetWindowTextW(window, text, 1024);
  return Narrow(text);
}

// Answers the dialogs of this thread as they appear: step i acts on the i-th dialog or
// message box. After ten seconds the message loop is told to quit, so that a test that
// waits for a dialog which never comes fails instead of hanging.
class DialogDriver {
 public:
  using Step = std::function<void(HWND dialog)>;
  explicit DialogDriver(std::vector<Step> steps) : steps_(std::move(steps)) {
    active_ = this;
    timer_ = ::SetTimer(nullptr, 0, 50, &Tick);
  }
  ~DialogDriver() {
    ::KillTimer(nullptr, timer_);
    active_ = nullptr;
    MSG quit{};
    ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }
  std::vector<std::string> captions;  // of every dialog met
  std::size_t StepsDone() const { return next_; }

 private:
  static BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    if (!::IsWindowVisible(window) || std::wstring(className) != L"#32770") return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    DialogDriver* driver = active_;
    if (driver == nullptr) return;
    if (++driver->ticks_ > 200) {
      ::PostQuitMessage(0);
      return;
    }
    HWND dialog = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr || dialog == driver->last_ || driver->next_ >= driver->steps_.size()) {
      return;
    }
    driver->last_ = dialog;
    driver->captions.push_back(TextOf(dialog));
    try {
      driver->steps_[driver->next_++](dialog);
    } catch (...) {
      ::PostQuitMessage(0);  // nothing may leave a timer procedure; the test's checks fail
    }
  }

  static inline DialogDriver* active_ = nullptr;
  std::vector<Step> steps_;
  std::size_t next_ = 0;
  UINT_PTR timer_ = 0;
  int ticks_ = 0;
  HWND last_ = nullptr;
};

DialogDriver::Step Click(int id) {
  return [id](HWND dialog) { ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); };
}
// A key pressed in the control that has the focus.
DialogDriver::Step Press(WPARAM key) {
  return [key](HWND dialog) {
    HWND focus = ::GetFocus();
    ::PostMessageW(focus ? focus : dialog, WM_KEYDOWN, key, 0);
  };
}
DialogDriver::Step TypeAndClick(int box, std::string text, int button) {
  return [=](HWND dialog) {
    ::SetDlgItemTextW(dialog, box, Wide(text).c_str());
    ::SendMessageW(::GetDlgItem(dialog, button), BM_CLICK, 0, 0);
  };
}

class Win32WindowsTest : public testing::AppFixture {
 protected:
  // Loads the form and shows the main window.
  void ShowMainWindow() {
    guiContext.rawCommandLine = "";
    Main(guiContext);
    form.Form_Load();
    view.Show(SW_SHOWNORMAL);
  }
  HWND Control(int id) { return view.Control(id); }
  void PressInMainWindow(WPARAM key) { ::PostMessageW(Control(IDC_PATH), WM_KEYDOWN, key, 0); }

  Win32Ui gui;
  ProcessContext guiContext{platform, gui};
  frmMeterImport form{guiContext};
  MainWindowView view{gui, form};
};

TEST_F(Win32WindowsTest, MainWindowShowsTheFormsTextsWithTheFocusInThePathBox) {
  ShowMainWindow();
  EXPECT_EQ(TextOf(view.Window()), "Tavrin Plugin for Orvolux");
  EXPECT_EQ(TextOf(Control(IDC_INSTRUCTION)),
            "Bitte wählen Sie die Übergabedatei (von Tavrin App) aus...");
  EXPECT_EQ(
      TextOf(Control(IDC_BROWSE)) + "|" + TextOf(Control(IDOK)) + "|" + TextOf(Control(IDCANCEL)),
      "&Durchsuchen|Daten &importieren|&Beenden");  // every button has a mnemonic
  EXPECT_EQ(TextOf(Control(IDC_VERSION)), std::string("V ") + kVersionText);
  EXPECT_EQ(::GetFocus(), Control(IDC_PATH));
  // Activated once, the window stays above other windows.
  EXPECT_TRUE(::GetWindowLongPtrW(view.Window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  // Tab order: path box, browse, start, close.
  HWND tab = Control(IDC_PATH);
  std::vector<HWND> order;
  for (int i = 0; i < 4; ++i, tab = ::GetNextDlgTabItem(view.Window(), tab, FALSE)) {
    order.push_back(tab);
  }
  EXPECT_EQ(order, (std::vector<HWND>{Control(IDC_PATH), Control(IDC_BROWSE), Control(IDOK),
                                      Control(IDCANCEL)}));
  EXPECT_EQ(view.Progress().FloodSpace() * 100 + view.Progress().FloodWidth(), 410);
  EXPECT_TRUE(view.Progress().SystemBar());
}

// A typed path and Enter run the import: no patient is open in the host, so the user
// chooses manual entry and types a serial number; the import tool is started with the
// document and the process ends.
TEST_F(Win32WindowsTest, TypedPathAndEnterRunTheImportThroughTheSerialDialogs) {
  ShowMainWindow();
  const std::string export_ = dir.File("export.csv");
  testing::WriteFile(
      export_, "Date;Time;x;G (mg/dL)" + std::string(17, ';') + "x\r\n01.12.2026;08:00;;120\r\n");
  ::SetWindowTextW(Control(IDC_PATH), Wide(export_).c_str());
  DialogDriver driver({Click(IDC_MANUAL), TypeAndClick(IDC_SERIAL_TEXT, "SN-77", IDOK)});
  PressInMainWindow(VK_RETURN);
  EXPECT_THROW(gui.RunMessageLoop(), ProgramEnded);
  EXPECT_EQ(driver.captions, std::vector<std::string>(2, "Seriennummer-Eingabe"));
  EXPECT_EQ(form.txtImportDatei, export_);
  ASSERT_EQ(platform.startedCommands.size(), 1u);
  EXPECT_NE(platform.startedCommands[0].find(" import "), std::string::npos)
      << platform.startedCommands[0];
  EXPECT_TRUE(Traced({"Job completed."}, true));
}

// Cancelling the serial number leaves the window as it was, its buttons usable again.
TEST_F(Win32WindowsTest, CancelledRunGivesTheButtonsBack) {
  ShowMainWindow();
  const std::string export_ = dir.File("export.csv");
  testing::WriteFile(
      export_, "Date;Time;x;G (mg/dL)" + std::string(17, ';') + "x\r\n01.12.2026;08:00;;120\r\n");
  ::SetWindowTextW(Control(IDC_PATH), Wide(export_).c_str());
  // Esc cancels the dialog; once the run has returned, the close button ends the program.
  DialogDriver driver({[&](HWND dialog) {
    Press(VK_ESCAPE)(dialog);
    ::PostMessageW(view.Window(), WM_COMMAND, IDCANCEL, 0);
  }});
  ::PostMessageW(view.Window(), WM_COMMAND, IDOK, 0);
  EXPECT_THROW(gui.RunMessageLoop(), ProgramEnded);
  EXPECT_EQ(driver.StepsDone(), 1u);
  EXPECT_TRUE(platform.startedCommands.empty());
  EXPECT_TRUE(::IsWindowEnabled(Control(IDOK)) && ::IsWindowEnabled(Control(IDC_BROWSE)));
  EXPECT_TRUE(Traced({"User cancelled import."}, true));
}

TEST_F(Win32WindowsTest, EscClosesTheProgram) {
  ShowMainWindow();
  PressInMainWindow(VK_ESCAPE);
  EXPECT_THROW(gui.RunMessageLoop(), ProgramEnded);
  EXPECT_FALSE(::IsWindowVisible(view.Window()));
  EXPECT_TRUE(Traced({"User cancelled import."}, true));
}

// While the close button is disabled (a run works), closing the window is refused.
TEST_F(Win32WindowsTest, CloseIsRefusedWhileTheCloseButtonIsDisabled) {
  ShowMainWindow();
  ::EnableWindow(Control(IDCANCEL), FALSE);
  ::SendMessageW(view.Window(), WM_CLOSE, 0, 0);
  EXPECT_NO_THROW(gui.RethrowStored());
  EXPECT_TRUE(::IsWindowVisible(view.Window()));
  ::EnableWindow(Control(IDCANCEL), TRUE);
  ::SendMessageW(view.Window(), WM_CLOSE, 0, 0);
  EXPECT_THROW(gui.RunMessageLoop(), ProgramEnded);
}

// A path typed into the file dialog lands in the path box.
TEST_F(Win32WindowsTest, BrowseTakesThePathChosenInTheFileDialog) {
  ShowMainWindow();
  const std::string chosen = dir.File("chosen.csv");
  testing::WriteFile(chosen, "x");
  constexpr int kFileNameBox = 0x47c;  // the file-name combo box of the open dialog
  DialogDriver driver({TypeAndClick(kFileNameBox, chosen, IDOK)});
  ::SendMessageW(view.Window(), WM_COMMAND, IDC_BROWSE, 0);
  EXPECT_EQ(driver.captions, std::vector<std::string>{"Import"});
  EXPECT_EQ(TextOf(Control(IDC_PATH)), chosen);
  EXPECT_EQ(form.FileDialogFolder(), dir.Path() + "\\");
}

// An export dropped onto the window fills the path box.
TEST_F(Win32WindowsTest, DroppedFileFillsThePathBox) {
  ShowMainWindow();
  const std::wstring path = Wide(dir.File("Müller €.csv"));
  const std::size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
  HGLOBAL memory = ::GlobalAlloc(GHND, bytes);
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::copy(path.begin(), path.end(), reinterpret_cast<wchar_t*>(drop + 1));
  ::GlobalUnlock(memory);
  ::SendMessageW(view.Window(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  EXPECT_EQ(TextOf(Control(IDC_PATH)), dir.File("Müller €.csv"));
  EXPECT_EQ(form.txtImportDatei, dir.File("Müller €.csv"));
}

// A dialog inside a run shows the default pointer; the run's hourglass comes back after
// it and goes with the outermost guard.
TEST(HourglassTest, NestedGuardsKeepTheHourglassUntilTheOutermostEnds) {
  Win32Ui gui;
  {
    cSanduhr run(gui);
    {
      cSanduhr dialog(gui);
      dialog.DialogOhneSanduhr(true);
      EXPECT_FALSE(gui.Hourglass().HourglassShown());
    }
    EXPECT_TRUE(gui.Hourglass().HourglassShown());
  }
  EXPECT_FALSE(gui.Hourglass().HourglassShown());
  EXPECT_EQ(gui.Hourglass().Depth(), 0);
}

TEST_F(Win32WindowsTest, SerialDialogsAnswerByTheirButtonsAndKeys) {
  const SerialAutoDialogArgs autoArgs{"Seriennummer-Eingabe", "Frage", "Ja, künstlich", "Manuell",
                                      "&Abbrechen",           false};
  auto autoAnswer = [&](SerialAutoDialogArgs args, DialogDriver::Step step) {
    DialogDriver driver({std::move(step)});
    const SerialAutoChoice choice = gui.ShowSerialAutoDialog(args);
    return driver.captions.size() == 1 ? static_cast<int>(choice) : -1;
  };
  EXPECT_EQ(autoAnswer(autoArgs, Click(IDOK)), static_cast<int>(SerialAutoChoice::Auto));
  EXPECT_EQ(autoAnswer(autoArgs, Press(VK_RETURN)), static_cast<int>(SerialAutoChoice::Auto));
  EXPECT_EQ(autoAnswer(autoArgs, Click(IDC_MANUAL)), static_cast<int>(SerialAutoChoice::Manual));
  EXPECT_EQ(autoAnswer(autoArgs, Press(VK_ESCAPE)), static_cast<int>(SerialAutoChoice::Cancel));

  // Yes/no mode: no manual button; yes as wide as no, just left of it.
  SerialAutoDialogArgs yesNo = autoArgs;
  yesNo.yesNoMode = true;
  bool manualHidden = false;
  int widthDifference = -1;
  EXPECT_EQ(autoAnswer(yesNo,
                       [&](HWND dialog) {
                         RECT yes{}, no{};
                         ::GetWindowRect(::GetDlgItem(dialog, IDOK), &yes);
                         ::GetWindowRect(::GetDlgItem(dialog, IDCANCEL), &no);
                         widthDifference = (yes.right - yes.left) - (no.right - no.left);
                         manualHidden = !::IsWindowVisible(::GetDlgItem(dialog, IDC_MANUAL)) &&
                                        yes.right < no.left;
                         Click(IDCANCEL)(dialog);
                       }),
            static_cast<int>(SerialAutoChoice::Cancel));
  EXPECT_TRUE(manualHidden);
  EXPECT_EQ(widthDifference, 0);

  const SerialNoPatientDialogArgs noPatient{"Seriennummer-Eingabe", "Kein Patient", "Öffnen",
                                            "Manuell", "&Abbrechen"};
  // The focus starts on the default button (manual entry), so Enter and Space agree.
  for (const WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_SPACE}}) {
    DialogDriver driver({[&](HWND dialog) {
      HWND focus = ::GetFocus();
      ::PostMessageW(focus, WM_KEYDOWN, key, 0);
      ::PostMessageW(focus, WM_KEYUP, key, 0);
      ::PostMessageW(focus, WM_CHAR, key, 0);
      (void)dialog;
    }});
    EXPECT_EQ(gui.ShowSerialNoPatientDialog(noPatient), SerialNoPatientChoice::Manual) << key;
  }
  for (const auto& [step, expected] :
       std::vector<std::pair<DialogDriver::Step, SerialNoPatientChoice>>{
           {Click(IDC_OPEN_PATIENT), SerialNoPatientChoice::OpenPatient},
           {Click(IDC_MANUAL), SerialNoPatientChoice::Manual},
           {Press(VK_ESCAPE), SerialNoPatientChoice::Cancel}}) {
    DialogDriver driver({step});
    EXPECT_EQ(gui.ShowSerialNoPatientDialog(noPatient), expected);
  }

  SerialEntryDialogArgs entry{"Seriennummer-Eingabe", "Bitte eingeben", "&Ok",
                              "&Abbrechen",           "proposal",       ""};
  std::string selectedAtLoad;
  {
    DialogDriver driver({[&](HWND dialog) {
      DWORD start = 0, end = 0;
      ::SendMessageW(::GetDlgItem(dialog, IDC_SERIAL_TEXT), EM_GETSEL,
                     reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
      selectedAtLoad = std::to_string(start) + "-" + std::to_string(end);
      TypeAndClick(IDC_SERIAL_TEXT, "AB 12", IDOK)(dialog);
    }});
    const SerialEntryResult typed = gui.ShowSerialEntryDialog(entry);
    EXPECT_TRUE(typed.confirmed);
    EXPECT_EQ(typed.text, "AB 12");
  }
  EXPECT_EQ(selectedAtLoad, "0-8");
  // An empty box cannot be confirmed: OK is disabled until something is typed.
  {
    SerialEntryDialogArgs empty = entry;
    empty.initialText = "";
    bool disabledWhenEmpty = false, enabledWhenTyped = false;
    DialogDriver driver({[&](HWND dialog) {
      HWND ok = ::GetDlgItem(dialog, IDOK);
      disabledWhenEmpty = !::IsWindowEnabled(ok);
      ::SetDlgItemTextW(dialog, IDC_SERIAL_TEXT, L"7");
      enabledWhenTyped = ::IsWindowEnabled(ok) != FALSE;
      ::SendMessageW(ok, BM_CLICK, 0, 0);
    }});
    EXPECT_EQ(gui.ShowSerialEntryDialog(empty).text, "7");
    EXPECT_TRUE(disabledWhenEmpty && enabledWhenTyped);
  }
  DialogDriver cancel({Click(IDCANCEL)});
  EXPECT_FALSE(gui.ShowSerialEntryDialog(entry).confirmed);
}

}  // namespace
}  // namespace tavrin
