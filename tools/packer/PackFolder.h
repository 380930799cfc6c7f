// pack-folder: a package from a project folder, the kit's programs and the installation
// settings, built through a manifest made in memory (the same path as the build command).
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace packer {

struct PackFolderOptions {
  std::string project;      // the project folder
  std::string kit;          // the folder with the kit's programs
  std::string launcher;     // launcher executable
  std::string output;       // executable to write
  std::string type;         // "run", "folder", "screensaver" or "plugin"
  std::string start;        // the start project; empty: "start.orv" in the project folder
  std::string manifestOut;  // where to write the equivalent manifest; empty: nowhere

  // Settings. Unset texts get defaults from the name; options the type does not use are refused.
  std::optional<std::string> name;  // default: the project folder's name
  std::optional<std::string> installPath;
  std::optional<std::string> shortcut;
  std::optional<std::string> startupDir;
  std::optional<int> winampVersion;  // default 5
  bool checkDx8 = false;
  bool runAfterInstall = false;
  bool quitCgr = false;
  bool smallPreview = false;
};

// Exit code: 0 done, 1 failed (missing kit files, refused project file names, unreadable
// folders, a failed build), 2 options that do not fit the type.
int PackFolder(const PackFolderOptions& options, std::ostream& out, std::ostream& err);

// Why the launcher would refuse a project item name such as "\data\scene.txt" (empty when it
// takes it): "..", ':', the characters < > " | ? *, control and non-ASCII characters, Windows
// device names, empty components or ones ending in '.' or ' ', more than 259 characters.
std::string ProjectItemNameProblem(const std::string& name);

}  // namespace packer
