#include <algorithm>
#include <functional>

#include "tests/unit/deploy/JobFixture.h"
#include "tests/unit/install/PlayerPackage.h"
#include "tests/unit/support/StubEngine.h"

namespace {

using fake::FakeDialogs;
using Lines = std::vector<std::string>;

const std::string kTarget = "C:\\Games\\Demo";
const std::string kCommandKey = "Applications\\Winamp.exe\\shell\\open\\command";
const std::string kUserKey = "Software\\Winamp";
const std::string kPlayer = "C:\\Winamp\\";  // as the command text gives it
const std::string kCopy = kPlayer + "\\Plugins\\vis_Demo.dll";
const std::string kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvaneDemo";
const std::string kViewersKey = "SOFTWARE\\Tillmark\\Orvane Viewers\\3.00.000\\Demo";
const fake::Box kSuccess{"Installation successfully completed!", "Demo", os::kMbIconInformation};
const fake::Box kPrompt{
    "WinAmp 2.x or 5.x installation folder could not be detected by the installer. This program "
    "needs WinAmp 2.x or 5.x (not 3.x) to run.\nWould you like to continue and manually select "
    "your WinAmp folder?",
    "Demo", os::kMbIconWarning | os::kMbYesNo};
const fake::Box kDirectXWarning{
    "DirectX 9.0C or higher was not detected on this system\n\rDirectX 9.0C or higher needs to be "
    "installed before the winamp plugin will work.",
    "Demo", os::kMbIconWarning};

std::vector<fake::Box> CopyFailed(uint32_t error, const std::string& target) {
  return {{std::to_string(error), target, os::kMbOk},
          {"Unable to copy plug-in to WinAmp plug-in directory", target, os::kMbOk}};
}

// A fresh platform with the package, the stub engine and the player registered by its command.
struct PluginRun {
  // command: the player's open command under the classes root; empty for none.
  explicit PluginRun(const playerpkg::Options& o = {}, stub::EngineConfig engine = {},
                     const std::string& command = "\"C:\\Winamp\\Winamp.exe\" /ADD \"%1\"") {
    fp.system.env["PATH"] = "C:\\Windows";
    fp.files.AddDir(kPlayer + "Plugins");
    stub::Install(fp, engine);
    fp.registry.SetString(os::RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\DirectX", "Version",
                          "4.09.00.0902");
    if (!command.empty()) fp.registry.SetString(os::RegRoot::ClassesRoot, kCommandKey, "", command);
    fp.files.AddFile(fp.system.moduleFileName, testpkg::BuildFile(playerpkg::Items(o)));
  }
  bool Run(bool accept = true) {
    fp.dialogs.script.push_back(FakeDialogs::Press(accept ? 1 : 1002));
    job = std::make_unique<DeployJob>(platform);
    job->SetOwner(reinterpret_cast<os::Instance>(0x400000), reinterpret_cast<os::Window>(0x99));
    return job->VisPluginMode();
  }
  Lines Files() const {
    Lines out;
    for (int32_t i = 0; i < job->createdFiles.Count(); ++i)
      out.push_back(static_cast<const char*>(job->createdFiles.Get(i)));
    return out;
  }
  // The plug-in's place in the list: after the runtime files, the uninstaller and the library.
  std::string Target() const { return Files().at(12); }
  fake::FakePlatform fp;
  os::Platform platform = fp.Get();
  std::unique_ptr<DeployJob> job;
};

TEST(VisPluginInstallTest, CompleteInstallationCopiesRecordsAndRegisters) {
  PluginRun s;
  ASSERT_TRUE(s.Run());
  EXPECT_EQ(s.fp.ui.boxes, std::vector<fake::Box>{kSuccess});

  Lines files;
  for (const std::string& name : runpkg::kRuntimeNames) files.push_back(kTarget + "\\" + name);
  files.insert(files.end(), {kTarget + "\\ORVUnInst.exe", kTarget + "\\WinAmp.dll", kCopy,
                             kTarget + "\\\\channels\\Sky.dll", kTarget + "\\\\3rd\\d3dx9_25.dll",
                             kTarget + "\\\\data\\scene.txt", kTarget + "\\data/sub/notes.txt",
                             kTarget + "\\winamp.cfg"});
  EXPECT_EQ(s.Files(), files);
  EXPECT_EQ(s.fp.files.Content("C:\\Winamp\\Plugins\\vis_Demo.dll"), "plugin");
  EXPECT_FALSE(s.fp.files.Exists(kTarget + "\\OrvaneViewer.exe"));
  EXPECT_FALSE(s.fp.files.Exists(kTarget + "\\ORVSvr.scr"));

  const auto records = playerpkg::Records(stub::Engine().saverCalls);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].path, kTarget + "\\winamp.cfg");
  EXPECT_TRUE(records[0].complete);
  EXPECT_EQ(playerpkg::ConfigLines(records[0]),
            (Lines{"SCFP " + kTarget + "\\ORVStart.orv", "SCTI 20"}));
  EXPECT_EQ(records[1].path, kTarget + "\\uninstall.nfo");
  EXPECT_TRUE(records[1].complete);
  const Lines lines = record::Lines(records[1]);
  EXPECT_EQ(lines.front(), "UNFC " + std::to_string(files.size()));
  EXPECT_EQ(lines.at(13), "UNFN " + kCopy);
  EXPECT_EQ(Lines(lines.end() - 2, lines.end()), (Lines{"UNPN Demo", "UNSK"}));

  os::RegValue value;
  ASSERT_TRUE(s.fp.registry.Get(os::RegRoot::LocalMachine, kViewersKey, "DisplayName", &value));
  EXPECT_EQ(value.data, kTarget + std::string(1, '\0'));
  EXPECT_TRUE(
      s.fp.registry.Get(os::RegRoot::LocalMachine, kUninstallKey, "UninstallString", &value));
  EXPECT_EQ(s.fp.modules.Loaded(), 0);
  EXPECT_EQ(stub::Engine().liveObjects, 0);
}

TEST(VisPluginInstallTest, PlayerFolderFromTheRegistry) {
  const struct {
    const char* what;
    std::string command;  // empty: no classes-root value
    std::string user;     // empty: no user value
    std::string target;
  } cases[] = {
      {"quoted command", "\"C:\\Winamp\\Winamp.exe\" /ADD \"%1\"", "", kCopy},
      {"unquoted command ends at the first blank", "C:\\Winamp\\winamp.exe \"%1\"", "", kCopy},
      {"unquoted path with a blank", "C:\\Program Files\\Winamp\\winamp.exe %1", "",
       "C:\\\\Plugins\\vis_Demo.dll"},
      {"quote never closed", "\"C:\\Winamp\\winamp.exe", "", kCopy},
      {"program without a folder", "\"winamp.exe\" \"%1\"", "", "\\Plugins\\vis_Demo.dll"},
      {"empty quotes", "\"\" %1", "", "\\Plugins\\vis_Demo.dll"},
      {"the command wins over the user key", "\"C:\\Winamp\\winamp.exe\"", "D:\\Other", kCopy},
      {"user key unchanged", "", "D:\\Apps\\Winamp", "D:\\Apps\\Winamp\\Plugins\\vis_Demo.dll"},
      {"user key with its backslash", "", "D:\\Apps\\Winamp\\",
       "D:\\Apps\\Winamp\\\\Plugins\\vis_Demo.dll"},
  };
  for (const auto& c : cases) {
    PluginRun s({}, {}, c.command);
    if (!c.user.empty()) s.fp.registry.SetString(os::RegRoot::CurrentUser, kUserKey, "", c.user);
    for (const char* folder : {"C:\\Plugins", "D:\\Apps\\Winamp\\Plugins"})
      s.fp.files.AddDir(folder);
    EXPECT_TRUE(s.Run()) << c.what;
    EXPECT_EQ(s.Target(), c.target) << c.what;
    EXPECT_EQ(s.fp.ui.boxes, std::vector<fake::Box>{kSuccess}) << c.what;  // the copy was made
    EXPECT_EQ(s.fp.files.Content(c.target), "plugin") << c.what;
  }
}

TEST(VisPluginInstallTest, UnreadableCommandValueFallsBackToTheUserKey) {
  const std::function<void(fake::FakeRegistry&)> commands[] = {
      [](fake::FakeRegistry& r) { r.SetString(os::RegRoot::ClassesRoot, kCommandKey, "x", "y"); },
      [](fake::FakeRegistry& r) {
        r.SetString(os::RegRoot::ClassesRoot, kCommandKey, "", "\"C:\\" + std::string(520, 'w'));
      },
  };
  for (const auto& setCommand : commands) {
    PluginRun s({}, {}, "");
    setCommand(s.fp.registry);
    s.fp.registry.SetString(os::RegRoot::CurrentUser, kUserKey, "", "C:\\Winamp");
    EXPECT_TRUE(s.Run());
    EXPECT_EQ(s.Target(), "C:\\Winamp\\Plugins\\vis_Demo.dll");
  }
}

TEST(VisPluginInstallTest, UserChoosesTheFolderWhileTheBarStandsAtTheEngineStart) {
  PluginRun s({}, {}, "");
  s.fp.ui.Answer(os::kIdYes);
  s.fp.dialogs.browseAnswers.push_back({true, "C:\\Winamp"});
  ASSERT_TRUE(s.Run());
  EXPECT_EQ(s.fp.ui.boxes, (std::vector<fake::Box>{kPrompt, kSuccess}));
  EXPECT_EQ(s.Target(), "C:\\Winamp\\Plugins\\vis_Demo.dll");

  const auto& j = s.fp.dialogs.journal;
  const auto browse = std::find(
      j.begin(), j.end(), "browse \"Select Main WinAmp Install Folder\" flags=17 owner=(nil)");
  ASSERT_NE(browse, j.end());
  Lines before(j.begin(), browse), positions;
  for (const std::string& line : j) {
    if (line.rfind("pos ", 0) == 0) positions.push_back(line.substr(4));
  }
  before.erase(std::remove_if(before.begin(), before.end(),
                              [](const std::string& l) { return l.rfind("pos ", 0) != 0; }),
               before.end());
  EXPECT_EQ(before, (Lines{"pos 0", "pos 25"}));
  EXPECT_EQ(positions, (Lines{"0", "25", "50", "150", "300", "375", "474"}));
  EXPECT_EQ(j.back(), "destroy");
}

TEST(VisPluginInstallTest, DecliningToChooseTheFolderStopsSilently) {
  const struct {
    const char* what;
    int answer;
    bool browsed;
  } cases[] = {
      {"No", os::kIdNo, false},
      {"Yes, then the browser is closed", os::kIdYes, true},
  };
  for (const auto& c : cases) {
    PluginRun s({}, {}, "");
    s.fp.ui.Answer(c.answer);
    EXPECT_FALSE(s.Run()) << c.what;
    EXPECT_EQ(s.fp.ui.boxes, std::vector<fake::Box>{kPrompt}) << c.what;
    const auto& j = s.fp.dialogs.journal;
    EXPECT_EQ(std::any_of(j.begin(), j.end(),
                          [](const std::string& l) { return l.rfind("browse", 0) == 0; }),
              c.browsed)
        << c.what;
    EXPECT_TRUE(s.fp.files.Exists(kTarget + "\\Zenthra.dll")) << c.what;
    EXPECT_TRUE(s.fp.files.Exists(kTarget + "\\WinAmp.dll")) << c.what;
    EXPECT_FALSE(s.fp.files.Exists(kTarget + "\\uninstall.nfo")) << c.what;
    EXPECT_FALSE(s.fp.files.Exists("C:\\Winamp\\Plugins\\vis_Demo.dll")) << c.what;
    EXPECT_EQ(s.job->createdFiles.Count(), 12) << c.what;
  }
}

TEST(VisPluginInstallTest, StopsBeforeInstallingAnything) {
  auto without = [](Lines names) {
    playerpkg::Options o;
    o.install.without = std::move(names);
    o.install.run.checkDx = true;  // every setting is read before DirectX is asked about
    return o;
  };
  playerpkg::Options noCheck;
  noCheck.install.run.withCheckDx = false;
  auto missing = [](const std::string& name) {
    return fake::Box{"Can't find project type " + name, "Error", os::kMbOk};
  };
  const struct {
    const char* what;
    playerpkg::Options options;
    bool accept;
    std::vector<fake::Box> boxes;
  } cases[] = {
      {"no CheckDx8", noCheck, true, {missing("CheckDx8")}},
      {"no StartupDirectory",
       without({"StartupDirectory", "ProjectName"}),
       true,
       {missing("StartupDirectory")}},
      {"no ProjectName", without({"ProjectName"}), true, {missing("ProjectName")}},
      {"no WinampVersion",
       without({"WinampVersion"}),
       true,
       {{"Can't find winamp version", "Error", os::kMbOk}}},
      {"dialog cancelled", {}, false, {}},
  };
  for (const auto& c : cases) {
    PluginRun s(c.options);
    EXPECT_FALSE(s.Run(c.accept)) << c.what;
    EXPECT_EQ(s.fp.ui.boxes, c.boxes) << c.what;
    EXPECT_FALSE(s.fp.files.Exists("C:\\Games")) << c.what;
    EXPECT_EQ(s.fp.dialogs.journal.empty(), c.accept) << c.what;
    EXPECT_FALSE(s.fp.registry.HasKey(os::RegRoot::LocalMachine, kUninstallKey)) << c.what;
  }
}

TEST(VisPluginInstallTest, DialogStartsFromTheStartupDirectoryAndDirectXOnlyWarns) {
  playerpkg::Options o;
  o.install.run.checkDx = true;
  o.install.installPath = "C:\\Elsewhere";              // not this mode's setting
  o.install.without = {"DoQuitCgr", "DoSmallPreview"};  // never read by this mode
  PluginRun s(o);
  ASSERT_TRUE(s.Run());
  EXPECT_EQ(s.fp.ui.boxes, (std::vector<fake::Box>{kDirectXWarning, kSuccess}));
  EXPECT_STREQ(s.job->workDir, kTarget.c_str());
}

TEST(VisPluginInstallTest, FailedCopiesAreReportedAndRecordedAndTheInstallationGoesOn) {
  auto named = [](const std::string& name) {
    playerpkg::Options o;
    o.install.projectName = name;
    return o;
  };
  const std::string longFolder = "C:\\" + std::string(240, 'w');
  const struct {
    const char* what;
    playerpkg::Options options;
    std::string user;  // replaces the command as the source of the folder
    std::string target;
    uint32_t error;
  } cases[] = {
      {"no Plugins folder",
       {},
       "C:\\NoPlugins",
       "C:\\NoPlugins\\Plugins\\vis_Demo.dll",
       os::kErrPathNotFound},
      {"a backslash in the name", named("..\\..\\evil"), "",
       kPlayer + "\\Plugins\\vis_..\\..\\evil.dll", os::kErrInvalidName},
      {"a folder beyond the limit", {}, longFolder, longFolder + "\\Plugins\\vis_Demo.dll", 206},
  };
  for (const auto& c : cases) {
    PluginRun s(c.options, {}, c.user.empty() ? "\"C:\\Winamp\\Winamp.exe\"" : "");
    if (!c.user.empty()) s.fp.registry.SetString(os::RegRoot::CurrentUser, kUserKey, "", c.user);
    const Lines before = s.fp.files.AllPaths();
    EXPECT_TRUE(s.Run()) << c.what;
    std::vector<fake::Box> boxes = CopyFailed(c.error, c.target);
    boxes.push_back({"Installation successfully completed!", c.options.install.projectName,
                     os::kMbIconInformation});
    EXPECT_EQ(s.fp.ui.boxes, boxes) << c.what;
    EXPECT_EQ(s.Target(), c.target) << c.what;
    for (const std::string& p : s.fp.files.AllPaths()) {
      if (std::find(before.begin(), before.end(), p) == before.end()) {
        EXPECT_EQ(p.rfind("C:\\Games\\", 0), 0u) << c.what << ": " << p;
      }
    }
  }
}

TEST(VisPluginInstallTest, FailuresAfterTheFolderIsKnown) {
  stub::EngineConfig noLoader, noSaver;
  noLoader.noFileLoader = true;
  noSaver.noSaver = true;
  {
    PluginRun s({}, noLoader);
    EXPECT_FALSE(s.Run());
    EXPECT_EQ(s.fp.ui.boxes, (std::vector<fake::Box>{{"Can't init fileloader", "P", 0}}));
    EXPECT_TRUE(s.fp.files.Exists("C:\\Winamp\\Plugins\\vis_Demo.dll"));
    EXPECT_FALSE(s.fp.registry.HasKey(os::RegRoot::LocalMachine, kUninstallKey));
  }
  {
    PluginRun s({}, noSaver);
    EXPECT_TRUE(s.Run());
    EXPECT_EQ(s.fp.ui.boxes, std::vector<fake::Box>{kSuccess});
    EXPECT_FALSE(s.fp.files.Exists(kTarget + "\\winamp.cfg"));
    EXPECT_FALSE(s.fp.files.Exists(kTarget + "\\uninstall.nfo"));
    EXPECT_TRUE(s.fp.registry.HasKey(os::RegRoot::LocalMachine, kUninstallKey));
  }
}

TEST(VisPluginInstallTest, AnEarlierPluginIsOverwritten) {
  PluginRun s;
  s.fp.files.AddFile("C:\\Winamp\\Plugins\\vis_Demo.dll", "old");
  ASSERT_TRUE(s.Run());
  EXPECT_EQ(s.fp.files.Content("C:\\Winamp\\Plugins\\vis_Demo.dll"), "plugin");
}

}  // namespace
