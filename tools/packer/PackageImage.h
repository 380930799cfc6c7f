// The packer's view of a package inside a whole file held in memory: where it was found, its
// index, and what every item's stored bytes look like.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace packer {

struct ImageEntry {
  std::string category;  // up to the first NUL, as stored
  std::string name;
  uint32_t size = 0;
  uint32_t crc = 0;
  uint64_t offset = 0;  // file offset of the first byte: P + HL + the sizes before it
};

enum class FoundBy { Nothing, TrailingOffset, MarkerSearch };

struct PackageImage {
  uint64_t fileSize = 0;
  uint32_t trailingOffset = 0;  // the last 4 bytes of the file
  FoundBy foundBy = FoundBy::Nothing;
  uint32_t packageOffset = 0;   // P, where the marker was found
  bool markerUpperCase = true;  // false: accepted only because the reader ignores case at P
  int32_t declaredCount = 0;    // N as stored (signed, like the reader takes it)
  uint32_t headerLength = 0;    // HL as stored; valid when indexWhole
  bool indexWhole = false;      // all N entries and HL were read
  std::string indexProblem;     // why the index stopped early, when it did
  std::vector<ImageEntry> entries;

  // 44 + the sum over the entries read of 16 + L1 + L2.
  uint64_t ComputedHeaderLength() const;
};

// Finds the package the way the launcher does (the marker at the trailing offset, compared
// ignoring case; else an exact search of 20 blocks of 9999 bytes) and reads its index with
// every field checked against the end of the file.
PackageImage ParsePackage(std::span<const uint8_t> file);

// A guess at an item's stored form from its bytes: "flag", "text", "number", "tmkf", "zlib" or
// "raw". Texts are recognised before zlib streams, so only a stream that is not printable text
// counts as zlib form.
std::string GuessForm(std::span<const uint8_t> bytes);

// True when the bytes could be the zlib form: room for a stream and its length, and a first
// two bytes that make a valid zlib header without a preset dictionary.
bool LooksLikeZlibForm(std::span<const uint8_t> bytes);

// Inflates the zlib form: the stream must end where the trailing length begins and give exactly
// that many bytes. With out null only the length is established. False with a reason otherwise.
bool InflateZlibForm(std::span<const uint8_t> bytes, std::vector<uint8_t>* out, std::string* why);

// A short printable view of a setting's value for listings ("" when there is none to show).
std::string ValuePreview(const std::string& form, std::span<const uint8_t> bytes);

}  // namespace packer
