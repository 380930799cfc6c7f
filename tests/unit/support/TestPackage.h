// Builds small packages for the host tests, byte for byte as the format lays them out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testpkg {

using Bytes = std::vector<uint8_t>;

struct Item {
  std::string category;
  std::string name;
  Bytes data;
  bool badCrc = false;  // store a CRC-32 that does not match
};

Bytes Text(const std::string& s);
Bytes Number(uint32_t v);
Bytes Flag(uint8_t v);
// The zlib form: a zlib stream of the bytes, then their length as u32.
Bytes Zlib(const std::string& s);
Bytes Zlib(const Bytes& b);

// Image of imageBytes ("MZ" and zeros), then the package, then its offset.
Bytes BuildFile(const std::vector<Item>& items, size_t imageBytes = 512);
std::string Marker();
void SetTrailer(Bytes& file, uint32_t offset);

}  // namespace testpkg
