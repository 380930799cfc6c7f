// What the two players the installer copies out of the target folder (the screensaver
// "ORVSvr.scr" and the plug-in library "WinAmp.dll") have in common: finding the installation
// from their own file name, reading its configuration record and opening the start project
// through the engine installed beside it. Reaches the system only through the platform layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kit/engine/ChunkFile.h"
#include "platform/Platform.h"

namespace player {

inline constexpr char kViewersKeyPrefix[] = "SOFTWARE\\Tillmark\\Orvane Viewers\\3.00.000\\";

// How a player names itself once copied: <system dir>\<project>.scr, or
// <player>\Plugins\vis_<project>.dll.
struct Naming {
  const char* prefix;      // before the project name in the copy's file name
  const char* extension;   // after it, with its dot
  const char* recordName;  // the configuration record in the target folder
  const char* original;    // the player's name as extracted into the target folder
};
inline constexpr Naming kScreensaver = {"", ".scr", "screensaver.cfg", "ORVSvr.scr"};
inline constexpr Naming kPlugin = {"vis_", ".dll", "winamp.cfg", "WinAmp.dll"};

// The configuration record: "SCFP", "SCTI" and, for the screensaver, "SCQC" and "SCSP".
struct Record {
  std::string startPath;
  bool hasTimer = false;
  uint32_t timer = 0;    // "SCTI"
  int quitByte = -1;     // "SCQC"; -1 when absent
  int previewByte = -1;  // "SCSP"; -1 when absent
};

// False unless the chunks begin with a sized "SCFP" holding a path and a 4-byte "SCTI"; the
// two option chunks are optional and each must hold one byte.
bool ParseRecord(const std::vector<chunkfile::Chunk>& chunks, Record* record);

struct Installation {
  std::string projectName;  // from the player's file name; empty when it does not fit
  std::string folder;       // the target folder, without a trailing backslash
  std::string foundBy;      // "registry", "own folder" or "" (not found)
  std::string recordPath;
  bool recordRead = false;
  Record record;
};

// The project name that the player's own file name carries, or "" for the original player
// (or any name without the prefix and extension), compared ignoring ASCII case.
std::string ProjectNameOf(const std::string& modulePath, const Naming& naming);

// The copy finds its folder through the viewers record that the installation wrote for the
// project; the original (or a copy whose record is gone) looks beside itself. The record is
// then read from that folder.
Installation FindInstallation(os::Files& files, os::Registry& registry,
                              const std::string& modulePath, const Naming& naming);

// The start project as the engine's file loader decodes it: text lines "key=value".
struct Project {
  bool decoded = false;
  std::string how;  // what happened, for the window and the report
  std::string name;
  std::string report;  // "report=": a file to write what the player saw
  int seconds = 5;     // "seconds=": how long the player shows itself
};

// Reads startPath and decodes it with "Zenthra.dll" from folder.
Project LoadProject(os::Files& files, os::Modules& modules, const std::string& folder,
                    const std::string& startPath);

// "key=value" lines of what was found and read, for the window and the report file.
std::string Describe(const Installation& installation, const Project& project);

bool WriteText(os::Files& files, const std::string& path, const std::string& text);

}  // namespace player
