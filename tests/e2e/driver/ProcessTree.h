// The program under test and every process it starts, found by parent process ids.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "WinUtil.h"

struct TrackedProcess {
  DWORD pid = 0;
  DWORD parentPid = 0;
  std::string exe;  // file name as the snapshot gives it
  bool main = false;
};

class ProcessTree {
 public:
  // Starts commandLine (already quoted) in cwd (empty: the driver's own); false with *error set
  // when CreateProcessA fails.
  bool Start(const std::string& commandLine, const std::string& cwd, std::string* error);
  // Adds processes whose parent is already tracked; call on every poll. Parent ids are only
  // trusted for processes created after their parent, which keeps reused ids out.
  void Refresh();
  bool Tracks(DWORD pid) const;
  const TrackedProcess* Find(DWORD pid) const;
  const std::vector<TrackedProcess>& Processes() const { return _processes; }
  bool MainEnded() const;
  // True when the main process and every tracked descendant have ended.
  bool AllEnded();
  DWORD MainExitCode() const;
  // Ends every tracked process, children first, with exit code 0xDEAD.
  void KillAll();

 private:
  std::vector<TrackedProcess> _processes;
  std::vector<win::ScopedHandle> _handles;  // parallel to _processes; may be empty handles
};
