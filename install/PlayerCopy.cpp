// Copying a player program out of the target folder, shared by the screensaver and plug-in
// installations.
#include <string>

#include "deploy/DeployJob.h"

namespace {

// Both paths of the copy live in 260-byte buffers.
constexpr size_t kMaxCopyPath = 259;
constexpr uint32_t kErrFilenameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE

// One name within the player's folder: a separator, a drive or stream colon or a ".." could
// place the copy elsewhere.
bool IsPlainName(const std::string& name) {
  return name.find_first_of("\\/:") == std::string::npos && name.find("..") == std::string::npos;
}

}  // namespace

void DeployJob::CopyToPlayerFolder(const std::string& source, const std::string& folderAndPrefix,
                                   const std::string& projectName, const char* extension,
                                   const char* failureText) {
  const std::string target = folderAndPrefix + projectName + extension;
  uint32_t error = 0;
  if (!IsPlainName(projectName)) {
    error = os::kErrInvalidName;
  } else if (source.size() > kMaxCopyPath || target.size() > kMaxCopyPath) {
    error = kErrFilenameTooLong;
  } else if (!_platform.files.Copy(source, target, false)) {  // an earlier copy is overwritten
    error = _platform.system.LastError();
  }
  if (error != 0) {
    Message(std::to_string(error), target, os::kMbOk);
    Message(failureText, target, os::kMbOk);
  }
  // Recorded even when it was not made, as the uninstall record expects.
  RecordPath(createdFiles, target);
}
