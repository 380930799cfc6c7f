// The Windows entry point: the hidden owner window, then one LauncherApp run.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <exception>

#include "app/LauncherApp.h"
#include "app/OwnerWindow.h"
#include "platform/win32/Win32Platform.h"

// The launcher never throws. A plain terminate handler in place of the runtime's verbose one
// keeps the symbol demangler that one drags in (a sixth of the image) out of the link.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace {

LRESULT CALLBACK OwnerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterOwnerClass(HINSTANCE instance) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = OwnerWindowProc;
  // The resources hold no icon of number 0, so the class gets none.
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(0));
  windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(0));
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(5));
  windowClass.lpszClassName = kOwnerWindowClass;
  RegisterClassExA(&windowClass);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The progress bar class lives in the common controls.
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  win32::Win32Platform platform;
  os::Platform system = platform.Get();
  {
    LauncherApp app(system);
    RegisterOwnerClass(instance);
    // Never shown: it only owns the dialogs and is introduced to the engine.
    HWND owner = CreateWindowExA(0, kOwnerWindowClass, kOwnerWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0,
                                 25, 25, nullptr, nullptr, instance, nullptr);
    app.Init(instance, owner);
    app.Run();
  }
  return 0;
}
