// The three serial-number dialogs (frmSeriennrAuto, frmSeriennrNoPatient,
// frmSeriennummer): modal, owned by the main window, above other windows while open.
// Their templates are in the resource script; the texts come from the caller, and what an
// answer means is decided by the core.

#include <string>
#include <utility>
#include <vector>

#include "app/mnemonics.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/win32_ui.h"
#include "ui/win32/window_layout.h"
// After the program's own headers (see win32_api.h).
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_api.h"

namespace tavrin {

namespace {

// What one dialog shows and what it gives back.
struct SerialDialog {
  SerialDialog(Win32Ui& owner, std::string captionText, std::string labelText,
               std::vector<std::pair<int, std::string>> buttonTexts)
      : ui(owner),
        caption(std::move(captionText)),
        label(std::move(labelText)),
        buttons(std::move(buttonTexts)) {}

  Win32Ui& ui;
  std::string caption;
  std::string label;
  std::vector<std::pair<int, std::string>> buttons;  // control number, text
  bool yesNoMode = false;                            // frmSeriennrAuto as a yes/no question
  bool hasTextBox = false;                           // frmSeriennummer
  std::string text;                                  // the text box, in and out
  HFONT font = nullptr;                              // a script font, when the language needs one
};

// The gap between the yes and the no button in yes/no mode: 120 twips, 8 pixels at 96 dpi.
constexpr int kYesNoGapAt96 = 8;

void CenterOverOwner(HWND dialog) {
  HWND owner = ::GetWindow(dialog, GW_OWNER);
  RECT area{};
  if (owner && ::IsWindowVisible(owner)) {
    ::GetWindowRect(owner, &area);
  } else {
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  RECT rect{};
  ::GetWindowRect(dialog, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  ::SetWindowPos(dialog, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The yes button takes the width of the no button and stands just left of it.
void ArrangeYesNo(HWND dialog) {
  ::ShowWindow(::GetDlgItem(dialog, IDC_MANUAL), SW_HIDE);
  HWND yes = ::GetDlgItem(dialog, IDOK);
  HWND no = ::GetDlgItem(dialog, IDCANCEL);
  RECT noRect{};
  RECT yesRect{};
  ::GetWindowRect(no, &noRect);
  ::GetWindowRect(yes, &yesRect);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&noRect), 2);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&yesRect), 2);
  const int width = noRect.right - noRect.left;
  const int gap = ::MulDiv(kYesNoGapAt96, DpiOfWindow(dialog), 96);
  ::SetWindowPos(yes, nullptr, noRect.left - width - gap, yesRect.top, width,
                 yesRect.bottom - yesRect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CALLBACK SetFontOfChild(HWND child, LPARAM font) {
  ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

// Returns FALSE when it has put the focus itself.
INT_PTR InitDialog(HWND window, SerialDialog& dialog) {
  ::SetWindowTextW(window, Wide(dialog.caption).c_str());
  ::SetDlgItemTextW(window, IDC_LABEL, Wide(dialog.label).c_str());
  std::vector<std::string> captions;
  for (const auto& button : dialog.buttons) captions.push_back(button.second);
  // Hidden in yes/no mode, the manual button must not take a letter from the others.
  if (dialog.yesNoMode) captions.erase(captions.begin() + 1);
  captions = WithMnemonics(std::move(captions));
  if (dialog.yesNoMode) captions.insert(captions.begin() + 1, dialog.buttons[1].second);
  for (std::size_t i = 0; i < captions.size(); ++i) {
    ::SetDlgItemTextW(window, dialog.buttons[i].first, Wide(captions[i]).c_str());
  }
  if (dialog.yesNoMode) ArrangeYesNo(window);

  const int dpi = DpiOfWindow(window);
  if (FontFaceForLanguage(dialog.ui.LanguageCode()) != FontFaceForLanguage("")) {
    dialog.font = CreateWindowFont(dialog.ui.LanguageCode(), dpi);
    ::EnumChildWindows(window, &SetFontOfChild, reinterpret_cast<LPARAM>(dialog.font));
  }
  CenterOverOwner(window);
  ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  if (!dialog.hasTextBox) {
    // The focus starts on the default button, so that Enter and Space do the same.
    const LRESULT defaultId = ::SendMessageW(window, DM_GETDEFID, 0, 0);
    if (HIWORD(defaultId) == DC_HASDEFID) {
      ::SendMessageW(window, WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(::GetDlgItem(window, LOWORD(defaultId))), TRUE);
      return FALSE;
    }
    return TRUE;
  }
  HWND box = ::GetDlgItem(window, IDC_SERIAL_TEXT);
  ::SetWindowTextW(box, Wide(dialog.text).c_str());
  // An empty box cannot be confirmed.
  ::EnableWindow(::GetDlgItem(window, IDOK), ::GetWindowTextLengthW(box) > 0);
  ::SetFocus(box);
  // What is typed replaces the proposal.
  ::SendMessageW(box, EM_SETSEL, 0, -1);
  return FALSE;
}

void CloseDialog(HWND window, SerialDialog& dialog, int button) {
  if (dialog.hasTextBox) {
    HWND box = ::GetDlgItem(window, IDC_SERIAL_TEXT);
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
    dialog.text = Narrow(text);
  }
  ::SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::EndDialog(window, button);
}

INT_PTR CALLBACK SerialDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* dialog = reinterpret_cast<SerialDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<SerialDialog*>(lParam);
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
  }
  if (dialog == nullptr) return FALSE;
  try {
    switch (message) {
      case WM_INITDIALOG:
        return InitDialog(window, *dialog);
      case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == IDC_SERIAL_TEXT) {
          // Reached with Tab or an Alt shortcut, the box offers its text for replacing.
          if (HIWORD(wParam) == EN_CHANGE) {
            wchar_t first[2] = {};
            ::GetWindowTextW(reinterpret_cast<HWND>(lParam), first, 2);
            ::EnableWindow(::GetDlgItem(window, IDOK), first[0] != L'\0');
          }
          if (HIWORD(wParam) == EN_SETFOCUS &&
              (::GetKeyState(VK_TAB) < 0 || ::GetKeyState(VK_MENU) < 0)) {
            ::SendMessageW(reinterpret_cast<HWND>(lParam), EM_SETSEL, 0, -1);
          }
          return TRUE;
        }
        // Enter on a disabled OK button (an empty serial-number box) does nothing.
        if (id == IDOK && !::IsWindowEnabled(::GetDlgItem(window, IDOK))) return TRUE;
        if (id == IDOK || id == IDCANCEL || id == IDC_MANUAL || id == IDC_OPEN_PATIENT) {
          CloseDialog(window, *dialog, id);
          return TRUE;
        }
        return FALSE;
      }
      default:
        return FALSE;
    }
  } catch (...) {
    // No C++ exception may cross into Windows: kept and rethrown once the dialog is
    // closed (RunSerialDialog), where the core's handlers trace it.
    dialog->ui.StoreException(std::current_exception());
    ::EndDialog(window, IDCANCEL);
    return TRUE;
  }
}

// Shows the dialog and returns the number of the button that closed it.
int RunSerialDialog(int templateId, SerialDialog& dialog) {
  cSanduhr guard(dialog.ui);
  guard.DialogOhneSanduhr(true);
  const INT_PTR button = ::DialogBoxParamW(::GetModuleHandleW(nullptr),
                                           MAKEINTRESOURCEW(templateId), dialog.ui.OwnerWindow(),
                                           &SerialDialogProc, reinterpret_cast<LPARAM>(&dialog));
  if (dialog.font) ::DeleteObject(dialog.font);
  dialog.ui.RethrowStored();
  return button == -1 ? IDCANCEL : static_cast<int>(button);
}

}  // namespace

SerialAutoChoice Win32Ui::ShowSerialAutoDialog(const SerialAutoDialogArgs& args) {
  SerialDialog dialog(
      *this, args.caption, args.label,
      {{IDOK, args.autoButton}, {IDC_MANUAL, args.manualButton}, {IDCANCEL, args.cancelButton}});
  dialog.yesNoMode = args.yesNoMode;
  switch (RunSerialDialog(IDD_SERIAL_AUTO, dialog)) {
    case IDOK:
      return SerialAutoChoice::Auto;
    case IDC_MANUAL:
      return SerialAutoChoice::Manual;
    default:
      return SerialAutoChoice::Cancel;
  }
}

SerialNoPatientChoice Win32Ui::ShowSerialNoPatientDialog(const SerialNoPatientDialogArgs& args) {
  SerialDialog dialog(*this, args.caption, args.label,
                      {{IDC_OPEN_PATIENT, args.openButton},
                       {IDC_MANUAL, args.manualButton},
                       {IDCANCEL, args.cancelButton}});
  switch (RunSerialDialog(IDD_SERIAL_NO_PATIENT, dialog)) {
    case IDC_OPEN_PATIENT:
      return SerialNoPatientChoice::OpenPatient;
    case IDC_MANUAL:
      return SerialNoPatientChoice::Manual;
    default:
      return SerialNoPatientChoice::Cancel;
  }
}

SerialEntryResult Win32Ui::ShowSerialEntryDialog(const SerialEntryDialogArgs& args) {
  SerialDialog dialog(*this, args.caption, args.label,
                      {{IDOK, args.okButton}, {IDCANCEL, args.cancelButton}});
  dialog.hasTextBox = true;
  dialog.text = args.initialText;
  SerialEntryResult result;
  if (RunSerialDialog(IDD_SERIAL_ENTRY, dialog) != IDOK) return result;
  // The OK button stays disabled while the box is empty; the core refuses blanks alone.
  result.confirmed = true;
  result.text = dialog.text;
  return result;
}

}  // namespace tavrin
