#include "ui/win32/win32_ui.h"

#include <vector>

#include "app/file_dialog.h"
#include "ui/win32/flood_counter.h"
#include "ui/win32/main_window_view.h"
#include "ui/win32/window_layout.h"
// After the program's own headers (see win32_api.h).
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_api.h"

// After windows.h, which it needs.
#include <commdlg.h>

namespace tavrin {

namespace {

UINT ButtonFlags(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok:
      return MB_OK;
    case MessageButtons::OkCancel:
      return MB_OKCANCEL;
    case MessageButtons::YesNo:
      return MB_YESNO;
    case MessageButtons::YesNoCancel:
      return MB_YESNOCANCEL;
    case MessageButtons::RetryCancel:
      return MB_RETRYCANCEL;
  }
  return MB_OK;
}

UINT IconFlags(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::None:
      return 0;
    case MessageIcon::Critical:
      return MB_ICONERROR;
    case MessageIcon::Question:
      return MB_ICONQUESTION;
    case MessageIcon::Exclamation:
      return MB_ICONWARNING;
    case MessageIcon::Information:
      return MB_ICONINFORMATION;
  }
  return 0;
}

// How often the dialog is tried again with another initial folder after it failed to
// open: a folder that was set is cleared first, then the root of the system drive is
// tried.
constexpr int kFileDialogAttempts = 3;

}  // namespace

MessageResult Win32Ui::ShowMessage(const std::string& text, const std::string& caption,
                                   MessageButtons buttons, MessageIcon icon) {
  return MessageBoxOwned(text, caption, ButtonFlags(buttons) | IconFlags(icon));
}

MessageResult Win32Ui::MessageBoxOwned(const std::string& text, const std::string& caption,
                                       unsigned flags) {
  cSanduhr guard(*this);
  guard.DialogOhneSanduhr(true);
  HWND owner = OwnerWindow();
  // Without a main window the box must still come to the front: the program may have
  // been started by the host behind its own window.
  if (owner == nullptr) flags |= MB_SETFOREGROUND | MB_TOPMOST;
  const int answer = ::MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), flags);
  RethrowStored();
  switch (answer) {
    case IDOK:
      return MessageResult::Ok;
    case IDRETRY:
      return MessageResult::Retry;
    case IDYES:
      return MessageResult::Yes;
    case IDNO:
      return MessageResult::No;
    default:
      return MessageResult::Cancel;
  }
}

FileDialogResult Win32Ui::ChooseFile(const FileDialogArgs& args) {
  const FileFilterSpec spec = ParseFileFilter(args.filter);
  // The strings hold NULs of their own (the filter list, the padded name): converted
  // whole, the NULs stay.
  const std::wstring filter = Wide(NulSeparatedFilter(spec.filter));
  const std::wstring title = Wide(args.title);
  const std::wstring extension = Wide(spec.defaultExtension);
  std::string initialFolder = args.initialFolder;

  cSanduhr guard(*this);
  guard.DialogOhneSanduhr(true);
  for (int attempt = 0; attempt < kFileDialogAttempts; ++attempt) {
    std::wstring name = Wide(FileNameBuffer(args.defaultFileName));
    name.resize(std::max(name.size(), kFileNameBufferSize) + 1, L'\0');
    const std::wstring folder = Wide(initialFolder);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = OwnerWindow();
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = kInitialFilterIndex;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    dialog.Flags = spec.openDialog ? kOpenDialogFlags : kSaveDialogFlags;

    const BOOL chosen = spec.openDialog ? ::GetOpenFileNameW(&dialog) : ::GetSaveFileNameW(&dialog);
    RethrowStored();
    if (chosen) {
      FileDialogResult result;
      result.chosen = true;
      result.path = Narrow(name.c_str());  // up to the first NUL
      result.folder = FolderOfPath(result.path);
      return result;
    }
    if (::CommDlgExtendedError() == 0) break;  // cancelled
    initialFolder = InitialFolderAfterDialogError(initialFolder);
  }
  return {};
}

void Win32Ui::SetStatusText(const std::string& text) {
  if (mainWindow_) mainWindow_->SetStatus(text);
}

void Win32Ui::DoEvents() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The message loop further out must see it too.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    HWND main = OwnerWindow();
    if (main && ::IsDialogMessageW(main, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  // What a procedure caught here stays stored for the message loop: DoEvents is called
  // from the middle of the core's work (the export reader may have a second thread
  // running), where an exception must not break in.
}

void Win32Ui::ShowProgress(ProgressStep step, std::uint64_t done, std::uint64_t total) {
  if (!mainWindow_) return;
  const int percent = ImportProgressPercent(step, done, total);
  if (percent > 0) mainWindow_->Progress().Flood(percent, 0);
}

void Win32Ui::KeepMainWindowOnTop(bool onTop) {
  HWND window = OwnerWindow();
  if (window == nullptr) return;
  RECT rect{};
  ::GetWindowRect(window, &rect);
  ::SetWindowPos(window, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, rect.left, rect.top,
                 rect.right - rect.left, rect.bottom - rect.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

HWND__* Win32Ui::OwnerWindow() const {
  return mainWindow_ ? mainWindow_->Window() : nullptr;
}

HICON__* Win32Ui::HandCursor() {
  if (handCursor_ == nullptr) handCursor_ = ::LoadCursorW(nullptr, IDC_HAND);
  return handCursor_;
}

void Win32Ui::RunMessageLoop() {
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    HWND main = OwnerWindow();
    if (main && ::IsDialogMessageW(main, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  RethrowStored();
}

void Win32Ui::StoreException(std::exception_ptr error) {
  if (!stored_) stored_ = std::move(error);
  ::PostQuitMessage(0);
}

void Win32Ui::RethrowStored() {
  if (!stored_) return;
  std::exception_ptr error = std::move(stored_);
  stored_ = nullptr;
  // The quit message posted with it has done its work once the exception travels on.
  MSG quit{};
  ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  std::rethrow_exception(error);
}

int DpiOfWindow(HWND__* window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  // Windows 10 1607 and later; earlier systems scale every window alike.
  static const auto getDpiForWindow =
      SystemFunction<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
  if (getDpiForWindow && window) {
    if (const UINT dpi = getDpiForWindow(window); dpi > 0) return static_cast<int>(dpi);
  }
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

HFONT__* CreateWindowFont(const std::string& languageCode, int dpi) {
  const std::wstring face = Wide(FontFaceForLanguage(languageCode));
  return ::CreateFontW(-::MulDiv(kFontPoints, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

}  // namespace tavrin
