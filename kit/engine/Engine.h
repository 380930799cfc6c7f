// The kit's engine as a library: the objects behind "Zenthra.dll", usable in-process by tests.
//
// The engine reaches files only through the os::Files of the platform it was given, so host
// tests run it over the fake file system; the DLL gives it the real Win32 backend. Every call
// made on its objects is recorded in a journal, in order, so tests can check what the launcher
// asked and when. The state here is process-wide, as a DLL's would be: tests reset it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "deploy/EngineInterface.h"
#include "platform/Platform.h"

namespace kit::engine {

// The platform whose files the engine uses from now on (null: none, every file call fails).
// The platform must outlive every engine object.
void UsePlatform(os::Platform* platform);

// What the DLL's export does: a new EngineControl for every call (null only when the test
// switch noControl is set). Its type is GetEngineControlInstanceFn, so a test can register it
// as the export of a fake "zenthra.dll".
EngineControl* ENGINE_EXPORT_CALL GetEngineControlInstance();

// Every call on the engine's objects since the last reset, oldest first:
//   "GetEngineControlInstance", "SetWorkDir C:\work", "Initialize OrvaneExe Window",
//   "GetChannelFactory", "CreateChannel 6E93B1F4-27AC-4C58-9D02-8F4A71C3E5B6",
//   "SetSource 120 1", "HasTag TMKF 0", "DecodeContainer", "OutputSize", "OutputData",
//   "SetFilter *.*", "Scan C:\w\cache\\*.*", "NumFiles", "FileAt 0", "NumFolders", "FolderAt 0",
//   "Open C:\w\uninstall.nfo 0", "BeginChunk UNFC", "WriteChunkSize 4", "WriteData 4", "Close",
//   "Release FileLoaderChannel", "Release DirectoryListChannel", "Release FileSaverChannel",
//   "Release ChannelFactory", "Release ContainerDecoder", "Release EngineControl".
// A null text argument is written as "(null)".
const std::vector<std::string>& Journal();
// Also called with each entry as it is recorded (the DLL uses it to write a journal file).
void SetJournalSink(std::function<void(const std::string&)> sink);

// Failures the tests can ask for.
struct Switches {
  bool noControl = false;        // GetEngineControlInstance gives null
  bool initializeFails = false;  // Initialize answers 0
  bool noFileLoader = false;     // CreateChannel gives null for these class ids
  bool noDirectoryLister = false;
  bool noFileSaver = false;
};
Switches& TestSwitches();

// Engine objects alive now: controls (each with its factory) and channels.
int LiveObjects();

// Clears the journal and the switches; the platform and the sink stay.
void Reset();

// A class id in the usual 8-4-4-4-12 upper-case form, without braces.
std::string FormatGuid(const Guid& id);

}  // namespace kit::engine
