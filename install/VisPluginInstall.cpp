// Installation as a media-player visualization plug-in.
#include <new>
#include <string>

#include "deploy/DeployJob.h"
#include "deploy/EngineInterface.h"
#include "install/ConfigurationRecord.h"
#include "install/UninstallRecord.h"
#include "ui/InstallOptionsDialog.h"
#include "ui/ProgressWindow.h"

namespace {

constexpr char kPlugin[] = "WinAmp.dll";
constexpr char kUninstaller[] = "ORVUnInst.exe";
constexpr char kCommandKey[] = "Applications\\Winamp.exe\\shell\\open\\command";
constexpr char kUserKey[] = "Software\\Winamp";
// Both registry values are read into a 513-byte buffer.
constexpr uint32_t kMaxValueBytes = 513;

// A registry value's text: up to its first NUL, or all of it when it has none.
std::string ValueText(const os::RegValue& value) {
  return value.data.substr(0, value.data.find('\0'));
}

// The player's folder from its open command: the program path is the quoted text after an
// opening quote, or the text up to the first blank when there is none; the folder is that
// path up to and including its last backslash (empty without one).
std::string FolderOfCommand(const std::string& command) {
  std::string program;
  if (!command.empty() && command[0] == '"') {
    program = command.substr(1, command.find('"', 1) - 1);
  } else {
    program = command.substr(0, command.find(' '));
  }
  const size_t lastBackslash = program.rfind('\\');
  return lastBackslash == std::string::npos ? std::string() : program.substr(0, lastBackslash + 1);
}

// Finds the player's folder: the open command under the classes root, then the user key's
// default value as it is, then the user's choice after agreeing. False when the user declines
// or closes the browser.
bool FindPlayerFolder(os::Platform& platform, const std::string& projectName, std::string* folder) {
  os::RegValue value;
  if (platform.registry.Read(os::RegRoot::ClassesRoot, kCommandKey, "", kMaxValueBytes, &value)) {
    *folder = FolderOfCommand(ValueText(value));
    return true;
  }
  if (platform.registry.Read(os::RegRoot::CurrentUser, kUserKey, nullptr, kMaxValueBytes, &value)) {
    *folder = ValueText(value);
    return true;
  }
  if (platform.ui.ShowMessage(
          "WinAmp 2.x or 5.x installation folder could not be detected by the installer. This "
          "program needs WinAmp 2.x or 5.x (not 3.x) to run.\nWould you like to continue and "
          "manually select your WinAmp folder?",
          projectName, os::kMbIconWarning | os::kMbYesNo) != os::kIdYes) {
    return false;
  }
  return platform.dialogs.BrowseForFolder(nullptr, "Select Main WinAmp Install Folder",
                                          os::kBifReturnOnlyFsDirs | os::kBifEditBox, folder);
}

}  // namespace

bool DeployJob::VisPluginMode() {
  InstallOptionsDialog dialog(_platform.dialogs);
  auto missing = [this](const char* text) {
    Message(text, "Error", os::kMbOk);
    return false;
  };
  uint8_t checkDx = 0;
  if (!LoadItem("CheckDx8", &checkDx, 1, nullptr)) {
    return missing("Can't find project type CheckDx8");
  }
  // 259 bytes each into 260: always NUL-terminated. The project name's 259 bytes go into the
  // uninstall record as they are.
  char startupDirectory[260] = {};
  if (!LoadItem("StartupDirectory", startupDirectory, 259, nullptr)) {
    return missing("Can't find project type StartupDirectory");
  }
  char projectName[260] = {};
  if (!LoadItem("ProjectName", projectName, 259, nullptr)) {
    return missing("Can't find project type ProjectName");
  }
  // Required although this mode does not use its value.
  uint8_t playerVersion = 0;
  if (!LoadItem("WinampVersion", &playerVersion, 1, nullptr)) {
    return missing("Can't find winamp version");
  }
  if (checkDx != 0 && !CheckDirectX()) {
    Message(
        "DirectX 9.0C or higher was not detected on this system\n\rDirectX 9.0C or higher needs "
        "to be installed before the winamp plugin will work.",
        projectName, os::kMbIconWarning);
  }

  dialog.SetTitle(projectName);
  if (dialog.Show(instance, ownerWindow, startupDirectory) == 0) return false;

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
  ExtractItem(kPlugin, true);       // a missing plug-in shows in the failed copy

  std::string playerFolder;
  if (!FindPlayerFolder(_platform, projectName, &playerFolder)) return false;
  // A folder from the command text ends with a backslash: the doubled one is kept as composed.
  CopyToPlayerFolder(std::string(workDir) + "\\" + kPlugin, playerFolder + "\\Plugins\\vis_",
                     projectName, ".dll", "Unable to copy plug-in to WinAmp plug-in directory");
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
    // Without the screensaver options the record cannot fail.
    WriteConfigurationRecord(saver, *this, "\\winamp.cfg", false);
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
