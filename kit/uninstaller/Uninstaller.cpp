// The kit's uninstaller ("ORVUnInst.exe"): removes what the installation beside it recorded in
// "uninstall.nfo", its registry entries, and finally itself and its folder.
//
// A running program cannot delete its own file, so the work happens in a copy: the program
// reads and checks the record, asks for confirmation, copies itself to the temporary folder and
// starts the copy with "/finish <process handle> <folder>". The copy waits until the original
// has ended (through an inherited handle, so a reused process id can never mislead it), reads
// the record again and removes everything, the original program included. The copy itself is
// left for removal at the next restart.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kit/engine/ChunkFile.h"
#include "kit/uninstaller/UninstallCore.h"
#include "platform/win32/Win32Platform.h"

namespace {

constexpr char kFinishSwitch[] = "/finish";
constexpr DWORD kWaitForOriginalMs = 30000;

class Win32KeyRemover final : public uninst::KeyRemover {
 public:
  bool DeleteKey(const std::string& key) override {
    return RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str()) == ERROR_SUCCESS;
  }
};

struct Context {
  win32::Win32Files files;
  win32::Win32Registry registry;
  Win32KeyRemover keys;
};

std::string ModulePath() {
  char path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? std::string() : std::string(path, n);
}

// Reads and checks the record beside the installation; shows why when it cannot be used.
bool LoadRecord(Context& c, const std::string& folder, uninst::Record* record) {
  const std::string path = folder + "\\" + uninst::kRecordName;
  std::vector<chunkfile::Chunk> chunks;
  if (uninst::IsPlainAbsolutePath(folder) && chunkfile::Read(c.files, path, &chunks) &&
      uninst::ParseRecord(chunks, record)) {
    return true;
  }
  const std::string text =
      "The uninstall information \"" + path + "\" is missing or damaged.\nNothing was removed.";
  MessageBoxA(nullptr, text.c_str(), "Uninstall", MB_OK | MB_ICONERROR);
  return false;
}

void Remove(Context& c, const std::string& folder, const uninst::Record& record,
            const std::string& keepFile) {
  const uninst::Outcome outcome =
      uninst::RemoveInstallation(c.files, c.registry, c.keys, folder, record, keepFile);
  std::string text = record.projectName + " was removed from your computer.";
  if (outcome.left > 0) {
    text += "\nSome files or folders could not be removed and were left in place.";
  }
  const std::string caption = record.projectName + " Uninstall";
  MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

// Copies this program to the temporary folder and starts the copy on the folder. False when
// the copy cannot be made or started.
bool StartFinisher(const std::string& self, const std::string& folder) {
  char temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathA(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH) return false;
  const std::string copy =
      std::string(temp) + "ORVUnInst-" + std::to_string(GetCurrentProcessId()) + ".exe";
  if (!CopyFileA(self.c_str(), copy.c_str(), FALSE)) return false;

  HANDLE original = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &original,
                       SYNCHRONIZE, TRUE, 0)) {
    DeleteFileA(copy.c_str());
    return false;
  }
  char handleText[32];
  std::snprintf(handleText, sizeof(handleText), "%llu",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(original)));
  std::string commandLine =
      "\"" + copy + "\" " + kFinishSwitch + " " + handleText + " \"" + folder + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  // The copy works from the temporary folder: a current directory inside the installation
  // would keep that folder from being removed.
  const BOOL started = CreateProcessA(copy.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, temp, &startup, &info);
  CloseHandle(original);
  if (!started) {
    DeleteFileA(copy.c_str());
    return false;
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return true;
}

void RunOriginal(Context& c) {
  const std::string self = ModulePath();
  const std::string folder = uninst::FolderOf(self);
  uninst::Record record;
  if (self.empty() || !LoadRecord(c, folder, &record)) return;
  const std::string question =
      "Do you want to remove " + record.projectName + " and all of its components?";
  const std::string caption = record.projectName + " Uninstall";
  if (MessageBoxA(nullptr, question.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) !=
      IDYES) {
    return;
  }
  if (StartFinisher(self, folder)) return;
  // Without a copy the work is done here; this program, and so its folder, stay.
  Remove(c, folder, record, self);
}

void RunFinisher(Context& c, const char* handleText, const char* folder) {
  const auto value = std::strtoull(handleText, nullptr, 10);
  HANDLE original = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
  if (original != nullptr) {
    WaitForSingleObject(original, kWaitForOriginalMs);
    CloseHandle(original);
  }
  uninst::Record record;
  if (!LoadRecord(c, folder, &record)) return;
  Remove(c, folder, record, ModulePath());
  MoveFileExA(ModulePath().c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Context context;
  if (__argc == 4 && std::strcmp(__argv[1], kFinishSwitch) == 0) {
    RunFinisher(context, __argv[2], __argv[3]);
  } else {
    RunOriginal(context);
  }
  return 0;
}
