// The kit's file saver: chunk records as the installation modes write them, read back with
// ChunkFile, and the layout rules for calls out of the usual order.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "kit/engine/ChunkFile.h"
#include "tests/unit/kit/EngineFixture.h"

namespace {

class KitFileSaver : public EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    fp.files.AddDir("C:\\Games\\Demo");
    saver = NewSaver();
    ASSERT_NE(saver, nullptr);
  }
  void TearDown() override {
    if (saver) saver->Release(1);
    EngineFixture::TearDown();
  }
  // One chunk the way the record writers hand it over.
  void Chunk(const char* tag, const void* data, uint32_t size) {
    saver->BeginChunk(tag);
    saver->WriteChunkSize(size);
    saver->WriteData(data, size);
  }
  void PathChunk(const char* tag, const std::string& path) {
    char field[260] = {};
    std::strncpy(field, path.c_str(), 259);
    Chunk(tag, field, 259);
  }
  std::vector<chunkfile::Chunk> ReadBack(const std::string& path) {
    std::vector<chunkfile::Chunk> chunks;
    EXPECT_TRUE(chunkfile::Read(fp.files, path, &chunks)) << path;
    return chunks;
  }

  FileSaverChannel* saver = nullptr;
};

TEST_F(KitFileSaver, UninstallRecordReadsBackChunkByChunk) {
  const std::string longPath = "C:\\Games\\Demo\\" + std::string(300, 'x');
  ASSERT_EQ(saver->Open("C:\\Games\\Demo\\uninstall.nfo", 0), 1);
  const int32_t files = 2, folders = 1;
  Chunk("UNFC", &files, 4);
  PathChunk("UNFN", "C:\\Games\\Demo\\Zenthra.dll");
  PathChunk("UNFN", longPath);
  Chunk("UNDC", &folders, 4);
  PathChunk("UNDN", "C:\\Games\\Demo\\");
  char project[259];
  std::memset(project, 0xCD, sizeof project);
  std::strcpy(project, "Demo");
  Chunk("UNPN", project, 259);
  saver->BeginChunk("UNSK");
  saver->Close();

  const auto chunks = ReadBack("C:\\Games\\Demo\\uninstall.nfo");
  ASSERT_EQ(chunks.size(), 7u);
  const char* tags[] = {"UNFC", "UNFN", "UNFN", "UNDC", "UNDN", "UNPN", "UNSK"};
  for (size_t i = 0; i < chunks.size(); ++i) EXPECT_EQ(chunks[i].tag, tags[i]);
  uint32_t count = 0;
  EXPECT_TRUE(chunks[0].U32(&count));
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(chunks[1].Text(), "C:\\Games\\Demo\\Zenthra.dll");
  EXPECT_EQ(chunks[1].data.size(), 259u);
  // A path of 259 characters or more fills the field and has no NUL in it.
  EXPECT_EQ(chunks[2].Text(), longPath.substr(0, 259));
  EXPECT_TRUE(chunks[3].U32(&count));
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(chunks[4].Text(), "C:\\Games\\Demo\\");
  EXPECT_EQ(chunks[5].Text(), "Demo");
  EXPECT_EQ(chunks[5].data[5], 0xCD);
  EXPECT_FALSE(chunks[6].sized);
  EXPECT_TRUE(chunks[6].data.empty());
  // 8 header bytes per chunk: nothing else in the file.
  EXPECT_EQ(fp.files.Content("C:\\Games\\Demo\\uninstall.nfo").size(), 7 * 8 + 2 * 4 + 4 * 259u);
}

std::string Le(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}

// Each sequence of calls and the exact bytes it leaves.
TEST_F(KitFileSaver, CallsOutOfTheUsualOrderGiveDocumentedBytes) {
  using Calls = std::function<void(FileSaverChannel*)>;
  const struct {
    const char* name;
    Calls calls;
    std::string bytes;
  } cases[] = {
      {"nothing", [](auto*) {}, ""},
      {"size 0 differs from no size",
       [](auto* s) {
         s->BeginChunk("SZ00");
         s->WriteChunkSize(0);
         s->BeginChunk("NONE");
       },
       "SZ00" + Le(0) + "NONE" + Le(0xFFFFFFFF)},
      {"data beyond the size is dropped",
       [](auto* s) {
         s->BeginChunk("CUT_");
         s->WriteChunkSize(3);
         s->WriteData("abcdef", 6);
         s->WriteData("gh", 2);
       },
       "CUT_" + Le(3) + "abc"},
      {"a shortfall is made up with zeros",
       [](auto* s) {
         s->BeginChunk("PAD_");
         s->WriteChunkSize(5);
         s->WriteData("ab", 2);
         s->BeginChunk("NEXT");
         s->WriteChunkSize(1);
         s->WriteData("z", 1);
       },
       "PAD_" + Le(5) + std::string("ab\0\0\0", 5) + "NEXT" + Le(1) + "z"},
      {"data before the size is dropped",
       [](auto* s) {
         s->BeginChunk("EARL");
         s->WriteData("xx", 2);
         s->WriteChunkSize(2);
         s->WriteData("ok", 2);
       },
       "EARL" + Le(2) + "ok"},
      {"a second size is ignored",
       [](auto* s) {
         s->BeginChunk("TWO_");
         s->WriteChunkSize(1);
         s->WriteChunkSize(4);
         s->WriteData("q", 1);
       },
       "TWO_" + Le(1) + "q"},
      {"the no-size value cannot be declared",
       [](auto* s) {
         s->BeginChunk("HUGE");
         s->WriteChunkSize(0xFFFFFFFF);
         s->WriteData("q", 1);
       },
       "HUGE" + Le(0xFFFFFFFF)},
      {"calls before any chunk are dropped",
       [](auto* s) {
         s->WriteChunkSize(2);
         s->WriteData("zz", 2);
       },
       ""},
      {"short and long tags",
       [](auto* s) {
         s->BeginChunk("AB");
         s->BeginChunk("LONGER");
       },
       std::string("AB\0\0", 4) + Le(0xFFFFFFFF) + "LONG" + Le(0xFFFFFFFF)},
  };
  for (const auto& test : cases) {
    ASSERT_EQ(saver->Open("C:\\Games\\Demo\\case.bin", 0), 1) << test.name;
    test.calls(saver);
    saver->Close();
    EXPECT_EQ(fp.files.Content("C:\\Games\\Demo\\case.bin"), test.bytes) << test.name;
  }
}

// The screensaver mode opens the configuration record on a folder it cannot write, then the
// uninstall record elsewhere, with one saver.
TEST_F(KitFileSaver, FailedOpenIsHarmlessAndTheSaverWritesTheNextFile) {
  fp.files.AddDir("C:\\Games\\Locked");
  fp.files.MakeReadOnly("C:\\Games\\Locked");
  const int32_t twenty = 20;
  for (const char* path : {"C:\\Games\\Locked\\screensaver.cfg", "C:\\Nowhere\\screensaver.cfg"}) {
    EXPECT_EQ(saver->Open(path, 0), 0) << path;
    Chunk("SCTI", &twenty, 4);
    saver->BeginChunk("UNSK");
    saver->Close();
    EXPECT_FALSE(fp.files.Exists(path));
  }
  saver->Close();

  ASSERT_EQ(saver->Open("C:\\Games\\Demo\\screensaver.cfg", 0), 1);
  PathChunk("SCFP", "C:\\Games\\Demo\\ORVStart.orv");
  Chunk("SCTI", &twenty, 4);
  saver->Close();
  ASSERT_EQ(saver->Open("C:\\Games\\Demo\\uninstall.nfo", 0), 1);
  const int32_t none = 0;
  Chunk("UNFC", &none, 4);
  saver->Close();

  const auto config = ReadBack("C:\\Games\\Demo\\screensaver.cfg");
  ASSERT_EQ(config.size(), 2u);
  EXPECT_EQ(config[0].Text(), "C:\\Games\\Demo\\ORVStart.orv");
  uint32_t value = 0;
  EXPECT_TRUE(config[1].U32(&value));
  EXPECT_EQ(value, 20u);
  const auto record = ReadBack("C:\\Games\\Demo\\uninstall.nfo");
  ASSERT_EQ(record.size(), 1u);
  EXPECT_EQ(record[0].tag, "UNFC");
  EXPECT_EQ(fp.files.OpenHandles(), 0);
}

// Opening a second file without Close finishes the first, its open chunk included.
TEST_F(KitFileSaver, OpenWhileOpenFinishesTheFirstFile) {
  ASSERT_EQ(saver->Open("C:\\Games\\Demo\\a.cfg", 0), 1);
  saver->BeginChunk("UNSK");
  ASSERT_EQ(saver->Open("C:\\Games\\Demo\\b.cfg", 0), 1);
  saver->Close();
  EXPECT_EQ(fp.files.Content("C:\\Games\\Demo\\a.cfg"), "UNSK" + Le(0xFFFFFFFF));
  EXPECT_EQ(fp.files.Content("C:\\Games\\Demo\\b.cfg"), "");
  EXPECT_EQ(fp.files.OpenHandles(), 0);
}

}  // namespace
