// The uninstaller's work over the platform layer: reading "uninstall.nfo" and removing what it
// lists, so that the host tests run it over the fake platform.
#pragma once

#include <string>
#include <vector>

#include "kit/engine/ChunkFile.h"
#include "platform/Platform.h"

namespace uninst {

inline constexpr char kRecordName[] = "uninstall.nfo";
inline constexpr char kProgramName[] = "ORVUnInst.exe";
inline constexpr char kUninstallKeyPrefix[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";
inline constexpr char kViewersKeyPrefix[] = "SOFTWARE\\Tillmark\\Orvane Viewers\\3.00.000\\";

// What an installation left, in record order (folders: each before its parent).
struct Record {
  std::vector<std::string> files;
  std::vector<std::string> folders;
  std::string projectName;
  // Entries that filled their whole 259-byte field: possibly cut, so never acted on.
  int cutEntries = 0;
};

// Accepts exactly the chunk sequence the installers write: "UNFC", that many "UNFN", "UNDC",
// that many "UNDN", "UNPN", and at most an empty "UNSK". Anything else, or a project name that
// is empty or holds a backslash, is damage: false.
bool ParseRecord(const std::vector<chunkfile::Chunk>& chunks, Record* record);

// True for a drive-letter path ("C:\...") whose components are never "." or "..", never end in
// a dot or blank (Windows would trim them into another name) and hold no stream colon,
// wildcard or control character. Repeated separators and '/' are allowed, as installers write
// them.
bool IsPlainAbsolutePath(const std::string& path);

// True when the path or any folder on the way to it is a junction or symbolic link.
bool CrossesReparsePoint(os::Files& files, const std::string& path);

// The registry's key deletion (RegDeleteKeyA under HKEY_LOCAL_MACHINE), which the platform
// layer does not offer.
class KeyRemover {
 public:
  virtual ~KeyRemover() = default;
  virtual bool DeleteKey(const std::string& key) = 0;
};

struct Outcome {
  int filesRemoved = 0;
  int foldersRemoved = 0;
  int left = 0;  // listed entries still on disk, or refused
  bool uninstallKeyRemoved = false;
  bool viewersKeyRemoved = false;
};

// Removes, in this order: every listed file (except keepFile, compared without regard to case
// and separators), the uninstall and viewers keys of the project when they still name
// installFolder, installFolder\uninstall.nfo, then the listed folders in record order (only
// empty ones go). Paths that are not plain absolute paths or that lead through a junction are
// left alone.
Outcome RemoveInstallation(os::Files& files, os::Registry& registry, KeyRemover& keys,
                           const std::string& installFolder, const Record& record,
                           const std::string& keepFile);

// The folder part of a program path, without its trailing backslash.
std::string FolderOf(const std::string& path);

}  // namespace uninst
