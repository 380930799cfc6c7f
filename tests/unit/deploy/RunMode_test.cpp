#include "deploy/EngineInterface.h"
#include "tests/unit/deploy/JobFixture.h"
#include "tests/unit/deploy/RunPackage.h"
#include "tests/unit/support/StubEngine.h"

namespace {

const std::string kTemp = "C:\\Users\\user\\Temp\\";
const std::string kWork = kTemp + "Orvane0";

class RunModeTest : public JobTest {
 protected:
  void SetUp() override {
    fp.files.AddDir(kTemp);
    fp.system.env["PATH"] = "C:\\Windows\\system32;C:\\Windows";
    stub::Install(fp);
  }
  std::vector<std::string> Temp() {
    std::vector<std::string> out;
    for (const std::string& p : fp.files.AllPaths()) {
      if (p.rfind(kTemp, 0) == 0 && p != kTemp) out.push_back(p);
    }
    return out;
  }
  // The viewer writes a cache tree (names in capitals) and leaves it behind.
  void ViewerWritesCache() {
    fp.processes.onStart = [this](const fake::StartedProcess&) {
      fp.files.AddFile(kWork + "\\cache\\Scene.BIN", "c");
      fp.files.AddFile(kWork + "\\cache\\Deep\\Deeper\\A.TMP", "c");
      fp.files.AddDir(kWork + "\\cache\\Empty");
      fp.files.AddFile(kWork + "\\channel.lst", "list");
      return true;
    };
  }
};

TEST_F(RunModeTest, FullRunLeavesNothingBehind) {
  Install(runpkg::Items());
  ViewerWritesCache();
  ASSERT_TRUE(Job().RunMode());
  EXPECT_TRUE(fp.ui.boxes.empty());
  EXPECT_EQ(Temp(), std::vector<std::string>{});
  EXPECT_EQ(fp.modules.Loaded(), 0);
  EXPECT_EQ(stub::Engine().liveObjects, 0);
  EXPECT_EQ(Job().createdFiles.Count(), 0);
  EXPECT_EQ(Job().reader, nullptr);

  ASSERT_EQ(fp.processes.started.size(), 1u);
  const fake::StartedProcess& viewer = fp.processes.started[0];
  EXPECT_EQ(viewer.application, kWork + "\\OrvaneViewer.exe");
  EXPECT_EQ(viewer.commandLine, "OrvaneViewer.exe ORVStart.orv");
  EXPECT_EQ(viewer.currentDir, kWork);
  EXPECT_EQ(viewer.path, kWork + "\\channels;" + kWork + "\\3rd;C:\\Windows\\system32;C:\\Windows");
  EXPECT_EQ(fp.system.sleptMilliseconds, 3000u);  // three polls found it running
}

TEST_F(RunModeTest, ExtractionPutsEveryListedFileInPlace) {
  Install(runpkg::Items());
  fp.processes.onStart = [this](const fake::StartedProcess&) {
    EXPECT_EQ(fp.files.Content(kWork + "\\OrvaneViewer.exe"), "viewer");
    EXPECT_EQ(fp.files.Content(kWork + "\\channels\\Sky.dll"), "\\channels\\Sky.dll");  // decoded
    EXPECT_EQ(fp.files.Content(kWork + "\\3rd\\d3dx9_25.dll"), "\\3rd\\d3dx9_25.dll");
    EXPECT_EQ(fp.files.Content(kWork + "\\data\\scene.txt"), "content \\data\\scene.txt");
    EXPECT_EQ(fp.files.Content(kWork + "\\ORVStart.orv"), "TMKFstart");
    EXPECT_EQ(fp.modules.Loaded(), 0);  // unloaded while the viewer runs
    return true;
  };
  ASSERT_TRUE(Job().RunMode());
}

// The order that matters: the cache goes while the engine is loaded, the engine is unloaded
// before its files go, files go before folders, deeper folders before their parents.
TEST_F(RunModeTest, CleanupOrder) {
  Install(runpkg::Items());
  ViewerWritesCache();
  ASSERT_TRUE(Job().RunMode());
  const auto& ev = fp.system.events;
  auto at = [&](const std::string& e) {
    auto it = std::find(ev.begin(), ev.end(), e);
    EXPECT_NE(it, ev.end()) << e;
    return it - ev.begin();
  };
  const auto started = at("start " + kWork + "\\OrvaneViewer.exe");
  const auto reload =
      std::find(ev.begin() + started, ev.end(), "load " + kWork + "\\zenthra.dll") - ev.begin();
  const auto cacheFile = at("delete " + kWork + "\\cache\\Scene.BIN");
  const auto deeper = at("rmdir " + kWork + "\\cache\\Deep\\Deeper");
  const auto deep = at("rmdir " + kWork + "\\cache\\Deep");
  const auto cache = at("rmdir " + kWork + "\\cache");
  const auto unload = std::find(ev.begin() + cache, ev.end(), "free") - ev.begin();
  const auto engineFile = at("delete " + kWork + "\\Zenthra.dll");
  const auto list = at("delete " + kWork + "\\channel.lst");
  const auto sub = at("rmdir " + kWork + "\\data\\sub");
  const auto data = at("rmdir " + kWork + "\\data");
  const auto work = at("rmdir " + kWork);
  EXPECT_LT(started, reload);
  EXPECT_LT(reload, cacheFile);
  EXPECT_LT(cacheFile, deeper);
  EXPECT_LT(deeper, deep);
  EXPECT_LT(deep, cache);
  EXPECT_LT(cache, unload);
  EXPECT_LT(unload, engineFile);
  EXPECT_LT(engineFile, list);
  EXPECT_LT(list, sub);
  EXPECT_LT(sub, data);
  EXPECT_LT(data, work);
}

TEST_F(RunModeTest, ViewerFilesOutsideTheCacheStay) {
  Install(runpkg::Items());
  fp.processes.onStart = [this](const fake::StartedProcess&) {
    fp.files.AddFile(kWork + "\\saves\\slot1.sav", "mine");
    return true;
  };
  ASSERT_TRUE(Job().RunMode());
  EXPECT_EQ(Temp(), (std::vector<std::string>{kWork + "\\", kWork + "\\saves\\",
                                              kWork + "\\saves\\slot1.sav"}));
}

TEST_F(RunModeTest, LinksInsideTheCacheAreRemovedNotFollowed) {
  Install(runpkg::Items());
  fp.files.AddFile("C:\\Outside\\keep.txt", "canary");
  fp.processes.onStart = [this](const fake::StartedProcess&) {
    fp.files.AddJunction(kWork + "\\cache\\link", "C:\\Outside");
    return true;
  };
  ASSERT_TRUE(Job().RunMode());
  EXPECT_EQ(fp.files.Content("C:\\Outside\\keep.txt"), "canary");
  EXPECT_EQ(Temp(), std::vector<std::string>{});
}

TEST_F(RunModeTest, ViewerThatCannotStartStillCleansUp) {
  Install(runpkg::Items());
  fp.processes.onStart = [](const fake::StartedProcess&) { return false; };
  ASSERT_TRUE(Job().RunMode());
  EXPECT_EQ(fp.ui.boxes, (std::vector<fake::Box>{{"Unable to start orvaneviewer.exe", "5", 0}}));
  EXPECT_EQ(Temp(), std::vector<std::string>{});
  EXPECT_EQ(fp.system.sleptMilliseconds, 0u);
}

TEST_F(RunModeTest, PlantedViewerBesideTheLauncherIsNotUsed) {
  Install(runpkg::Items());
  fp.files.AddFile("C:\\Downloads\\OrvaneViewer.exe", "planted");
  ASSERT_TRUE(Job().RunMode());
  EXPECT_EQ(fp.processes.started.at(0).application, kWork + "\\OrvaneViewer.exe");
}

TEST_F(RunModeTest, DirectXRulesBeforeAnythingIsCreated) {
  runpkg::Options o;
  o.checkDx = true;
  Install(runpkg::Items(o));
  fp.registry.SetString(os::RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\DirectX", "Version",
                        "4.09.00.0902");
  EXPECT_FALSE(Job().RunMode());
  EXPECT_EQ(fp.ui.boxes,
            (std::vector<fake::Box>{{"DirectX 9.0C or higher was not detected on this system\n\r"
                                     "Please install DirectX 9.0C or higher for this application "
                                     "to run.",
                                     "DirectX version check error", os::kMbIconError}}));
  EXPECT_EQ(Temp(), std::vector<std::string>{});
}

TEST_F(RunModeTest, DirectXPresentRuns) {
  runpkg::Options o;
  o.checkDx = true;
  Install(runpkg::Items(o));
  fp.registry.SetString(os::RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\DirectX", "Version",
                        "4.09.00.0904");
  EXPECT_TRUE(Job().RunMode());
  EXPECT_TRUE(fp.ui.boxes.empty());
}

struct FailureCase {
  const char* what;
  runpkg::Options options;
  stub::EngineConfig engine;
  std::vector<fake::Box> boxes;
  bool workDirStays;
};

TEST_F(RunModeTest, FailuresStopWhereTheyHappen) {
  runpkg::Options noCheck, noViewer, noFileCount;
  noCheck.withCheckDx = false;
  noViewer.withViewer = false;
  noFileCount.withFileCount = false;
  stub::EngineConfig noLoader, badInit, noExport;
  noLoader.noFileLoader = true;
  badInit.initializeFails = true;
  noExport.noExport = true;
  const std::vector<FailureCase> cases = {
      {"no CheckDx8", noCheck, {}, {{"Can't find project type CheckDx8", "Error", 0}}, false},
      {"no viewer",
       noViewer,
       {},
       {{"OrvaneViewer.exe", "Could not find resource", 0}, {"OrvaneViewer.exe not found", "P", 0}},
       true},
      {"no file loader", {}, noLoader, {{"Can't init fileloader", "P", 0}}, true},
      {"Initialize false", {}, badInit, {}, true},
      {"no export", {}, noExport, {}, true},
      {"no FileCount", noFileCount, {}, {{"Can't find FileCount", "Error", 0}}, true},
  };
  for (const FailureCase& c : cases) {
    fake::FakePlatform local;
    os::Platform p = local.Get();
    local.files.AddDir(kTemp);
    stub::Install(local, c.engine);
    local.files.AddFile(local.system.moduleFileName, testpkg::BuildFile(runpkg::Items(c.options)));
    DeployJob job(p);
    EXPECT_FALSE(job.RunMode()) << c.what;
    EXPECT_EQ(local.ui.boxes, c.boxes) << c.what;
    EXPECT_EQ(local.files.Exists(kWork), c.workDirStays) << c.what;
    EXPECT_TRUE(local.processes.started.empty()) << c.what;
  }
}

TEST_F(RunModeTest, AnEngineFolderInTheTempFolderIsNotReused) {
  Install(runpkg::Items());
  fp.files.AddFile(kTemp + "Orvane0\\zenthra.dll", "other run");
  ASSERT_TRUE(Job().RunMode());
  EXPECT_EQ(fp.processes.started.at(0).currentDir, kTemp + "Orvane1");
  EXPECT_EQ(Temp(),
            (std::vector<std::string>{kTemp + "Orvane0\\", kTemp + "Orvane0\\zenthra.dll"}));
}

}  // namespace
