// Package parsing for the packer: the launcher's search rules, with bounds checks that name
// what is wrong instead of silently stopping.
#include "tools/packer/PackageImage.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "package/PackageFormat.h"

namespace packer {
namespace {

uint32_t LoadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

char FoldAscii(char c) {
  return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool MarkerAtIgnoringCase(std::span<const uint8_t> file, uint64_t offset, const char* marker) {
  if (offset + package::kMarkerLength > file.size()) return false;
  for (uint32_t i = 0; i < package::kMarkerLength; ++i) {
    if (FoldAscii(char(file[offset + i])) != FoldAscii(marker[i])) return false;
  }
  return true;
}

// The launcher's search: blocks of 9999 bytes, only positions whose 36 bytes lie within the
// block, case sensitive.
bool SearchMarker(std::span<const uint8_t> file, const char* marker, uint32_t* found) {
  const uint64_t region = uint64_t(package::kSearchBlocks) * package::kSearchBlockBytes;
  const uint64_t searched = std::min<uint64_t>(region, file.size());
  for (uint64_t base = 0; base < searched; base += package::kSearchBlockBytes) {
    const uint64_t blockBytes = std::min<uint64_t>(package::kSearchBlockBytes, searched - base);
    if (blockBytes < package::kMarkerLength) break;
    for (uint64_t k = 0; k + package::kMarkerLength <= blockBytes; ++k) {
      if (std::memcmp(file.data() + base + k, marker, package::kMarkerLength) == 0) {
        *found = uint32_t(base + k);
        return true;
      }
    }
  }
  return false;
}

class Cursor {
 public:
  Cursor(std::span<const uint8_t> file, uint64_t position) : _file(file), _position(position) {}
  bool U32(uint32_t* value) {
    if (Left() < 4) return false;
    *value = LoadU32(_file.data() + _position);
    _position += 4;
    return true;
  }
  bool Bytes(uint32_t count, const uint8_t** out) {
    if (Left() < count) return false;
    *out = _file.data() + _position;
    _position += count;
    return true;
  }
  uint64_t Position() const { return _position; }

 private:
  uint64_t Left() const { return _file.size() - std::min<uint64_t>(_position, _file.size()); }
  std::span<const uint8_t> _file;
  uint64_t _position;
};

// One length-prefixed text of an entry; a reason in *why when it breaks the format.
bool ReadEntryText(Cursor& cursor, const char* what, std::string* text, std::string* why) {
  uint32_t length = 0;
  const uint8_t* bytes = nullptr;
  if (!cursor.U32(&length)) return *why = std::string(what) + " length runs past the file", false;
  if (length == 0 || length > package::kMaxTextLength) {
    return *why = std::string(what) + " length " + std::to_string(length) + " is not 1..260", false;
  }
  if (!cursor.Bytes(length, &bytes)) return *why = std::string(what) + " runs past the file", false;
  const void* nul = std::memchr(bytes, 0, length);
  if (nul == nullptr) return *why = std::string(what) + " has no terminating NUL", false;
  text->assign(reinterpret_cast<const char*>(bytes), static_cast<const uint8_t*>(nul) - bytes);
  return true;
}

void ReadIndex(std::span<const uint8_t> file, PackageImage* image) {
  Cursor cursor(file, uint64_t(image->packageOffset) + package::kMarkerLength);
  uint32_t count = 0;
  if (!cursor.U32(&count)) {
    image->indexProblem = "entry count runs past the file";
    return;
  }
  image->declaredCount = int32_t(count);
  uint64_t sizes = 0;
  for (int32_t i = 0; i < image->declaredCount; ++i) {
    ImageEntry entry;
    std::string why;
    if (!ReadEntryText(cursor, "category", &entry.category, &why) ||
        !ReadEntryText(cursor, "name", &entry.name, &why)) {
      image->indexProblem = "entry " + std::to_string(i) + ": " + why;
      return;
    }
    if (!cursor.U32(&entry.size) || !cursor.U32(&entry.crc)) {
      image->indexProblem = "entry " + std::to_string(i) + ": size or crc runs past the file";
      return;
    }
    entry.offset = sizes;
    sizes += entry.size;
    image->entries.push_back(std::move(entry));
  }
  if (!cursor.U32(&image->headerLength)) {
    image->indexProblem = "header length runs past the file";
    return;
  }
  for (ImageEntry& entry : image->entries) {
    entry.offset += uint64_t(image->packageOffset) + image->headerLength;
  }
  image->indexWhole = true;
}

bool IsTextByte(uint8_t c) {
  return c >= 0x20 || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

uint64_t PackageImage::ComputedHeaderLength() const {
  uint64_t length = package::kHeaderFixedBytes;
  for (const ImageEntry& entry : entries) {
    length += package::kEntryFixedBytes + entry.category.size() + 1 + entry.name.size() + 1;
  }
  return length;
}

PackageImage ParsePackage(std::span<const uint8_t> file) {
  PackageImage image;
  image.fileSize = file.size();
  char marker[package::kMarkerLength + 1];
  package::JoinMarker(marker);

  if (file.size() >= package::kTrailerBytes) {
    image.trailingOffset = LoadU32(file.data() + file.size() - package::kTrailerBytes);
    if (MarkerAtIgnoringCase(file, image.trailingOffset, marker)) {
      image.foundBy = FoundBy::TrailingOffset;
      image.packageOffset = image.trailingOffset;
    }
  }
  if (image.foundBy == FoundBy::Nothing && SearchMarker(file, marker, &image.packageOffset)) {
    image.foundBy = FoundBy::MarkerSearch;
  }
  if (image.foundBy == FoundBy::Nothing) return image;
  image.markerUpperCase =
      std::memcmp(file.data() + image.packageOffset, marker, package::kMarkerLength) == 0;
  ReadIndex(file, &image);
  return image;
}

bool LooksLikeZlibForm(std::span<const uint8_t> bytes) {
  // The shortest stream (header, an empty final block, Adler-32) is 8 bytes; then the length.
  if (bytes.size() < 8 + package::kZlibTrailerBytes) return false;
  const uint8_t cmf = bytes[0];
  const uint8_t flg = bytes[1];
  const bool deflate = (cmf & 0x0F) == 8 && (cmf >> 4) <= 7;
  const bool checked = ((uint32_t(cmf) << 8) | flg) % 31 == 0;
  const bool presetDictionary = (flg & 0x20) != 0;
  return deflate && checked && !presetDictionary;
}

bool InflateZlibForm(std::span<const uint8_t> bytes, std::vector<uint8_t>* out, std::string* why) {
  if (bytes.size() < package::kZlibTrailerBytes)
    return *why = "shorter than its length field", false;
  const size_t streamBytes = bytes.size() - package::kZlibTrailerBytes;
  const uint32_t stored = LoadU32(bytes.data() + streamBytes);

  z_stream z{};
  if (inflateInit(&z) != Z_OK) return *why = "zlib could not start", false;
  // Fed and drained in pieces so that a length field that lies costs no memory up front.
  uint8_t chunk[64 * 1024];
  uint64_t produced = 0;
  size_t consumed = 0;
  int result = Z_OK;
  if (out != nullptr) out->clear();
  while (result == Z_OK) {
    const size_t feed = std::min<size_t>(streamBytes - consumed, 1u << 30);
    z.next_in = const_cast<Bytef*>(bytes.data() + consumed);
    z.avail_in = uInt(feed);
    z.next_out = chunk;
    z.avail_out = sizeof(chunk);
    result = inflate(&z, Z_NO_FLUSH);
    consumed += feed - z.avail_in;
    const size_t got = sizeof(chunk) - z.avail_out;
    produced += got;
    if (produced > stored) break;  // no need to inflate a stream that already says too much
    if (out != nullptr) out->insert(out->end(), chunk, chunk + got);
  }
  inflateEnd(&z);

  if (produced > stored) {
    return *why = "length field says " + std::to_string(stored) + " bytes, the stream gives more",
           false;
  }

  if (result == Z_DATA_ERROR || result == Z_NEED_DICT || result == Z_MEM_ERROR) {
    return *why = "damaged zlib stream", false;
  }
  if (result != Z_STREAM_END) return *why = "zlib stream is cut short", false;
  if (consumed != streamBytes) {
    return *why = std::to_string(streamBytes - consumed) +
                  " bytes between the stream's end and its length field",
           false;
  }
  if (produced != stored) {
    return *why = "length field says " + std::to_string(stored) + " bytes, the stream gives " +
                  std::to_string(produced),
           false;
  }
  return true;
}

std::string GuessForm(std::span<const uint8_t> bytes) {
  if (bytes.size() == 1) return "flag";
  if (bytes.size() >= 4 && std::memcmp(bytes.data(), "TMKF", 4) == 0) return "tmkf";
  if (bytes.size() >= 1 && bytes.back() == 0 &&
      std::all_of(bytes.begin(), bytes.end() - 1, IsTextByte)) {
    return "text";
  }
  if (bytes.size() == 4) return "number";
  if (LooksLikeZlibForm(bytes)) return "zlib";
  return "raw";
}

std::string ValuePreview(const std::string& form, std::span<const uint8_t> bytes) {
  if (form == "flag") return std::to_string(bytes[0]);
  if (form == "number") return std::to_string(LoadU32(bytes.data()));
  if (form == "text") {
    std::string text(bytes.begin(), bytes.end() - 1);
    if (text.size() > 60) text = text.substr(0, 57) + "...";
    return "\"" + text + "\"";
  }
  if (form == "zlib") {
    return std::to_string(LoadU32(bytes.data() + bytes.size() - package::kZlibTrailerBytes)) +
           " bytes inflated";
  }
  return "";
}

}  // namespace packer
