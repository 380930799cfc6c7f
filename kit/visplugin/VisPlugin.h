// The media player's visualization plug-in interface as plug-ins export it, and the kit's own
// test export. Shared by the plug-in library and its test host.
#pragma once

#include <windows.h>

// The player reads this layout from the plug-in; the fields keep their public order and types.
struct VisModule {
  char* description;
  HWND hwndParent;
  HINSTANCE hDllInstance;
  int sRate;
  int nCh;
  int latencyMs;  // how far ahead of the sound the player delivers data
  int delayMs;    // the player's pause between Render calls
  int spectrumNch;
  int waveformNch;
  unsigned char spectrumData[2][576];
  unsigned char waveformData[2][576];
  void (*Config)(VisModule* module);
  // 0 on success.
  int (*Init)(VisModule* module);
  // 0 to go on, 1 to be stopped.
  int (*Render)(VisModule* module);
  void (*Quit)(VisModule* module);
  void* userData;
};

// The header version that players of the 2.x and 5.x lines accept.
inline constexpr int kVisHeaderVersion = 0x101;

struct VisHeader {
  int version;
  char* description;
  // Null past the last module.
  VisModule* (*getModule)(int index);
};

// The player's entry point: GetProcAddress(plugin, "winampVisGetHeader").
using VisGetHeaderFn = VisHeader* (*)(HWND parent);
inline constexpr char kVisGetHeaderName[] = "winampVisGetHeader";

// The kit's: writes what the plug-in found and how often the player called it. 1 on success.
using PluginReportFn = int (*)(const char* path);
inline constexpr char kPluginReportName[] = "OrvPluginReport";
