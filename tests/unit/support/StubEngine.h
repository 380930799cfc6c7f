// A small engine for the launcher's tests: every call is journalled and each step can be made
// to fail. Its loader decodes "TMKF" + bytes by dropping the tag; its lister reads the fake
// file system. Register it with Install(fakePlatform) under "zenthra.dll".
#pragma once

#include <string>
#include <vector>

#include "platform/fake/FakePlatform.h"

namespace stub {

struct EngineConfig {
  bool noExport = false;
  bool nullControl = false;
  bool initializeFails = false;
  bool noFileLoader = false;
  bool noLister = false;
  bool noSaver = false;
};

struct EngineState {
  EngineConfig config;
  std::vector<std::string> journal;
  int liveObjects = 0;  // controls and channels not yet released
  os::Files* files = nullptr;
};

EngineState& Engine();
// Resets the state and registers the export with the fake's module table.
void Install(fake::FakePlatform& fp, EngineConfig config = {});

}  // namespace stub
