// Builds a package (index, items, trailing offset) and appends it to a launcher image.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "package/Crc32.h"

namespace package {

// One item as the writer will store it.
struct WriterItem {
  std::string category;                 // as stored: upper case
  std::string name;                     // as stored: upper case
  std::vector<uint8_t> bytes;           // the stored bytes, before any flipped byte
  uint32_t crc = 0;                     // written to the index: the CRC-32 of bytes, or an override
  std::optional<uint32_t> flippedByte;  // index of a byte written inverted after the CRC
};

// Items are written in the order they are added. Categories and names are stored with ASCII
// letters in upper case; each must be 1 to 259 characters without a NUL. An Add that breaks
// that adds nothing, returns false and leaves the reason in Error().
//
// The damage setters exist for tests of the reader and of the packer's verify command: the
// bytes they produce are packages a correct writer never makes.
class PackageWriter {
 public:
  PackageWriter();

  bool AddBytes(std::string_view category, std::string_view name, std::span<const uint8_t> bytes);
  // Number: u32 little-endian. Flag or small number: one byte.
  bool AddNumber(std::string_view category, std::string_view name, uint32_t value);
  bool AddFlag(std::string_view category, std::string_view name, uint8_t value);
  // Text: the characters and their NUL; a text holding a NUL is refused.
  bool AddText(std::string_view category, std::string_view name, std::string_view text);
  // Zlib form: a zlib stream (compress2, level 9) followed by the u32 uncompressed length.
  bool AddZlib(std::string_view category, std::string_view name, std::span<const uint8_t> data);
  // A list: the number item countName = names.size(), then the text items prefix0, prefix1, ...
  // Adds all of them or none.
  bool AddList(std::string_view category, std::string_view countName, std::string_view prefix,
               const std::vector<std::string>& names);

  // Damage. An index outside the items, or a byte outside the item, gives false.
  bool OverrideCrc(size_t index, uint32_t crc);
  bool FlipByte(size_t index, uint32_t byteIndex);
  void OverridePackageOffset(uint32_t offset) { _packageOffset = offset; }
  void SetLowerCaseMarker(bool lower) { _lowerCaseMarker = lower; }
  void AppendAfterPackage(std::span<const uint8_t> bytes);

  size_t Count() const { return _items.size(); }
  const WriterItem& Item(size_t index) const { return _items[index]; }
  // HL: 44 + the sum over the entries of 16 + L1 + L2.
  uint32_t HeaderLength() const;
  // Bytes of the package after an image: header, items, trailing offset, appended bytes.
  uint64_t PackageSize() const;

  // The image followed by the package. False (and Error()) when the result would not stay
  // below 2 GiB, the most the reader can position in.
  bool Build(std::span<const uint8_t> image, std::vector<uint8_t>* out);
  // Streams the image and the package to out; false on a size limit or a failed write.
  bool Write(std::ostream& out, std::span<const uint8_t> image);
  // Writes the launcher file's bytes followed by the package to outputPath; a failed write
  // leaves no output file behind.
  bool WriteExecutableFile(const std::string& launcherPath, const std::string& outputPath);

  const std::string& Error() const { return _error; }

 private:
  bool CheckText(std::string_view what, std::string_view text);
  bool Add(std::string_view category, std::string_view name, std::vector<uint8_t> bytes);
  bool CheckSize(uint64_t imageSize);
  std::vector<uint8_t> Header() const;
  std::vector<uint8_t> Trailer(uint64_t imageSize) const;
  bool Fail(std::string message);

  Crc32 _crc;
  std::vector<WriterItem> _items;
  std::optional<uint32_t> _packageOffset;
  bool _lowerCaseMarker = false;
  std::vector<uint8_t> _appended;
  std::string _error;
};

}  // namespace package
