#include "tests/unit/deploy/JobFixture.h"

#include "package/PackageReader.h"

namespace {

using testpkg::Number;
using testpkg::Text;

class WorkDirTest : public JobTest {
 protected:
  void SetUp() override { Install({{"APPDATA", "PROJECTTYPE", Number(1)}}); }
  const std::string temp = "C:\\Users\\user\\Temp\\";
};

TEST_F(WorkDirTest, FirstCandidateIsCreated) {
  fp.files.AddDir(temp);
  ASSERT_TRUE(Job().MakeWorkDir());
  EXPECT_STREQ(Job().workDir, "C:\\Users\\user\\Temp\\Orvane0");
  EXPECT_TRUE(fp.files.IsDir(Job().workDir));
  EXPECT_EQ(Job().createdDirs.Count(), 0);  // cleaned up by name, never recorded
}

TEST_F(WorkDirTest, ExistingFolderWithoutEngineIsReused) {
  fp.files.AddFile(temp + "Orvane0\\left.txt", "x");
  ASSERT_TRUE(Job().MakeWorkDir());
  EXPECT_STREQ(Job().workDir, "C:\\Users\\user\\Temp\\Orvane0");
}

TEST_F(WorkDirTest, FoldersHoldingAnEngineAreSkipped) {
  fp.files.AddFile(temp + "Orvane0\\zenthra.dll", "x");
  fp.files.AddFile(temp + "Orvane1\\ZENTHRA.DLL", "x");
  ASSERT_TRUE(Job().MakeWorkDir());
  EXPECT_STREQ(Job().workDir, "C:\\Users\\user\\Temp\\Orvane2");
}

TEST_F(WorkDirTest, AFileOrALinkInTheWayIsNeverTaken) {
  fp.files.AddFile(temp + "Orvane0", "a file, not a folder");
  fp.files.AddJunction(temp + "Orvane1", "C:\\Elsewhere");
  ASSERT_TRUE(Job().MakeWorkDir());
  EXPECT_STREQ(Job().workDir, "C:\\Users\\user\\Temp\\Orvane2");
}

TEST_F(WorkDirTest, AllCandidatesTakenFailsSilently) {
  for (int n = 0; n <= 10000; ++n) {
    fp.files.AddFile(temp + "Orvane" + std::to_string(n) + "\\zenthra.dll", "");
  }
  EXPECT_FALSE(Job().MakeWorkDir());
  EXPECT_TRUE(fp.ui.boxes.empty());
}

TEST_F(WorkDirTest, TempPathTooLongOrMissingFailsCleanly) {
  fp.system.tempPath = "C:\\" + std::string(385, 't') + "\\";  // 389 characters
  fp.files.AddDir(fp.system.tempPath);
  EXPECT_FALSE(Job().MakeWorkDir());

  fp.system.tempPath = "C:\\" + std::string(384, 't') + "\\";  // 388: just fits
  fp.files.AddDir(fp.system.tempPath);
  ASSERT_TRUE(Job().MakeWorkDir());
  EXPECT_EQ(std::string(Job().workDir).size(), 388u + 7);

  fp.faults.FailNth("System::TempPath", 3, os::kErrPathNotFound);
  EXPECT_FALSE(Job().MakeWorkDir());
  EXPECT_TRUE(fp.ui.boxes.empty());
}

TEST_F(JobTest, LoadItemReadsThroughTheReader) {
  Install({{"APPDATA", "PROJECTNAME", Text("Demo")}, {"FILEINFO", "FILECOUNT", Number(3)}});
  DeployJob& job = Job();
  uint32_t count = 0;
  EXPECT_TRUE(job.LoadItem("FileCount", &count, 4, "FILEINFO"));
  EXPECT_EQ(count, 3u);
  EXPECT_FALSE(job.LoadItem("FileCount", &count, 4, nullptr));  // null means "APPDATA" only
  EXPECT_EQ(job.itemData, nullptr);                             // buffer reads leave these
  ASSERT_TRUE(job.LoadItem("projectname", nullptr, 0, nullptr));
  EXPECT_STREQ(reinterpret_cast<const char*>(job.itemData), "Demo");
  EXPECT_EQ(job.itemSize, 5u);
  EXPECT_TRUE(fp.ui.boxes.empty());
}

TEST_F(JobTest, AJobWithoutReaderFailsEveryRead) {
  Install({{"APPDATA", "PROJECTNAME", Text("Demo")}});
  DeployJob& job = Job();
  delete job.reader;
  job.reader = nullptr;
  char name[259];
  EXPECT_FALSE(job.LoadItem("ProjectName", name, sizeof(name), nullptr));
  EXPECT_FALSE(job.LoadItem("ProjectName", nullptr, 0, nullptr));
}

}  // namespace
