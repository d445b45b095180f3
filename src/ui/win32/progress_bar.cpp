#include "ui/win32/progress_bar.h"

#include <algorithm>

// After the program's own headers (see win32_api.h).
#include "platform/win32/win32_api.h"

// After windows.h, which it needs.
#include <commctrl.h>

namespace tavrin {

namespace {

constexpr wchar_t kClassName[] = L"ShEProgressBar";
constexpr UINT_PTR kAnimationTimer = 1;
constexpr UINT kAnimationMilliseconds = 80;
constexpr int kAnimationBlocks = 3;  // the width of the moving picture, in blocks

// The system cursor for a pointer number of MousePointer(); null for the default.
const wchar_t* CursorOfPointer(int pointer) {
  switch (pointer) {
    case 1:
      return IDC_ARROW;
    case 2:
      return IDC_CROSS;
    case 3:
      return IDC_IBEAM;
    case 11:
      return IDC_WAIT;
    case 12:
      return IDC_NO;
    case 99:
      return IDC_HAND;
    default:
      return nullptr;
  }
}

void FillBlock(HDC dc, int left, int top, int width, int height, COLORREF color) {
  const RECT rect{left, top, left + width, top + height};
  HBRUSH brush = ::CreateSolidBrush(color);
  ::FillRect(dc, &rect, brush);
  ::DeleteObject(brush);
}

}  // namespace

// The window procedure of the control's class. It calls nothing that throws.
struct ProgressBarWindow {
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* bar = reinterpret_cast<ShEProgressBar*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
      case WM_NCCREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        break;
      }
      case WM_ERASEBKGND:
        return 1;  // WM_PAINT fills the whole control
      case WM_PAINT:
        if (bar) {
          bar->Paint();
          return 0;
        }
        break;
      case WM_SIZE:
        if (bar && bar->systemBar_) {
          ::MoveWindow(bar->systemBar_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        }
        break;
      case WM_TIMER:
        if (bar && wParam == kAnimationTimer) {
          bar->Step();
          return 0;
        }
        break;
      case WM_SETCURSOR:
        if (bar && LOWORD(lParam) == HTCLIENT) {
          if (const wchar_t* cursor = CursorOfPointer(bar->mousePointer_)) {
            ::SetCursor(::LoadCursorW(nullptr, cursor));
            return TRUE;
          }
        }
        break;
      case WM_NCDESTROY:
        if (bar) bar->window_ = nullptr;
        break;
      default:
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
};

ShEProgressBar::~ShEProgressBar() {
  if (window_) ::DestroyWindow(window_);
}

void ShEProgressBar::Create(HWND__* parent, int id) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  if (!::GetClassInfoW(instance, kClassName, &windowClass)) {
    windowClass.lpfnWndProc = &ProgressBarWindow::Proc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassW(&windowClass);
  }
  window_ = ::CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
}

void ShEProgressBar::Move(const ControlRect& rect) {
  if (window_) ::MoveWindow(window_, rect.x, rect.y, rect.width, rect.height, TRUE);
}

void ShEProgressBar::FloodInit(std::int32_t total) {
  counter_.Init(total);
  Redraw();
  if (!useSystemBar_ || !window_) return;
  if (!systemBar_) {
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&classes);
    RECT client{};
    ::GetClientRect(window_, &client);
    systemBar_ = ::CreateWindowExW(0, PROGRESS_CLASSW, L"Progress Bar", WS_CHILD | WS_VISIBLE, 0, 0,
                                   client.right, client.bottom, window_, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
  }
  if (systemBar_) {
    ::PostMessageW(systemBar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    ::PostMessageW(systemBar_, PBM_SETPOS, 0, 0);
  }
}

void ShEProgressBar::Flood(int percentage, int remaining) {
  const std::optional<int> shown = counter_.Flood(percentage, remaining, useSystemBar_);
  if (!shown) return;
  if (useSystemBar_) {
    if (systemBar_) ::PostMessageW(systemBar_, PBM_SETPOS, static_cast<WPARAM>(*shown), 0);
    if (doEvents_) doEvents_();
  } else {
    Redraw();
  }
}

void ShEProgressBar::FloodStart() {
  FloodInit(counter_.Total());
}

void ShEProgressBar::FloodEnd() {
  if (useSystemBar_) {
    if (systemBar_) ::DestroyWindow(systemBar_);
    systemBar_ = nullptr;
  } else {
    FloodInit(counter_.Total());
  }
}

void ShEProgressBar::SetBackColor(std::uint32_t color) {
  backColor_ = color;
  Redraw();
}

void ShEProgressBar::SetProgressBarColor(std::uint32_t color) {
  barColor_ = color;
  Redraw();
}

void ShEProgressBar::SetFloodWidth(int pixels) {
  floodWidth_ = std::max(1, pixels);
  Redraw();
}

void ShEProgressBar::SetFloodHeight(int pixels) {
  floodHeight_ = std::max(1, pixels);
  Redraw();
}

void ShEProgressBar::SetFloodSpace(int pixels) {
  floodSpace_ = std::max(0, pixels);
  Redraw();
}

void ShEProgressBar::FloodSizeDefault() {
  floodWidth_ = 7;
  floodHeight_ = 11;
  floodSpace_ = 2;
  Redraw();
}

void ShEProgressBar::SetInfinite(bool on) {
  infinite_ = on;
  animationBlock_ = 0;
  if (!window_) return;
  if (on) {
    ::SetTimer(window_, kAnimationTimer, kAnimationMilliseconds, nullptr);
  } else {
    ::KillTimer(window_, kAnimationTimer);
  }
  Redraw();
}

void ShEProgressBar::Redraw() {
  if (window_) ::InvalidateRect(window_, nullptr, FALSE);
}

void ShEProgressBar::Step() {
  ++animationBlock_;
  Redraw();
}

void ShEProgressBar::Paint() {
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(window_, &paint);
  RECT client{};
  ::GetClientRect(window_, &client);
  FillBlock(dc, 0, 0, client.right, client.bottom, backColor_);

  const int pitch = floodWidth_ + floodSpace_;
  const int blockCount = static_cast<int>(client.right) / pitch;
  const int top = std::max(0, static_cast<int>(client.bottom - floodHeight_) / 2);
  if (blockCount > 0) {
    int first = 0;
    int count = 0;
    if (infinite_) {
      // A short row of blocks runs from left to right and starts again.
      first = animationBlock_ % (blockCount + kAnimationBlocks) - kAnimationBlocks;
      count = kAnimationBlocks;
    } else if (!useSystemBar_) {
      count = blockCount * counter_.LastShown() / 100;
    }
    for (int i = std::max(0, first); i < std::min(blockCount, first + count); ++i) {
      FillBlock(dc, floodSpace_ + i * pitch, top, floodWidth_, floodHeight_, barColor_);
    }
  }
  ::EndPaint(window_, &paint);
}

}  // namespace tavrin
