// Mode dispatch.
#include "app/LauncherApp.h"

#include "deploy/DeployJob.h"
#include "package/PackageFormat.h"
#include "package/PackageReader.h"

namespace {

enum ProjectType : int32_t {
  kRunInPlace = 1,
  kInstallToFolder = 2,
  kInstallScreensaver = 5,
  kInstallVisPlugin = 6,
};

}  // namespace

void LauncherApp::Init(os::Instance instance, os::Window ownerWindow) {
  _instance = instance;
  _ownerWindow = ownerWindow;
}

void LauncherApp::Run() {
  int32_t projectType = 0;
  if (!ReadSetting("ProjectType", &projectType, sizeof(projectType))) {
    _platform.ui.ShowMessage("Can't find project type", "Error", os::kMbOk);
    return;
  }
  switch (projectType) {
    case kRunInPlace:
      RunInPlace();
      break;
    case kInstallToFolder:
      InstallToFolder();
      break;
    case kInstallScreensaver:
      InstallScreensaver();
      break;
    case kInstallVisPlugin:
      InstallVisPlugin();
      break;
    default:
      break;  // other values are silently ignored
  }
}

bool LauncherApp::ReadSetting(const char* name, void* buffer, uint32_t count) {
  PackageReader reader(_platform);
  return reader.ReadItem(name, buffer, count, package::kAppData);
}

void LauncherApp::RunInPlace() {
  DeployJob job(_platform);
  job.SetOwner(_instance, _ownerWindow);
  job.RunMode();
}

void LauncherApp::InstallToFolder() {
  DeployJob job(_platform);
  job.SetOwner(_instance, _ownerWindow);
  job.InstallMode();
}

void LauncherApp::InstallScreensaver() {
  DeployJob job(_platform);
  job.SetOwner(_instance, _ownerWindow);
  job.ScreensaverMode();
}

void LauncherApp::InstallVisPlugin() {
  DeployJob job(_platform);
  job.SetOwner(_instance, _ownerWindow);
  job.VisPluginMode();
}
