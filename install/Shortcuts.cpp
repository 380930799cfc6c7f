// Shortcuts and the registry records of an installation.
#include <cstring>
#include <string>

#include "deploy/DeployJob.h"

namespace {

constexpr char kViewersKey[] = "SOFTWARE\\Tillmark\\Orvane Viewers\\3.00.000\\";
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";
constexpr char kUninstaller[] = "\\ORVUnInst.exe";
// The classic path limit of the shell link fields and of the uninstall command's buffer.
constexpr size_t kMaxShellPath = 259;
constexpr int32_t kEInvalidArg = static_cast<int32_t>(0x80070057);

}  // namespace

int32_t DeployJob::CreateShortcut(const char* target, const char* linkPath, const char* description,
                                  const char* arguments) {
  if (target == nullptr || linkPath == nullptr || description == nullptr) return kEInvalidArg;
  // A path cut to fit would name another file: a link that does not fit is not written.
  if (std::strlen(linkPath) > kMaxShellPath || std::strlen(target) > kMaxShellPath ||
      std::strlen(workDir) > kMaxShellPath) {
    return kEInvalidArg;
  }
  os::ShellLink link;
  link.target = target;
  link.workingDir = workDir;
  link.description = description;
  if (arguments != nullptr) {
    link.arguments = arguments;
    link.hasArguments = true;
  }
  return _platform.shell.CreateLink(link, linkPath);
}

bool DeployJob::ReadProjectName(std::string* name) {
  char buffer[260] = {};
  if (!LoadItem("ProjectName", buffer, 259, nullptr)) {
    Message("Can't find project type ProjectName", "Error", os::kMbOk);
    return false;
  }
  *name = buffer;
  return true;
}

void DeployJob::WriteViewerRegistry() {
  std::string name;
  if (!ReadProjectName(&name)) return;
  const std::string key = kViewersKey + name;
  auto opened = _platform.registry.Create(os::RegRoot::LocalMachine, key);
  if (opened == nullptr) {
    Message("Error can't write in registry", key, os::kMbOk);
    return;
  }
  opened->SetString("DisplayName", workDir);
}

void DeployJob::WriteUninstallRegistry() {
  std::string name;
  if (!ReadProjectName(&name)) return;
  const std::string key = kUninstallKey + name;
  // Quoted, or Windows would try the folder's words one by one as programs.
  const std::string command = "\"" + std::string(workDir) + kUninstaller + "\"";
  if (command.size() > kMaxShellPath) {
    // An entry whose command names another program must not exist at all.
    Message("Error can't write in registry", key, os::kMbOk);
    return;
  }
  {
    auto opened = _platform.registry.Create(os::RegRoot::LocalMachine, key);
    if (opened == nullptr) {
      Message("Error can't write in registry", key, os::kMbOk);
      return;
    }
    opened->SetString("DisplayName", name);
  }
  auto again = _platform.registry.Create(os::RegRoot::LocalMachine, key);
  if (again == nullptr) return;
  again->SetString("UninstallString", command);
}
