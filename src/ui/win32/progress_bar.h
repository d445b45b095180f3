#pragma once

#include <cstdint>
#include <functional>

#include "ui/win32/flood_counter.h"
#include "ui/win32/window_layout.h"

struct HWND__;

namespace tavrin {

// The progress bar control: the platform's progress bar window (SystemBar) or a row of
// blocks drawn by the control itself, and an animation for work of unknown length
// (Infinite). Colours are Windows RGB values (0x00BBGGRR).
class ShEProgressBar {
 public:
  ShEProgressBar() = default;
  ~ShEProgressBar();
  ShEProgressBar(const ShEProgressBar&) = delete;
  ShEProgressBar& operator=(const ShEProgressBar&) = delete;

  // Creates the control as a child of `parent` with the control number `id`.
  void Create(HWND__* parent, int id);
  void Move(const ControlRect& rect);
  HWND__* Window() const { return window_; }
  // Runs pending window messages when the platform bar has moved (the program's DoEvents).
  void SetDoEvents(std::function<void()> doEvents) { doEvents_ = std::move(doEvents); }

  // Starts a count of `total` steps; with SystemBar the platform bar appears, empty.
  void FloodInit(std::int32_t total);
  // One step, or a percentage (> 0), or the steps remaining (!= 0); see FloodCounter.
  void Flood(int percentage, int remaining);
  // A new count with the last total.
  void FloodStart();
  // The end of the count: the platform bar goes; the own-drawn bar empties.
  void FloodEnd();
  std::int32_t FloodZaehler() const { return counter_.Counter(); }
  // The percentage the bar shows.
  int PercentShown() const { return counter_.LastShown(); }
  // The platform's progress bar window while a count runs with SystemBar, else null.
  HWND__* SystemBarWindow() const { return systemBar_; }

  std::uint32_t BackColor() const { return backColor_; }
  void SetBackColor(std::uint32_t color);
  std::uint32_t ProgressBarColor() const { return barColor_; }
  void SetProgressBarColor(std::uint32_t color);
  int FloodWidth() const { return floodWidth_; }
  void SetFloodWidth(int pixels);
  int FloodHeight() const { return floodHeight_; }
  void SetFloodHeight(int pixels);
  int FloodSpace() const { return floodSpace_; }
  void SetFloodSpace(int pixels);
  // Back to the blocks of a new control: 7 pixels wide, 11 high, 2 apart.
  void FloodSizeDefault();
  // The mouse pointer over the control in the numbering of the form designer's pointer
  // property: 0 default, 1 arrow, 2 cross, 3 I-beam, 11 hourglass, 12 no-drop, 99 hand.
  int MousePointer() const { return mousePointer_; }
  void SetMousePointer(int pointer) { mousePointer_ = pointer; }
  bool Infinite() const { return infinite_; }
  void SetInfinite(bool on);
  bool SystemBar() const { return useSystemBar_; }
  void SetSystemBar(bool on) { useSystemBar_ = on; }

 private:
  friend struct ProgressBarWindow;
  void Paint();
  void Redraw();
  void Step();  // one frame of the Infinite animation

  HWND__* window_ = nullptr;
  HWND__* systemBar_ = nullptr;
  std::function<void()> doEvents_;
  FloodCounter counter_;
  std::uint32_t backColor_ = 0xF0F0F0;  // the button face of the default colour scheme
  std::uint32_t barColor_ = 0x800000;
  int floodWidth_ = 7;
  int floodHeight_ = 11;
  int floodSpace_ = 2;
  int mousePointer_ = 0;
  bool infinite_ = false;
  bool useSystemBar_ = true;
  int animationBlock_ = 0;
};

}  // namespace tavrin
