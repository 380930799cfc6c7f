// A viewer that ends at once: packed as "OrvaneViewer.exe" into the benchmark packages, so
// that a run in place measures the launcher's work and not the time a project is shown.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return 0;
}
