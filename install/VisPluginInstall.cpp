// Installation as a media-player visualization plug-in.
#include "deploy/DeployJob.h"

bool DeployJob::VisPluginMode() {
  return false;
}
