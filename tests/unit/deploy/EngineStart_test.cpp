#include "deploy/EngineInterface.h"
#include "tests/unit/deploy/JobFixture.h"
#include "tests/unit/deploy/RunPackage.h"
#include "tests/unit/support/StubEngine.h"
#include "ui/ProgressWindow.h"

namespace {

const std::string kWork = "C:\\Temp\\Orvane0";

class EngineTest : public JobTest {
 protected:
  void SetUp() override { stub::Install(fp); }
  void Ready(const runpkg::Options& o = {}) {
    Install(runpkg::Items(o));
    SetWorkDir(kWork);
    fp.files.AddFile(kWork + "\\zenthra.dll", "engine");
  }
  std::string Path() { return fp.system.env.count("PATH") ? fp.system.env["PATH"] : "<unset>"; }
};

TEST_F(EngineTest, PathGainsTheTwoFoldersOnce) {
  const struct {
    const char* what;
    bool set;
    std::string before;
    std::string after;
  } cases[] = {
      {"usual", true, "C:\\Windows", kWork + "\\channels;" + kWork + "\\3rd;C:\\Windows"},
      {"present", true, "X;" + kWork + "\\3rd", "X;" + kWork + "\\3rd"},
      {"other case", true, "c:\\temp\\orvane0",
       kWork + "\\channels;" + kWork + "\\3rd;c:\\temp\\orvane0"},
      {"unset", false, "", kWork + "\\channels;" + kWork + "\\3rd"},
      {"very long", true, std::string(5000, 'p'),
       kWork + "\\channels;" + kWork + "\\3rd;" + std::string(5000, 'p')},
  };
  for (const auto& c : cases) {
    fp.system.env.erase("PATH");
    if (c.set) fp.system.env["PATH"] = c.before;
    std::snprintf(Job().workDir, sizeof(Job().workDir), "%s", kWork.c_str());
    Job().ExtendPath();
    EXPECT_EQ(Path(), c.after) << c.what;
    Job().ExtendPath();
    EXPECT_EQ(Path(), c.after) << c.what << " (second time)";
  }
}

TEST_F(EngineTest, StartIntroducesTheProgramInOrder) {
  Ready();
  Job().SetOwner(reinterpret_cast<os::Instance>(0x400000), reinterpret_cast<os::Window>(0x99));
  ASSERT_TRUE(Job().StartEngine());
  EXPECT_EQ(fp.modules.journal, (std::vector<std::string>{"load " + kWork + "\\zenthra.dll"}));
  EXPECT_EQ(stub::Engine().journal,
            (std::vector<std::string>{"GetEngineControlInstance", "SetWorkDir " + kWork,
                                      "Initialize OrvaneExe Window", "GetChannelFactory"}));
  EXPECT_NE(Job().channelFactory, nullptr);
  EXPECT_TRUE(fp.ui.boxes.empty());
}

TEST_F(EngineTest, StartFailuresAreSilentAndLeaveTheLibraryLoaded) {
  stub::EngineConfig noExport, nullControl, badInit;
  noExport.noExport = true;
  nullControl.nullControl = true;
  badInit.initializeFails = true;
  for (const auto& config : {noExport, nullControl, badInit}) {
    fake::FakePlatform local;
    os::Platform p = local.Get();
    stub::Install(local, config);
    local.files.AddFile(local.system.moduleFileName, testpkg::BuildFile(runpkg::Items()));
    local.files.AddFile(kWork + "\\zenthra.dll", "engine");
    DeployJob job(p);
    std::snprintf(job.workDir, sizeof(job.workDir), "%s", kWork.c_str());
    EXPECT_FALSE(job.StartEngine());
    EXPECT_EQ(local.modules.Loaded(), 1);
    EXPECT_NE(job.engineModule, nullptr);
    EXPECT_TRUE(local.ui.boxes.empty());
  }
  // Without the library file nothing loads.
  SetWorkDir(kWork);
  Install(runpkg::Items());
  EXPECT_FALSE(Job().StartEngine());
  EXPECT_EQ(Job().engineModule, nullptr);
}

class ListsTest : public EngineTest {
 protected:
  void Start() {
    ASSERT_TRUE(Job().StartEngine());
    Job().fileLoader = static_cast<FileLoaderChannel*>(
        Job().channelFactory->CreateChannel(kFileLoaderClassId, 0, 0));
    Job().progress = new ProgressWindow(fp.dialogs);
    Job().progress->Create(nullptr, nullptr);
  }
  std::vector<std::string> Positions() {
    std::vector<std::string> out;
    for (const auto& line : fp.dialogs.journal) {
      if (line.rfind("pos ", 0) == 0) out.push_back(line.substr(4));
    }
    return out;
  }
};

TEST_F(ListsTest, ChannelDllsReportProgressChannelsDoNot) {
  runpkg::Options o;
  o.channels = {};
  o.channelDlls = {"\\3rd\\a.dll", "\\3rd\\b.dll"};
  Ready(o);
  Start();
  ASSERT_TRUE(Job().ExtractChannels());
  EXPECT_EQ(Positions(), (std::vector<std::string>{"150", "224"}));  // 0.3 and 0.45f
  EXPECT_EQ(fp.files.Content(kWork + "\\3rd\\b.dll"), "\\3rd\\b.dll");
}

TEST_F(ListsTest, ContentFilesAreWrittenAsStoredWithProgress) {
  runpkg::Options o;
  o.files = {"\\a.txt", "\\b.txt", "\\c.txt", "\\d.txt"};
  Ready(o);
  Start();
  ASSERT_TRUE(Job().ExtractContentFiles());
  EXPECT_EQ(Positions(), (std::vector<std::string>{"300", "337", "375", "412"}));
  EXPECT_EQ(fp.files.Content(kWork + "\\d.txt"), "content \\d.txt");
}

TEST_F(ListsTest, MissingEntriesAreSkippedAndMissingItemsNamed) {
  std::vector<testpkg::Item> items = runpkg::Items();
  // A list of three whose second name is absent and whose third names no item.
  items.push_back({"FILEINFO", "FILECOUNT", testpkg::Number(3)});
  std::vector<testpkg::Item> changed;
  for (auto& item : items) {
    if (item.category == "FILEINFO") continue;
    changed.push_back(item);
  }
  changed.push_back({"FILEINFO", "FILECOUNT", testpkg::Number(3)});
  changed.push_back({"FILEINFO", "ITEMNAMEID0", testpkg::Text("\\data\\scene.txt")});
  changed.push_back({"FILEINFO", "ITEMNAMEID2", testpkg::Text("\\gone.txt")});
  Install(changed);
  SetWorkDir(kWork);
  fp.files.AddFile(kWork + "\\zenthra.dll", "engine");
  Start();
  ASSERT_TRUE(Job().ExtractContentFiles());
  EXPECT_EQ(fp.ui.boxes, (std::vector<fake::Box>{{"\\gone.txt", "Could not find resource", 0}}));
  EXPECT_TRUE(fp.files.Exists(kWork + "\\data\\scene.txt"));
}

TEST_F(ListsTest, MissingCountsAreNamed) {
  std::vector<testpkg::Item> items;
  for (auto& item : runpkg::Items()) {
    if (item.name != "CHANNELDLLCOUNT") items.push_back(item);
  }
  Install(items);
  SetWorkDir(kWork);
  fp.files.AddFile(kWork + "\\zenthra.dll", "engine");
  Start();
  EXPECT_FALSE(Job().ExtractChannels());
  EXPECT_EQ(fp.ui.boxes, (std::vector<fake::Box>{{"Can't find ChannelDLLCount", "Error", 0}}));
  EXPECT_TRUE(fp.files.Exists(kWork + "\\channels\\Sky.dll"));  // the channels came first
}

}  // namespace
