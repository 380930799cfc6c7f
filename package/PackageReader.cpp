// Package reader: finds the package, reads the index in a few buffered reads, looks items up
// through a hash of their folded names and reads them with their CRC-32 checked.
#include "package/PackageReader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "package/PackageFormat.h"

namespace {

char FoldAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualIgnoringAsciiCase(const char* a, const char* b, size_t limitB) {
  size_t i = 0;
  for (; i < limitB && b[i] != '\0'; ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return a[i] == '\0';
}

uint32_t LoadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Reads until count bytes arrived or the file has no more; returns the number delivered.
uint32_t ReadFully(os::File& file, void* buffer, uint32_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  uint32_t total = 0;
  while (total < count) {
    uint32_t got = 0;
    if (!file.Read(out + total, count - total, &got) || got == 0) break;
    total += got;
  }
  return total;
}

// Sequential, bounds-checked reading of the index through a 64 KiB window: a read is taken
// whole or not at all, and nothing past the end of the file is asked for.
class IndexCursor {
 public:
  IndexCursor(os::File& file, uint64_t position, uint64_t end)
      : _file(file), _position(position), _end(end) {}

  bool Take(void* out, uint32_t count) {
    if (count > _end - std::min(_position, _end)) return false;
    auto* dst = static_cast<uint8_t*>(out);
    while (count > 0) {
      if (_next == _filled && !Refill()) return false;
      const uint32_t n = std::min(count, _filled - _next);
      std::memcpy(dst, _window + _next, n);
      _next += n;
      _position += n;
      dst += n;
      count -= n;
    }
    return true;
  }

  bool TakeU32(uint32_t* value) {
    uint8_t bytes[4];
    if (!Take(bytes, 4)) return false;
    *value = LoadU32(bytes);
    return true;
  }

 private:
  bool Refill() {
    const uint64_t left = _end - _position;
    const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(sizeof(_window), left));
    if (want == 0 || !_file.Seek(_position)) return false;
    _filled = ReadFully(_file, _window, want);
    _next = 0;
    return _filled > 0;
  }

  os::File& _file;
  uint64_t _position;
  uint64_t _end;
  uint32_t _next = 0;
  uint32_t _filled = 0;
  uint8_t _window[64 * 1024];
};

// FNV-1a over the folded category, a separator and the folded name.
uint32_t HashKey(const char* category, size_t categoryLimit, const char* name) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < categoryLimit && category[i] != '\0'; ++i) {
    h = (h ^ static_cast<uint8_t>(FoldAscii(category[i]))) * 16777619u;
  }
  h = (h ^ 0xFFu) * 16777619u;
  for (size_t i = 0; name[i] != '\0'; ++i) {
    h = (h ^ static_cast<uint8_t>(FoldAscii(name[i]))) * 16777619u;
  }
  return h;
}

constexpr size_t kCategoryLimit = 259;

}  // namespace

PackageReader::PackageReader(os::Platform& platform) : _platform(platform) {
  _crc.BuildTable();
  Open();
}

PackageReader::~PackageReader() {
  _file.reset();
  _itemData.reset();
  for (int32_t i = 0; i < _entries.Count(); ++i) {
    delete static_cast<PackageEntry*>(_entries.Get(i));
    _entries.SetAt(nullptr, i);
  }
  _entries.Clear();
}

void PackageReader::Open() {
  // The program's own file comes from its module name: the command line need not name it.
  _file = _platform.files.OpenRead(_platform.system.ModuleFileName());
  uint64_t length = 0;
  if (_file != nullptr && !_file->Size(&length)) length = 0;
  _fileLength = length;
  if (!FindPackage(length)) return;
  ReadIndex(length);
  BuildLookup();
}

bool PackageReader::FindPackage(uint64_t fileLength) {
  char marker[package::kMarkerLength + 1];
  package::JoinMarker(marker);

  // First where the trailing offset points; the marker there may be in either case.
  char atOffset[package::kMarkerLength + 1] = {};
  uint8_t trailer[4];
  if (_file != nullptr && fileLength >= package::kTrailerBytes &&
      _file->Seek(fileLength - package::kTrailerBytes) && ReadFully(*_file, trailer, 4) == 4) {
    const uint32_t offset = LoadU32(trailer);
    if (_file->Seek(offset)) ReadFully(*_file, atOffset, package::kMarkerLength);
    if (EqualIgnoringAsciiCase(atOffset, marker, package::kMarkerLength)) {
      _packageOffset = offset;
      return true;
    }
  }

  // Then search the first blocks of the file, the image included, byte for byte. Only
  // positions whose 36 bytes lie within one block count: a marker across a block edge is missed.
  const uint32_t region = package::kSearchBlocks * package::kSearchBlockBytes;
  const uint32_t wanted = static_cast<uint32_t>(std::min<uint64_t>(region, fileLength));
  std::unique_ptr<uint8_t[]> head(new (std::nothrow) uint8_t[wanted > 0 ? wanted : 1]);
  uint32_t delivered = 0;
  if (_file != nullptr && head != nullptr && wanted > 0 && _file->Seek(0)) {
    delivered = ReadFully(*_file, head.get(), wanted);
  }
  for (uint32_t block = 0; block * package::kSearchBlockBytes < delivered; ++block) {
    const uint32_t base = block * package::kSearchBlockBytes;
    const uint32_t blockBytes = std::min(package::kSearchBlockBytes, delivered - base);
    if (blockBytes < package::kMarkerLength) break;
    const uint8_t* start = head.get() + base;
    // Positions 0..9962 only: one short of every start that would still fit in the block.
    const uint32_t lastStart =
        std::min(blockBytes - package::kMarkerLength, package::kSearchPositions - 1);
    for (uint32_t k = 0; k <= lastStart;) {
      const void* hit = std::memchr(start + k, marker[0], lastStart - k + 1);
      if (hit == nullptr) break;
      k = static_cast<uint32_t>(static_cast<const uint8_t*>(hit) - start);
      if (std::memcmp(start + k, marker, package::kMarkerLength) == 0) {
        _packageOffset = base + k;
        return true;
      }
      ++k;
    }
  }

  _platform.ui.ShowMessage("Data header not found!", atOffset, os::kMbOk);
  return false;
}

void PackageReader::ReadIndex(uint64_t fileLength) {
  IndexCursor cursor(*_file, uint64_t(_packageOffset) + package::kMarkerLength, fileLength);
  uint32_t count = 0;
  if (!cursor.TakeU32(&count)) return;
  // The count is signed; each entry must come whole from the file, so a huge count simply
  // runs out of bytes and the reader keeps what it has read.
  uint64_t itemOffset = 0;
  for (int32_t i = 0; i < static_cast<int32_t>(count); ++i) {
    std::unique_ptr<PackageEntry> entry(new (std::nothrow) PackageEntry{});
    if (entry == nullptr) return;
    uint32_t length = 0;
    if (!cursor.TakeU32(&length) || length == 0 || length > package::kMaxTextLength) return;
    if (!cursor.Take(entry->category, length)) return;
    if (std::memchr(entry->category, '\0', length) == nullptr) return;
    if (!cursor.TakeU32(&length) || length == 0 || length > package::kMaxTextLength) return;
    if (!cursor.Take(entry->name, length)) return;
    if (std::memchr(entry->name, '\0', length) == nullptr) return;
    if (!cursor.TakeU32(&entry->size) || !cursor.TakeU32(&entry->crc)) return;
    entry->offset = itemOffset;
    itemOffset += entry->size;
    if (_entries.Add(entry.get()) < 0) return;
    entry.release();
  }
  if (!cursor.TakeU32(&_headerLength)) return;
  const uint64_t itemsStart = uint64_t(_packageOffset) + _headerLength;
  for (int32_t i = 0; i < _entries.Count(); ++i) {
    static_cast<PackageEntry*>(_entries.Get(i))->offset += itemsStart;
  }
  _itemsLocated = true;
}

void PackageReader::BuildLookup() {
  const int32_t count = _entries.Count();
  size_t slots = 16;
  while (slots < size_t(count) * 2) slots *= 2;
  _lookup.assign(slots, -1);
  for (int32_t i = 0; i < count; ++i) {
    const auto* entry = static_cast<const PackageEntry*>(_entries.Get(i));
    size_t slot = HashKey(entry->category, kCategoryLimit, entry->name) & (slots - 1);
    for (;; slot = (slot + 1) & (slots - 1)) {
      const int32_t held = _lookup[slot];
      if (held < 0) {
        _lookup[slot] = i;
        break;
      }
      // An equal key already held belongs to an earlier entry, which wins.
      const auto* other = static_cast<const PackageEntry*>(_entries.Get(held));
      if (EqualIgnoringAsciiCase(other->name, entry->name, SIZE_MAX) &&
          EqualIgnoringAsciiCase(other->category, entry->category, SIZE_MAX)) {
        break;
      }
    }
  }
}

const PackageEntry* PackageReader::Find(const char* name, const char* category) const {
  if (name == nullptr || _lookup.empty()) return nullptr;
  if (category == nullptr) category = package::kAppData;
  const size_t mask = _lookup.size() - 1;
  size_t slot = HashKey(category, kCategoryLimit, name) & mask;
  for (;; slot = (slot + 1) & mask) {
    const int32_t held = _lookup[slot];
    if (held < 0) return nullptr;
    const auto* entry = static_cast<const PackageEntry*>(_entries.Get(held));
    if (EqualIgnoringAsciiCase(entry->name, name, SIZE_MAX) &&
        EqualIgnoringAsciiCase(entry->category, category, kCategoryLimit)) {
      return entry;
    }
  }
}

bool PackageReader::CrcMatches(const PackageEntry& entry, const void* data) const {
  return _crc.Compute(data, entry.size) == entry.crc;
}

bool PackageReader::ReadItem(const char* name, void* buffer, uint32_t count, const char* category) {
  const PackageEntry* entry = Find(name, category);
  if (entry == nullptr || !_itemsLocated) return false;
  if (entry->offset + entry->size > _fileLength) return false;

  if (buffer != nullptr) {
    // Bytes past the item are whatever follows it in the file, up to the end of the file.
    const uint32_t readable =
        static_cast<uint32_t>(std::min<uint64_t>(count, _fileLength - entry->offset));
    uint32_t delivered = 0;
    if (_file->Seek(entry->offset)) delivered = ReadFully(*_file, buffer, readable);
    if (entry->size > count || delivered < entry->size || !CrcMatches(*entry, buffer)) {
      _platform.ui.ShowMessage("Crc error corrupt file", entry->name, os::kMbOk);
      return false;
    }
    return true;
  }

  _itemData.reset();
  _itemSize = 0;
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[entry->size > 0 ? entry->size : 1]);
  if (block == nullptr) return false;
  uint32_t delivered = 0;
  if (_file->Seek(entry->offset)) delivered = ReadFully(*_file, block.get(), entry->size);
  if (delivered < entry->size || !CrcMatches(*entry, block.get())) {
    _platform.ui.ShowMessage("Crc error corrupt file", entry->name, os::kMbOk);
    return false;
  }
  _itemData = std::move(block);
  _itemSize = entry->size;
  return true;
}

uint8_t* PackageReader::Data() {
  return _itemData.get();
}

uint32_t PackageReader::Size() {
  return _itemSize;
}
