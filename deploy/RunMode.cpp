// Run in place: extract into a temporary folder, run the viewer, remove everything.
#include <cctype>
#include <string>
#include <vector>

#include "deploy/DeployJob.h"
#include "deploy/EngineInterface.h"
#include "package/PackageReader.h"

namespace {

constexpr char kViewer[] = "OrvaneViewer.exe";
constexpr char kViewerCommandLine[] = "OrvaneViewer.exe ORVStart.orv";
constexpr uint32_t kPollMilliseconds = 1000;

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

bool IsPlainName(const char* name) {
  const std::string s = name;
  return !s.empty() && s.find_first_of("\\/") == std::string::npos && s != "." && s != "..";
}

}  // namespace

bool DeployJob::RunMode() {
  uint8_t checkDx = 0;
  if (!LoadItem("CheckDx8", &checkDx, 1, nullptr)) {
    Message("Can't find project type CheckDx8", "Error", os::kMbOk);
    return false;
  }
  if (checkDx != 0 && !CheckDirectX()) {
    Message(
        "DirectX 9.0C or higher was not detected on this system\n\rPlease install DirectX 9.0C "
        "or higher for this application to run.",
        "DirectX version check error", os::kMbIconError);
    return false;
  }
  if (!MakeWorkDir()) return false;
  _platform.files.SetCurrentDir(workDir);
  if (!ExtractItem(kViewer, true)) {
    Message("OrvaneViewer.exe not found", "P", os::kMbOk);
    return false;
  }
  if (!ExtractRuntimeFiles()) return false;
  if (!StartEngine()) return false;
  fileLoader =
      static_cast<FileLoaderChannel*>(channelFactory->CreateChannel(kFileLoaderClassId, 0, 0));
  if (fileLoader == nullptr) {
    Message("Can't init fileloader", "P", os::kMbOk);
    return false;
  }
  if (!ExtractChannels() || !ExtractContentFiles()) return false;
  // The engine is unloaded for the whole viewer run.
  ReleaseEngine();
  LaunchViewer(true);
  Cleanup();
  return true;
}

void DeployJob::LaunchViewer(bool wait) {
  // The viewer is started by its full path in the work folder, so that a program of the same
  // name elsewhere (beside the launcher, say) can never run instead; its command line still
  // names it and the project relatively.
  const std::string application = std::string(workDir) + "\\" + kViewer;
  auto viewer = _platform.processes.Start(application, kViewerCommandLine);
  if (viewer == nullptr) {
    Message("Unable to start orvaneviewer.exe", std::to_string(_platform.system.LastError()),
            os::kMbOk);
    return;
  }
  if (!wait) return;
  uint32_t code = os::kStillActive;
  while (viewer->ExitCode(&code) && code == os::kStillActive) {
    _platform.system.Sleep(kPollMilliseconds);
  }
}

void DeployJob::Cleanup() {
  delete reader;
  reader = nullptr;

  // The cache goes first, through the engine's directory lister, while the engine's files are
  // still on disk.
  const std::string cache = std::string(workDir) + "\\cache\\";
  if (StartEngine()) {
    DeleteTree(cache.c_str());
    _platform.files.RemoveDir(cache);
  }
  // Whatever a failed start left loaded is released too, or its files could not be deleted.
  ReleaseEngine();
  if (engineModule != nullptr) {
    _platform.modules.Free(engineModule);
    engineModule = nullptr;
  }

  for (int32_t i = 0; i < createdFiles.Count(); ++i) {
    _platform.files.Delete(static_cast<const char*>(createdFiles.Get(i)));
    delete[] static_cast<char*>(createdFiles.Get(i));
    createdFiles.SetAt(nullptr, i);
  }
  createdFiles.Clear();
  _platform.files.Delete(std::string(workDir) + "\\channel.lst");
  // Deeper folders were created later: removing in reverse empties children first.
  for (int32_t i = createdDirs.Count() - 1; i >= 0; --i) {
    _platform.files.RemoveDir(static_cast<const char*>(createdDirs.Get(i)));
    delete[] static_cast<char*>(createdDirs.Get(i));
    createdDirs.SetAt(nullptr, i);
  }
  createdDirs.Clear();
  // The work folder is still this process's current folder, which Windows will not remove:
  // step out into the folder that holds it first.
  const std::string work = workDir;
  const size_t slash = work.find_last_of('\\');
  if (slash != std::string::npos) _platform.files.SetCurrentDir(work.substr(0, slash + 1));
  _platform.files.RemoveDir(workDir);
}

void DeployJob::DeleteTree(const char* folder) {
  if (channelFactory == nullptr) return;
  auto* lister = static_cast<DirectoryListChannel*>(
      channelFactory->CreateChannel(kDirectoryListerClassId, 0, 0));
  if (lister == nullptr) return;
  const std::string base = folder;
  lister->SetFilter("*.*");
  lister->Scan((base + "\\*.*").c_str());

  // Only what lies under a path naming "cache" is ever removed.
  for (int32_t i = 0; i < lister->NumFiles(); ++i) {
    const char* name = lister->FileAt(i);
    if (name == nullptr || !IsPlainName(name)) continue;
    const std::string path = Lower(base + "\\" + name);
    if (path.find("cache") != std::string::npos) _platform.files.Delete(path);
  }
  for (int32_t j = 0; j < lister->NumFolders(); ++j) {
    const char* name = lister->FolderAt(j);
    if (name == nullptr || !IsPlainName(name)) continue;
    const std::string path = base + "\\" + name;
    // A junction or link is removed itself; what it leads to is not ours.
    if (!_platform.files.Query(path).reparsePoint) DeleteTree(path.c_str());
    const std::string lowered = Lower(path);
    if (lowered.find("cache") != std::string::npos) _platform.files.RemoveDir(lowered);
  }
  lister->Release(1);
}
