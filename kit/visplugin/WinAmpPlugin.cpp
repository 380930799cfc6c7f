// The kit's visualization plug-in ("WinAmp.dll"): the installation copies it into the player's
// "Plugins" folder as vis_<project>.dll. On Init it finds its installation through the viewers
// record, reads "winamp.cfg" there and opens the start project with the engine installed
// beside it; its window shows what it found and a bar per spectrum band while the player
// renders. OrvPluginReport writes the same to a file, for the tests.
#include <windows.h>

#include <algorithm>
#include <string>

#include "kit/screensaver/PlayerCore.h"
#include "kit/visplugin/VisPlugin.h"
#include "platform/win32/Win32Platform.h"

namespace {

constexpr char kWindowClass[] = "OrvaneVisualizationWindow";
constexpr int kBars = 32;

HINSTANCE gInstance = nullptr;
HWND gWindow = nullptr;
std::string gDescribed = "player=plugin\n";
std::string gName = "Orvane";
int gInits = 0, gRenders = 0, gQuits = 0;
unsigned char gLevels[kBars] = {};

std::string ModulePath() {
  char path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(gInstance, path, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? std::string() : std::string(path, n);
}

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT area;
  GetClientRect(window, &area);
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  const int barWidth = std::max(1, static_cast<int>(area.right) / kBars);
  HBRUSH bar = CreateSolidBrush(RGB(90, 160, 255));
  for (int i = 0; i < kBars; ++i) {
    const int height = gLevels[i] * area.bottom / 255;
    RECT r = {i * barWidth + 1, area.bottom - height, (i + 1) * barWidth - 1, area.bottom};
    FillRect(dc, &r, bar);
  }
  DeleteObject(bar);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(230, 230, 230));
  InflateRect(&area, -12, -12);
  const std::string text = gName + "\n\n" + gDescribed;
  DrawTextA(dc, text.c_str(), -1, &area, DT_LEFT | DT_TOP | DT_WORDBREAK);
  EndPaint(window, &paint);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_DESTROY:
      if (window == gWindow) gWindow = nullptr;
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void Config(VisModule* module) {
  MessageBoxA(module->hwndParent, "This visualization has no settings of its own.",
              (gName + " Visualization").c_str(), MB_OK | MB_ICONINFORMATION);
}

int Init(VisModule* module) {
  ++gInits;
  win32::Win32Files files;
  win32::Win32Registry registry;
  win32::Win32Modules modules;
  const player::Installation installation =
      player::FindInstallation(files, registry, ModulePath(), player::kPlugin);
  const player::Project project =
      installation.recordRead
          ? player::LoadProject(files, modules, installation.folder, installation.record.startPath)
          : player::Project{};
  gDescribed = "player=plugin\n" + player::Describe(installation, project);
  gName = !project.name.empty()               ? project.name
          : !installation.projectName.empty() ? installation.projectName
                                              : std::string("Orvane");

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = gInstance;
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  windowClass.lpszClassName = kWindowClass;
  RegisterClassA(&windowClass);
  const std::string title = gName + " - Orvane Visualization";
  gWindow = CreateWindowExA(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 80,
                            80, 560, 360, module->hwndParent, nullptr, gInstance, nullptr);
  return gWindow != nullptr ? 0 : 1;
}

int Render(VisModule* module) {
  ++gRenders;
  // A window closed by the user asks the player to stop the plug-in.
  if (gWindow == nullptr) return 1;
  const int bands = std::max(1, 576 / kBars);
  for (int i = 0; i < kBars; ++i) {
    int peak = 0;
    for (int j = i * bands; j < (i + 1) * bands && j < 576; ++j) {
      peak = std::max(peak, static_cast<int>(module->spectrumData[0][j]));
    }
    gLevels[i] = static_cast<unsigned char>(peak);
  }
  InvalidateRect(gWindow, nullptr, FALSE);
  return 0;
}

void Quit(VisModule*) {
  ++gQuits;
  if (gWindow != nullptr) DestroyWindow(gWindow);
  gWindow = nullptr;
  UnregisterClassA(kWindowClass, gInstance);
}

char gDescription[] = "Orvane project visualization";
VisModule gModule = {gDescription, nullptr, nullptr, 0,    0,      25,   25,     2, 0,
                     {},           {},      Config,  Init, Render, Quit, nullptr};

VisModule* GetModule(int index) {
  return index == 0 ? &gModule : nullptr;
}

VisHeader gHeader = {kVisHeaderVersion, gDescription, GetModule};

}  // namespace

extern "C" VisHeader* winampVisGetHeader(HWND) {
  return &gHeader;
}

extern "C" int OrvPluginReport(const char* path) {
  if (path == nullptr) return 0;
  win32::Win32Files files;
  const std::string text = gDescribed + "init=" + std::to_string(gInits) +
                           "\nrender=" + std::to_string(gRenders) +
                           "\nquit=" + std::to_string(gQuits) + "\n";
  return player::WriteText(files, path, text) ? 1 : 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    gInstance = instance;
    gModule.hDllInstance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
