#include <algorithm>
#include <functional>

#include "tests/unit/deploy/JobFixture.h"
#include "tests/unit/install/PlayerPackage.h"
#include "tests/unit/support/StubEngine.h"

namespace {

using fake::FakeDialogs;
using Lines = std::vector<std::string>;

const std::string kTarget = "C:\\Games\\Demo";
const std::string kSystem = "C:\\Windows\\system32";
const std::string kCopy = kSystem + "\\Demo.scr";
const std::string kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvaneDemo";
const std::string kViewersKey = "SOFTWARE\\Tillmark\\Orvane Viewers\\3.00.000\\Demo";
const fake::Box kSuccess{"Installation successfully completed!", "Demo", os::kMbIconInformation};
const fake::Box kDirectXWarning{
    "DirectX 9.0C or higher was not detected on this system\n\rDirectX 9.0C or higher needs to be "
    "installed before the screen saver will work.",
    "Demo", os::kMbIconWarning};

fake::Box Missing(const std::string& name) {
  return {"Can't find project type " + name, "Error", os::kMbOk};
}

// A failed copy: the error number, then the text, both captioned with the target.
std::vector<fake::Box> CopyFailed(uint32_t error, const std::string& target) {
  return {{std::to_string(error), target, os::kMbOk},
          {"Unable to copy screensaver to system directory", target, os::kMbOk}};
}

// A fresh platform with the package and the stub engine, and a job over it.
struct SaverRun {
  explicit SaverRun(const playerpkg::Options& o = {}, stub::EngineConfig engine = {}) {
    fp.system.env["PATH"] = "C:\\Windows";
    fp.files.AddDir(kSystem);
    stub::Install(fp, engine);
    fp.registry.SetString(os::RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\DirectX", "Version",
                          "4.09.00.0902");
    fp.files.AddFile(fp.system.moduleFileName, testpkg::BuildFile(playerpkg::Items(o)));
  }
  bool Run(bool accept = true) {
    fp.dialogs.script.push_back(FakeDialogs::Press(accept ? 1 : 1002));
    job = std::make_unique<DeployJob>(platform);
    job->SetOwner(reinterpret_cast<os::Instance>(0x400000), reinterpret_cast<os::Window>(0x99));
    return job->ScreensaverMode();
  }
  Lines Files() const {
    Lines out;
    for (int32_t i = 0; i < job->createdFiles.Count(); ++i)
      out.push_back(static_cast<const char*>(job->createdFiles.Get(i)));
    return out;
  }
  fake::FakePlatform fp;
  os::Platform platform = fp.Get();
  std::unique_ptr<DeployJob> job;
};

// Whether the progress window was made and is gone again.
bool ProgressWindowGone(const fake::FakePlatform& fp) {
  for (const auto& w : fp.dialogs.windows) {
    if (w->resource == "IDD_PROGRESSBAR") return w->destroyed;
  }
  ADD_FAILURE() << "no progress window";
  return false;
}

std::vector<int> Positions(const Lines& journal) {
  std::vector<int> out;
  for (const std::string& line : journal) {
    if (line.rfind("pos ", 0) == 0) out.push_back(std::stoi(line.substr(4)));
  }
  return out;
}

TEST(ScreensaverInstallTest, CompleteInstallationCopiesRecordsAndRegisters) {
  SaverRun s;
  ASSERT_TRUE(s.Run());
  EXPECT_EQ(s.fp.ui.boxes, std::vector<fake::Box>{kSuccess});

  Lines files;
  for (const std::string& name : runpkg::kRuntimeNames) files.push_back(kTarget + "\\" + name);
  files.insert(files.end(), {kTarget + "\\ORVUnInst.exe", kTarget + "\\ORVSvr.scr", kCopy,
                             kTarget + "\\\\channels\\Sky.dll", kTarget + "\\\\3rd\\d3dx9_25.dll",
                             kTarget + "\\\\data\\scene.txt", kTarget + "\\data/sub/notes.txt",
                             kTarget + "\\screensaver.cfg"});
  EXPECT_EQ(s.Files(), files);
  EXPECT_EQ(s.fp.files.Content(kCopy), "screensaver");
  EXPECT_FALSE(s.fp.files.Exists(kTarget + "\\OrvaneViewer.exe"));
  EXPECT_TRUE(s.fp.shell.links.empty());
  EXPECT_TRUE(s.fp.processes.started.empty());

  // One saver: the configuration record, then the uninstall record with its end marker.
  const auto records = playerpkg::Records(stub::Engine().saverCalls);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].path, kTarget + "\\screensaver.cfg");
  EXPECT_TRUE(records[0].complete);
  EXPECT_EQ(playerpkg::ConfigLines(records[0]),
            (Lines{"SCFP " + kTarget + "\\ORVStart.orv", "SCTI 20", "SCQC 7", "SCSP 0"}));
  EXPECT_EQ(records[1].path, kTarget + "\\uninstall.nfo");
  EXPECT_TRUE(records[1].complete);
  const Lines dirs = {"C:\\Games\\",       kTarget + "\\",         kTarget + "\\channels\\",
                      kTarget + "\\3rd\\", kTarget + "\\\\data\\", kTarget + "\\data\\sub\\"};
  Lines lines = {"UNFC " + std::to_string(files.size())};
  for (const std::string& f : files) lines.push_back("UNFN " + f);
  lines.push_back("UNDC " + std::to_string(dirs.size()));
  for (auto d = dirs.rbegin(); d != dirs.rend(); ++d) lines.push_back("UNDN " + *d);
  lines.insert(lines.end(), {"UNPN Demo", "UNSK"});
  EXPECT_EQ(record::Lines(records[1]), lines);
  EXPECT_FALSE(records[1].chunks.back().sized);

  os::RegValue value;
  ASSERT_TRUE(s.fp.registry.Get(os::RegRoot::LocalMachine, kViewersKey, "DisplayName", &value));
  EXPECT_EQ(value.data, kTarget + std::string(1, '\0'));
  ASSERT_TRUE(
      s.fp.registry.Get(os::RegRoot::LocalMachine, kUninstallKey, "UninstallString", &value));
  EXPECT_EQ(value.data, "\"" + kTarget + "\\ORVUnInst.exe\"" + std::string(1, '\0'));
  EXPECT_EQ(s.fp.modules.Loaded(), 0);
  EXPECT_EQ(stub::Engine().liveObjects, 0);
}

TEST(ScreensaverInstallTest, DialogThenProgressWindowWithTheBarPositions) {
  SaverRun s;
  ASSERT_TRUE(s.Run());
  const auto& j = s.fp.dialogs.journal;
  ASSERT_GE(j.size(), 5u);
  EXPECT_EQ(j[0], "modal IDD_ISNTALLDIALOG owner=(nil)");
  EXPECT_EQ(j[1], "caption Demo Installation Options");
  EXPECT_EQ(j[4], "create IDD_PROGRESSBAR owner=0x99");
  // The channel DLL (0.3) and two content files (0.6, 0.75) between the fixed points.
  EXPECT_EQ(Positions(j), (std::vector<int>{0, 25, 50, 150, 300, 375, 474}));
  EXPECT_EQ(j.back(), "destroy");
  EXPECT_TRUE(ProgressWindowGone(s.fp));
}

TEST(ScreensaverInstallTest, DirectXIsAskedOnlyWhenCheckDx8IsSetAndOnlyWarns) {
  SaverRun quiet;
  ASSERT_TRUE(quiet.Run());
  EXPECT_EQ(quiet.fp.faults.Calls("Registry::Read"), 0);

  playerpkg::Options o;
  o.install.run.checkDx = true;
  SaverRun warned(o);
  ASSERT_TRUE(warned.Run());
  EXPECT_EQ(warned.fp.ui.boxes, (std::vector<fake::Box>{kDirectXWarning, kSuccess}));
}

TEST(ScreensaverInstallTest, StopsBeforeInstallingAnything) {
  auto without = [](Lines names, bool checkDx = false) {
    playerpkg::Options o;
    o.install.without = std::move(names);
    o.install.run.checkDx = checkDx;
    return o;
  };
  playerpkg::Options noCheck;
  noCheck.install.run.withCheckDx = false;
  const struct {
    const char* what;
    playerpkg::Options options;
    bool accept;
    std::vector<fake::Box> boxes;
  } cases[] = {
      {"no CheckDx8", noCheck, true, {Missing("CheckDx8")}},
      {"no RunAfterInstall",
       without({"RunAfterInstall", "InstallPath"}),
       true,
       {Missing("RunAfterInstall")}},
      {"no InstallPath", without({"InstallPath"}), true, {Missing("InstallPath")}},
      // Every setting is read before DirectX is asked about.
      {"no ProjectName", without({"ProjectName"}, true), true, {Missing("ProjectName")}},
      {"dialog cancelled", {}, false, {}},
  };
  for (const auto& c : cases) {
    SaverRun s(c.options);
    EXPECT_FALSE(s.Run(c.accept)) << c.what;
    EXPECT_EQ(s.fp.ui.boxes, c.boxes) << c.what;
    EXPECT_FALSE(s.fp.files.Exists("C:\\Games")) << c.what;
    EXPECT_FALSE(s.fp.files.Exists(kCopy)) << c.what;
    EXPECT_EQ(s.fp.registry.keys.size(), 1u) << c.what;  // the DirectX value only
    EXPECT_EQ(s.fp.dialogs.journal.empty(), c.accept) << c.what;
  }
}

TEST(ScreensaverInstallTest, FailuresAfterTheDialogStopWithTheirMessages) {
  stub::EngineConfig badInit, noLoader;
  badInit.initializeFails = true;
  noLoader.noFileLoader = true;
  playerpkg::Options noFileCount, noQuit, noPreview;
  noFileCount.install.run.withFileCount = false;
  noQuit.install.without = {"DoQuitCgr"};
  noPreview.install.without = {"DoSmallPreview"};
  const struct {
    const char* what;
    playerpkg::Options options;
    stub::EngineConfig engine;
    std::vector<fake::Box> boxes;
    bool configClosed;
  } cases[] = {
      {"the engine does not start", {}, badInit, {}, false},
      {"no file loader", {}, noLoader, {{"Can't init fileloader", "P", 0}}, false},
      {"no FileCount", noFileCount, {}, {{"Can't find FileCount", "Error", 0}}, false},
      {"no DoQuitCgr", noQuit, {}, {Missing("DoQuitCgr")}, true},
      {"no DoSmallPreview", noPreview, {}, {Missing("DoSmallPreview")}, true},
  };
  for (const auto& c : cases) {
    SaverRun s(c.options, c.engine);
    EXPECT_FALSE(s.Run()) << c.what;
    EXPECT_EQ(s.fp.ui.boxes, c.boxes) << c.what;
    EXPECT_FALSE(s.fp.files.Exists(kTarget + "\\uninstall.nfo")) << c.what;
    EXPECT_EQ(s.fp.registry.keys.size(), 1u) << c.what;
    const auto records = playerpkg::Records(stub::Engine().saverCalls);
    EXPECT_EQ(records.size(), c.configClosed ? 1u : 0u) << c.what;
    if (c.configClosed) {
      EXPECT_TRUE(records[0].complete) << c.what;
      EXPECT_NE(s.Files().back(), kTarget + "\\screensaver.cfg") << c.what;
    }
    EXPECT_FALSE(ProgressWindowGone(s.fp)) << c.what;  // left to the job
    s.job.reset();
    EXPECT_EQ(stub::Engine().liveObjects, 0) << c.what;
    EXPECT_EQ(s.fp.modules.Loaded(), 0) << c.what;
  }
}

TEST(ScreensaverInstallTest, FailedCopiesAreReportedAndRecordedAndTheInstallationGoesOn) {
  auto named = [](const std::string& name) {
    playerpkg::Options o;
    o.install.projectName = name;
    return o;
  };
  const std::string longName(259 - kSystem.size() - 1 - 4 + 1, 'n');  // one beyond the limit
  const struct {
    const char* what;
    playerpkg::Options options;
    std::function<void(fake::FakePlatform&)> setUp;
    std::string target;
    uint32_t error;
  } cases[] = {
      {"no write access",
       {},
       [](fake::FakePlatform& f) { f.files.MakeReadOnly(kSystem); },
       kCopy,
       os::kErrAccessDenied},
      {"a character file names cannot hold", named("De*mo"), nullptr, kSystem + "\\De*mo.scr",
       os::kErrInvalidName},
      {"a backslash", named("..\\evil"), nullptr, kSystem + "\\..\\evil.scr", os::kErrInvalidName},
      {"a slash", named("sub/evil"), nullptr, kSystem + "\\sub/evil.scr", os::kErrInvalidName},
      {"a drive colon", named("D:evil"), nullptr, kSystem + "\\D:evil.scr", os::kErrInvalidName},
      {"two dots", named(".."), nullptr, kSystem + "\\...scr", os::kErrInvalidName},
      {"a path beyond the limit", named(longName), nullptr, kSystem + "\\" + longName + ".scr",
       206},
  };
  for (const auto& c : cases) {
    SaverRun s(c.options);
    s.fp.files.AddDir(kSystem + "\\sub");
    if (c.setUp) c.setUp(s.fp);
    const Lines before = s.fp.files.AllPaths();
    EXPECT_TRUE(s.Run()) << c.what;
    std::vector<fake::Box> boxes = CopyFailed(c.error, c.target);
    boxes.push_back({"Installation successfully completed!", c.options.install.projectName,
                     os::kMbIconInformation});
    EXPECT_EQ(s.fp.ui.boxes, boxes) << c.what;
    EXPECT_EQ(s.Files().at(12), c.target) << c.what;
    // Nothing new lands outside the target folder.
    for (const std::string& p : s.fp.files.AllPaths()) {
      if (std::find(before.begin(), before.end(), p) == before.end()) {
        EXPECT_EQ(p.rfind("C:\\Games\\", 0), 0u) << c.what << ": " << p;
      }
    }
    EXPECT_TRUE(s.fp.files.Exists(kTarget + "\\uninstall.nfo")) << c.what;
  }
}

TEST(ScreensaverInstallTest, TroublesThatDoNotStopTheInstallation) {
  stub::EngineConfig noSaver, openFails;
  noSaver.noSaver = true;
  openFails.saverOpenFails = true;
  playerpkg::Options noUninstaller, noPlayer;
  noUninstaller.install.withUninstaller = false;
  noPlayer.withPlayers = false;
  const std::vector<fake::Box> registryDenied = {
      {"Error can't write in registry", kViewersKey, 0},
      {"Error can't write in registry", kUninstallKey, 0}};
  std::vector<fake::Box> noPlayerBoxes = {{"ORVSvr.scr", "Could not find resource", 0}};
  for (const fake::Box& b : CopyFailed(os::kErrFileNotFound, kCopy)) noPlayerBoxes.push_back(b);
  const struct {
    const char* what;
    playerpkg::Options options;
    stub::EngineConfig engine;
    std::function<void(fake::FakePlatform&)> setUp;
    std::vector<fake::Box> boxes;
    bool records;
  } cases[] = {
      {"no file saver", {}, noSaver, nullptr, {}, false},
      {"the records cannot be opened", {}, openFails, nullptr, {}, false},
      {"no uninstaller",
       noUninstaller,
       {},
       nullptr,
       {{"ORVUnInst.exe", "Could not find resource", 0}},
       true},
      {"no screensaver program", noPlayer, {}, nullptr, noPlayerBoxes, true},
      {"no registry rights",
       {},
       {},
       [](fake::FakePlatform& f) { f.registry.DenyWrites(os::RegRoot::LocalMachine); },
       registryDenied,
       true},
  };
  for (const auto& c : cases) {
    SaverRun s(c.options, c.engine);
    if (c.setUp) c.setUp(s.fp);
    EXPECT_TRUE(s.Run()) << c.what;
    std::vector<fake::Box> boxes = c.boxes;
    boxes.push_back(kSuccess);
    EXPECT_EQ(s.fp.ui.boxes, boxes) << c.what;
    EXPECT_EQ(s.fp.files.Exists(kTarget + "\\screensaver.cfg"), c.records) << c.what;
    EXPECT_EQ(s.fp.files.Exists(kTarget + "\\uninstall.nfo"), c.records) << c.what;
    EXPECT_EQ(stub::Engine().liveObjects, 0) << c.what;
    EXPECT_EQ(s.fp.modules.Loaded(), 0) << c.what;
  }
}

TEST(ScreensaverInstallTest, AnEarlierCopyIsOverwritten) {
  SaverRun s;
  s.fp.files.AddFile(kCopy, "old");
  ASSERT_TRUE(s.Run());
  EXPECT_EQ(s.fp.files.Content(kCopy), "screensaver");
  EXPECT_EQ(s.fp.ui.boxes, std::vector<fake::Box>{kSuccess});
}

}  // namespace
