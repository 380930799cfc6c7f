#include <zlib.h>

#include "tests/unit/deploy/JobFixture.h"

namespace {

using testpkg::Bytes;
using testpkg::Item;
using testpkg::Number;
using testpkg::Text;
using testpkg::Zlib;

const std::string kWork = "C:\\Temp\\Orvane0";

Bytes Raw(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

const std::vector<std::string> kRuntimeNames = {
    "Zenthra.dll",
    "channels\\Quillet.dll",
    "channels\\Dirrow.dll",
    "channels\\Lodera.dll",
    "channels\\5C18E7A2-9B4D-4E61-B3F8-0D27C6A94E15.dll",
    "channels\\A7F29D03-6E1B-4C85-92A4-E8B53D07F6C1.dll",
    "channels\\19E4B6C8-D273-4A5F-8E01-C6A9F2B47D38.dll",
    "channels\\E82C07B5-31F9-4D6A-A5C3-7B14E96F02D8.dll",
    "3rd\\msvcr71.dll",
    "ORVStart.orv",
};

std::vector<Item> RuntimeItems() {
  std::vector<Item> items;
  for (const std::string& name : kRuntimeNames) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    items.push_back(
        {"APPDATA", upper, name == "ORVStart.orv" ? Raw("TMKF-start") : Zlib("bytes of " + name)});
  }
  return items;
}

const std::string kLocked = "Could not find resource";

TEST_F(JobTest, SeparatorsAndFoldersAreRecordedOnceInCreationOrder) {
  Install({{"APPDATA", "DATA/SUB/NOTES.TXT", Raw("n")},
           {"APPDATA", "\\DATA\\SCENE.TXT", Raw("a scene\r\n")},
           {"APPDATA", "DATA\\SCENE.TXT", Raw("plain")}});
  SetWorkDir(kWork);
  fp.files.AddDir(kWork);
  ASSERT_TRUE(Job().ExtractItem("data/sub/notes.txt", false));
  ASSERT_TRUE(Job().ExtractItem("\\data\\scene.txt", false));
  ASSERT_TRUE(Job().ExtractItem("data\\scene.txt", false));
  EXPECT_EQ(List(Job().createdDirs),
            (std::vector<std::string>{kWork + "\\data\\", kWork + "\\data\\sub\\"}));
  EXPECT_EQ(List(Job().createdFiles),
            (std::vector<std::string>{kWork + "\\data/sub/notes.txt", kWork + "\\\\data\\scene.txt",
                                      kWork + "\\data\\scene.txt"}));
  EXPECT_EQ(fp.files.Content(kWork + "\\data\\sub\\notes.txt"), "n");
  EXPECT_EQ(fp.files.Content(kWork + "\\data\\scene.txt"), "plain");
  EXPECT_TRUE(fp.ui.boxes.empty());
}

TEST_F(JobTest, MissingParentsOfTheTargetAreCreatedOutermostFirst) {
  Install({{"APPDATA", "A.TXT", Raw("a")}});
  fp.files.AddDir("D:\\");
  std::snprintf(Job().workDir, sizeof(Job().workDir), "D:\\Games\\Demo");
  ASSERT_TRUE(Job().ExtractItem("a.txt", false));
  EXPECT_EQ(List(Job().createdDirs),
            (std::vector<std::string>{"D:\\Games\\", "D:\\Games\\Demo\\"}));
}

TEST_F(JobTest, ExistingFoldersAreNotRecorded) {
  Install({{"APPDATA", "DATA\\X.TXT", Raw("x")}});
  SetWorkDir(kWork);
  fp.files.AddDir(kWork + "\\Data");
  ASSERT_TRUE(Job().ExtractItem("data\\x.txt", false));
  EXPECT_EQ(Job().createdDirs.Count(), 0);
}

TEST_F(JobTest, ZlibFormIsInflated) {
  const std::string text(5000, 'z');
  Install({{"APPDATA", "ORVANEVIEWER.EXE", Zlib(text)}});
  SetWorkDir(kWork);
  ASSERT_TRUE(Job().ExtractItem("OrvaneViewer.exe", true));
  EXPECT_EQ(fp.files.Content(kWork + "\\OrvaneViewer.exe"), text);
  EXPECT_EQ(Job().itemData, nullptr);  // the inflated copy is gone once written
}

TEST_F(JobTest, DamagedZlibItemsAreErrorDecompressAndWriteNothing) {
  Bytes damaged = Zlib(std::string(300, 'q'));
  damaged[5] ^= 0xFF;
  Bytes shortClaim = Zlib(std::string(300, 'q'));
  shortClaim[shortClaim.size() - 4] -= 1;  // stored length one too small
  Bytes cut = Zlib(std::string(300, 'q'));
  cut.erase(cut.begin() + 6, cut.end() - 4);
  Bytes huge = Zlib(std::string(10, 'q'));
  huge[huge.size() - 1] = 0x7F;  // claims far more than deflate can give
  const std::vector<Bytes> cases = {damaged, shortClaim, cut, huge, Raw("abc"), Raw("")};
  for (const Bytes& stored : cases) {
    fake::FakePlatform local;
    os::Platform p = local.Get();
    local.files.AddFile(local.system.moduleFileName,
                        testpkg::BuildFile({{"APPDATA", "Z.DLL", stored}}));
    local.files.AddDir(kWork);
    DeployJob job(p);
    std::snprintf(job.workDir, sizeof(job.workDir), "%s", kWork.c_str());
    EXPECT_FALSE(job.ExtractItem("z.dll", true));
    EXPECT_EQ(local.ui.boxes, (std::vector<fake::Box>{{"Error decompress", "Error", 0}}));
    EXPECT_FALSE(local.files.Exists(kWork + "\\z.dll"));
    EXPECT_EQ(job.createdFiles.Count(), 0);
  }
}

TEST_F(JobTest, MissingItemShowsItsNameAndKeepsFoldersRecorded) {
  Install({{"FILEINFO", "SUB\\MISSING.TXT", Raw("other category")}});
  SetWorkDir(kWork);
  EXPECT_FALSE(Job().ExtractItem("sub\\missing.txt", false));
  EXPECT_EQ(fp.ui.boxes, (std::vector<fake::Box>{{"sub\\missing.txt", kLocked, 0}}));
  EXPECT_EQ(List(Job().createdDirs), (std::vector<std::string>{kWork + "\\sub\\"}));
  EXPECT_FALSE(Job().ExtractItem(nullptr, false));
  EXPECT_EQ(fp.ui.boxes.size(), 1u);
}

TEST_F(JobTest, EmptyItemIsAnEmptyFileAndRecorded) {
  Install({{"APPDATA", "EMPTY.TXT", {}}});
  SetWorkDir(kWork);
  ASSERT_TRUE(Job().ExtractItem("empty.txt", false));
  EXPECT_TRUE(fp.files.Exists(kWork + "\\empty.txt"));
  EXPECT_EQ(Job().createdFiles.Count(), 1);
}

TEST_F(JobTest, LockedTargetFailsSilently) {
  Install({{"APPDATA", "A.TXT", Raw("a")}});
  SetWorkDir(kWork);
  fp.files.AddFile(kWork + "\\a.txt", "old");
  fp.files.Lock(kWork + "\\a.txt");
  EXPECT_FALSE(Job().ExtractItem("a.txt", false));
  EXPECT_TRUE(fp.ui.boxes.empty());
  EXPECT_EQ(fp.files.Content(kWork + "\\a.txt"), "old");
}

TEST_F(JobTest, ShortWriteRemovesThePartialFile) {
  Install({{"APPDATA", "BIG.BIN", Bytes(10000, 7)}});
  SetWorkDir(kWork);
  fp.files.SetFreeSpace(4096);
  EXPECT_FALSE(Job().ExtractItem("big.bin", false));
  EXPECT_FALSE(fp.files.Exists(kWork + "\\big.bin"));
  EXPECT_EQ(Job().createdFiles.Count(), 0);
}

TEST_F(JobTest, NamesThatLeaveTheWorkFolderAreRefused) {
  const std::vector<std::string> hostile = {
      "..",       "a\\..\\b", "C:x",       "C:\\x", "\\\\srv\\sh\\x", "\\\\?\\C:\\x",
      "file:ads", "dot.",     "blank ",    "NUL",   "sub\\COM1.dll",  "CON.txt",
      "",         "\\",       "tab\tname", "star*", "what?",          "quote\"",
      "lt<",      "gt>",      "pipe|",     "dir\\", "a\\\\b",         "lpt9",
  };
  std::vector<Item> items;
  for (const std::string& name : hostile) items.push_back({"APPDATA", name, Raw("evil")});
  Install(items);
  SetWorkDir(kWork);
  for (const std::string& name : hostile) {
    fp.ui.boxes.clear();
    EXPECT_FALSE(Job().ExtractItem(name.c_str(), false)) << name;
    EXPECT_EQ(fp.ui.boxes, (std::vector<fake::Box>{{name, kLocked, 0}})) << name;
  }
  EXPECT_EQ(Job().createdFiles.Count(), 0);
  EXPECT_EQ(Job().createdDirs.Count(), 0);
  EXPECT_EQ(fp.files.AllPaths(),
            (std::vector<std::string>{"C:\\", "C:\\Downloads\\", "C:\\Downloads\\demo.exe",
                                      "C:\\Temp\\", "C:\\Temp\\Orvane0\\"}));
}

TEST_F(JobTest, OrdinaryNamesKeepWorking) {
  const std::vector<std::string> names = {"\\3rd\\x.dll", "channels/x.dll", "a.b.c",
                                          "Con2.txt",     "com10.dll",      "null\\ok.txt"};
  std::vector<Item> items;
  for (const std::string& name : names) items.push_back({"APPDATA", name, Raw("ok")});
  Install(items);
  SetWorkDir(kWork);
  for (const std::string& name : names) EXPECT_TRUE(Job().ExtractItem(name.c_str(), false)) << name;
}

TEST_F(JobTest, PathsBeyondTheBufferAreRefused) {
  const std::string work = "C:\\" + std::string(200, 'w');
  const std::string name = std::string(399 - work.size() - 1, 'n');
  Install({{"APPDATA", name, Raw("fits")}, {"APPDATA", name + "x", Raw("too long")}});
  SetWorkDir(work);
  EXPECT_TRUE(Job().ExtractItem(name.c_str(), false));
  EXPECT_FALSE(Job().ExtractItem((name + "x").c_str(), false));
  EXPECT_EQ(Job().createdFiles.Count(), 1);
}

TEST_F(JobTest, RuntimeFilesInOrder) {
  Install(RuntimeItems());
  SetWorkDir(kWork);
  ASSERT_TRUE(Job().ExtractRuntimeFiles());
  std::vector<std::string> expected;
  for (const std::string& name : kRuntimeNames) expected.push_back(kWork + "\\" + name);
  EXPECT_EQ(List(Job().createdFiles), expected);
  EXPECT_EQ(List(Job().createdDirs),
            (std::vector<std::string>{kWork + "\\channels\\", kWork + "\\3rd\\"}));
  EXPECT_EQ(fp.files.Content(kWork + "\\channels\\Dirrow.dll"), "bytes of channels\\Dirrow.dll");
  EXPECT_EQ(fp.files.Content(kWork + "\\ORVStart.orv"), "TMKF-start");  // written as stored
  EXPECT_TRUE(fp.ui.boxes.empty());
}

TEST_F(JobTest, RuntimeFilesStopAtTheFirstFailure) {
  std::vector<Item> items = RuntimeItems();
  items.erase(items.begin() + 3);  // no Lodera.dll
  Install(items);
  SetWorkDir(kWork);
  EXPECT_FALSE(Job().ExtractRuntimeFiles());
  EXPECT_EQ(Job().createdFiles.Count(), 3);
  const std::vector<fake::Box> expected = {
      {"channels\\Lodera.dll", kLocked, 0},
      {"There was an error while trying to copy one of the installation files.\nPlease make "
       "sure no applications are running that might be locking some files.",
       "Installation Error", os::kMbIconError}};
  EXPECT_EQ(fp.ui.boxes, expected);
  EXPECT_FALSE(fp.files.Exists(kWork + "\\3rd"));
}

}  // namespace
