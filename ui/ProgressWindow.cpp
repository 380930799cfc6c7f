// Progress window.
#include "ui/ProgressWindow.h"

#include <cstring>

int BarPosition(float fraction) {
  // A float times 500 is exact in double precision, so 0.95f gives 474.99999..., i.e. 474.
  return static_cast<int>(static_cast<double>(fraction) * ProgressWindow::kBarRange);
}

ProgressWindow::ProgressWindow(os::Dialogs& dialogs) : _dialogs(dialogs) {}

ProgressWindow::~ProgressWindow() {
  if (_window != nullptr) _dialogs.DestroyWindow(_window);
  _window = nullptr;
}

void ProgressWindow::SetText(const char* text) {
  if (_window != nullptr) {
    _dialogs.SetText(_window, text != nullptr ? text : "");
    return;
  }
  if (text == nullptr) return;
  std::strncpy(_text, text, sizeof(_text) - 1);
  _text[sizeof(_text) - 1] = '\0';
}

bool ProgressWindow::SetProgress(float fraction) {
  os::Window bar = _dialogs.Item(_window, kBarId);
  _dialogs.Send(bar, os::kPbmSetPos, static_cast<uintptr_t>(BarPosition(fraction)), 0);
  // No message loop runs while the mode works: repaint now.
  return _dialogs.Update(bar);
}

os::Window ProgressWindow::Create(os::Instance instance, os::Window owner) {
  _window = _dialogs.CreateModeless(instance, "IDD_PROGRESSBAR", owner, this);
  return _window;
}

void ProgressWindow::OnInit(os::Window dialog) {
  _window = dialog;
  _dialogs.Send(_dialogs.Item(dialog, kBarId), os::kPbmSetRange, 0,
                static_cast<intptr_t>(kBarRange) << 16);
  _dialogs.SetText(dialog, _text);
}

bool ProgressWindow::Destroy() {
  const bool destroyed = _dialogs.DestroyWindow(_window);
  _window = nullptr;
  return destroyed;
}

intptr_t ProgressWindow::OnMessage(os::Window dialog, uint32_t message, uintptr_t,
                                   intptr_t lParam) {
  if (message != os::kWmInitDialog) return 0;
  if (lParam != 0) {
    static_cast<ProgressWindow*>(reinterpret_cast<os::DialogHandler*>(lParam))->OnInit(dialog);
  }
  return 1;
}
