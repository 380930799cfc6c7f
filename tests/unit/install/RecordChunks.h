// Reads the stub saver's calls back as the chunks of one record, checking that each chunk was
// written as size then data of that size.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/unit/support/StubEngine.h"

namespace record {

struct Chunk {
  std::string tag;
  bool sized = false;
  std::string data;
};

struct Record {
  std::string path;       // as given to Open
  bool complete = false;  // Open ... Close seen
  std::vector<Chunk> chunks;
};

inline Record Read(const std::vector<stub::SaverCall>& calls) {
  Record r;
  size_t i = 0;
  if (i < calls.size() && calls[i].op == "Open") {
    r.path = calls[i].text;
    EXPECT_EQ(calls[i].size, 0u) << "Open mode";
    ++i;
  }
  for (; i < calls.size() && calls[i].op == "BeginChunk"; ++i) {
    Chunk c{calls[i].text, false, {}};
    if (i + 2 < calls.size() && calls[i + 1].op == "WriteChunkSize") {
      EXPECT_EQ(calls[i + 2].op, "WriteData");
      EXPECT_EQ(calls[i + 1].size, calls[i + 2].size) << c.tag;
      c.sized = true;
      c.data = calls[i + 2].bytes;
      i += 2;
    }
    r.chunks.push_back(c);
  }
  r.complete = !r.path.empty() && i + 1 == calls.size() && calls[i].op == "Close";
  return r;
}

// A 259-byte field's text: up to its NUL, or all 259 bytes when it has none.
inline std::string Text(const Chunk& c) {
  EXPECT_EQ(c.data.size(), 259u) << c.tag;
  return std::string(c.data.c_str(), strnlen(c.data.c_str(), c.data.size()));
}

inline int32_t Number(const Chunk& c) {
  EXPECT_EQ(c.data.size(), 4u) << c.tag;
  if (c.data.size() != 4) return -1;
  const auto* b = reinterpret_cast<const uint8_t*>(c.data.data());
  return static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                              uint32_t(b[3]) << 24);
}

// Tag and value of every chunk, e.g. "UNFC 2", "UNFN C:\x", "UNSK".
inline std::vector<std::string> Lines(const Record& r) {
  std::vector<std::string> out;
  for (const Chunk& c : r.chunks) {
    if (!c.sized) {
      out.push_back(c.tag);
    } else if (c.tag == "UNFC" || c.tag == "UNDC") {
      out.push_back(c.tag + " " + std::to_string(Number(c)));
    } else {
      out.push_back(c.tag + " " + Text(c));
    }
  }
  return out;
}

}  // namespace record
