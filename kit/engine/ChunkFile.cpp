// Reading the engine's chunk files, checking every field against the bytes that remain.
#include "kit/engine/ChunkFile.h"

#include <cstring>
#include <memory>
#include <utility>

namespace chunkfile {

namespace {

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

bool Chunk::U32(uint32_t* value) const {
  if (data.size() != 4) return false;
  *value = GetU32(data.data());
  return true;
}

std::string Chunk::Text() const {
  if (data.empty()) return {};
  const auto* begin = reinterpret_cast<const char*>(data.data());
  const void* nul = std::memchr(begin, 0, data.size());
  const size_t length = nul ? static_cast<const char*>(nul) - begin : data.size();
  return std::string(begin, length);
}

bool Parse(std::span<const uint8_t> bytes, std::vector<Chunk>* chunks) {
  chunks->clear();
  size_t pos = 0;
  while (pos < bytes.size()) {
    if (bytes.size() - pos < kChunkHeaderSize) return false;
    Chunk chunk;
    chunk.tag.assign(reinterpret_cast<const char*>(bytes.data() + pos), kTagSize);
    const uint32_t size = GetU32(bytes.data() + pos + kTagSize);
    pos += kChunkHeaderSize;
    if (size != kNoSize) {
      if (bytes.size() - pos < size) return false;
      chunk.sized = true;
      chunk.data.assign(bytes.begin() + pos, bytes.begin() + pos + size);
      pos += size;
    }
    chunks->push_back(std::move(chunk));
  }
  return true;
}

bool Read(os::Files& files, const std::string& path, std::vector<Chunk>* chunks) {
  chunks->clear();
  std::unique_ptr<os::File> file = files.OpenRead(path);
  uint64_t size = 0;
  if (!file || !file->Size(&size) || size > kMaxFileSize) return false;
  std::vector<uint8_t> bytes(size);
  size_t done = 0;
  while (done < bytes.size()) {
    uint32_t got = 0;
    if (!file->Read(bytes.data() + done, static_cast<uint32_t>(bytes.size() - done), &got)) {
      return false;
    }
    if (got == 0) return false;  // the file shrank under us
    done += got;
  }
  return Parse(bytes, chunks);
}

}  // namespace chunkfile
