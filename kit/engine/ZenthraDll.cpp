// "Zenthra.dll": the kit engine over the real Win32 backend, behind its one export.
#include <windows.h>

#include <string>

#include "kit/engine/Engine.h"
#include "platform/win32/Win32Platform.h"

namespace {

// Appends each journal entry, one per line, to the file named by ORV_ENGINE_JOURNAL (when set),
// so that tests driving the real launcher can see what it asked of the engine.
void WriteJournalLine(const std::string& path, const std::string& entry) {
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string line = entry + "\r\n";
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

void Bind() {
  static win32::Win32Platform backend;
  static os::Platform platform = backend.Get();
  kit::engine::UsePlatform(&platform);
  char path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("ORV_ENGINE_JOURNAL", path, sizeof path);
  if (length > 0 && length < sizeof path) {
    kit::engine::SetJournalSink(
        [file = std::string(path)](const std::string& entry) { WriteJournalLine(file, entry); });
  }
}

}  // namespace

extern "C" EngineControl* ENGINE_EXPORT_CALL GetEngineControlInstance() {
  static const bool bound = (Bind(), true);
  (void)bound;
  return kit::engine::GetEngineControlInstance();
}
