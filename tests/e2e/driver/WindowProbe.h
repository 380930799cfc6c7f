// Reads what a top-level window of another process shows: class, caption, controls, icon.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ControlInfo {
  HWND hwnd = nullptr;
  std::string className;
  int id = 0;
  std::string text;
  DWORD style = 0;
  RECT rect{};  // screen coordinates
  bool visible = false;
  bool enabled = false;
  std::string role;        // "static", "icon", "button", "edit", "progress" or "other"
  bool isDefault = false;  // buttons: BS_DEFPUSHBUTTON or the dialog's DM_GETDEFID
  int pos = 0, rangeLow = 0, rangeHigh = 0;  // progress bars
};

struct WindowInfo {
  HWND hwnd = nullptr;
  DWORD pid = 0;
  std::string className;
  std::string caption;
  DWORD style = 0;
  RECT rect{};
  HWND owner = nullptr;
  std::string ownerClass;
  bool busy = false;        // did not answer a message when probed: texts as stored only
  bool dialog = false;      // class #32770
  bool messageBox = false;  // a dialog with the message text static (id 0xFFFF)
  std::string text;         // message box text
  std::string icon;         // message boxes: none / error / warning / information / question /
                            // unknown
  std::vector<ControlInfo> controls;
};

// Fills everything but the icon, which needs the window painted (ClassifyIcon).
WindowInfo ProbeWindow(HWND hwnd);
// Compares the icon control's pixels on the screen with the four system icons.
std::string ClassifyIcon(const WindowInfo& info);
// Re-reads the progress bars' positions of a probed window.
void RefreshProgress(WindowInfo* info);
