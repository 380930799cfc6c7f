// The kit engine's file loader: passes a source through, or decodes it as a "TMKF" container.
#include <cstring>

#include "kit/engine/EngineObjects.h"
#include "kit/engine/TmkfContainer.h"

namespace kit::engine {

namespace {

// Never null, so a caller may hand it to a write of zero bytes.
const uint8_t kNoBytes[1] = {};

std::vector<FileLoader*>& LiveLoaders() {
  static std::vector<FileLoader*> loaders;
  return loaders;
}

}  // namespace

FileLoader::FileLoader() {
  LiveLoaders().push_back(this);
}

FileLoader::~FileLoader() {
  std::erase(LiveLoaders(), this);
}

FileLoader* FileLoader::Own(FileLoaderChannel* loader) {
  for (FileLoader* own : LiveLoaders()) {
    if (static_cast<FileLoaderChannel*>(own) == loader) return own;
  }
  return nullptr;
}

void ENGINE_CALL FileLoader::Release(int) {
  Note("Release FileLoaderChannel");
  delete this;
}

void ENGINE_CALL FileLoader::SetSource(const void* data, uint32_t size, int mode) {
  Note("SetSource " + std::to_string(size) + " " + std::to_string(mode));
  _source = static_cast<const uint8_t*>(data);
  _sourceSize = data != nullptr ? size : 0;
  _state = State::Source;
  _output.clear();
}

uint8_t ENGINE_CALL FileLoader::HasTag(const char* tag, int arg) {
  Note("HasTag " + Arg(tag) + " " + std::to_string(arg));
  if (tag == nullptr || _source == nullptr) return 0;
  const size_t length = std::strlen(tag);
  return length <= _sourceSize && std::memcmp(_source, tag, length) == 0 ? 1 : 0;
}

const uint8_t* ENGINE_CALL FileLoader::OutputData() {
  Note("OutputData");
  switch (_state) {
    case State::Source:
      return _source != nullptr ? _source : kNoBytes;
    case State::Decoded:
      return _output.empty() ? kNoBytes : _output.data();
    case State::Damaged:
      break;
  }
  return kNoBytes;
}

uint32_t ENGINE_CALL FileLoader::OutputSize() {
  Note("OutputSize");
  switch (_state) {
    case State::Source:
      return _sourceSize;
    case State::Decoded:
      return static_cast<uint32_t>(_output.size());
    case State::Damaged:
      break;
  }
  return 0;
}

bool FileLoader::DecodeSource() {
  // Decode clears the output on failure, so a damaged container never yields bytes.
  const bool good = tmkf::Decode({_source, _sourceSize}, &_output);
  _state = good ? State::Decoded : State::Damaged;
  return good;
}

}  // namespace kit::engine
