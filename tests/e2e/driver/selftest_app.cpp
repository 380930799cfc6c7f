// A small GUI program that shows every kind of window the UI driver must read and answer.
// The first argument selects what it does; see Dispatch().
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "selftest_resource.h"

namespace {

std::string gOutFile;
int gChanges = 0;

void WriteOut(const std::string& text) {
  if (gOutFile.empty()) return;
  if (FILE* f = std::fopen(gOutFile.c_str(), "wb")) {
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }
}

UINT IconStyle(const std::string& name) {
  if (name == "error") return MB_ICONHAND;
  if (name == "warning") return MB_ICONEXCLAMATION;
  if (name == "information") return MB_ICONASTERISK;
  if (name == "question") return MB_ICONQUESTION;
  return 0;
}

std::string EditText(HWND dlg) {
  char buf[512] = {};
  GetDlgItemTextA(dlg, IDC_PATH, buf, sizeof buf);
  return buf;
}

INT_PTR CALLBACK OptionsProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dlg, IDC_PATH, "C:\\Default");
      gChanges = 0;
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_PATH:
          if (HIWORD(wp) == EN_CHANGE) ++gChanges;
          return TRUE;
        case IDOK:
          WriteOut("install:" + EditText(dlg) + ":changes=" + std::to_string(gChanges));
          EndDialog(dlg, IDOK);
          return TRUE;
        case IDC_BROWSE:
          MessageBoxA(dlg, "Browse pressed", "Browse", MB_OK | MB_ICONASTERISK);
          return TRUE;
        case IDC_CANCEL:
          WriteOut("cancel-button");
          EndDialog(dlg, IDC_CANCEL);
          return TRUE;
        case IDCANCEL:  // Esc, and the close box through WM_CLOSE
          WriteOut("cancel");
          EndDialog(dlg, IDCANCEL);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

void PumpFor(DWORD ms) {
  DWORD end = GetTickCount() + ms;
  while (GetTickCount() < end) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    Sleep(10);
  }
}

void ShowProgress(HINSTANCE instance) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  HWND dlg = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_SELFPROGRESS), nullptr, nullptr, 0);
  HWND bar = GetDlgItem(dlg, IDC_PROGRESS);
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 500));
  SendMessageA(bar, PBM_SETPOS, 250, 0);
  ShowWindow(dlg, SW_SHOW);
  UpdateWindow(dlg);
  PumpFor(1500);
  DestroyWindow(dlg);
  MessageBoxA(nullptr, "Done", "Progress", MB_OK);
}

LRESULT CALLBACK PlainProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(h, msg, wp, lp);
}

void MakeHiddenWindow(HINSTANCE instance) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = PlainProc;
  wc.hInstance = instance;
  wc.lpszClassName = "SelftestHidden";
  RegisterClassExA(&wc);
  CreateWindowExA(0, "SelftestHidden", "Hidden owner", WS_OVERLAPPEDWINDOW, 0, 0, 25, 25, nullptr,
                  nullptr, instance, nullptr);
}

int StartChild(const std::vector<std::string>& args) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string line = std::string("\"") + self + "\"";
  for (const auto& a : args) line += " \"" + a + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    return 1;
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 0;
}

std::vector<std::string> Args() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> out;
  for (int i = 1; i < argc; ++i) {
    char buf[1024] = {};
    WideCharToMultiByte(CP_ACP, 0, argv[i], -1, buf, sizeof buf, nullptr, nullptr);
    out.push_back(buf);
  }
  LocalFree(argv);
  return out;
}

std::string Arg(const std::vector<std::string>& a, size_t i) {
  return i < a.size() ? a[i] : "";
}

int Dispatch(HINSTANCE instance, const std::vector<std::string>& a) {
  const std::string mode = Arg(a, 0);
  if (mode == "box") {  // box ICON CAPTION TEXT
    MessageBoxA(nullptr, Arg(a, 3).c_str(), Arg(a, 2).c_str(), MB_OK | IconStyle(Arg(a, 1)));
  } else if (mode == "two") {
    MessageBoxA(nullptr, "First box", "One", MB_OK);
    MessageBoxA(nullptr, "Second box", "Two", MB_OK);
  } else if (mode == "yesno") {  // yesno OUTFILE
    gOutFile = Arg(a, 1);
    int r = MessageBoxA(nullptr, "Proceed?", "Question", MB_YESNO | MB_ICONQUESTION);
    WriteOut(r == IDYES ? "yes" : r == IDNO ? "no" : "other");
  } else if (mode == "dialog") {  // dialog OUTFILE
    gOutFile = Arg(a, 1);
    WriteOut("none");
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SELFTEST), nullptr, OptionsProc, 0);
  } else if (mode == "progress") {
    ShowProgress(instance);
  } else if (mode == "hidden") {
    MakeHiddenWindow(instance);
    MessageBoxA(nullptr, "Hidden made", "Hidden", MB_OK);
  } else if (mode == "crash") {
    *static_cast<volatile int*>(nullptr) = 1;
  } else if (mode == "hang") {
    Sleep(INFINITE);
  } else if (mode == "child") {  // child MODE ARGS...: the same program as a child process
    return StartChild(std::vector<std::string>(a.begin() + 1, a.end()));
  } else if (mode == "exit") {
    return std::atoi(Arg(a, 1).c_str());
  } else {
    MessageBoxA(nullptr, ("unknown mode " + mode).c_str(), "selftest_app", MB_OK);
    return 9;
  }
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return Dispatch(instance, Args());
}
