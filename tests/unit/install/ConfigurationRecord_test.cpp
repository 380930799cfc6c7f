#include "install/ConfigurationRecord.h"

#include "deploy/EngineInterface.h"
#include "tests/unit/deploy/JobFixture.h"
#include "tests/unit/install/PlayerPackage.h"

namespace {

using Lines = std::vector<std::string>;

class ConfigurationRecordTest : public JobTest {
 protected:
  void SetUp() override { stub::Install(fp); }
  // Writes one record from a job over the package, in the given folder.
  bool Write(const std::string& folder, const char* fileName, bool options,
             const playerpkg::Options& o = {}) {
    Install(playerpkg::Items(o));
    SetWorkDir(folder);
    FileSaverChannel* saver = stub::NewSaver();
    const bool ok = WriteConfigurationRecord(saver, Job(), fileName, options);
    saver->Release(1);
    return ok;
  }
  record::Record Record() { return record::Read(stub::Engine().saverCalls); }
};

TEST_F(ConfigurationRecordTest, ScreensaverRecordHoldsTheStartPathTwentyAndBothOptions) {
  playerpkg::Options o;
  o.doQuitCgr = 0xA5;
  o.doSmallPreview = 1;
  ASSERT_TRUE(Write("C:\\Games\\Demo", "\\screensaver.cfg", true, o));
  const record::Record r = Record();
  EXPECT_EQ(r.path, "C:\\Games\\Demo\\screensaver.cfg");
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(playerpkg::ConfigLines(r),
            (Lines{"SCFP C:\\Games\\Demo\\ORVStart.orv", "SCTI 20", "SCQC 165", "SCSP 1"}));
  EXPECT_EQ(r.chunks[1].data, std::string("\x14\0\0\0", 4));  // little-endian
  EXPECT_EQ(List(Job().createdFiles), Lines{"C:\\Games\\Demo\\screensaver.cfg"});
  EXPECT_TRUE(fp.files.Exists("C:\\Games\\Demo\\screensaver.cfg"));
  EXPECT_TRUE(fp.ui.boxes.empty());
}

TEST_F(ConfigurationRecordTest, PluginRecordIsTheFirstTwoChunksAndNeedsNoOptions) {
  playerpkg::Options o;
  o.install.without = {"DoQuitCgr", "DoSmallPreview"};
  ASSERT_TRUE(Write("D:\\", "\\winamp.cfg", false, o));
  const record::Record r = Record();
  // A folder ending in a backslash is used as it is.
  EXPECT_EQ(r.path, "D:\\\\winamp.cfg");
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(playerpkg::ConfigLines(r), (Lines{"SCFP D:\\\\ORVStart.orv", "SCTI 20"}));
  EXPECT_EQ(List(Job().createdFiles), Lines{"D:\\\\winamp.cfg"});
  EXPECT_TRUE(fp.ui.boxes.empty());
}

TEST_F(ConfigurationRecordTest, MissingOptionStopsTheRecordClosedAndUnlisted) {
  const struct {
    const char* missing;
    Lines lines;
  } cases[] = {
      {"DoQuitCgr", {"SCFP C:\\Games\\Demo\\ORVStart.orv", "SCTI 20"}},
      {"DoSmallPreview", {"SCFP C:\\Games\\Demo\\ORVStart.orv", "SCTI 20", "SCQC 7"}},
  };
  for (const auto& c : cases) {
    fake::FakePlatform local;
    os::Platform p = local.Get();
    stub::Install(local);
    playerpkg::Options o;
    o.install.without = {c.missing};
    local.files.AddFile(local.system.moduleFileName, testpkg::BuildFile(playerpkg::Items(o)));
    local.files.AddDir("C:\\Games\\Demo");
    DeployJob job(p);
    std::snprintf(job.workDir, sizeof(job.workDir), "C:\\Games\\Demo");
    FileSaverChannel* saver = stub::NewSaver();
    EXPECT_FALSE(WriteConfigurationRecord(saver, job, "\\screensaver.cfg", true)) << c.missing;
    saver->Release(1);
    const record::Record r = record::Read(stub::Engine().saverCalls);
    EXPECT_TRUE(r.complete) << c.missing;
    EXPECT_EQ(playerpkg::ConfigLines(r), c.lines) << c.missing;
    const fake::Box box{std::string("Can't find project type ") + c.missing, "Error", os::kMbOk};
    EXPECT_EQ(local.ui.boxes, std::vector<fake::Box>{box}) << c.missing;
    EXPECT_EQ(job.createdFiles.Count(), 0) << c.missing;
  }
}

TEST_F(ConfigurationRecordTest, UnopenedRecordIsStillClosedAndListed) {
  stub::Engine().config.saverOpenFails = true;
  playerpkg::Options o;
  o.install.without = {"DoQuitCgr"};  // not read when nothing can be written
  ASSERT_TRUE(Write("C:\\Games\\Demo", "\\screensaver.cfg", true, o));
  const auto& calls = stub::Engine().saverCalls;
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].op, "Open");
  EXPECT_EQ(calls[1].op, "Close");
  EXPECT_EQ(List(Job().createdFiles), Lines{"C:\\Games\\Demo\\screensaver.cfg"});
  EXPECT_TRUE(fp.ui.boxes.empty());
}

TEST_F(ConfigurationRecordTest, PathsThatWouldNotFitAreNeverOpenedCut) {
  // The record's path holds 259 characters; the start path needs its NUL in the 259-byte field.
  const struct {
    size_t folderLength;
    const char* fileName;
    bool opened;
  } cases[] = {
      {243, "\\screensaver.cfg", true},   // path of 259
      {244, "\\screensaver.cfg", false},  // path of 260
      {245, "\\winamp.cfg", true},        // start path of 258
      {246, "\\winamp.cfg", false},       // start path of 259: no room for the NUL
  };
  for (const auto& c : cases) {
    stub::Install(fp);
    const std::string folder = "C:\\" + std::string(c.folderLength - 3, 'f');
    _job.reset();
    ASSERT_TRUE(Write(folder, c.fileName, false)) << c.folderLength;
    const auto& calls = stub::Engine().saverCalls;
    const std::string what = std::to_string(c.folderLength) + c.fileName;
    if (c.opened) {
      const record::Record r = Record();
      EXPECT_TRUE(r.complete) << what;
      EXPECT_EQ(playerpkg::ConfigLines(r).at(0), "SCFP " + folder + "\\ORVStart.orv") << what;
    } else {
      ASSERT_EQ(calls.size(), 1u) << what;
      EXPECT_EQ(calls[0].op, "Close") << what;
      EXPECT_FALSE(fp.files.Exists((folder + c.fileName).substr(0, 259))) << what;
    }
    EXPECT_EQ(List(Job().createdFiles), Lines{folder + c.fileName}) << what;
  }
}

}  // namespace
