// Reading chunk files: whole files, damaged ones, and the field helpers.
#include "kit/engine/ChunkFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/FakePlatform.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(ChunkFile, ParsesSizedEmptyAndUnsizedChunks) {
  const std::string file = std::string("UNFC\x04\0\0\0\x02\0\0\0", 12) +
                           std::string("UNDC\0\0\0\0", 8) + "UNSK\xFF\xFF\xFF\xFF";
  std::vector<chunkfile::Chunk> chunks;
  ASSERT_TRUE(chunkfile::Parse(Bytes(file), &chunks));
  ASSERT_EQ(chunks.size(), 3u);
  uint32_t n = 0;
  EXPECT_TRUE(chunks[0].U32(&n));
  EXPECT_EQ(n, 2u);
  EXPECT_TRUE(chunks[1].sized);
  EXPECT_TRUE(chunks[1].data.empty());
  EXPECT_FALSE(chunks[1].U32(&n));
  EXPECT_FALSE(chunks[2].sized);
  EXPECT_EQ(chunks[2].tag, "UNSK");

  ASSERT_TRUE(chunkfile::Parse({}, &chunks));
  EXPECT_TRUE(chunks.empty());
}

TEST(ChunkFile, RefusesBytesThatEndInsideAChunkButKeepsTheWholeOnes) {
  const std::string whole = std::string("UNFC\x01\0\0\0\x07", 9);
  const std::string cases[] = {
      whole + "UNF",                                // inside a tag
      whole + std::string("UNFN\x03\x01", 6),       // inside a size
      whole + std::string("UNFN\x03\x01\0\0", 8),   // declared 259 bytes, none there
      whole + std::string("UNFN\x03\0\0\0ab", 10),  // declared 3, 2 there
  };
  for (const std::string& file : cases) {
    std::vector<chunkfile::Chunk> chunks;
    EXPECT_FALSE(chunkfile::Parse(Bytes(file), &chunks)) << file.size();
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].data, std::vector<uint8_t>{7});
  }
}

TEST(ChunkFile, TextStopsAtTheFirstNulOrTakesTheWholeField) {
  chunkfile::Chunk chunk;
  chunk.data = Bytes(std::string("Demo\0junk", 9));
  EXPECT_EQ(chunk.Text(), "Demo");
  chunk.data = Bytes("no terminator");
  EXPECT_EQ(chunk.Text(), "no terminator");
  chunk.data.clear();
  EXPECT_EQ(chunk.Text(), "");
}

TEST(ChunkFile, ReadsThroughTheFileSystem) {
  fake::FakePlatform fp;
  fp.files.AddFile("C:\\Demo\\uninstall.nfo", std::string("UNSK\xFF\xFF\xFF\xFF", 8));
  fp.files.AddFile("C:\\Demo\\broken.nfo", "UNS");
  std::vector<chunkfile::Chunk> chunks;
  EXPECT_TRUE(chunkfile::Read(fp.files, "C:\\Demo\\uninstall.nfo", &chunks));
  EXPECT_EQ(chunks.size(), 1u);
  EXPECT_FALSE(chunkfile::Read(fp.files, "C:\\Demo\\broken.nfo", &chunks));
  EXPECT_FALSE(chunkfile::Read(fp.files, "C:\\Demo\\missing.nfo", &chunks));
  EXPECT_TRUE(chunks.empty());
}

}  // namespace
