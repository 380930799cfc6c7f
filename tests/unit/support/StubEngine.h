// A small engine for the launcher's tests: every call is journalled and each step can be made
// to fail. Its loader decodes "TMKF" + bytes by dropping the tag; its lister reads the fake
// file system; its saver records every call and creates the file it opens. Register it with
// Install(fakePlatform) under "zenthra.dll".
#pragma once

#include <string>
#include <vector>

#include "platform/fake/FakePlatform.h"

class FileSaverChannel;

namespace stub {

struct EngineConfig {
  bool noExport = false;
  bool nullControl = false;
  bool initializeFails = false;
  bool noFileLoader = false;
  bool noLister = false;
  bool noSaver = false;
  bool saverOpenFails = false;
};

// One call on a file saver: "Open" (text = path, size = mode), "BeginChunk" (text = tag),
// "WriteChunkSize" (size), "WriteData" (bytes, size) or "Close".
struct SaverCall {
  std::string op;
  std::string text;
  uint32_t size = 0;
  std::string bytes;
};

struct EngineState {
  EngineConfig config;
  std::vector<std::string> journal;
  int liveObjects = 0;  // controls and channels not yet released
  os::Files* files = nullptr;
  std::vector<SaverCall> saverCalls;  // every file saver's calls, in order
};

EngineState& Engine();
// Resets the state and registers the export with the fake's module table.
void Install(fake::FakePlatform& fp, EngineConfig config = {});
// A file saver as the engine's factory makes it (after Install); release it with Release(1).
FileSaverChannel* NewSaver();

}  // namespace stub
