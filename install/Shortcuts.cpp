// Shortcuts and the registry records of an installation.
#include "deploy/DeployJob.h"

int32_t DeployJob::CreateShortcut(const char*, const char*, const char*, const char*) {
  return -1;
}

void DeployJob::WriteViewerRegistry() {}

void DeployJob::WriteUninstallRegistry() {}
