// The top of the program: reads "ProjectType" and runs the one job it selects.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

class LauncherApp {
 public:
  explicit LauncherApp(os::Platform& platform) : _platform(platform) {}
  LauncherApp(const LauncherApp&) = delete;
  LauncherApp& operator=(const LauncherApp&) = delete;
  virtual ~LauncherApp() = default;

  // Reads "ProjectType" and calls the matching mode operation (1, 2, 5, 6); any other value
  // does nothing. A missing or damaged setting shows "Can't find project type".
  virtual void Run();
  virtual void Init(os::Instance instance, os::Window ownerWindow);
  // Reads an "APPDATA" item into buffer through a reader of its own, built for this call only.
  virtual bool ReadSetting(const char* name, void* buffer, uint32_t count);
  virtual void RunInPlace();
  virtual void InstallToFolder();
  virtual void InstallScreensaver();
  virtual void InstallVisPlugin();

 protected:
  os::Platform& _platform;
  os::Instance _instance = nullptr;
  os::Window _ownerWindow = nullptr;
};
