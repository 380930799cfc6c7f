// CRC-32 with a byte table, computed eight bytes a step.
#include "package/Crc32.h"

#include <cstring>

void Crc32::BuildTable() {
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = table[i];
    for (int k = 0; k < 7; ++k) {
      c = table[c & 0xFF] ^ (c >> 8);
      _slice[k][i] = c;
    }
  }
}

uint32_t Crc32::Compute(const void* data, size_t length) const {
  return Update(0, data, length);
}

uint32_t Crc32::Update(uint32_t crc, const void* data, size_t length) const {
  const auto* p = static_cast<const uint8_t*>(data);
  uint32_t c = ~crc;
  // Eight bytes at a time: the same as eight steps of the byte loop below (little-endian words).
  while (length >= 8) {
    uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + 4, 4);
    lo ^= c;
    c = _slice[6][lo & 0xFF] ^ _slice[5][(lo >> 8) & 0xFF] ^ _slice[4][(lo >> 16) & 0xFF] ^
        _slice[3][lo >> 24] ^ _slice[2][hi & 0xFF] ^ _slice[1][(hi >> 8) & 0xFF] ^
        _slice[0][(hi >> 16) & 0xFF] ^ table[hi >> 24];
    p += 8;
    length -= 8;
  }
  while (length-- > 0) c = table[(c ^ *p++) & 0xFF] ^ (c >> 8);
  return ~c;
}
