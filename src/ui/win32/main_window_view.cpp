#include "ui/win32/main_window_view.h"

#include <exception>

#include "app/main_window.h"
#include "app/mnemonics.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/win32_ui.h"
// After the program's own headers (see win32_api.h).
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_api.h"

namespace tavrin {

namespace {

constexpr wchar_t kClassName[] = L"TavrinPluginMainWindow";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr COLORREF kLogoColor = RGB(0, 84, 159);  // the maker's blue
constexpr COLORREF kProgressBackColor = RGB(255, 255, 255);
constexpr char kMakerPage[] = "https://www.kelsar.example/";

// AdjustWindowRectExForDpi where the system has it (Windows 10 1607 and later).
RECT WindowRectForClient(int width, int height, int dpi) {
  RECT rect{0, 0, width, height};
  using AdjustFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi =
      SystemFunction<AdjustFunction>(L"user32.dll", "AdjustWindowRectExForDpi");
  if (adjustForDpi) {
    adjustForDpi(&rect, kWindowStyle, FALSE, 0, static_cast<UINT>(dpi));
  } else {
    ::AdjustWindowRectEx(&rect, kWindowStyle, FALSE, 0);
  }
  return rect;
}

void Place(HWND control, const ControlRect& rect) {
  ::MoveWindow(control, rect.x, rect.y, rect.width, rect.height, TRUE);
}

void DrawLogo(const DRAWITEMSTRUCT& item, HFONT baseFont) {
  HDC dc = item.hDC;
  RECT rect = item.rcItem;
  ::FillRect(dc, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
  LOGFONTW bold{};
  ::GetObjectW(baseFont, sizeof(bold), &bold);
  bold.lfWeight = FW_BOLD;
  bold.lfHeight = (rect.bottom - rect.top) * 3 / 4;
  HFONT font = ::CreateFontIndirectW(&bold);
  HGDIOBJ old = ::SelectObject(dc, font);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, kLogoColor);
  ::DrawTextW(dc, L"KELSAR", -1, &rect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  ::SelectObject(dc, old);
  ::DeleteObject(font);
}

}  // namespace

// The window procedure. Whatever the form throws is kept by the Ui and ends the message
// loop; nothing crosses into Windows.
struct MainWindowProc {
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* view = reinterpret_cast<MainWindowView*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
      view = static_cast<MainWindowView*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
      view->window_ = window;
    }
    if (view == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    try {
      return Handle(*view, window, message, wParam, lParam);
    } catch (...) {
      // No C++ exception may cross into Windows: kept, it ends the message loop and is
      // rethrown where the loop returns (Win32Ui::RethrowStored), to a handler that traces.
      view->ui_.StoreException(std::current_exception());
      return 0;
    }
  }

  static LRESULT Handle(MainWindowView& view, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam) {
    switch (message) {
      case WM_COMMAND:
        switch (LOWORD(wParam)) {
          case IDC_BROWSE:
            view.Browse();
            return 0;
          case IDOK:
            view.StartImport();
            return 0;
          case IDCANCEL:
            view.CloseClicked();
            return 0;
          case IDC_LOGO:
            if (HIWORD(wParam) == STN_CLICKED) view.form_.imgKELSAR_Click();
            return 0;
          default:
            break;
        }
        break;
      case DM_GETDEFID:
        // Enter presses the start button (IsDialogMessage asks the window for it).
        return MAKELRESULT(IDOK, DC_HASDEFID);
      case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) view.Activated();
        break;
      case WM_SETCURSOR:
        if (view.ui_.Hourglass().HourglassShown()) {
          ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
          return TRUE;
        }
        if (reinterpret_cast<HWND>(wParam) == view.Control(IDC_LOGO)) {
          HCURSOR hand = view.ui_.HandCursor();
          if (::GetCursor() != hand) ::SetCursor(hand);
          return TRUE;
        }
        break;
      case WM_DRAWITEM:
        if (wParam == IDC_LOGO) {
          DrawLogo(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), view.font_);
          return TRUE;
        }
        break;
      case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        view.ApplyLayout(HIWORD(wParam));
        ::SetWindowPos(window, nullptr, suggested->left, suggested->top,
                       suggested->right - suggested->left, suggested->bottom - suggested->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
      }
      case WM_CLOSE:
        view.CloseRequested();
        return 0;
      case WM_DROPFILES:
        view.FilesDropped(reinterpret_cast<HDROP>(wParam));
        return 0;
      default:
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
};

MainWindowView::MainWindowView(Win32Ui& ui, frmMeterImport& form) : ui_(ui), form_(form) {
  ui_.SetMainWindow(this);
}

MainWindowView::~MainWindowView() {
  ui_.SetMainWindow(nullptr);
  if (window_) {
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
  }
  if (font_) ::DeleteObject(font_);
}

void MainWindowView::Show(int showCommand) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  if (!::GetClassInfoExW(instance, kClassName, &windowClass)) {
    windowClass.lpfnWndProc = &MainWindowProc::Proc;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_TAVRIN));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassExW(&windowClass);
  }
  const MainWindowTexts& texts = form_.Texts();
  // Made at its place first, hidden, so that its resolution is known before it is sized.
  ::CreateWindowExW(0, kClassName, Wide(texts.caption).c_str(), kWindowStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance, this);
  if (window_ == nullptr) return;
  CreateControls();
  const int dpi = DpiOfWindow(window_);
  ApplyLayout(dpi);

  const MainWindowLayout layout = LayoutMainWindow(dpi);
  const RECT frame = WindowRectForClient(layout.clientWidth, layout.clientHeight, dpi);
  RECT area{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  ::SetWindowPos(window_, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);

  ::ShowWindow(window_, showCommand == SW_HIDE ? SW_SHOWNORMAL : showCommand);
  ::UpdateWindow(window_);
  ::SetFocus(Control(IDC_PATH));
}

void MainWindowView::CreateControls() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  const MainWindowTexts& texts = form_.Texts();
  auto make = [&](const wchar_t* className, const std::string& text, DWORD style, int id,
                  DWORD exStyle = 0) {
    return ::CreateWindowExW(exStyle, className, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                             0, 0, 0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             instance, nullptr);
  };
  // Every button can be pressed with Alt and a letter.
  const std::vector<std::string> buttons =
      WithMnemonics({texts.browseButton, texts.startButton, texts.closeButton});
  // Made in the Tab order: path box, browse, start, close.
  make(L"STATIC", texts.instruction, SS_LEFT | SS_NOPREFIX, IDC_INSTRUCTION);
  make(L"EDIT", form_.txtImportDatei, WS_TABSTOP | ES_AUTOHSCROLL, IDC_PATH, WS_EX_CLIENTEDGE);
  make(L"BUTTON", buttons[0], WS_TABSTOP | BS_PUSHBUTTON, IDC_BROWSE);
  make(L"BUTTON", buttons[1], WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK);
  make(L"BUTTON", buttons[2], WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL);
  // An export dragged from the Explorer onto the window fills the path box.
  ::DragAcceptFiles(window_, TRUE);
  make(L"STATIC", "", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, IDC_STATUS);
  make(L"STATIC", "", SS_ETCHEDHORZ, IDC_SEPARATOR);
  make(L"STATIC", "", SS_OWNERDRAW | SS_NOTIFY, IDC_LOGO);
  make(L"STATIC", texts.version, SS_LEFT | SS_NOPREFIX, IDC_VERSION);

  progress_.Create(window_, IDC_PROGRESS);
  progress_.SetFloodSpace(4);
  progress_.SetFloodHeight(11);
  progress_.SetFloodWidth(10);
  progress_.SetBackColor(kProgressBackColor);
  progress_.SetDoEvents([this] { ui_.DoEvents(); });
}

void MainWindowView::ApplyLayout(int dpi) {
  HFONT font = CreateWindowFont(ui_.LanguageCode(), dpi);
  for (HWND child = ::GetWindow(window_, GW_CHILD); child;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  if (font_) ::DeleteObject(font_);
  font_ = font;

  const MainWindowLayout layout = LayoutMainWindow(dpi);
  Place(Control(IDC_INSTRUCTION), layout.instruction);
  Place(Control(IDC_PATH), layout.pathBox);
  Place(Control(IDC_BROWSE), layout.browse);
  Place(Control(IDC_STATUS), layout.status);
  progress_.Move(layout.progress);
  Place(Control(IDC_SEPARATOR), layout.separator);
  Place(Control(IDC_LOGO), layout.logo);
  Place(Control(IDC_VERSION), layout.version);
  Place(Control(IDOK), layout.start);
  Place(Control(IDCANCEL), layout.close);
}

HWND__* MainWindowView::Control(int id) const {
  return window_ ? ::GetDlgItem(window_, id) : nullptr;
}

void MainWindowView::SetStatus(const std::string& text) {
  ::SetWindowTextW(Control(IDC_STATUS), Wide(text).c_str());
  ::UpdateWindow(Control(IDC_STATUS));
}

std::string MainWindowView::PathText() const {
  HWND box = Control(IDC_PATH);
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(box)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(::GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

void MainWindowView::SetPathText(const std::string& text) {
  ::SetWindowTextW(Control(IDC_PATH), Wide(text).c_str());
}

void MainWindowView::EnableButtons(bool enabled) {
  for (int id : {IDC_BROWSE, IDOK, IDCANCEL}) ::EnableWindow(Control(id), enabled ? TRUE : FALSE);
}

void MainWindowView::Browse() {
  if (running_) return;
  form_.txtImportDatei = PathText();
  form_.cmdDurchsuchen_Click();
  SetPathText(form_.txtImportDatei);
}

void MainWindowView::StartImport() {
  if (running_ || !::IsWindowEnabled(Control(IDOK))) return;
  form_.txtImportDatei = PathText();
  // While the export is read and converted, the buttons wait and the pointer is the
  // hourglass; the run returns when it was cancelled or the file could not be read.
  struct RunState {
    MainWindowView& view;
    explicit RunState(MainWindowView& v) : view(v) {
      view.running_ = true;
      view.EnableButtons(false);
      view.progress_.FloodInit(100);
    }
    ~RunState() {
      view.progress_.FloodEnd();
      view.EnableButtons(true);
      view.running_ = false;
      ::SetFocus(view.Control(IDC_PATH));
    }
  } runState(*this);
  cSanduhr hourglass(ui_);
  form_.cmdImportStarten_Click();
}

void MainWindowView::FilesDropped(HDROP__* drop) {
  std::vector<std::string> paths;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
    paths.push_back(Narrow(path));
  }
  ::DragFinish(drop);
  if (running_) return;
  form_.FilesDropped(paths);
  SetPathText(form_.txtImportDatei);
  ::SetFocus(Control(IDC_PATH));
}

void MainWindowView::CloseClicked() {
  if (!::IsWindowEnabled(Control(IDCANCEL))) return;
  ::ShowWindow(window_, SW_HIDE);
  form_.cmdSchliessen_Click();
}

void MainWindowView::CloseRequested() {
  // Refused while the close button waits for the run.
  if (!::IsWindowEnabled(Control(IDCANCEL))) return;
  form_.Form_Unload();
}

void MainWindowView::Activated() {
  if (activatedOnce_) return;
  activatedOnce_ = true;
  ui_.KeepMainWindowOnTop(true);
}

}  // namespace tavrin
