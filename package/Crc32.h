// The standard CRC-32 (reflected, polynomial 0xEDB88320, as in zlib, PNG and Ethernet).
#pragma once

#include <cstddef>
#include <cstdint>

class Crc32 {
 public:
  Crc32() = default;
  virtual ~Crc32() = default;

  // Fills the table (and the slices that let Compute take eight bytes a step).
  void BuildTable();
  // The CRC-32 of length bytes at data; needs a built table. An empty range gives 0.
  uint32_t Compute(const void* data, size_t length) const;
  // Continues a CRC over more bytes: Compute(a+b) == Update(Compute(a), b).
  uint32_t Update(uint32_t crc, const void* data, size_t length) const;

  // table[i]: the register after eight reflected shift steps from i.
  uint32_t table[256] = {};

 private:
  // _slice[k][i] is table[i] advanced by k more zero bytes: slicing-by-8, same values.
  uint32_t _slice[7][256] = {};
};
