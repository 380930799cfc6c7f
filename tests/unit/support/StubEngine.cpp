// Stub engine.
#include "tests/unit/support/StubEngine.h"

#include <cstring>
#include <memory>

#include "deploy/EngineInterface.h"

namespace stub {

namespace {

EngineState gState;

void Log(const std::string& line) {
  gState.journal.push_back(line);
}

class Loader final : public FileLoaderChannel {
 public:
  void Release(int) override {
    Log("release loader");
    --gState.liveObjects;
    delete this;
  }
  void SetSource(const void* data, uint32_t size, int mode) override {
    Log("SetSource " + std::to_string(size) + " " + std::to_string(mode));
    _data = static_cast<const uint8_t*>(data);
    _size = size;
    _decoded.clear();
    _isDecoded = false;
  }
  uint8_t HasTag(const char* tag, int arg) override {
    Log(std::string("HasTag ") + tag + " " + std::to_string(arg));
    return _size >= 4 && std::memcmp(_data, tag, 4) == 0;
  }
  const uint8_t* OutputData() override {
    Log("OutputData");
    return _isDecoded ? _decoded.data() : _data;
  }
  uint32_t OutputSize() override {
    Log("OutputSize");
    return _isDecoded ? static_cast<uint32_t>(_decoded.size()) : _size;
  }
  void Decode() {
    _decoded.assign(_data + 4, _data + _size);
    _isDecoded = true;
  }

 private:
  const uint8_t* _data = nullptr;
  uint32_t _size = 0;
  std::vector<uint8_t> _decoded;
  bool _isDecoded = false;
};

class Decoder final : public ContainerDecoder {
 public:
  void Release(int) override {}
  uint8_t DecodeContainer(FileLoaderChannel* loader) override {
    Log("DecodeContainer");
    static_cast<Loader*>(loader)->Decode();
    return 1;
  }
};

class Lister final : public DirectoryListChannel {
 public:
  void Release(int) override {
    --gState.liveObjects;
    delete this;
  }
  int32_t NumFiles() override { return static_cast<int32_t>(_files.size()); }
  int32_t NumFolders() override { return static_cast<int32_t>(_folders.size()); }
  void Scan(const char* pattern) override {
    Log(std::string("Scan ") + pattern);
    std::vector<os::FoundItem> items;
    gState.files->List(pattern, &items);
    for (const auto& item : items) (item.directory ? _folders : _files).push_back(item.name);
  }
  void SetFilter(const char* filter) override { Log(std::string("SetFilter ") + filter); }
  const char* FileAt(int32_t i) override { return _files.at(static_cast<size_t>(i)).c_str(); }
  const char* FolderAt(int32_t i) override { return _folders.at(static_cast<size_t>(i)).c_str(); }

 private:
  std::vector<std::string> _files, _folders;
};

class Saver final : public FileSaverChannel {
 public:
  void Release(int) override {
    --gState.liveObjects;
    delete this;
  }
  uint8_t Open(const char* path, int mode) override {
    Call("Open", path, static_cast<uint32_t>(mode));
    if (gState.config.saverOpenFails) return 0;
    _file = gState.files->Create(path);
    return _file != nullptr;
  }
  void BeginChunk(const char* tag) override { Call("BeginChunk", tag); }
  void WriteChunkSize(uint32_t size) override { Call("WriteChunkSize", "", size); }
  void WriteData(const void* data, uint32_t size) override {
    const auto* bytes = static_cast<const char*>(data);
    Call("WriteData", "", size, std::string(bytes, bytes + size));
  }
  void Close() override {
    Call("Close");
    _file.reset();
  }

 private:
  static void Call(const char* op, const char* text = "", uint32_t size = 0,
                   std::string bytes = {}) {
    gState.saverCalls.push_back(SaverCall{op, text, size, std::move(bytes)});
  }
  std::unique_ptr<os::File> _file;
};

class Factory final : public ChannelFactory {
 public:
  Factory() { containerDecoder = &_decoder; }
  void Release(int) override {}
  void* CreateChannel(Guid id, int a, int b) override {
    Log("CreateChannel " + std::to_string(id.data1) + " " + std::to_string(a) + " " +
        std::to_string(b));
    const EngineConfig& c = gState.config;
    if (id == kFileLoaderClassId && !c.noFileLoader) return Count(new Loader);
    if (id == kDirectoryListerClassId && !c.noLister) return Count(new Lister);
    if (id == kFileSaverClassId && !c.noSaver) return Count(new Saver);
    return nullptr;
  }

 private:
  template <typename T>
  static T* Count(T* channel) {
    ++gState.liveObjects;
    return channel;
  }
  Decoder _decoder;
};

class Control final : public EngineControl {
 public:
  void Release(int flags) override {
    Log("release control " + std::to_string(flags));
    --gState.liveObjects;
    delete this;
  }
  uint8_t Initialize(void*, const char* windowClass, void*) override {
    Log(std::string("Initialize ") + windowClass);
    return gState.config.initializeFails ? 0 : 1;
  }
  ChannelFactory* GetChannelFactory() override {
    Log("GetChannelFactory");
    return &_factory;
  }
  int SetWorkDir(const char* dir) override {
    Log(std::string("SetWorkDir ") + dir);
    return 1;
  }

 private:
  Factory _factory;
};

EngineControl* ENGINE_EXPORT_CALL GetInstance() {
  Log("GetEngineControlInstance");
  if (gState.config.nullControl) return nullptr;
  ++gState.liveObjects;
  return new Control;
}

}  // namespace

FileSaverChannel* NewSaver() {
  ++gState.liveObjects;
  return new Saver;
}

EngineState& Engine() {
  return gState;
}

void Install(fake::FakePlatform& fp, EngineConfig config) {
  gState = EngineState{};
  gState.config = config;
  gState.files = &fp.files;
  std::map<std::string, void*> exports;
  if (!config.noExport) {
    exports[kGetEngineControlInstanceName] = reinterpret_cast<void*>(&GetInstance);
  }
  fp.modules.Register("zenthra.dll", exports);
}

}  // namespace stub
