#include "tests/unit/deploy/JobFixture.h"
#include "tests/unit/install/InstallPackage.h"

namespace {

const std::string kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvaneDemo";
const std::string kViewersKey = "SOFTWARE\\Tillmark\\Orvane Viewers\\3.00.000\\Demo";
constexpr auto kHklm = os::RegRoot::LocalMachine;

class ShortcutsTest : public JobTest {
 protected:
  void SetUp() override {
    Install(instpkg::Items());
    SetWorkDir("C:\\Games\\Demo");
  }
  std::string Value(const std::string& key, const std::string& name) {
    os::RegValue value;
    if (!fp.registry.Get(kHklm, key, name, &value)) return "<none>";
    EXPECT_EQ(value.type, os::kRegSz);
    EXPECT_EQ(value.data.back(), '\0');  // the NUL is stored and counted
    return value.data.substr(0, value.data.size() - 1);
  }
};

TEST_F(ShortcutsTest, LinkCarriesTargetWorkingFolderDescriptionAndArguments) {
  const std::string path = "C:\\Start\\Demo.lnk";
  fp.files.AddDir("C:\\Start");
  EXPECT_EQ(Job().CreateShortcut("D:\\Elsewhere\\x.exe", path.c_str(), "Desc", "ORVStart.orv"), 0);
  const os::ShellLink& link = fp.shell.links.at(path);
  EXPECT_EQ(link.target, "D:\\Elsewhere\\x.exe");
  EXPECT_EQ(link.workingDir, "C:\\Games\\Demo");  // workDir, whatever the target
  EXPECT_EQ(link.description, "Desc");
  EXPECT_TRUE(link.hasArguments);
  EXPECT_EQ(link.arguments, "ORVStart.orv");

  EXPECT_EQ(Job().CreateShortcut("C:\\x.exe", "C:\\Start\\U.lnk", "U", nullptr), 0);
  EXPECT_FALSE(fp.shell.links.at("C:\\Start\\U.lnk").hasArguments);
}

TEST_F(ShortcutsTest, PathsBeyondTheShellLimitAreNotWrittenCut) {
  const std::string folder = "C:\\Start\\";
  fp.files.AddDir(folder);
  const std::string fits = folder + std::string(259 - folder.size() - 4, 'a') + ".lnk";
  const std::string tooLong = folder + std::string(260 - folder.size() - 4, 'a') + ".lnk";
  EXPECT_EQ(Job().CreateShortcut("C:\\x.exe", fits.c_str(), "d", nullptr), 0);
  EXPECT_LT(Job().CreateShortcut("C:\\x.exe", tooLong.c_str(), "d", nullptr), 0);
  const std::string longTarget = "C:\\" + std::string(257, 't');
  EXPECT_LT(Job().CreateShortcut(longTarget.c_str(), (folder + "t.lnk").c_str(), "d", nullptr), 0);
  EXPECT_EQ(fp.shell.links.size(), 1u);
  EXPECT_TRUE(fp.ui.boxes.empty());
}

TEST_F(ShortcutsTest, UninstallRecordNamesTheQuotedUninstaller) {
  SetWorkDir("C:\\Program Files\\Demo");
  Job().WriteUninstallRegistry();
  EXPECT_EQ(Value(kUninstallKey, "DisplayName"), "Demo");
  EXPECT_EQ(Value(kUninstallKey, "UninstallString"), "\"C:\\Program Files\\Demo\\ORVUnInst.exe\"");
  EXPECT_TRUE(fp.ui.boxes.empty());
}

TEST_F(ShortcutsTest, ViewersRecordHoldsTheFolder) {
  Job().WriteViewerRegistry();
  EXPECT_EQ(Value(kViewersKey, "DisplayName"), "C:\\Games\\Demo");
}

TEST_F(ShortcutsTest, SecondInstallationOverwritesTheSameKeys) {
  Job().WriteUninstallRegistry();
  Job().WriteViewerRegistry();
  SetWorkDir("D:\\Again");
  Job().WriteUninstallRegistry();
  Job().WriteViewerRegistry();
  EXPECT_EQ(Value(kUninstallKey, "UninstallString"), "\"D:\\Again\\ORVUnInst.exe\"");
  EXPECT_EQ(Value(kViewersKey, "DisplayName"), "D:\\Again");
  EXPECT_EQ(fp.registry.keys.size(), 2u);
}

TEST_F(ShortcutsTest, FailuresAreReportedAndWriteNothing) {
  const std::string longFolder = "C:\\" + std::string(241, 'f');  // command of 260 characters
  const struct {
    const char* what;
    bool noName;
    bool denied;
    std::string folder;
    std::vector<fake::Box> uninstallBoxes;
    std::vector<fake::Box> viewerBoxes;
  } cases[] = {
      {"no ProjectName",
       true,
       false,
       "C:\\Games\\Demo",
       {{"Can't find project type ProjectName", "Error", 0}},
       {{"Can't find project type ProjectName", "Error", 0}}},
      {"no rights",
       false,
       true,
       "C:\\Games\\Demo",
       {{"Error can't write in registry", kUninstallKey, 0}},
       {{"Error can't write in registry", kViewersKey, 0}}},
      {"command too long",
       false,
       false,
       longFolder,
       {{"Error can't write in registry", kUninstallKey, 0}},
       {}},
  };
  for (const auto& c : cases) {
    fake::FakePlatform local;
    os::Platform p = local.Get();
    instpkg::Options o;
    if (c.noName) o.without = {"ProjectName"};
    local.files.AddFile(local.system.moduleFileName, testpkg::BuildFile(instpkg::Items(o)));
    if (c.denied) local.registry.DenyWrites(kHklm);
    DeployJob job(p);
    std::snprintf(job.workDir, sizeof(job.workDir), "%s", c.folder.c_str());
    job.WriteUninstallRegistry();
    EXPECT_EQ(local.ui.boxes, c.uninstallBoxes) << c.what;
    EXPECT_FALSE(local.registry.HasKey(kHklm, kUninstallKey)) << c.what;
    local.ui.boxes.clear();
    job.WriteViewerRegistry();
    EXPECT_EQ(local.ui.boxes, c.viewerBoxes) << c.what;
  }
}

TEST_F(ShortcutsTest, LongestCommandThatFitsIsWritten) {
  const std::string folder = "C:\\" + std::string(240, 'f');  // 259 characters with the quotes
  SetWorkDir(folder);
  Job().WriteUninstallRegistry();
  EXPECT_EQ(Value(kUninstallKey, "UninstallString"), "\"" + folder + "\\ORVUnInst.exe\"");
}

TEST_F(ShortcutsTest, SecondOpenFailingLeavesOnlyTheName) {
  fp.faults.FailNth("Registry::Create", 2, os::kErrAccessDenied);
  Job().WriteUninstallRegistry();
  EXPECT_EQ(Value(kUninstallKey, "DisplayName"), "Demo");
  EXPECT_EQ(Value(kUninstallKey, "UninstallString"), "<none>");
  EXPECT_TRUE(fp.ui.boxes.empty());
}

}  // namespace
