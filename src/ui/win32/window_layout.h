#pragma once

#include <string>
#include <string_view>

namespace tavrin {

// A control's place in its window's client area, in pixels.
struct ControlRect {
  int x = 0, y = 0, width = 0, height = 0;
  int Right() const { return x + width; }
  int Bottom() const { return y + height; }
};

// Where the main window's controls go at one screen resolution.
struct MainWindowLayout {
  int clientWidth = 0, clientHeight = 0;
  ControlRect instruction;  // lblAuswahl
  ControlRect pathBox;      // txtImportDatei
  ControlRect browse;       // cmdDurchsuchen
  ControlRect status;       // lblStatus
  ControlRect progress;     // pbarStatus
  ControlRect separator;    // linTrenner
  ControlRect logo;         // imgKELSAR
  ControlRect version;      // lblVersion
  ControlRect start;        // cmdImportStarten
  ControlRect close;        // cmdSchliessen
};

// The main window laid out for `dpi` dots per inch (96 = 100 %). The places are set at
// 96 dpi with room for the longest texts of the shipped languages in the default font,
// and scale with the resolution, so that no control covers or clips another at any
// scale.
MainWindowLayout LayoutMainWindow(int dpi);

// A length of 96-dpi pixels at `dpi`, rounded to the nearest pixel.
int ScaleToDpi(int pixelsAt96, int dpi);

// The font the windows use for a language code (two letters, either case, as the
// language files are named): Segoe UI, or a font that holds the script of the languages
// that Segoe UI does not cover well.
std::string FontFaceForLanguage(std::string_view languageCode);
// The font size of all windows, in points.
inline constexpr int kFontPoints = 9;

}  // namespace tavrin
