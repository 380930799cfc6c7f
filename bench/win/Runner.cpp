// bench_runner: starts a program, waits for it and prints how long it ran and the most memory
// it held, as Windows reports them for that process. Timing inside a Windows process keeps
// Wine's own start-up out of the figure; the memory is sampled while the program runs because
// an ended process may no longer answer.
//
//   bench_runner [--cwd DIR] -- program.exe [args...]
//   prints: elapsed_ms=... peak_working_set=... peak_pagefile=... exit_code=... samples=...
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string Quote(const char* arg) {
  const std::string s = arg;
  if (!s.empty() && s.find_first_of(" \t\"") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

struct Peak {
  SIZE_T workingSet = 0;
  SIZE_T pagefile = 0;
  int samples = 0;
};

void Sample(HANDLE process, Peak* peak) {
  PROCESS_MEMORY_COUNTERS counters;
  std::memset(&counters, 0, sizeof(counters));
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(process, &counters, sizeof(counters))) return;
  if (counters.PeakWorkingSetSize > peak->workingSet)
    peak->workingSet = counters.PeakWorkingSetSize;
  if (counters.PeakPagefileUsage > peak->pagefile) peak->pagefile = counters.PeakPagefileUsage;
  ++peak->samples;
}

}  // namespace

int main(int argc, char** argv) {
  const char* cwd = nullptr;
  int first = 1;
  for (; first < argc; ++first) {
    if (std::strcmp(argv[first], "--") == 0) {
      ++first;
      break;
    }
    if (std::strcmp(argv[first], "--cwd") == 0 && first + 1 < argc) cwd = argv[++first];
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: bench_runner [--cwd DIR] -- program.exe [args...]\n");
    return 2;
  }
  std::string commandLine;
  for (int i = first; i < argc; ++i) commandLine += (i > first ? " " : "") + Quote(argv[i]);

  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info;
  LARGE_INTEGER frequency, started, ended;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&started);
  if (!CreateProcessA(argv[first], commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, cwd,
                      &startup, &info)) {
    std::fprintf(stderr, "bench_runner: cannot start %s (error %lu)\n", argv[first],
                 GetLastError());
    return 1;
  }
  CloseHandle(info.hThread);
  Peak peak;
  while (WaitForSingleObject(info.hProcess, 20) == WAIT_TIMEOUT) Sample(info.hProcess, &peak);
  QueryPerformanceCounter(&ended);
  Sample(info.hProcess, &peak);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  const double ms = double(ended.QuadPart - started.QuadPart) * 1000.0 / double(frequency.QuadPart);
  std::printf("elapsed_ms=%.1f peak_working_set=%llu peak_pagefile=%llu exit_code=%lu samples=%d\n",
              ms, static_cast<unsigned long long>(peak.workingSet),
              static_cast<unsigned long long>(peak.pagefile), code, peak.samples);
  std::fflush(stdout);
  return 0;
}
