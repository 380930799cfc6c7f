// Finds the package in the program's own file, keeps its index and reads items by name.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "app/PointerArray.h"
#include "package/Crc32.h"
#include "package/PackageEntry.h"
#include "platform/Platform.h"

class PackageReader {
 public:
  // Opens the program's own file and reads the index at once (Open). A reader that found no
  // package has an empty index; it has shown "Data header not found!".
  explicit PackageReader(os::Platform& platform);
  PackageReader(const PackageReader&) = delete;
  PackageReader& operator=(const PackageReader&) = delete;
  // Closes the file, releases the item block and the index.
  virtual ~PackageReader();

  // Finds the package (trailing offset, else the marker search) and reads the index.
  virtual void Open();
  // Reads the first item of that name and category (null: "APPDATA"), both compared ignoring
  // ASCII case. With a buffer, count bytes from the item's start go into it; without one the
  // whole item goes into the reader's own block (Data, Size). Either way the item's CRC-32 is
  // checked: a mismatch, or an item larger than count, shows "Crc error corrupt file" (caption:
  // the stored name) and gives false. An item that is absent or runs past the file gives false
  // without a message.
  virtual bool ReadItem(const char* name, void* buffer, uint32_t count, const char* category);
  // The reader's own block from the last successful read without a buffer (null before one).
  virtual uint8_t* Data();
  virtual uint32_t Size();

  // The index in file order (for tools and tests).
  const PointerArray& Entries() const { return _entries; }
  uint32_t PackageOffset() const { return _packageOffset; }
  uint32_t HeaderLength() const { return _headerLength; }

 private:
  bool FindPackage(uint64_t fileLength);
  void ReadIndex(uint64_t fileLength);
  void BuildLookup();
  const PackageEntry* Find(const char* name, const char* category) const;
  bool CrcMatches(const PackageEntry& entry, const void* data) const;

  os::Platform& _platform;
  std::unique_ptr<os::File> _file;
  PointerArray _entries;  // of PackageEntry*, owned
  uint32_t _headerLength = 0;
  std::unique_ptr<uint8_t[]> _itemData;
  uint32_t _itemSize = 0;
  uint32_t _packageOffset = 0;

  bool _itemsLocated = false;  // the index was whole and its items lie where HL says
  uint64_t _fileLength = 0;
  std::vector<int32_t> _lookup;  // open-addressing hash of folded category + name -> entry index
  Crc32 _crc;
};
