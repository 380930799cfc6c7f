// Installation as a screensaver.
#include "deploy/DeployJob.h"

bool DeployJob::ScreensaverMode() {
  return false;
}

void DeployJob::CopyScreensaver() {}
