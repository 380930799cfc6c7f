// The package appended to the launcher's own file: layout and constants shared by the reader,
// the writer, the packer and the tests.
//
//   offset 0      executable image (P bytes)
//   offset P      header:  marker[36]  N:u32  N x entry  HL:u32
//                 entry:   L1:u32 category[L1]  L2:u32 name[L2]  size:u32  crc:u32
//                          (L1, L2 count the terminating NUL, 1..260; texts stored upper case)
//   offset P+HL   items, back to back in index order, nothing between them
//   last 4 bytes  P
//
// All integers are unsigned 32-bit little-endian; HL = 44 + sum(16 + L1 + L2). Item i starts at
// P + HL + the sizes of items 0..i-1. Names and categories compare ignoring ASCII case.
//
// Stored forms: number (u32), flag (1 byte), text (ANSI + NUL), zlib form (a zlib stream, then
// the uncompressed length as u32) and engine container (begins with "TMKF").
#pragma once

#include <cstdint>

namespace package {

inline constexpr uint32_t kMarkerLength = 36;
// The marker is kept in two halves joined at run time, so that the launcher's image never holds
// it whole: the search for the package covers the image too.

inline constexpr uint32_t kMaxTextLength = 260;    // L1 and L2, NUL included
inline constexpr uint32_t kHeaderFixedBytes = 44;  // marker, N and HL
inline constexpr uint32_t kEntryFixedBytes = 16;   // L1, L2, size and crc
inline constexpr uint32_t kTrailerBytes = 4;       // the package offset at the end of the file
inline constexpr uint32_t kZlibTrailerBytes = 4;   // the uncompressed length after a zlib stream

// Search for the marker when the trailing offset does not lead to it: 20 blocks of 9999 bytes,
// read one after the other from the start of the file.
inline constexpr uint32_t kSearchBlocks = 20;
inline constexpr uint32_t kSearchBlockBytes = 9999;
inline constexpr uint32_t kSearchPositions = 9963;  // block positions tried: 0..9962

inline constexpr char kAppData[] = "APPDATA";
inline constexpr char kChannelInfo[] = "CHANNELINFO";
inline constexpr char kFileInfo[] = "FILEINFO";

// Joins the two halves into the 36 characters of the marker (plus a NUL), at run time.
void JoinMarker(char out[kMarkerLength + 1]);

}  // namespace package
