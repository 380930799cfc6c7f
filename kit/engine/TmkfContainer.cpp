// Encoding and checked decoding of "TMKF" containers with zlib.
#include "kit/engine/TmkfContainer.h"

#include <zlib.h>

#include <cstring>
#include <utility>

namespace tmkf {

namespace {

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// zlib's crc32 takes a uInt length; feed it in pieces that fit.
uint32_t Crc(const uint8_t* data, size_t size) {
  uLong crc = crc32(0L, Z_NULL, 0);
  while (size > 0) {
    const uInt step = size > 0x40000000u ? 0x40000000u : static_cast<uInt>(size);
    crc = crc32(crc, data, step);
    data += step;
    size -= step;
  }
  return static_cast<uint32_t>(crc);
}

// Inflates exactly one stream that must fill out exactly and use every input byte.
bool InflateExact(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  uint8_t spare = 0;
  stream.next_in = const_cast<Bytef*>(in);
  stream.avail_in = static_cast<uInt>(inSize);
  // inflate wants a non-null destination even when nothing is to be produced.
  stream.next_out = outSize > 0 ? out : &spare;
  stream.avail_out = static_cast<uInt>(outSize);
  const int result = inflate(&stream, Z_FINISH);
  const bool whole = result == Z_STREAM_END && stream.avail_in == 0 && stream.total_out == outSize;
  inflateEnd(&stream);
  return whole;
}

}  // namespace

bool ReadHeader(std::span<const uint8_t> container, Header* header) {
  if (container.size() < kHeaderSize) return false;
  if (std::memcmp(container.data(), kTag, sizeof kTag) != 0) return false;
  header->version = GetU32(container.data() + 4);
  header->decodedSize = GetU32(container.data() + 8);
  header->crc = GetU32(container.data() + 12);
  return true;
}

std::vector<uint8_t> Encode(std::span<const uint8_t> bytes) {
  if (bytes.size() > UINT32_MAX) return {};
  const uLong bound = compressBound(static_cast<uLong>(bytes.size()));
  std::vector<uint8_t> container(kHeaderSize + bound);
  uLongf streamSize = bound;
  if (compress2(container.data() + kHeaderSize, &streamSize, bytes.data(),
                static_cast<uLong>(bytes.size()), Z_BEST_COMPRESSION) != Z_OK) {
    return {};
  }
  container.resize(kHeaderSize + streamSize);
  std::memcpy(container.data(), kTag, sizeof kTag);
  PutU32(container.data() + 4, kVersion);
  PutU32(container.data() + 8, static_cast<uint32_t>(bytes.size()));
  PutU32(container.data() + 12, Crc(bytes.data(), bytes.size()));
  return container;
}

bool Decode(std::span<const uint8_t> container, std::vector<uint8_t>* out) {
  out->clear();
  Header header;
  if (!ReadHeader(container, &header) || header.version != kVersion) return false;
  const size_t streamSize = container.size() - kHeaderSize;
  if (streamSize > UINT32_MAX) return false;
  if (header.decodedSize > kMaxRatio * streamSize + kRatioSlack) return false;
  std::vector<uint8_t> decoded(header.decodedSize);
  if (!InflateExact(container.data() + kHeaderSize, streamSize, decoded.data(), decoded.size())) {
    return false;
  }
  if (Crc(decoded.data(), decoded.size()) != header.crc) return false;
  *out = std::move(decoded);
  return true;
}

}  // namespace tmkf
