// A minimal stand-in for the media player, for the tests: "VisHost.exe <plugin.dll> <report>"
// loads the plug-in, takes its first module through the public entry point, calls Init,
// Render for about two seconds with a moving spectrum, and Quit, as the player does, then asks
// the plug-in for its report. The exit code names the first step that failed (0: none).
#include <windows.h>

#include "kit/visplugin/VisPlugin.h"

namespace {

enum Exit { kDone = 0, kUsage, kNotLoaded, kNoHeader, kNoModule, kInitFailed, kNoReport };

constexpr int kFrames = 80;
constexpr DWORD kFrameMs = 25;

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

int Run(const char* pluginPath, const char* reportPath) {
  HMODULE plugin = LoadLibraryA(pluginPath);
  if (plugin == nullptr) return kNotLoaded;
  auto getHeader = reinterpret_cast<VisGetHeaderFn>(
      reinterpret_cast<void*>(GetProcAddress(plugin, kVisGetHeaderName)));
  VisHeader* header = getHeader != nullptr ? getHeader(nullptr) : nullptr;
  if (header == nullptr || header->version != kVisHeaderVersion || header->getModule == nullptr) {
    return kNoHeader;
  }
  VisModule* module = header->getModule(0);
  if (module == nullptr || module->Init == nullptr || module->Render == nullptr ||
      module->Quit == nullptr) {
    return kNoModule;
  }
  module->hwndParent = nullptr;
  module->hDllInstance = plugin;
  module->sRate = 44100;
  module->nCh = 2;
  if (module->Init(module) != 0) return kInitFailed;
  for (int frame = 0; frame < kFrames; ++frame) {
    for (int ch = 0; ch < 2; ++ch) {
      for (int i = 0; i < 576; ++i) {
        module->spectrumData[ch][i] = static_cast<unsigned char>((i * 7 + frame * 13) % 256);
        module->waveformData[ch][i] = static_cast<unsigned char>((i + frame) % 256);
      }
    }
    if (module->Render(module) != 0) break;
    PumpMessages();
    Sleep(kFrameMs);
  }
  module->Quit(module);
  PumpMessages();
  auto report = reinterpret_cast<PluginReportFn>(
      reinterpret_cast<void*>(GetProcAddress(plugin, kPluginReportName)));
  const int result = report != nullptr && report(reportPath) == 1 ? kDone : kNoReport;
  FreeLibrary(plugin);
  return result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc != 3) return kUsage;
  return Run(__argv[1], __argv[2]);
}
