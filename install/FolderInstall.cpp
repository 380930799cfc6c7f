// Installation into a folder with Start-menu entries.
#include <new>
#include <string>

#include "deploy/DeployJob.h"
#include "deploy/EngineInterface.h"
#include "install/UninstallRecord.h"
#include "ui/InstallOptionsDialog.h"
#include "ui/ProgressWindow.h"

namespace {

constexpr char kViewer[] = "OrvaneViewer.exe";
constexpr char kUninstaller[] = "ORVUnInst.exe";
// The Start-menu walk looks at the classic path limit only.
constexpr size_t kMaxWalkedLinkPath = 259;

// Creates the folders on the way to a Start-menu link, recording each one it made.
void CreateLinkFolders(os::Files& files, PointerArray& createdDirs, const std::string& linkPath) {
  std::string prefix;
  for (size_t i = 0; i < linkPath.size() && i < kMaxWalkedLinkPath; ++i) {
    const char c = linkPath[i] == '/' ? '\\' : linkPath[i];
    prefix.push_back(c);
    if (c == '\\' && files.CreateDir(prefix)) RecordPath(createdDirs, prefix);
  }
}

}  // namespace

bool DeployJob::InstallMode() {
  auto missing = [this](const char* text) {
    Message(text, "Error", os::kMbOk);
    return false;
  };
  uint8_t checkDx = 0;
  if (!LoadItem("CheckDx8", &checkDx, 1, nullptr)) {
    return missing("Can't find project type CheckDx8");
  }
  uint8_t runAfterInstall = 0;
  if (!LoadItem("RunAfterInstall", &runAfterInstall, 1, nullptr)) {
    return missing("Can't find project type RunAfterInstall");
  }
  if (checkDx != 0 && !CheckDirectX() &&
      _platform.ui.ShowMessage(
          "DirectX 9.0C or higher was not detected on this system\r\nPlease install DirectX 9.0C "
          "or higher before running the program that is installed.\r\nContinue installation?",
          "DirectX version check", os::kMbIconWarning | os::kMbYesNo) != os::kIdYes) {
    return false;
  }
  // 259 bytes each into 260: always NUL-terminated. The project name's 259 bytes go into the
  // uninstall record as they are.
  char installPath[260] = {};
  if (!LoadItem("InstallPath", installPath, 259, nullptr)) {
    return missing("Can't find project type InstallPath");
  }
  char shortcutName[260] = {};
  if (!LoadItem("ShortCutName", shortcutName, 259, nullptr)) {
    return missing("Can't find project type ShortCutName");
  }
  char projectName[260] = {};
  if (!LoadItem("ProjectName", projectName, 259, nullptr)) {
    return missing("Can't find project type ProjectName");
  }

  InstallOptionsDialog dialog(_platform.dialogs);
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

  // The first extraction creates the target folder and its missing parents.
  if (!ExtractItem(kViewer, true)) {
    Message("OrvaneViewer.exe not found", "P", os::kMbOk);
    return false;
  }
  moveBar(0.05f);
  if (!ExtractRuntimeFiles()) return false;
  moveBar(0.25f);

  std::string programs;
  if (_platform.shell.ProgramsFolder(ownerWindow, &programs)) {
    // "ShortCutName" is joined on without a separator: a leading backslash puts the entry
    // inside the Programs folder.
    const std::string link = programs + shortcutName + ".lnk";
    CreateLinkFolders(_platform.files, createdDirs, link);
    CreateShortcut((std::string(workDir) + "\\" + kViewer).c_str(), link.c_str(),
                   "Orvane Project Link", "ORVStart.orv");
    RecordPath(createdFiles, link);
    const std::string uninstallLink = programs + shortcutName + " Uninstall.lnk";
    CreateShortcut((std::string(workDir) + "\\" + kUninstaller).c_str(), uninstallLink.c_str(),
                   "Orvane Uninstall Link", nullptr);
    RecordPath(createdFiles, uninstallLink);
  }
  moveBar(0.3f);

  if (!StartEngine()) return false;
  ExtractItem(kUninstaller, true);  // an installation without its uninstaller still goes on
  fileLoader = channelFactory == nullptr
                   ? nullptr
                   : static_cast<FileLoaderChannel*>(
                         channelFactory->CreateChannel(kFileLoaderClassId, 0, 0));
  if (fileLoader == nullptr) {
    Message("Can't init fileloader", "P", os::kMbOk);
    return false;
  }
  if (!ExtractChannels() || !ExtractContentFiles()) return false;

  // The saver is an engine object: the record is written before the engine goes.
  auto* saver =
      static_cast<FileSaverChannel*>(channelFactory->CreateChannel(kFileSaverClassId, 0, 0));
  if (saver != nullptr) {
    WriteUninstallRecord(saver, *this, projectName, false);
    saver->Release(1);
  }
  ReleaseEngine();

  moveBar(0.95f);
  if (progress != nullptr) progress->Destroy();
  delete progress;
  progress = nullptr;

  WriteUninstallRegistry();
  if (runAfterInstall != 0 && CheckDirectX()) {
    _platform.files.SetCurrentDir(workDir);
    LaunchViewer(false);
  } else {
    Message(
        "Installation successfully completed!\r\nYou are able to find the installed program in "
        "the Start menu.",
        projectName, os::kMbIconInformation);
  }
  return true;
}
