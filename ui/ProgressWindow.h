// The modeless progress dialog of the installation modes: one bar, 0 to 500, no buttons.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

class ProgressWindow : private os::DialogHandler {
 public:
  static constexpr int kBarId = 1003;
  static constexpr int kBarRange = 500;

  explicit ProgressWindow(os::Dialogs& dialogs);
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;
  // Removes the window if it still exists.
  ~ProgressWindow() override;

  // Without a window: keeps the first 259 characters as the future caption (null: no change).
  // With a window: changes its caption only.
  virtual void SetText(const char* text);
  // Moves the bar to fraction x 500 (truncated, not clamped) and repaints it at once.
  virtual bool SetProgress(float fraction);
  // Creates and shows the dialog "IDD_PROGRESSBAR" owned by owner; null when it cannot.
  virtual os::Window Create(os::Instance instance, os::Window owner);
  virtual void OnInit(os::Window dialog);
  virtual bool Destroy();

  os::Window Window() const { return _window; }
  const char* Text() const { return _text; }

 private:
  intptr_t OnMessage(os::Window dialog, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override;

  os::Dialogs& _dialogs;
  os::Window _window = nullptr;
  char _text[260] = "Installing...";
};

// The bar position for a fraction: the exact product with 500, truncated toward zero.
int BarPosition(float fraction);
