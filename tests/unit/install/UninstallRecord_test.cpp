#include "install/UninstallRecord.h"

#include "deploy/EngineInterface.h"
#include "tests/unit/deploy/JobFixture.h"
#include "tests/unit/install/RecordChunks.h"

namespace {

class UninstallRecordTest : public JobTest {
 protected:
  void SetUp() override {
    stub::Install(fp);
    SetWorkDir("C:\\Games\\Demo");
    std::memset(projectName, 0x5A, sizeof(projectName));  // bytes after the NUL are noise
    std::memcpy(projectName, "Demo", 5);
  }
  record::Record Write(bool endMarker) {
    FileSaverChannel* saver = stub::NewSaver();
    WriteUninstallRecord(saver, Job(), projectName, endMarker);
    saver->Release(1);
    return record::Read(stub::Engine().saverCalls);
  }
  char projectName[259];
};

TEST_F(UninstallRecordTest, FilesInOrderFoldersReversedThenTheName) {
  for (const char* f : {"C:\\Games\\Demo\\a.exe", "C:\\Games\\Demo\\b\\c.dll"})
    RecordPath(Job().createdFiles, f);
  for (const char* d : {"C:\\Games\\", "C:\\Games\\Demo\\", "C:\\Games\\Demo\\b\\"})
    RecordPath(Job().createdDirs, d);
  const record::Record r = Write(false);
  EXPECT_EQ(r.path, "C:\\Games\\Demo\\uninstall.nfo");
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(
      record::Lines(r),
      (std::vector<std::string>{
          "UNFC 2", "UNFN C:\\Games\\Demo\\a.exe", "UNFN C:\\Games\\Demo\\b\\c.dll", "UNDC 3",
          "UNDN C:\\Games\\Demo\\b\\", "UNDN C:\\Games\\Demo\\", "UNDN C:\\Games\\", "UNPN Demo"}));
  // The name field is the mode's buffer as it is; path fields are NUL-padded.
  EXPECT_EQ(r.chunks.back().data, std::string(projectName, 259));
  EXPECT_EQ(r.chunks[1].data, "C:\\Games\\Demo\\a.exe" + std::string(259 - 19, '\0'));
  EXPECT_EQ(Job().createdFiles.Count(), 2);  // the lists are left as they were
  EXPECT_TRUE(fp.files.Exists("C:\\Games\\Demo\\uninstall.nfo"));
}

TEST_F(UninstallRecordTest, EmptyListsAndTheEndMarker) {
  RecordPath(Job().createdFiles, "C:\\Games\\Demo\\a.exe");
  RecordPath(Job().createdFiles, "C:\\Games\\Demo\\a.exe");  // extracted twice: listed twice
  const record::Record r = Write(true);
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(record::Lines(r), (std::vector<std::string>{"UNFC 2", "UNFN C:\\Games\\Demo\\a.exe",
                                                        "UNFN C:\\Games\\Demo\\a.exe", "UNDC 0",
                                                        "UNPN Demo", "UNSK"}));
  EXPECT_FALSE(r.chunks.back().sized);  // begun only: no size, no data
}

TEST_F(UninstallRecordTest, LongPathsFillTheFieldWithoutNul) {
  const std::string longPath = "C:\\" + std::string(297, 'p');
  RecordPath(Job().createdFiles, longPath);
  RecordPath(Job().createdFiles, longPath.substr(0, 259));
  const record::Record r = Write(false);
  for (int i : {1, 2}) EXPECT_EQ(r.chunks[i].data, longPath.substr(0, 259)) << i;
}

TEST_F(UninstallRecordTest, FailedOpenWritesNothingButStillCloses) {
  stub::Engine().config.saverOpenFails = true;
  RecordPath(Job().createdFiles, "C:\\Games\\Demo\\a.exe");
  Write(true);
  const auto& calls = stub::Engine().saverCalls;
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].op, "Open");
  EXPECT_EQ(calls[1].op, "Close");
}

}  // namespace
