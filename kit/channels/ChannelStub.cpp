// A stand-in channel library: loads, does nothing, and tells its name through ChannelInfo.
#include <windows.h>

#ifndef CHANNEL_NAME
#error "CHANNEL_NAME must name the library this build stands in for"
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  // The stand-in needs no thread notifications.
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}

// The library's name without ".dll", e.g. "Quillet".
extern "C" const char* __cdecl ChannelInfo() {
  return CHANNEL_NAME;
}
