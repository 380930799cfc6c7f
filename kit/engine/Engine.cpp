// The kit engine's shared state, its control, factory and container decoder.
#include <cstdio>
#include <utility>

#include "kit/engine/EngineObjects.h"

namespace kit::engine {

namespace {

struct State {
  os::Platform* platform = nullptr;
  std::vector<std::string> journal;
  std::function<void(const std::string&)> sink;
  Switches switches;
  int live = 0;
};

State& Global() {
  static State state;
  return state;
}

}  // namespace

void UsePlatform(os::Platform* platform) {
  Global().platform = platform;
}

const std::vector<std::string>& Journal() {
  return Global().journal;
}

void SetJournalSink(std::function<void(const std::string&)> sink) {
  Global().sink = std::move(sink);
}

Switches& TestSwitches() {
  return Global().switches;
}

int LiveObjects() {
  return Global().live;
}

void Reset() {
  Global().journal.clear();
  Global().switches = Switches{};
}

std::string FormatGuid(const Guid& id) {
  char text[37];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned>(id.data1), id.data2, id.data3, id.data4[0], id.data4[1],
                id.data4[2], id.data4[3], id.data4[4], id.data4[5], id.data4[6], id.data4[7]);
  return text;
}

void Note(const std::string& entry) {
  State& state = Global();
  state.journal.push_back(entry);
  if (state.sink) state.sink(entry);
}

std::string Arg(const char* text) {
  return text ? text : "(null)";
}

os::Files* Files() {
  os::Platform* platform = Global().platform;
  return platform ? &platform->files : nullptr;
}

LiveCount::LiveCount() {
  ++Global().live;
}
LiveCount::~LiveCount() {
  --Global().live;
}

EngineControl* ENGINE_EXPORT_CALL GetEngineControlInstance() {
  Note("GetEngineControlInstance");
  if (Global().switches.noControl) return nullptr;
  return new Control;
}

// --- Control ----------------------------------------------------------------------------------

void ENGINE_CALL Control::Release(int) {
  Note("Release EngineControl");
  delete this;
}

uint8_t ENGINE_CALL Control::Initialize(void*, const char* windowClassName, void*) {
  Note("Initialize " + Arg(windowClassName));
  if (Global().switches.initializeFails) return 0;
  return windowClassName != nullptr && windowClassName[0] != '\0' ? 1 : 0;
}

ChannelFactory* ENGINE_CALL Control::GetChannelFactory() {
  Note("GetChannelFactory");
  return &_factory;
}

int ENGINE_CALL Control::SetWorkDir(const char* workDir) {
  Note("SetWorkDir " + Arg(workDir));
  _workDir = workDir ? workDir : "";
  return 1;
}

// --- Factory ----------------------------------------------------------------------------------

Factory::Factory() {
  containerDecoder = &_decoder;
}

void ENGINE_CALL Factory::Release(int) {
  Note("Release ChannelFactory");
}

void* ENGINE_CALL Factory::CreateChannel(Guid classId, int, int) {
  Note("CreateChannel " + FormatGuid(classId));
  const Switches& switches = Global().switches;
  // Each channel is handed out as the interface pointer the caller casts the result to.
  if (classId == kFileLoaderClassId) {
    return switches.noFileLoader ? nullptr : static_cast<FileLoaderChannel*>(new FileLoader);
  }
  if (classId == kDirectoryListerClassId) {
    return switches.noDirectoryLister ? nullptr
                                      : static_cast<DirectoryListChannel*>(new DirectoryLister);
  }
  if (classId == kFileSaverClassId) {
    return switches.noFileSaver ? nullptr : static_cast<FileSaverChannel*>(new FileSaver);
  }
  return nullptr;
}

// --- Decoder ----------------------------------------------------------------------------------

void ENGINE_CALL Decoder::Release(int) {
  Note("Release ContainerDecoder");
}

uint8_t ENGINE_CALL Decoder::DecodeContainer(FileLoaderChannel* loader) {
  Note("DecodeContainer");
  FileLoader* own = FileLoader::Own(loader);
  return own != nullptr && own->DecodeSource() ? 1 : 0;
}

}  // namespace kit::engine
