// The deployment job: construction, item reading and the run-mode work folder.
#include "deploy/DeployJob.h"

#include <cstring>
#include <new>

#include "package/PackageReader.h"
#include "ui/ProgressWindow.h"

void RecordPath(PointerArray& list, const std::string& path) {
  char* copy = new (std::nothrow) char[path.size() + 1];
  if (copy == nullptr) return;
  std::memcpy(copy, path.c_str(), path.size() + 1);
  if (list.Add(copy) < 0) delete[] copy;
}

void ReleasePaths(PointerArray& list) {
  for (int32_t i = 0; i < list.Count(); ++i) {
    delete[] static_cast<char*>(list.Get(i));
    list.SetAt(nullptr, i);
  }
  list.Clear();
}

DeployJob::DeployJob(os::Platform& platform) : _platform(platform) {
  reader = new (std::nothrow) PackageReader(platform);
}

DeployJob::~DeployJob() {
  // A mode that stopped after starting the engine leaves it to the job's end.
  ReleaseEngine();
  if (engineModule != nullptr) _platform.modules.Free(engineModule);
  engineModule = nullptr;
  delete progress;
  progress = nullptr;
  delete reader;
  reader = nullptr;
  ReleasePaths(createdDirs);
  ReleasePaths(createdFiles);
}

void DeployJob::SetOwner(os::Instance instanceHandle, os::Window owner) {
  instance = instanceHandle;
  ownerWindow = owner;
}

void DeployJob::Message(const std::string& text, const std::string& caption, uint32_t style) {
  _platform.ui.ShowMessage(text, caption, style);
}

bool DeployJob::LoadItem(const char* name, void* buffer, uint32_t length, const char* category) {
  if (reader == nullptr) return false;
  const bool found = reader->ReadItem(name, buffer, length, category);
  if (buffer == nullptr) {
    itemData = reader->Data();
    itemSize = reader->Size();
  }
  return found;
}

bool DeployJob::MakeWorkDir() {
  std::string temp;
  if (!_platform.system.TempPath(&temp) || temp.empty()) return false;
  // "Orvane" and up to five digits must fit the 399 characters of workDir.
  constexpr size_t kMaxTempPath = kMaxWorkPath - 6 - 5;
  if (temp.size() > kMaxTempPath) return false;
  for (int n = 0; n <= 10000; ++n) {
    const std::string candidate = temp + "Orvane" + std::to_string(n);
    if (_platform.files.CreateDir(candidate)) {
      std::memcpy(workDir, candidate.c_str(), candidate.size() + 1);
      return true;
    }
    // An existing folder is reused unless it holds an engine library, i.e. another run's work
    // folder; a file or a link standing there is never taken.
    if (_platform.files.Query(candidate + "\\zenthra.dll").exists) continue;
    const os::PathInfo info = _platform.files.Query(candidate);
    if (!info.exists || !info.directory || info.reparsePoint) continue;
    std::memcpy(workDir, candidate.c_str(), candidate.size() + 1);
    return true;
  }
  return false;
}
