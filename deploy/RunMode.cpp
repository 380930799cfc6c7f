// Run in place: extract into a temporary folder, run the viewer, remove everything.
#include "deploy/DeployJob.h"

bool DeployJob::RunMode() {
  return false;
}

void DeployJob::LaunchViewer(bool) {}

void DeployJob::Cleanup() {}

void DeployJob::DeleteTree(const char*) {}
