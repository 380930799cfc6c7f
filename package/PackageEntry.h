// One entry of the package index as kept in memory.
#pragma once

#include <cstdint>

struct PackageEntry {
  char category[260];  // NUL-terminated, as stored (upper case)
  char name[260];      // NUL-terminated, as stored (upper case)
  uint32_t size;       // stored bytes of the item
  uint32_t crc;        // CRC-32 of the stored bytes
  uint64_t offset;     // file offset of the item's first byte, from the sizes before it
};
