// Installation as a screensaver.
#include <new>
#include <string>

#include "deploy/DeployJob.h"
#include "deploy/EngineInterface.h"
#include "install/ConfigurationRecord.h"
#include "install/UninstallRecord.h"
#include "ui/InstallOptionsDialog.h"
#include "ui/ProgressWindow.h"

namespace {

constexpr char kScreensaver[] = "ORVSvr.scr";
constexpr char kUninstaller[] = "ORVUnInst.exe";

}  // namespace

bool DeployJob::ScreensaverMode() {
  InstallOptionsDialog dialog(_platform.dialogs);
  auto missing = [this](const char* text) {
    Message(text, "Error", os::kMbOk);
    return false;
  };
  uint8_t checkDx = 0;
  if (!LoadItem("CheckDx8", &checkDx, 1, nullptr)) {
    return missing("Can't find project type CheckDx8");
  }
  // Required although this mode does not use its value.
  uint8_t runAfterInstall = 0;
  if (!LoadItem("RunAfterInstall", &runAfterInstall, 1, nullptr)) {
    return missing("Can't find project type RunAfterInstall");
  }
  // 259 bytes each into 260: always NUL-terminated. The project name's 259 bytes go into the
  // uninstall record as they are.
  char installPath[260] = {};
  if (!LoadItem("InstallPath", installPath, 259, nullptr)) {
    return missing("Can't find project type InstallPath");
  }
  char projectName[260] = {};
  if (!LoadItem("ProjectName", projectName, 259, nullptr)) {
    return missing("Can't find project type ProjectName");
  }
  if (checkDx != 0 && !CheckDirectX()) {
    Message(
        "DirectX 9.0C or higher was not detected on this system\n\rDirectX 9.0C or higher needs "
        "to be installed before the screen saver will work.",
        projectName, os::kMbIconWarning);
  }

  dialog.SetTitle(projectName);
  if (dialog.Show(instance, ownerWindow, installPath) == 0) return false;

  progress = new (std::nothrow) ProgressWindow(_platform.dialogs);
  auto moveBar = [this](float fraction) {
    if (progress != nullptr) progress->SetProgress(fraction);
  };
  if (progress != nullptr) {
    progress->SetText("Installing...");
    progress->Create(instance, ownerWindow);
  }
  moveBar(0.0f);

  // The dialog keeps at most 259 characters: they fit workDir.
  const std::string folder = dialog.Path();
  folder.copy(workDir, sizeof(workDir) - 1);
  workDir[folder.size()] = '\0';
  _platform.files.SetCurrentDir(workDir);

  if (!ExtractRuntimeFiles() || !StartEngine()) return false;
  moveBar(0.05f);
  ExtractItem(kUninstaller, true);  // an installation without its uninstaller still goes on
  CopyScreensaver();
  moveBar(0.1f);

  fileLoader = channelFactory == nullptr
                   ? nullptr
                   : static_cast<FileLoaderChannel*>(
                         channelFactory->CreateChannel(kFileLoaderClassId, 0, 0));
  if (fileLoader == nullptr) {
    Message("Can't init fileloader", "P", os::kMbOk);
    return false;
  }
  if (!ExtractChannels() || !ExtractContentFiles()) return false;

  // One saver writes both records; it is an engine object, so it goes before the engine.
  auto* saver =
      static_cast<FileSaverChannel*>(channelFactory->CreateChannel(kFileSaverClassId, 0, 0));
  if (saver != nullptr) {
    if (!WriteConfigurationRecord(saver, *this, "\\screensaver.cfg", true)) {
      saver->Release(1);
      return false;
    }
    WriteUninstallRecord(saver, *this, projectName, true);
    saver->Release(1);
  }
  ReleaseEngine();

  WriteViewerRegistry();
  WriteUninstallRegistry();
  moveBar(0.95f);
  if (progress != nullptr) progress->Destroy();  // the object goes with the job

  Message("Installation successfully completed!", projectName, os::kMbIconInformation);
  return true;
}

void DeployJob::CopyScreensaver() {
  ExtractItem(kScreensaver, true);  // a missing program shows in the failed copy
  const std::string source = std::string(workDir) + "\\" + kScreensaver;
  std::string systemDir;
  _platform.system.SystemDir(&systemDir);
  std::string name;
  if (!ReadProjectName(&name)) return;
  CopyToPlayerFolder(source, systemDir + "\\", name, ".scr",
                     "Unable to copy screensaver to system directory");
}
