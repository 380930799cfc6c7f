#include <algorithm>
#include <functional>

#include "tests/unit/deploy/JobFixture.h"
#include "tests/unit/install/InstallPackage.h"
#include "tests/unit/install/RecordChunks.h"
#include "tests/unit/support/StubEngine.h"

namespace {

using fake::FakeDialogs;

const std::string kTarget = "C:\\Games\\Demo";
const std::string kPrograms =
    "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
const std::string kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvaneDemo";
const fake::Box kSuccess{
    "Installation successfully completed!\r\nYou are able to find the installed program in the "
    "Start menu.",
    "Demo", os::kMbIconInformation};
const fake::Box kDirectXWarning{
    "DirectX 9.0C or higher was not detected on this system\r\nPlease install DirectX 9.0C or "
    "higher before running the program that is installed.\r\nContinue installation?",
    "DirectX version check", os::kMbIconWarning | os::kMbYesNo};

void SetDirectX(fake::FakePlatform& fp, bool present) {
  fp.registry.SetString(os::RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\DirectX", "Version",
                        present ? "4.09.00.0904" : "4.09.00.0902");
}

class FolderInstallTest : public JobTest {
 protected:
  void SetUp() override {
    fp.system.env["PATH"] = "C:\\Windows";
    fp.files.AddDir("C:\\Users\\user");
    stub::Install(fp);
    SetDirectX(fp, false);
  }
  // The package goes in place before the job's reader opens it.
  DeployJob& Prepare(const instpkg::Options& o = {}) {
    Install(instpkg::Items(o));
    Job().SetOwner(reinterpret_cast<os::Instance>(0x400000), reinterpret_cast<os::Window>(0x99));
    return Job();
  }
  bool Run(const instpkg::Options& o = {}) {
    Prepare(o);
    fp.dialogs.script.push_back(FakeDialogs::Press(1));
    return Job().InstallMode();
  }
  std::vector<int> Positions() {
    std::vector<int> out;
    for (const std::string& line : fp.dialogs.journal) {
      if (line.rfind("pos ", 0) == 0) out.push_back(std::stoi(line.substr(4)));
    }
    return out;
  }
};

TEST_F(FolderInstallTest, CompleteInstallationListsEverythingInOrder) {
  ASSERT_TRUE(Run());
  EXPECT_EQ(fp.ui.boxes, std::vector<fake::Box>{kSuccess});
  EXPECT_TRUE(fp.processes.started.empty());

  std::vector<std::string> files = {kTarget + "\\OrvaneViewer.exe"};
  for (const std::string& name : runpkg::kRuntimeNames) files.push_back(kTarget + "\\" + name);
  const std::string link = kPrograms + "\\Games\\Demo.lnk";
  const std::string uninstallLink = kPrograms + "\\Games\\Demo Uninstall.lnk";
  files.insert(files.end(), {link, uninstallLink, kTarget + "\\ORVUnInst.exe",
                             kTarget + "\\\\channels\\Sky.dll", kTarget + "\\\\3rd\\d3dx9_25.dll",
                             kTarget + "\\\\data\\scene.txt", kTarget + "\\data/sub/notes.txt"});
  EXPECT_EQ(List(Job().createdFiles), files);
  const std::vector<std::string> dirs = {"C:\\Games\\",
                                         kTarget + "\\",
                                         kTarget + "\\channels\\",
                                         kTarget + "\\3rd\\",
                                         kPrograms + "\\Games\\",
                                         kTarget + "\\\\data\\",
                                         kTarget + "\\data\\sub\\"};
  EXPECT_EQ(List(Job().createdDirs), dirs);

  // The record mirrors the lists: files in order, folders last-created first, then the name.
  const record::Record r = record::Read(stub::Engine().saverCalls);
  EXPECT_EQ(r.path, kTarget + "\\uninstall.nfo");
  EXPECT_TRUE(r.complete);
  std::vector<std::string> lines = {"UNFC " + std::to_string(files.size())};
  for (const std::string& f : files) lines.push_back("UNFN " + f);
  lines.push_back("UNDC " + std::to_string(dirs.size()));
  for (auto d = dirs.rbegin(); d != dirs.rend(); ++d) lines.push_back("UNDN " + *d);
  lines.push_back("UNPN Demo");
  EXPECT_EQ(record::Lines(r), lines);

  const os::ShellLink& viewer = fp.shell.links.at(link);
  EXPECT_EQ(viewer.target, kTarget + "\\OrvaneViewer.exe");
  EXPECT_EQ(viewer.arguments, "ORVStart.orv");
  EXPECT_EQ(viewer.workingDir, kTarget);
  EXPECT_EQ(viewer.description, "Orvane Project Link");
  const os::ShellLink& uninstaller = fp.shell.links.at(uninstallLink);
  EXPECT_EQ(uninstaller.target, kTarget + "\\ORVUnInst.exe");
  EXPECT_FALSE(uninstaller.hasArguments);
  EXPECT_EQ(uninstaller.workingDir, kTarget);
  EXPECT_EQ(uninstaller.description, "Orvane Uninstall Link");

  os::RegValue value;
  ASSERT_TRUE(fp.registry.Get(os::RegRoot::LocalMachine, kUninstallKey, "UninstallString", &value));
  EXPECT_EQ(value.data, "\"" + kTarget + "\\ORVUnInst.exe\"" + std::string(1, '\0'));
  ASSERT_TRUE(fp.registry.Get(os::RegRoot::LocalMachine, kUninstallKey, "DisplayName", &value));
  EXPECT_EQ(value.data, std::string("Demo", 5));
  EXPECT_FALSE(fp.registry.HasKey(os::RegRoot::LocalMachine,
                                  "SOFTWARE\\Tillmark\\Orvane Viewers\\3.00.000\\Demo"));

  EXPECT_EQ(fp.files.Content(kTarget + "\\ORVUnInst.exe"), "uninstaller");
  EXPECT_EQ(fp.modules.Loaded(), 0);
  EXPECT_EQ(stub::Engine().liveObjects, 0);
  EXPECT_EQ(Job().progress, nullptr);
}

TEST_F(FolderInstallTest, DialogThenProgressWindowWithTheBarPositions) {
  ASSERT_TRUE(Run());
  const auto& j = fp.dialogs.journal;
  ASSERT_GE(j.size(), 5u);
  EXPECT_EQ(j[0], "modal IDD_ISNTALLDIALOG owner=(nil)");
  EXPECT_EQ(j[1], "caption Demo Installation Options");
  EXPECT_EQ(j[3], "ended 0");
  EXPECT_EQ(j[4], "create IDD_PROGRESSBAR owner=0x99");
  EXPECT_EQ(j[5], "range 0..500");
  EXPECT_EQ(j[6], "caption Installing...");
  // One channel DLL (0.3) and two content files (0.6, 0.75) between the fixed points.
  EXPECT_EQ(Positions(), (std::vector<int>{0, 25, 125, 150, 150, 300, 375, 474}));
  EXPECT_EQ(j.back(), "destroy");
  for (const auto& w : fp.dialogs.windows) {
    if (w->resource == "IDD_PROGRESSBAR") {
      EXPECT_TRUE(w->destroyed);
    }
  }
}

TEST_F(FolderInstallTest, ChosenFolderIsTheTarget) {
  Prepare();
  fp.dialogs.script.push_back(FakeDialogs::Type(1000, "C:\\Apps\\Mine"));
  fp.dialogs.script.push_back(FakeDialogs::Press(1));
  ASSERT_TRUE(Job().InstallMode());
  EXPECT_STREQ(Job().workDir, "C:\\Apps\\Mine");
  EXPECT_TRUE(fp.files.Exists("C:\\Apps\\Mine\\OrvaneViewer.exe"));
  EXPECT_EQ(List(Job().createdDirs).at(0), "C:\\Apps\\");
  EXPECT_FALSE(fp.files.Exists(kTarget));
}

TEST_F(FolderInstallTest, ExistingTargetFolderIsNotRecorded) {
  fp.files.AddDir(kTarget + "\\channels");
  fp.files.AddDir(kTarget + "\\3rd");
  fp.files.AddDir(kTarget + "\\data\\sub");
  fp.files.AddDir(kPrograms + "\\Games");
  ASSERT_TRUE(Run());
  EXPECT_EQ(List(Job().createdDirs), std::vector<std::string>{});
  const auto lines = record::Lines(record::Read(stub::Engine().saverCalls));
  EXPECT_EQ(lines.at(lines.size() - 2), "UNDC 0");
}

TEST_F(FolderInstallTest, ShortcutNameWithoutBackslashJoinsTheProgramsFolderName) {
  instpkg::Options o;
  o.shortcutName = "Demo";
  ASSERT_TRUE(Run(o));
  EXPECT_EQ(fp.shell.links.count(kPrograms + "Demo.lnk"), 1u);
  EXPECT_EQ(fp.shell.links.count(kPrograms + "Demo Uninstall.lnk"), 1u);
  for (const std::string& d : List(Job().createdDirs))
    EXPECT_EQ(d.rfind(kPrograms, 0), std::string::npos) << d;
}

TEST_F(FolderInstallTest, NestedShortcutFoldersWithForwardSlashesAreRecordedWithBackslashes) {
  instpkg::Options o;
  o.shortcutName = "\\Games/Orvane\\Demo";
  ASSERT_TRUE(Run(o));
  const auto dirs = List(Job().createdDirs);
  const std::vector<std::string> menu(dirs.begin() + 4, dirs.begin() + 6);
  EXPECT_EQ(menu,
            (std::vector<std::string>{kPrograms + "\\Games\\", kPrograms + "\\Games\\Orvane\\"}));
  EXPECT_EQ(fp.shell.links.count(kPrograms + "\\Games/Orvane\\Demo.lnk"), 1u);
}

TEST_F(FolderInstallTest, LinkPathBeyondTheLimitIsNotWrittenCut) {
  instpkg::Options o;
  o.shortcutName = "\\" + std::string(260 - kPrograms.size(), 'x');
  ASSERT_TRUE(Run(o));
  EXPECT_TRUE(fp.shell.links.empty());
  for (const std::string& p : fp.files.AllPaths()) {
    EXPECT_EQ(p.find(".lnk"), std::string::npos) << p;
    EXPECT_EQ(p.rfind(kPrograms + "\\x", 0), std::string::npos) << p;
  }
  // Recorded all the same, as a link that may or may not exist.
  EXPECT_EQ(List(Job().createdFiles).at(11), kPrograms + o.shortcutName + ".lnk");
}

TEST_F(FolderInstallTest, RunAfterInstallStartsTheViewerWhenDirectXIsPresent) {
  SetDirectX(fp, true);
  instpkg::Options o;
  o.runAfterInstall = true;
  ASSERT_TRUE(Run(o));
  EXPECT_TRUE(fp.ui.boxes.empty());
  ASSERT_EQ(fp.processes.started.size(), 1u);
  EXPECT_EQ(fp.processes.started[0].application, kTarget + "\\OrvaneViewer.exe");
  EXPECT_EQ(fp.processes.started[0].commandLine, "OrvaneViewer.exe ORVStart.orv");
  EXPECT_EQ(fp.processes.started[0].currentDir, kTarget);
  EXPECT_EQ(fp.system.sleptMilliseconds, 0u);  // not waited for
}

TEST_F(FolderInstallTest, RunAfterInstallWithoutDirectXReportsSuccessInstead) {
  instpkg::Options o;
  o.runAfterInstall = true;  // CheckDx8 clear: no warning, but no start either
  ASSERT_TRUE(Run(o));
  EXPECT_EQ(fp.ui.boxes, std::vector<fake::Box>{kSuccess});
  EXPECT_TRUE(fp.processes.started.empty());
}

TEST_F(FolderInstallTest, DirectXWarningAnsweredYesGoesOn) {
  instpkg::Options o;
  o.run.checkDx = true;
  fp.ui.Answer(os::kIdYes);
  ASSERT_TRUE(Run(o));
  EXPECT_EQ(fp.ui.boxes, (std::vector<fake::Box>{kDirectXWarning, kSuccess}));
}

TEST_F(FolderInstallTest, StopsBeforeInstallingAnything) {
  auto without = [](std::vector<std::string> names) {
    instpkg::Options o;
    o.without = std::move(names);
    return o;
  };
  instpkg::Options noCheck, dx;
  noCheck.run.withCheckDx = false;
  dx.run.checkDx = true;
  instpkg::Options dxNoPath = without({"InstallPath"});
  dxNoPath.run.checkDx = true;
  auto missing = [](const std::string& name) {
    return fake::Box{"Can't find project type " + name, "Error", os::kMbOk};
  };
  const struct {
    const char* what;
    instpkg::Options options;
    bool accept;
    std::vector<fake::Box> boxes;
  } cases[] = {
      {"no CheckDx8", noCheck, true, {missing("CheckDx8")}},
      {"no RunAfterInstall, no InstallPath",
       without({"RunAfterInstall", "InstallPath"}),
       true,
       {missing("RunAfterInstall")}},
      {"no InstallPath", without({"InstallPath"}), true, {missing("InstallPath")}},
      {"no ShortCutName",
       without({"ShortCutName", "ProjectName"}),
       true,
       {missing("ShortCutName")}},
      {"no ProjectName", without({"ProjectName"}), true, {missing("ProjectName")}},
      {"DirectX missing, answer No", dx, true, {kDirectXWarning}},
      {"the warning comes before InstallPath is read", dxNoPath, true, {kDirectXWarning}},
      {"dialog cancelled", {}, false, {}},
  };
  for (const auto& c : cases) {
    fake::FakePlatform local;
    os::Platform p = local.Get();
    stub::Install(local);
    SetDirectX(local, false);
    local.files.AddFile(local.system.moduleFileName, testpkg::BuildFile(instpkg::Items(c.options)));
    local.dialogs.script.push_back(FakeDialogs::Press(c.accept ? 1 : 1002));
    DeployJob job(p);
    EXPECT_FALSE(job.InstallMode()) << c.what;
    EXPECT_EQ(local.ui.boxes, c.boxes) << c.what;
    EXPECT_FALSE(local.files.Exists("C:\\Games")) << c.what;
    EXPECT_EQ(local.registry.keys.size(), 1u) << c.what;  // the DirectX value only
    EXPECT_EQ(std::count_if(local.dialogs.journal.begin(), local.dialogs.journal.end(),
                            [](const std::string& l) { return l.rfind("create", 0) == 0; }),
              0)
        << c.what;
    // Only the cancelled case gets as far as the dialog.
    EXPECT_EQ(local.dialogs.journal.empty(), c.accept) << c.what;
  }
}

TEST_F(FolderInstallTest, FailuresAfterTheDialogStopWithTheirMessages) {
  instpkg::Options noViewer, noFileCount;
  noViewer.run.withViewer = false;
  noFileCount.run.withFileCount = false;
  stub::EngineConfig badInit, noLoader;
  badInit.initializeFails = true;
  noLoader.noFileLoader = true;
  const std::vector<fake::Box> runtimeError = {
      {"There was an error while trying to copy one of the installation files.\nPlease make sure "
       "no applications are running that might be locking some files.",
       "Installation Error", os::kMbIconError}};
  const struct {
    const char* what;
    instpkg::Options options;
    stub::EngineConfig engine;
    bool lockEngineFile;
    std::vector<fake::Box> boxes;
  } cases[] = {
      {"no viewer",
       noViewer,
       {},
       false,
       {{"OrvaneViewer.exe", "Could not find resource", 0},
        {"OrvaneViewer.exe not found", "P", 0}}},
      {"a runtime file cannot be written", {}, {}, true, runtimeError},
      {"the engine does not start", {}, badInit, false, {}},
      {"no file loader", {}, noLoader, false, {{"Can't init fileloader", "P", 0}}},
      {"no FileCount", noFileCount, {}, false, {{"Can't find FileCount", "Error", 0}}},
  };
  for (const auto& c : cases) {
    fake::FakePlatform local;
    os::Platform p = local.Get();
    stub::Install(local, c.engine);
    local.files.AddFile(local.system.moduleFileName, testpkg::BuildFile(instpkg::Items(c.options)));
    if (c.lockEngineFile) local.files.AddFile(kTarget + "\\Zenthra.dll", "in use");
    if (c.lockEngineFile) local.files.Lock(kTarget + "\\Zenthra.dll");
    local.dialogs.script.push_back(FakeDialogs::Press(1));
    DeployJob job(p);
    EXPECT_FALSE(job.InstallMode()) << c.what;
    EXPECT_EQ(local.ui.boxes, c.boxes) << c.what;
    EXPECT_TRUE(local.files.Exists(kTarget)) << c.what;  // folders already made stay
    EXPECT_TRUE(local.registry.keys.empty()) << c.what;
    EXPECT_FALSE(local.files.Exists(kTarget + "\\uninstall.nfo")) << c.what;
    ASSERT_NE(job.progress, nullptr) << c.what;  // left to the job's destruction
    EXPECT_FALSE(local.dialogs.windows.back()->destroyed) << c.what;
  }
}

TEST_F(FolderInstallTest, TroublesThatDoNotStopTheInstallation) {
  stub::EngineConfig noSaver, openFails;
  noSaver.noSaver = true;
  openFails.saverOpenFails = true;
  instpkg::Options noUninstaller;
  noUninstaller.withUninstaller = false;
  const struct {
    const char* what;
    instpkg::Options options;
    stub::EngineConfig engine;
    std::function<void(fake::FakePlatform&)> setUp;
    std::vector<fake::Box> boxes;
    size_t links;
    bool record;
    bool uninstallKey;
  } cases[] = {
      {"no Programs folder",
       {},
       {},
       [](fake::FakePlatform& f) { f.shell.programsFolderFails = true; },
       {kSuccess},
       0,
       true,
       true},
      {"links cannot be written",
       {},
       {},
       [](fake::FakePlatform& f) { f.shell.linksFail = true; },
       {kSuccess},
       0,
       true,
       true},
      {"no uninstaller",
       noUninstaller,
       {},
       nullptr,
       {{"ORVUnInst.exe", "Could not find resource", 0}, kSuccess},
       2,
       true,
       true},
      {"no file saver", {}, noSaver, nullptr, {kSuccess}, 2, false, true},
      {"the record cannot be opened", {}, openFails, nullptr, {kSuccess}, 2, false, true},
      {"no registry rights",
       {},
       {},
       [](fake::FakePlatform& f) { f.registry.DenyWrites(os::RegRoot::LocalMachine); },
       {{"Error can't write in registry", kUninstallKey, 0}, kSuccess},
       2,
       true,
       false},
  };
  for (const auto& c : cases) {
    fake::FakePlatform local;
    os::Platform p = local.Get();
    stub::Install(local, c.engine);
    if (c.setUp) c.setUp(local);
    local.files.AddFile(local.system.moduleFileName, testpkg::BuildFile(instpkg::Items(c.options)));
    local.dialogs.script.push_back(FakeDialogs::Press(1));
    DeployJob job(p);
    EXPECT_TRUE(job.InstallMode()) << c.what;
    EXPECT_EQ(local.ui.boxes, c.boxes) << c.what;
    EXPECT_EQ(local.shell.links.size(), c.links) << c.what;
    EXPECT_EQ(local.files.Exists(kTarget + "\\uninstall.nfo"), c.record) << c.what;
    EXPECT_EQ(local.registry.HasKey(os::RegRoot::LocalMachine, kUninstallKey), c.uninstallKey)
        << c.what;
    EXPECT_EQ(local.modules.Loaded(), 0) << c.what;
    EXPECT_EQ(stub::Engine().liveObjects, 0) << c.what;
  }
}

TEST_F(FolderInstallTest, UnwrittenLinksAreStillRecorded) {
  fp.shell.linksFail = true;
  ASSERT_TRUE(Run());
  const auto files = List(Job().createdFiles);
  EXPECT_EQ(files.at(11), kPrograms + "\\Games\\Demo.lnk");
  EXPECT_EQ(files.at(12), kPrograms + "\\Games\\Demo Uninstall.lnk");
  EXPECT_EQ(files.at(13), kTarget + "\\ORVUnInst.exe");
}

}  // namespace
