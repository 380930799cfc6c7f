// The "TMKF" container: the engine's own compressed form of a file.
//
//   offset 0   tag        "TMKF" (4 ASCII bytes, no terminator)
//   offset 4   version    u32, 1
//   offset 8   size       u32, the number of decoded bytes
//   offset 12  crc        u32, CRC-32 (zlib's, reflected 0xEDB88320) of the decoded bytes
//   offset 16  a zlib stream (RFC 1950: header, deflate data, Adler-32), ending the container
//
// All integers are little-endian. A container holds exactly one stream and nothing after it.
// The packer writes containers with Encode; the engine's file loader reads them with Decode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tmkf {

inline constexpr char kTag[4] = {'T', 'M', 'K', 'F'};
inline constexpr uint32_t kVersion = 1;
inline constexpr size_t kHeaderSize = 16;
// Deflate cannot expand by more than about 1032:1; a header asking for more than this from its
// stream is damaged, and is refused before anything is allocated.
inline constexpr uint64_t kMaxRatio = 1032;
inline constexpr uint64_t kRatioSlack = 64;

struct Header {
  uint32_t version = 0;
  uint32_t decodedSize = 0;
  uint32_t crc = 0;
};

// Reads the 16-byte header without decoding; false when the bytes are too short or the tag is
// not "TMKF". The version is not judged here.
bool ReadHeader(std::span<const uint8_t> container, Header* header);

// The container for these bytes; empty only when they cannot be encoded (4 GiB or more).
std::vector<uint8_t> Encode(std::span<const uint8_t> bytes);

// Decodes a whole container into *out. False, with *out empty, for anything damaged: a short
// header, a wrong tag or version, a size the stream cannot give, a broken or incomplete stream,
// a size or CRC mismatch, bytes after the stream.
bool Decode(std::span<const uint8_t> container, std::vector<uint8_t>* out);

}  // namespace tmkf
