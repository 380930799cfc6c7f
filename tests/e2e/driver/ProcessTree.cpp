// Starts the program under test and follows the processes it starts.
#include "ProcessTree.h"

#include <tlhelp32.h>

namespace {

ULONGLONG CreationTime(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!process || !GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

bool Running(HANDLE process) {
  return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

}  // namespace

bool ProcessTree::Start(const std::string& commandLine, const std::string& cwd,
                        std::string* error) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      cwd.empty() ? nullptr : cwd.c_str(), &si, &pi)) {
    *error = "CreateProcessA failed with error " + std::to_string(GetLastError());
    return false;
  }
  CloseHandle(pi.hThread);
  TrackedProcess main;
  main.pid = pi.dwProcessId;
  main.parentPid = GetCurrentProcessId();
  main.main = true;
  _processes.push_back(main);
  _handles.emplace_back(pi.hProcess);
  Refresh();
  return true;
}

void ProcessTree::Refresh() {
  win::ScopedHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap) return;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  // Repeat until no process is added so that grandchildren found before their parent count.
  for (bool added = true; added;) {
    added = false;
    for (BOOL ok = Process32First(snap.Get(), &entry); ok; ok = Process32Next(snap.Get(), &entry)) {
      if (const TrackedProcess* known = Find(entry.th32ProcessID)) {
        if (known->exe.empty()) {
          _processes[known - _processes.data()].exe = entry.szExeFile;
        }
        continue;
      }
      const TrackedProcess* parent = Find(entry.th32ParentProcessID);
      if (!parent) continue;
      HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE,
                             FALSE, entry.th32ProcessID);
      win::ScopedHandle handle(h);
      HANDLE parentHandle = _handles[parent - _processes.data()].Get();
      if (handle && parentHandle && CreationTime(h) < CreationTime(parentHandle)) continue;
      TrackedProcess child;
      child.pid = entry.th32ProcessID;
      child.parentPid = entry.th32ParentProcessID;
      child.exe = entry.szExeFile;
      _processes.push_back(child);
      _handles.push_back(std::move(handle));
      added = true;
    }
  }
}

bool ProcessTree::Tracks(DWORD pid) const {
  return Find(pid) != nullptr;
}

const TrackedProcess* ProcessTree::Find(DWORD pid) const {
  for (const auto& p : _processes) {
    if (p.pid == pid) return &p;
  }
  return nullptr;
}

bool ProcessTree::MainEnded() const {
  return !_handles.empty() && !Running(_handles[0].Get());
}

bool ProcessTree::AllEnded() {
  // A process may start another just before it ends, after the last snapshot: only a snapshot
  // taken once every known process has ended is sure to hold all of them.
  for (;;) {
    for (const auto& h : _handles) {
      if (Running(h.Get())) return false;
    }
    size_t known = _processes.size();
    Refresh();
    if (_processes.size() == known) return true;
  }
}

DWORD ProcessTree::MainExitCode() const {
  DWORD code = 0;
  if (_handles.empty() || !GetExitCodeProcess(_handles[0].Get(), &code)) return 0xFFFFFFFF;
  return code;
}

void ProcessTree::KillAll() {
  for (size_t i = _handles.size(); i-- > 0;) {
    HANDLE h = _handles[i].Get();
    if (Running(h)) {
      TerminateProcess(h, 0xDEAD);
      WaitForSingleObject(h, 2000);
    }
  }
}
