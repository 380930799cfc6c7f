// The on-disk layout of the engine's chunk files ("uninstall.nfo", "screensaver.cfg",
// "winamp.cfg") and a bounds-checked reader of it.
//
// A file is a sequence of chunks, back to back, with nothing before, between or after them:
//
//   tag    4 bytes   as given to BeginChunk; a shorter tag is padded with NUL bytes
//   size   u32 LE    the declared size, or 0xFFFFFFFF (kNoSize) when none was declared
//   data   size bytes; none when the size is kNoSize
//
// How the file saver maps its calls onto chunks (a chunk ends at the next BeginChunk or Close):
//
//   BeginChunk, WriteChunkSize(n), WriteData...   tag, n, exactly n bytes: data beyond n is
//                                                 dropped, a shortfall is made up with zero
//                                                 bytes when the chunk ends
//   BeginChunk alone (the "UNSK" end marker)      tag, kNoSize, no data
//   BeginChunk, WriteChunkSize(0)                 tag, 0, no data (distinct from the above)
//   WriteData before the chunk's WriteChunkSize   dropped: an undeclared chunk holds no data
//   a second WriteChunkSize in one chunk          ignored
//   WriteChunkSize(0xFFFFFFFF)                    ignored: that size cannot be told from kNoSize
//   WriteChunkSize or WriteData before BeginChunk dropped
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace chunkfile {

inline constexpr size_t kTagSize = 4;
inline constexpr size_t kChunkHeaderSize = 8;
inline constexpr uint32_t kNoSize = 0xFFFFFFFFu;
// Records are small; a larger file is not read.
inline constexpr uint64_t kMaxFileSize = 64u << 20;

struct Chunk {
  std::string tag;     // the 4 tag bytes as stored
  bool sized = false;  // false: begun without a size (kNoSize); such a chunk holds no data
  std::vector<uint8_t> data;

  // The data as a 32-bit little-endian number; false unless it is exactly 4 bytes.
  bool U32(uint32_t* value) const;
  // The data up to its first NUL byte, or all of it when it holds none.
  std::string Text() const;
};

// Splits a file's bytes into chunks. False when the bytes end inside a chunk's header or its
// declared data; *chunks then holds the whole chunks before that point.
bool Parse(std::span<const uint8_t> bytes, std::vector<Chunk>* chunks);

// Reads the whole file and parses it. False when it cannot be opened or read, is larger than
// kMaxFileSize, or does not parse.
bool Read(os::Files& files, const std::string& path, std::vector<Chunk>* chunks);

}  // namespace chunkfile
