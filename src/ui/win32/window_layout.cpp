#include "ui/win32/window_layout.h"

#include <array>
#include <cctype>

namespace tavrin {

namespace {

ControlRect Scaled(const ControlRect& at96, int dpi) {
  // Edges are scaled, not sizes, so that controls which touch at 96 dpi still touch and
  // controls apart stay apart after rounding.
  const int left = ScaleToDpi(at96.x, dpi);
  const int top = ScaleToDpi(at96.y, dpi);
  return {left, top, ScaleToDpi(at96.Right(), dpi) - left, ScaleToDpi(at96.Bottom(), dpi) - top};
}

}  // namespace

int ScaleToDpi(int pixelsAt96, int dpi) {
  return (pixelsAt96 * dpi + 48) / 96;
}

MainWindowLayout LayoutMainWindow(int dpi) {
  if (dpi <= 0) dpi = 96;
  constexpr int kMargin = 12;
  constexpr int kWidth = 480;
  constexpr int kInner = kWidth - 2 * kMargin;
  constexpr int kButtonHeight = 26;
  constexpr int kBrowseWidth = 96;
  constexpr int kStartWidth = 132;
  constexpr int kCloseWidth = 96;

  MainWindowLayout at96;
  at96.clientWidth = kWidth;
  at96.instruction = {kMargin, 12, kInner, 20};
  at96.pathBox = {kMargin, 38, kInner - kBrowseWidth - 8, 24};
  at96.browse = {kWidth - kMargin - kBrowseWidth, 37, kBrowseWidth, kButtonHeight};
  at96.status = {kMargin, 72, kInner, 20};
  at96.progress = {kMargin, 96, kInner, 19};
  at96.separator = {kMargin, 126, kInner, 2};
  at96.logo = {kMargin, 138, 104, 28};
  at96.version = {kMargin + 112, 144, 96, 18};
  at96.close = {kWidth - kMargin - kCloseWidth, 139, kCloseWidth, kButtonHeight};
  at96.start = {at96.close.x - 8 - kStartWidth, 139, kStartWidth, kButtonHeight};
  at96.clientHeight = 139 + kButtonHeight + kMargin;

  MainWindowLayout layout;
  layout.clientWidth = ScaleToDpi(at96.clientWidth, dpi);
  layout.clientHeight = ScaleToDpi(at96.clientHeight, dpi);
  layout.instruction = Scaled(at96.instruction, dpi);
  layout.pathBox = Scaled(at96.pathBox, dpi);
  layout.browse = Scaled(at96.browse, dpi);
  layout.status = Scaled(at96.status, dpi);
  layout.progress = Scaled(at96.progress, dpi);
  layout.separator = Scaled(at96.separator, dpi);
  layout.logo = Scaled(at96.logo, dpi);
  layout.version = Scaled(at96.version, dpi);
  layout.start = Scaled(at96.start, dpi);
  layout.close = Scaled(at96.close, dpi);
  return layout;
}

std::string FontFaceForLanguage(std::string_view languageCode) {
  struct ScriptFont {
    const char* code;
    const char* face;
  };
  static constexpr std::array<ScriptFont, 5> kScriptFonts{{
      {"JA", "Yu Gothic UI"},
      {"ZH", "Microsoft YaHei UI"},
      {"KO", "Malgun Gothic"},
      {"TH", "Leelawadee UI"},
      {"HI", "Nirmala UI"},
  }};
  std::string code;
  for (char c : languageCode.substr(0, 2)) {
    code += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  for (const ScriptFont& font : kScriptFonts) {
    if (code == font.code) return font.face;
  }
  return "Segoe UI";
}

}  // namespace tavrin
