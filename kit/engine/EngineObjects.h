// The kit engine's object classes and the process-wide state they share (internal).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "deploy/EngineInterface.h"
#include "kit/engine/Engine.h"
#include "platform/Platform.h"

namespace kit::engine {

// Records one call in the journal.
void Note(const std::string& entry);
// A text argument as the journal shows it.
std::string Arg(const char* text);
// The engine's file system, or null when no platform was given.
os::Files* Files();
// Counts the objects that exist (LiveObjects).
class LiveCount {
 public:
  LiveCount();
  LiveCount(const LiveCount&) = delete;
  LiveCount& operator=(const LiveCount&) = delete;
  ~LiveCount();
};

class Decoder final : public ContainerDecoder {
 public:
  // Owned by the factory: Release only records the call.
  void ENGINE_CALL Release(int flags) override;
  // Decodes the kit loader's source; 0 for a loader from elsewhere or a damaged container.
  uint8_t ENGINE_CALL DecodeContainer(FileLoaderChannel* loader) override;
};

class Factory final : public ChannelFactory {
 public:
  Factory();
  // Owned by the control: Release only records the call.
  void ENGINE_CALL Release(int flags) override;
  void* ENGINE_CALL CreateChannel(Guid classId, int arg1, int arg2) override;

 private:
  Decoder _decoder;
};

class Control final : public EngineControl {
 public:
  void ENGINE_CALL Release(int flags) override;
  uint8_t ENGINE_CALL Initialize(void* instance, const char* windowClassName,
                                 void* ownerWindow) override;
  ChannelFactory* ENGINE_CALL GetChannelFactory() override;
  int ENGINE_CALL SetWorkDir(const char* workDir) override;

 private:
  LiveCount _live;
  Factory _factory;
  std::string _workDir;
};

// Output: the source as given until a decode; the decoded bytes after a good one; nothing
// after a damaged one.
class FileLoader final : public FileLoaderChannel {
 public:
  FileLoader();
  FileLoader(const FileLoader&) = delete;
  FileLoader& operator=(const FileLoader&) = delete;
  ~FileLoader();
  // The kit's own loader behind that interface, or null for one made elsewhere. (The shipped
  // builds have no type information to ask.)
  static FileLoader* Own(FileLoaderChannel* loader);

  void ENGINE_CALL Release(int flags) override;
  void ENGINE_CALL SetSource(const void* data, uint32_t size, int mode) override;
  uint8_t ENGINE_CALL HasTag(const char* tag, int arg) override;
  const uint8_t* ENGINE_CALL OutputData() override;
  uint32_t ENGINE_CALL OutputSize() override;

  // The decoder's work: decodes the source as a "TMKF" container into the output.
  bool DecodeSource();

 private:
  enum class State { Source, Decoded, Damaged };
  LiveCount _live;
  const uint8_t* _source = nullptr;
  uint32_t _sourceSize = 0;
  State _state = State::Source;
  std::vector<uint8_t> _output;
};

class DirectoryLister final : public DirectoryListChannel {
 public:
  void ENGINE_CALL Release(int flags) override;
  int32_t ENGINE_CALL NumFiles() override;
  int32_t ENGINE_CALL NumFolders() override;
  void ENGINE_CALL Scan(const char* pattern) override;
  void ENGINE_CALL SetFilter(const char* filter) override;
  const char* ENGINE_CALL FileAt(int32_t index) override;
  const char* ENGINE_CALL FolderAt(int32_t index) override;

 private:
  LiveCount _live;
  std::string _filter = "*.*";
  std::vector<std::string> _files;
  std::vector<std::string> _folders;
};

// Writes the layout of kit/engine/ChunkFile.h.
class FileSaver final : public FileSaverChannel {
 public:
  void ENGINE_CALL Release(int flags) override;
  uint8_t ENGINE_CALL Open(const char* path, int mode) override;
  void ENGINE_CALL BeginChunk(const char* tag) override;
  void ENGINE_CALL WriteChunkSize(uint32_t size) override;
  void ENGINE_CALL WriteData(const void* data, uint32_t size) override;
  void ENGINE_CALL Close() override;

 private:
  // Writes what the open chunk still owes the file: its header when no size came, or the zero
  // bytes that make up its declared size.
  void EndChunk();
  void Put(const void* data, uint32_t size);

  LiveCount _live;
  std::unique_ptr<os::File> _file;
  bool _inChunk = false;
  bool _sized = false;
  char _tag[4] = {};
  uint32_t _remaining = 0;
};

}  // namespace kit::engine
