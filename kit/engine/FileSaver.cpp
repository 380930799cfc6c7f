// The kit engine's file saver: writes tagged chunks in the layout of ChunkFile.h.
#include <algorithm>
#include <cstring>

#include "kit/engine/ChunkFile.h"
#include "kit/engine/EngineObjects.h"

namespace kit::engine {

void ENGINE_CALL FileSaver::Release(int) {
  Note("Release FileSaverChannel");
  // A file still open is finished as Close would finish it.
  if (_file) EndChunk();
  delete this;
}

uint8_t ENGINE_CALL FileSaver::Open(const char* path, int mode) {
  Note("Open " + Arg(path) + " " + std::to_string(mode));
  if (_file) {
    EndChunk();
    _file.reset();
  }
  os::Files* files = Files();
  if (path == nullptr || files == nullptr) return 0;
  _file = files->Create(path);
  return _file ? 1 : 0;
}

void ENGINE_CALL FileSaver::BeginChunk(const char* tag) {
  Note("BeginChunk " + Arg(tag));
  if (!_file) return;
  EndChunk();
  std::memset(_tag, 0, sizeof _tag);
  for (size_t i = 0; tag != nullptr && i < sizeof _tag && tag[i] != '\0'; ++i) _tag[i] = tag[i];
  _inChunk = true;
  _sized = false;
  _remaining = 0;
}

void ENGINE_CALL FileSaver::WriteChunkSize(uint32_t size) {
  Note("WriteChunkSize " + std::to_string(size));
  if (!_file || !_inChunk || _sized || size == chunkfile::kNoSize) return;
  const uint8_t header[chunkfile::kChunkHeaderSize] = {
      static_cast<uint8_t>(_tag[0]),    static_cast<uint8_t>(_tag[1]),
      static_cast<uint8_t>(_tag[2]),    static_cast<uint8_t>(_tag[3]),
      static_cast<uint8_t>(size),       static_cast<uint8_t>(size >> 8),
      static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
  Put(header, sizeof header);
  _sized = true;
  _remaining = size;
}

void ENGINE_CALL FileSaver::WriteData(const void* data, uint32_t size) {
  Note("WriteData " + std::to_string(size));
  if (!_file || !_inChunk || !_sized || data == nullptr) return;
  const uint32_t kept = std::min(size, _remaining);
  Put(data, kept);
  _remaining -= kept;
}

void ENGINE_CALL FileSaver::Close() {
  Note("Close");
  if (!_file) return;
  EndChunk();
  _file.reset();
}

void FileSaver::EndChunk() {
  if (!_inChunk) return;
  _inChunk = false;
  if (!_sized) {
    const uint8_t header[chunkfile::kChunkHeaderSize] = {static_cast<uint8_t>(_tag[0]),
                                                         static_cast<uint8_t>(_tag[1]),
                                                         static_cast<uint8_t>(_tag[2]),
                                                         static_cast<uint8_t>(_tag[3]),
                                                         0xFF,
                                                         0xFF,
                                                         0xFF,
                                                         0xFF};
    Put(header, sizeof header);
    return;
  }
  static const uint8_t kZeros[4096] = {};
  while (_remaining > 0) {
    const uint32_t step = std::min<uint32_t>(_remaining, sizeof kZeros);
    Put(kZeros, step);
    _remaining -= step;
  }
}

void FileSaver::Put(const void* data, uint32_t size) {
  // A short or failed write is not reported: the saver's callers do not look at results.
  uint32_t written = 0;
  if (size > 0) _file->Write(data, size, &written);
}

}  // namespace kit::engine
