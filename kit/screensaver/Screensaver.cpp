// The kit's screensaver ("ORVSvr.scr"): the installation copies it into the system folder as
// <project>.scr, where Windows starts it with "/s" (show), "/c" (configure; also no argument)
// or "/p <window>" (preview inside the control panel's window). It finds its installation
// through the viewers record, reads "screensaver.cfg" there, opens the start project with the
// engine installed beside it and shows what it found. A "report=" line in the project names a
// file that receives the same, for the tests.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "kit/screensaver/PlayerCore.h"
#include "platform/win32/Win32Platform.h"

namespace {

constexpr char kWindowClass[] = "OrvaneScreensaverWindow";
// Mouse travel that ends the show; Wine and Windows both send one move when the window appears.
constexpr int kMouseSlack = 8;

std::string gShown;
POINT gFirstMouse = {-1, -1};

struct Arguments {
  char mode = 'c';  // 's', 'c' or 'p'
  HWND parent = nullptr;
};

// "/s", "-S", "/c:1234", "/p 1234": the letter, then the window either after a colon or as
// the next argument.
Arguments ParseArguments(int argc, char** argv) {
  Arguments args;
  if (argc < 2 || (argv[1][0] != '/' && argv[1][0] != '-') || argv[1][1] == '\0') return args;
  const char letter = static_cast<char>(argv[1][1] | 0x20);
  if (letter == 's' || letter == 'p') args.mode = letter;
  const char* window = argv[1][2] == ':' ? argv[1] + 3 : (argc > 2 ? argv[2] : nullptr);
  if (window != nullptr) {
    args.parent =
        reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(window, nullptr, 10)));
  }
  return args;
}

std::string ModulePath() {
  char path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? std::string() : std::string(path, n);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool preview = (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) != 0;
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT area;
      GetClientRect(window, &area);
      FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(120, 220, 160));
      InflateRect(&area, -24, -24);
      DrawTextA(dc, gShown.c_str(), -1, &area, DT_LEFT | DT_TOP | DT_WORDBREAK);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_MOUSEMOVE: {
      if (preview) break;
      POINT at;
      GetCursorPos(&at);
      if (gFirstMouse.x < 0) {
        gFirstMouse = at;
      } else if (std::abs(at.x - gFirstMouse.x) > kMouseSlack ||
                 std::abs(at.y - gFirstMouse.y) > kMouseSlack) {
        DestroyWindow(window);
      }
      return 0;
    }
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_TIMER:
      if (!preview || message == WM_TIMER) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void Show(HINSTANCE instance, const Arguments& args, const std::string& title, int seconds) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = nullptr;  // a screensaver hides the pointer
  windowClass.lpszClassName = kWindowClass;
  RegisterClassA(&windowClass);
  HWND window = nullptr;
  if (args.mode == 'p') {
    RECT area;
    if (args.parent == nullptr || !GetClientRect(args.parent, &area)) return;
    window = CreateWindowExA(0, kWindowClass, title.c_str(), WS_CHILD | WS_VISIBLE, 0, 0,
                             area.right, area.bottom, args.parent, nullptr, instance, nullptr);
  } else {
    window = CreateWindowExA(WS_EX_TOPMOST, kWindowClass, title.c_str(), WS_POPUP | WS_VISIBLE, 0,
                             0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                             nullptr, nullptr, instance, nullptr);
    // Without a project to say how long, the show waits for the user.
    if (seconds > 0) SetTimer(window, 1, static_cast<UINT>(seconds) * 1000, nullptr);
  }
  if (window == nullptr) return;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const Arguments args = ParseArguments(__argc, __argv);
  win32::Win32Files files;
  win32::Win32Registry registry;
  win32::Win32Modules modules;
  const player::Installation installation =
      player::FindInstallation(files, registry, ModulePath(), player::kScreensaver);
  const player::Project project =
      installation.recordRead
          ? player::LoadProject(files, modules, installation.folder, installation.record.startPath)
          : player::Project{};
  const char* mode = args.mode == 's' ? "show" : args.mode == 'p' ? "preview" : "configure";
  const std::string described = "player=screensaver\nmode=" + std::string(mode) + "\n" +
                                player::Describe(installation, project);
  if (!project.report.empty()) player::WriteText(files, project.report, described);

  const std::string name = !project.name.empty()               ? project.name
                           : !installation.projectName.empty() ? installation.projectName
                                                               : std::string("Orvane");
  if (args.mode == 'c') {
    const std::string text = "This screensaver has no settings of its own.\n\n" + described;
    MessageBoxA(args.parent, text.c_str(), (name + " Screensaver").c_str(),
                MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  gShown = name + "\n\n" + described;
  Show(instance, args, name + " - Orvane Screensaver", project.decoded ? project.seconds : 0);
  return 0;
}
