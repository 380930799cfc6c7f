// Test package builder.
#include "tests/unit/support/TestPackage.h"

#include <zlib.h>

#include "package/Crc32.h"
#include "package/PackageFormat.h"

namespace testpkg {

namespace {

void PutU32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::string Marker() {
  char m[package::kMarkerLength + 1];
  package::JoinMarker(m);
  return m;
}

Bytes Text(const std::string& s) {
  Bytes b(s.begin(), s.end());
  b.push_back(0);
  return b;
}

Bytes Number(uint32_t v) {
  Bytes b;
  PutU32(b, v);
  return b;
}

Bytes Flag(uint8_t v) {
  return Bytes{v};
}

Bytes Zlib(const Bytes& b) {
  uLongf size = compressBound(static_cast<uLong>(b.size()));
  Bytes out(size);
  compress2(out.data(), &size, b.data(), static_cast<uLong>(b.size()), 9);
  out.resize(size);
  PutU32(out, static_cast<uint32_t>(b.size()));
  return out;
}

Bytes Zlib(const std::string& s) {
  return Zlib(Bytes(s.begin(), s.end()));
}

Bytes BuildFile(const std::vector<Item>& items, size_t imageBytes) {
  Bytes file(imageBytes, 0);
  if (imageBytes >= 2) file[0] = 'M', file[1] = 'Z';
  const uint32_t p = static_cast<uint32_t>(file.size());
  const std::string marker = Marker();
  file.insert(file.end(), marker.begin(), marker.end());
  PutU32(file, static_cast<uint32_t>(items.size()));
  uint32_t hl = package::kHeaderFixedBytes;
  Crc32 crc;
  crc.BuildTable();
  for (const Item& item : items) {
    for (const std::string* text : {&item.category, &item.name}) {
      PutU32(file, static_cast<uint32_t>(text->size() + 1));
      file.insert(file.end(), text->begin(), text->end());
      file.push_back(0);
    }
    PutU32(file, static_cast<uint32_t>(item.data.size()));
    PutU32(file, crc.Compute(item.data.data(), item.data.size()) ^ (item.badCrc ? 1u : 0u));
    hl += 16 + static_cast<uint32_t>(item.category.size() + item.name.size() + 2);
  }
  PutU32(file, hl);
  for (const Item& item : items) file.insert(file.end(), item.data.begin(), item.data.end());
  PutU32(file, p);
  return file;
}

void SetTrailer(Bytes& file, uint32_t offset) {
  for (int i = 0; i < 4; ++i) file[file.size() - 4 + i] = static_cast<uint8_t>(offset >> (8 * i));
}

}  // namespace testpkg
