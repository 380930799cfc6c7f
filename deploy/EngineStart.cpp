// Engine start-up and the channel and content lists.
#include "deploy/DeployJob.h"

void DeployJob::ExtendPath() {}

bool DeployJob::StartEngine() {
  return false;
}

bool DeployJob::ExtractChannels() {
  return false;
}

bool DeployJob::ExtractContentFiles() {
  return false;
}
