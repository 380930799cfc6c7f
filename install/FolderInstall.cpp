// Installation into a folder with Start-menu entries.
#include "deploy/DeployJob.h"

bool DeployJob::InstallMode() {
  return false;
}
