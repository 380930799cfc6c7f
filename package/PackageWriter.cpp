// Package writer: lays out the index and the items exactly as the reader expects them.
#include "package/PackageWriter.h"

#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <limits>

#include "package/PackageFormat.h"

namespace package {
namespace {

// Offsets are positioned with signed 32-bit distances, so the whole file must stay below this.
constexpr uint64_t kMaxFileBytes = uint64_t(1) << 31;

void PutU32(std::vector<uint8_t>* out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(uint8_t(value >> shift));
}

void PutText(std::vector<uint8_t>* out, const std::string& text) {
  PutU32(out, uint32_t(text.size() + 1));
  out->insert(out->end(), text.begin(), text.end());
  out->push_back(0);
}

std::string UpperAscii(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  }
  return result;
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

std::vector<uint8_t> U32Bytes(uint32_t value) {
  std::vector<uint8_t> bytes;
  PutU32(&bytes, value);
  return bytes;
}

// The stored bytes with the requested byte inverted.
void WriteItemBytes(std::ostream& out, const WriterItem& item) {
  const auto* data = reinterpret_cast<const char*>(item.bytes.data());
  if (!item.flippedByte) {
    out.write(data, std::streamsize(item.bytes.size()));
    return;
  }
  const uint32_t k = *item.flippedByte;
  out.write(data, k);
  out.put(char(item.bytes[k] ^ 0xFF));
  out.write(data + k + 1, std::streamsize(item.bytes.size() - k - 1));
}

}  // namespace

PackageWriter::PackageWriter() {
  _crc.BuildTable();
}

bool PackageWriter::Fail(std::string message) {
  _error = std::move(message);
  return false;
}

bool PackageWriter::CheckText(std::string_view what, std::string_view text) {
  if (text.empty()) return Fail(std::string(what) + " is empty");
  if (text.size() > kMaxTextLength - 1) {
    return Fail(std::string(what) + " \"" + std::string(text.substr(0, 40)) +
                "...\" is longer than " + std::to_string(kMaxTextLength - 1) + " characters");
  }
  if (text.find('\0') != std::string_view::npos) {
    return Fail(std::string(what) + " holds a NUL character");
  }
  return true;
}

bool PackageWriter::Add(std::string_view category, std::string_view name,
                        std::vector<uint8_t> bytes) {
  if (!CheckText("category", category) || !CheckText("name", name)) return false;
  if (bytes.size() >= kMaxFileBytes) {
    return Fail("item " + std::string(name) + " is too large (2 GiB or more)");
  }
  WriterItem item;
  item.category = UpperAscii(category);
  item.name = UpperAscii(name);
  item.crc = _crc.Compute(bytes.data(), bytes.size());
  item.bytes = std::move(bytes);
  _items.push_back(std::move(item));
  return true;
}

bool PackageWriter::AddBytes(std::string_view category, std::string_view name,
                             std::span<const uint8_t> bytes) {
  return Add(category, name, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

bool PackageWriter::AddNumber(std::string_view category, std::string_view name, uint32_t value) {
  return Add(category, name, U32Bytes(value));
}

bool PackageWriter::AddFlag(std::string_view category, std::string_view name, uint8_t value) {
  return Add(category, name, std::vector<uint8_t>{value});
}

bool PackageWriter::AddText(std::string_view category, std::string_view name,
                            std::string_view text) {
  if (text.find('\0') != std::string_view::npos) {
    return Fail("text of " + std::string(name) + " holds a NUL character");
  }
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return Add(category, name, std::move(bytes));
}

bool PackageWriter::AddZlib(std::string_view category, std::string_view name,
                            std::span<const uint8_t> data) {
  // uLong is 32 bits on Windows, and the stored length is a u32 anyway.
  if (data.size() > std::numeric_limits<uint32_t>::max() ||
      data.size() > std::numeric_limits<uLong>::max()) {
    return Fail("item " + std::string(name) + " is too large to compress");
  }
  uLongf packed = compressBound(uLong(data.size()));
  std::vector<uint8_t> bytes(packed + kZlibTrailerBytes);
  const int result = compress2(bytes.data(), &packed, data.data(), uLong(data.size()), 9);
  if (result != Z_OK) {
    return Fail("zlib could not compress " + std::string(name) + " (error " +
                std::to_string(result) + ")");
  }
  bytes.resize(packed);
  PutU32(&bytes, uint32_t(data.size()));
  return Add(category, name, std::move(bytes));
}

bool PackageWriter::AddList(std::string_view category, std::string_view countName,
                            std::string_view prefix, const std::vector<std::string>& names) {
  const size_t before = _items.size();
  bool ok = AddNumber(category, countName, uint32_t(names.size()));
  for (size_t i = 0; ok && i < names.size(); ++i) {
    ok = AddText(category, std::string(prefix) + std::to_string(i), names[i]);
  }
  if (!ok) _items.resize(before);
  return ok;
}

bool PackageWriter::OverrideCrc(size_t index, uint32_t crc) {
  if (index >= _items.size()) return Fail("no item " + std::to_string(index) + " to change");
  _items[index].crc = crc;
  return true;
}

bool PackageWriter::FlipByte(size_t index, uint32_t byteIndex) {
  if (index >= _items.size()) return Fail("no item " + std::to_string(index) + " to change");
  if (byteIndex >= _items[index].bytes.size()) {
    return Fail("item " + _items[index].name + " has no byte " + std::to_string(byteIndex) +
                " (it has " + std::to_string(_items[index].bytes.size()) + ")");
  }
  _items[index].flippedByte = byteIndex;
  return true;
}

void PackageWriter::AppendAfterPackage(std::span<const uint8_t> bytes) {
  _appended.insert(_appended.end(), bytes.begin(), bytes.end());
}

uint32_t PackageWriter::HeaderLength() const {
  uint64_t length = kHeaderFixedBytes;
  for (const WriterItem& item : _items) {
    length += kEntryFixedBytes + item.category.size() + 1 + item.name.size() + 1;
  }
  return uint32_t(length);
}

uint64_t PackageWriter::PackageSize() const {
  uint64_t size = HeaderLength() + kTrailerBytes + _appended.size();
  for (const WriterItem& item : _items) size += item.bytes.size();
  return size;
}

std::vector<uint8_t> PackageWriter::Header() const {
  char marker[kMarkerLength + 1];
  JoinMarker(marker);
  if (_lowerCaseMarker) {
    for (char& c : marker) c = LowerAscii(c);
  }
  std::vector<uint8_t> header(marker, marker + kMarkerLength);
  header.reserve(HeaderLength());
  PutU32(&header, uint32_t(_items.size()));
  for (const WriterItem& item : _items) {
    PutText(&header, item.category);
    PutText(&header, item.name);
    PutU32(&header, uint32_t(item.bytes.size()));
    PutU32(&header, item.crc);
  }
  PutU32(&header, HeaderLength());
  return header;
}

std::vector<uint8_t> PackageWriter::Trailer(uint64_t imageSize) const {
  std::vector<uint8_t> trailer = U32Bytes(_packageOffset.value_or(uint32_t(imageSize)));
  trailer.insert(trailer.end(), _appended.begin(), _appended.end());
  return trailer;
}

bool PackageWriter::CheckSize(uint64_t imageSize) {
  if (imageSize + PackageSize() >= kMaxFileBytes) {
    return Fail("the launcher with its package would be 2 GiB or more");
  }
  return true;
}

bool PackageWriter::Build(std::span<const uint8_t> image, std::vector<uint8_t>* out) {
  if (!CheckSize(image.size())) return false;
  out->assign(image.begin(), image.end());
  out->reserve(image.size() + PackageSize());
  const std::vector<uint8_t> header = Header();
  out->insert(out->end(), header.begin(), header.end());
  for (const WriterItem& item : _items) {
    const size_t start = out->size();
    out->insert(out->end(), item.bytes.begin(), item.bytes.end());
    if (item.flippedByte) (*out)[start + *item.flippedByte] ^= 0xFF;
  }
  const std::vector<uint8_t> trailer = Trailer(image.size());
  out->insert(out->end(), trailer.begin(), trailer.end());
  return true;
}

bool PackageWriter::Write(std::ostream& out, std::span<const uint8_t> image) {
  if (!CheckSize(image.size())) return false;
  out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
  const std::vector<uint8_t> header = Header();
  out.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
  for (const WriterItem& item : _items) WriteItemBytes(out, item);
  const std::vector<uint8_t> trailer = Trailer(image.size());
  out.write(reinterpret_cast<const char*>(trailer.data()), std::streamsize(trailer.size()));
  out.flush();
  if (!out) return Fail("writing the package failed");
  return true;
}

bool PackageWriter::WriteExecutableFile(const std::string& launcherPath,
                                        const std::string& outputPath) {
  std::ifstream in(launcherPath, std::ios::binary);
  if (!in) return Fail("cannot open " + launcherPath);
  std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (in.bad()) return Fail("cannot read " + launcherPath);
  in.close();

  std::ofstream out(outputPath, std::ios::binary | std::ios::trunc);
  if (!out) return Fail("cannot create " + outputPath);
  bool ok = Write(out, image);
  out.close();
  if (ok && !out) ok = Fail("writing " + outputPath + " failed");
  if (!ok) std::remove(outputPath.c_str());
  return ok;
}

}  // namespace package
