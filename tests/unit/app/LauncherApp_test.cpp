#include "app/LauncherApp.h"

#include <gtest/gtest.h>

#include "platform/fake/FakePlatform.h"
#include "tests/unit/support/TestPackage.h"

namespace {

using testpkg::Item;
using testpkg::Number;

// Records which mode the dispatch chose instead of running it.
class RecordingApp : public LauncherApp {
 public:
  using LauncherApp::LauncherApp;
  void RunInPlace() override { modes.push_back("RunInPlace"); }
  void InstallToFolder() override { modes.push_back("InstallToFolder"); }
  void InstallScreensaver() override { modes.push_back("InstallScreensaver"); }
  void InstallVisPlugin() override { modes.push_back("InstallVisPlugin"); }
  std::vector<std::string> modes;
};

struct LaunchRun {
  fake::FakePlatform fp;
  os::Platform platform = fp.Get();
  RecordingApp app{platform};
  explicit LaunchRun(const std::vector<Item>& items, bool withPackage = true) {
    if (withPackage)
      fp.files.AddFile(fp.system.moduleFileName, testpkg::BuildFile(items));
    else
      fp.files.AddFile(fp.system.moduleFileName, std::string(4096, '\0'));
    app.Init(reinterpret_cast<os::Instance>(0x400000), reinterpret_cast<os::Window>(0x1234));
    app.Run();
  }
};

TEST(LauncherApp, DispatchesOnProjectType) {
  const struct {
    uint32_t type;
    const char* mode;
  } cases[] = {{1, "RunInPlace"},
               {2, "InstallToFolder"},
               {5, "InstallScreensaver"},
               {6, "InstallVisPlugin"},
               {0, nullptr},
               {3, nullptr},
               {4, nullptr},
               {7, nullptr},
               {0xFFFFFFFF, nullptr}};
  for (const auto& c : cases) {
    LaunchRun run({{"APPDATA", "PROJECTTYPE", Number(c.type)}});
    EXPECT_TRUE(run.fp.ui.boxes.empty()) << c.type;
    if (c.mode == nullptr) {
      EXPECT_TRUE(run.app.modes.empty()) << c.type;
    } else {
      EXPECT_EQ(run.app.modes, std::vector<std::string>{c.mode}) << c.type;
    }
  }
}

TEST(LauncherApp, ProjectTypeMustBeAnAppDataSetting) {
  LaunchRun run({{"FILEINFO", "PROJECTTYPE", Number(1)}});
  EXPECT_TRUE(run.app.modes.empty());
  EXPECT_EQ(run.fp.ui.boxes, (std::vector<fake::Box>{{"Can't find project type", "Error", 0}}));
}

TEST(LauncherApp, DamagedProjectTypeShowsTheReaderBoxFirst) {
  Item item{"APPDATA", "PROJECTTYPE", Number(1)};
  item.badCrc = true;
  LaunchRun run({item});
  EXPECT_TRUE(run.app.modes.empty());
  const std::vector<fake::Box> expected = {{"Crc error corrupt file", "PROJECTTYPE", 0},
                                           {"Can't find project type", "Error", 0}};
  EXPECT_EQ(run.fp.ui.boxes, expected);
}

TEST(LauncherApp, NoPackageAtAll) {
  LaunchRun run({}, false);
  const std::vector<fake::Box> expected = {{"Data header not found!", "", 0},
                                           {"Can't find project type", "Error", 0}};
  EXPECT_EQ(run.fp.ui.boxes, expected);
}

TEST(LauncherApp, EverySettingReadBuildsAReaderOfItsOwn) {
  fake::FakePlatform fp;
  os::Platform platform = fp.Get();
  fp.files.AddFile(fp.system.moduleFileName,
                   testpkg::BuildFile({{"APPDATA", "PROJECTTYPE", Number(3)}}));
  LauncherApp app(platform);
  uint32_t value = 0;
  EXPECT_TRUE(app.ReadSetting("ProjectType", &value, 4));
  EXPECT_TRUE(app.ReadSetting("projecttype", &value, 4));
  EXPECT_EQ(value, 3u);
  EXPECT_EQ(fp.faults.Calls("Files::OpenRead"), 2);
  EXPECT_EQ(fp.files.OpenHandles(), 0);
}

}  // namespace
