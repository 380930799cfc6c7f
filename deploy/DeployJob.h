// The deployment job through which every mode works: its reader, work folder, engine objects
// and the lists of every file and folder it created.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>

#include "app/PointerArray.h"
#include "platform/Platform.h"

class PackageReader;
class ProgressWindow;
class EngineControl;
class ChannelFactory;
class FileLoaderChannel;
class FileSaverChannel;

class DeployJob {
 public:
  // Builds the job's own reader, which opens the program's file and reads the index at once.
  explicit DeployJob(os::Platform& platform);
  DeployJob(const DeployJob&) = delete;
  DeployJob& operator=(const DeployJob&) = delete;
  // Destroys the progress window and the reader, then releases every recorded path.
  virtual ~DeployJob();

  virtual void SetOwner(os::Instance instance, os::Window ownerWindow);
  // Picks and creates the run-mode work folder "Orvane<n>" in the temporary folder. Silent.
  virtual bool MakeWorkDir();
  // Reads an item through the reader (null category: "APPDATA"). Without a buffer, itemData and
  // itemSize describe the reader's copy afterwards. Shows nothing of its own.
  virtual bool LoadItem(const char* name, void* buffer, uint32_t length, const char* category);
  virtual bool RunMode();
  // Extracts the engine, its channels, the C runtime and the start project, in that order.
  virtual bool ExtractRuntimeFiles();
  // Writes one "APPDATA" item to workDir\name, creating and recording the folders on the way.
  // decode: inflate the zlib form (or, once the file loader exists, pass it through the loader).
  virtual bool ExtractItem(const char* name, bool decode);
  virtual bool StartEngine();
  virtual bool ExtractChannels();
  virtual bool ExtractContentFiles();
  virtual void LaunchViewer(bool wait);
  virtual void Cleanup();
  virtual bool CheckDirectX();
  virtual int IsDirectX9cPresent();
  virtual bool InstallMode();
  virtual int32_t CreateShortcut(const char* target, const char* linkPath, const char* description,
                                 const char* arguments);
  virtual void WriteViewerRegistry();
  virtual void WriteUninstallRegistry();
  virtual bool ScreensaverMode();
  virtual void CopyScreensaver();
  virtual bool VisPluginMode();
  virtual void DeleteTree(const char* folder);
  virtual void ExtendPath();

  // Longest path the job builds in its 400-byte buffers.
  static constexpr size_t kMaxWorkPath = 399;

  os::Instance instance = nullptr;
  os::Module engineModule = nullptr;
  char workDir[400] = {};
  const uint8_t* itemData = nullptr;
  uint32_t itemSize = 0;
  EngineControl* engineControl = nullptr;
  ChannelFactory* channelFactory = nullptr;
  FileLoaderChannel* fileLoader = nullptr;
  os::Window ownerWindow = nullptr;
  PointerArray createdFiles;  // heap copies of paths, owned by the job
  PointerArray createdDirs;   // heap copies of paths ending with a backslash, owned by the job
  ProgressWindow* progress = nullptr;
  PackageReader* reader = nullptr;

 protected:
  void Message(const std::string& text, const std::string& caption, uint32_t style);
  void CreateFoldersOnTheWay(const std::string& target);
  bool WriteWholeFile(const std::string& path, const uint8_t* data, uint32_t count);
  bool ReadCount(const char* name, const char* category, int32_t* count);
  bool ReadListName(const char* prefix, int32_t index, const char* category, char (&name)[400]);
  void ReportListProgress(double base, int32_t index, int32_t count);
  // Releases the file loader, then the control, and unloads the engine library.
  void ReleaseEngine();
  // Reads "ProjectName" (259 bytes) up to its NUL; shows the missing-setting box on failure.
  bool ReadProjectName(std::string* name);
  // Copies source to folderAndPrefix + projectName + extension for a player program and records
  // the target whether or not the copy succeeded. A failed copy, a project name that is not one
  // plain file name, or a path beyond the classic limit shows the error number, then
  // failureText, both captioned with the target. Nothing is written outside the folder.
  void CopyToPlayerFolder(const std::string& source, const std::string& folderAndPrefix,
                          const std::string& projectName, const char* extension,
                          const char* failureText);

  // Shows its own missing-setting message through the job.
  friend bool WriteConfigurationRecord(FileSaverChannel* saver, DeployJob& job,
                                       const char* fileName, bool withScreensaverOptions);

  os::Platform& _platform;
  // Folders this job created or found present, folded to lower case: each is tried once.
  std::unordered_set<std::string> _knownFolders;
};

// Appends a heap copy of path to a job list.
void RecordPath(PointerArray& list, const std::string& path);
// Releases every path a job list holds and empties it.
void ReleasePaths(PointerArray& list);
