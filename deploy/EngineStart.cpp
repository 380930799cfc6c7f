// Engine start-up and the channel and content lists.
#include <cstring>

#include "app/OwnerWindow.h"
#include "deploy/DeployJob.h"
#include "deploy/EngineInterface.h"
#include "package/PackageFormat.h"
#include "ui/ProgressWindow.h"

namespace {

// The engine library keeps to the classic path limit.
constexpr size_t kMaxLibraryPath = 259;

}  // namespace

void DeployJob::ExtendPath() {
  // PATH is read and extended whole: cutting it would lose folders the viewer needs.
  std::string path;
  const bool isSet = _platform.system.GetEnv("PATH", &path);
  const std::string work = workDir;
  // A second start in the same process finds the folder there already (case matters).
  if (isSet && path.find(work) != std::string::npos) return;
  std::string extended = work + "\\channels;" + work + "\\3rd";
  if (isSet) extended += ";" + path;
  _platform.system.SetEnv("PATH", extended);
}

bool DeployJob::StartEngine() {
  ExtendPath();
  const std::string library = std::string(workDir) + "\\zenthra.dll";
  if (library.size() > kMaxLibraryPath) return false;
  // By its full path, so that its dependencies resolve from the work folder first.
  engineModule = _platform.modules.Load(library);
  if (engineModule == nullptr) return false;
  auto getInstance = reinterpret_cast<GetEngineControlInstanceFn>(
      _platform.modules.Symbol(engineModule, kGetEngineControlInstanceName));
  if (getInstance == nullptr) return false;
  engineControl = getInstance();
  if (engineControl == nullptr) return false;
  engineControl->SetWorkDir(workDir);
  if (engineControl->Initialize(instance, kOwnerWindowClass, ownerWindow) == 0) return false;
  channelFactory = engineControl->GetChannelFactory();
  return true;
}

bool DeployJob::ReadCount(const char* name, const char* category, int32_t* count) {
  *count = 0;
  return LoadItem(name, count, sizeof(*count), category);
}

bool DeployJob::ReadListName(const char* prefix, int32_t index, const char* category,
                             char (&name)[400]) {
  const std::string itemName = prefix + std::to_string(index);
  std::memset(name, 0, sizeof(name));
  return LoadItem(itemName.c_str(), name, sizeof(name) - 1, category);
}

void DeployJob::ReportListProgress(double base, int32_t index, int32_t count) {
  if (progress == nullptr) return;
  const long double fraction = static_cast<long double>(index) / count * 0.3 + base;
  progress->SetProgress(static_cast<float>(fraction));
}

bool DeployJob::ExtractChannels() {
  int32_t count = 0;
  if (!ReadCount("ChannelCount", package::kChannelInfo, &count)) {
    Message("Can't find ChannelCount", "Error", os::kMbOk);
    return false;
  }
  char name[400];
  for (int32_t i = 0; i < count; ++i) {
    if (ReadListName("ChannelItemNameID", i, package::kChannelInfo, name)) ExtractItem(name, true);
  }
  if (!ReadCount("ChannelDLLCount", package::kChannelInfo, &count)) {
    Message("Can't find ChannelDLLCount", "Error", os::kMbOk);
    return false;
  }
  for (int32_t i = 0; i < count; ++i) {
    ReportListProgress(0.3, i, count);
    if (ReadListName("ChannelDLLItemNameID", i, package::kChannelInfo, name)) {
      ExtractItem(name, true);
    }
  }
  return true;
}

bool DeployJob::ExtractContentFiles() {
  int32_t count = 0;
  if (!ReadCount("FileCount", package::kFileInfo, &count)) {
    Message("Can't find FileCount", "Error", os::kMbOk);
    return false;
  }
  char name[400];
  for (int32_t i = 0; i < count; ++i) {
    ReportListProgress(0.6, i, count);
    if (ReadListName("ItemNameID", i, package::kFileInfo, name)) ExtractItem(name, false);
  }
  return true;
}

void DeployJob::ReleaseEngine() {
  if (fileLoader != nullptr) fileLoader->Release(1);
  fileLoader = nullptr;
  if (engineControl != nullptr) {
    engineControl->Release(1);
    engineControl = nullptr;
    channelFactory = nullptr;
    _platform.modules.Free(engineModule);
    engineModule = nullptr;
  }
}
