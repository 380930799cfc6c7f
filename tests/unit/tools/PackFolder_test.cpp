// pack-folder driven directly: a project and a kit in a temporary folder, the package read back
// with the launcher's reader, settings per type, stored forms, and the refusals.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "package/PackageReader.h"
#include "platform/fake/FakePlatform.h"
#include "tools/packer/Commands.h"
#include "tools/packer/PackFolder.h"
#include "tools/packer/TmkfSupport.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

Bytes AsBytes(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes TextItem(const std::string& text) {
  Bytes bytes = AsBytes(text);
  bytes.push_back(0);
  return bytes;
}

Bytes NumberItem(uint32_t value) {
  return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

Bytes Inflated(const Bytes& form) {
  if (form.size() < 4) return {};
  uLongf size = form[form.size() - 4] | form[form.size() - 3] << 8 | form[form.size() - 2] << 16 |
                uLongf(form[form.size() - 1]) << 24;
  Bytes out(size);
  if (uncompress(out.data(), &size, form.data(), uLong(form.size() - 4)) != Z_OK) return {};
  out.resize(size);
  return out;
}

Bytes Decoded(const Bytes& container) {
  Bytes out;
  std::string why;
  return packer::TmkfDecode(container, &out, &why) ? out : Bytes{};
}

const char* const kKitPrograms[] = {"OrvaneViewer.exe",
                                    "Zenthra.dll",
                                    "Quillet.dll",
                                    "Dirrow.dll",
                                    "Lodera.dll",
                                    "5C18E7A2-9B4D-4E61-B3F8-0D27C6A94E15.dll",
                                    "A7F29D03-6E1B-4C85-92A4-E8B53D07F6C1.dll",
                                    "19E4B6C8-D273-4A5F-8E01-C6A9F2B47D38.dll",
                                    "E82C07B5-31F9-4D6A-A5C3-7B14E96F02D8.dll",
                                    "msvcr71.dll",
                                    "ORVUnInst.exe",
                                    "ORVSvr.scr",
                                    "WinAmp.dll"};

// The package of an executable, opened with the launcher's reader.
class Package {
 public:
  explicit Package(const fs::path& exe) : _platform(_fake.Get()) {
    _fake.files.AddFile(_fake.system.moduleFileName, ReadBytes(exe));
    _reader = std::make_unique<PackageReader>(_platform);
  }
  bool Has(const char* name, const char* category = nullptr) {
    return _reader->ReadItem(name, nullptr, 0, category);
  }
  Bytes Item(const char* name, const char* category = nullptr) {
    if (!Has(name, category)) return {};
    return Bytes(_reader->Data(), _reader->Data() + _reader->Size());
  }
  std::string Text(const std::string& name, const char* category) {
    const Bytes bytes = Item(name.c_str(), category);
    return bytes.empty() ? "(none)" : std::string(bytes.begin(), bytes.end() - 1);
  }
  // The names of a list, after checking its count.
  std::vector<std::string> List(const char* category, const char* count,
                                const std::string& prefix) {
    const Bytes stored = Item(count, category);
    EXPECT_EQ(stored.size(), 4u) << count;
    std::vector<std::string> names;
    for (uint32_t i = 0; stored.size() == 4 && i < stored[0]; ++i) {
      names.push_back(Text(prefix + std::to_string(i), category));
    }
    return names;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (int32_t i = 0; i < _reader->Entries().Count(); ++i) {
      names.push_back(static_cast<const PackageEntry*>(_reader->Entries().Get(i))->name);
    }
    return names;
  }

 private:
  fake::FakePlatform _fake;
  os::Platform _platform;
  std::unique_ptr<PackageReader> _reader;
};

class PackFolder : public testing::Test {
 protected:
  void SetUp() override {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) c = c == '/' ? '_' : c;
    dir = fs::path(testing::TempDir()) / ("packfolder_" + name);
    fs::remove_all(dir);
    // The kit as its build leaves it (flat), but for one channel in a channels folder.
    for (const char* program : kKitPrograms) {
      const fs::path at = std::string(program) == "Dirrow.dll" ? dir / "kit/channels" : dir / "kit";
      WriteText(at / program, std::string("kit program ") + program + std::string(300, 'k'));
    }
    WriteText(dir / "project/start.orv", "start project " + std::string(500, 's'));
    WriteText(dir / "project/channels/Sky.dll", "sky channel " + std::string(400, 'c'));
    WriteText(dir / "project/channels/readme.txt", "not a library");
    WriteText(dir / "project/3rd/Math.dll", "math library");
    WriteText(dir / "project/data/b.txt", "b");
    WriteText(dir / "project/data/a.txt", "a");
    WriteText(dir / "project/data/sub/c.bin", std::string("\x01\x02\x00\x03", 4));
    WriteText(dir / "project/top.txt", "top");
    WriteText(dir / "stub.exe", "MZ launcher stand-in");
    options.project = (dir / "project").string();
    options.kit = (dir / "kit").string();
    options.launcher = (dir / "stub.exe").string();
    options.output = (dir / "out.exe").string();
    options.type = "folder";
  }
  void TearDown() override { fs::remove_all(dir); }

  int Run() {
    out.str("");
    err.str("");
    return packer::PackFolder(options, out, err);
  }

  fs::path dir;
  packer::PackFolderOptions options;
  std::ostringstream out, err;
};

TEST_F(PackFolder, StoresKitProjectAndListsInTheirForms) {
  options.name = "Demo";
  ASSERT_EQ(Run(), 0) << err.str();
  EXPECT_EQ(err.str(), "");
  std::ostringstream verifyOut, verifyErr;
  ASSERT_EQ(packer::Verify(options.output, verifyOut, verifyErr), 0) << verifyOut.str();

  Package package(dir / "out.exe");
  // The kit's programs in the zlib form, under the names the launcher extracts.
  for (const auto& [item, file] : {std::pair{"OrvaneViewer.exe", "kit/OrvaneViewer.exe"},
                                   {"Zenthra.dll", "kit/Zenthra.dll"},
                                   {"channels\\Quillet.dll", "kit/Quillet.dll"},
                                   {"channels\\Dirrow.dll", "kit/channels/Dirrow.dll"},
                                   {"channels\\E82C07B5-31F9-4D6A-A5C3-7B14E96F02D8.dll",
                                    "kit/E82C07B5-31F9-4D6A-A5C3-7B14E96F02D8.dll"},
                                   {"3rd\\msvcr71.dll", "kit/msvcr71.dll"},
                                   {"ORVUnInst.exe", "kit/ORVUnInst.exe"}}) {
    EXPECT_EQ(Inflated(package.Item(item)), ReadBytes(dir / file)) << item;
  }
  // Only the screensaver and the plug-in carry their players.
  EXPECT_FALSE(package.Has("ORVSvr.scr"));
  EXPECT_FALSE(package.Has("WinAmp.dll"));
  EXPECT_EQ(Decoded(package.Item("ORVStart.orv")), ReadBytes(dir / "project/start.orv"));

  EXPECT_EQ(package.List("CHANNELINFO", "ChannelCount", "ChannelItemNameID"),
            std::vector<std::string>{"\\channels\\Sky.dll"});
  EXPECT_EQ(package.List("CHANNELINFO", "ChannelDLLCount", "ChannelDLLItemNameID"),
            std::vector<std::string>{"\\3rd\\Math.dll"});
  const std::vector<std::string> content = {"\\channels\\readme.txt", "\\data\\a.txt",
                                            "\\data\\b.txt", "\\data\\sub\\c.bin", "\\top.txt"};
  EXPECT_EQ(package.List("FILEINFO", "FileCount", "ItemNameID"), content);

  EXPECT_EQ(Decoded(package.Item("\\channels\\Sky.dll")),
            ReadBytes(dir / "project/channels/Sky.dll"));
  EXPECT_EQ(Decoded(package.Item("\\3rd\\Math.dll")), ReadBytes(dir / "project/3rd/Math.dll"));
  for (const std::string& name : content) {
    std::string relative = name.substr(1);
    std::replace(relative.begin(), relative.end(), '\\', '/');
    EXPECT_EQ(package.Item(name.c_str()), ReadBytes(dir / "project" / relative)) << name;
  }
  // The start project is stored once, as the start project only.
  EXPECT_FALSE(package.Has("\\start.orv"));
  EXPECT_EQ(package.Names().size(), 35u);
}

struct Setting {
  const char* name;
  Bytes stored;  // empty: the package must not have it
};

struct TypeCase {
  const char* label;
  std::function<void(packer::PackFolderOptions&)> configure;
  std::vector<Setting> settings;
  const char* player;  // the kit program only this type carries
};

class PackFolderTypes : public PackFolder, public testing::WithParamInterface<TypeCase> {};

TEST_P(PackFolderTypes, WritesTheSettingsTheTypeReads) {
  const TypeCase& c = GetParam();
  c.configure(options);
  ASSERT_EQ(Run(), 0) << err.str();
  Package package(dir / "out.exe");
  for (const Setting& setting : c.settings) {
    if (setting.stored.empty()) {
      EXPECT_FALSE(package.Has(setting.name)) << setting.name;
    } else {
      EXPECT_EQ(package.Item(setting.name), setting.stored) << setting.name;
    }
  }
  for (const char* player : {"ORVSvr.scr", "WinAmp.dll"}) {
    const bool carried = c.player != nullptr && std::string(player) == c.player;
    EXPECT_EQ(package.Has(player), carried) << player;
    if (carried) {
      EXPECT_EQ(Inflated(package.Item(player)), ReadBytes(dir / "kit" / player));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Types, PackFolderTypes,
    testing::Values(TypeCase{"Run",
                             [](packer::PackFolderOptions& o) {
                               o.type = "run";
                               o.checkDx8 = true;
                             },
                             {{"ProjectType", NumberItem(1)},
                              {"CheckDx8", {1}},
                              {"RunAfterInstall", {}},
                              {"InstallPath", {}},
                              {"ProjectName", {}}},
                             nullptr},
                    TypeCase{"FolderDefaultsFromTheFolderName",
                             [](packer::PackFolderOptions& o) { o.project += "/"; },
                             {{"ProjectType", NumberItem(2)},
                              {"CheckDx8", {0}},
                              {"RunAfterInstall", {0}},
                              {"InstallPath", TextItem("C:\\Program Files\\project")},
                              {"ShortCutName", TextItem("\\project\\project")},
                              {"ProjectName", TextItem("project")},
                              {"DoQuitCgr", {}},
                              {"StartupDirectory", {}}},
                             nullptr},
                    TypeCase{"FolderGiven",
                             [](packer::PackFolderOptions& o) {
                               o.name = "Demo: The Return";
                               o.installPath = "D:\\Games\\Demo";
                               o.shortcut = "\\Games\\Demo";
                               o.runAfterInstall = true;
                             },
                             {{"RunAfterInstall", {1}},
                              {"InstallPath", TextItem("D:\\Games\\Demo")},
                              {"ShortCutName", TextItem("\\Games\\Demo")},
                              {"ProjectName", TextItem("Demo: The Return")}},
                             nullptr},
                    TypeCase{"Screensaver",
                             [](packer::PackFolderOptions& o) {
                               o.type = "screensaver";
                               o.name = "Sky Saver";
                               o.quitCgr = true;
                             },
                             {{"ProjectType", NumberItem(5)},
                              {"CheckDx8", {0}},
                              {"RunAfterInstall", {0}},
                              {"InstallPath", TextItem("C:\\Program Files\\Sky Saver")},
                              {"ProjectName", TextItem("Sky Saver")},
                              {"DoQuitCgr", {1}},
                              {"DoSmallPreview", {0}},
                              {"ShortCutName", {}}},
                             "ORVSvr.scr"},
                    TypeCase{"Plugin",
                             [](packer::PackFolderOptions& o) {
                               o.type = "plugin";
                               o.name = "Vis";
                               o.startupDir = "C:\\Vis";
                               o.winampVersion = 2;
                               o.checkDx8 = true;
                             },
                             {{"ProjectType", NumberItem(6)},
                              {"CheckDx8", {1}},
                              {"StartupDirectory", TextItem("C:\\Vis")},
                              {"ProjectName", TextItem("Vis")},
                              {"WinampVersion", {2}},
                              {"InstallPath", {}},
                              {"RunAfterInstall", {}}},
                             "WinAmp.dll"}),
    [](const testing::TestParamInfo<TypeCase>& info) { return info.param.label; });

TEST_F(PackFolder, ManifestOutRebuildsTheSamePackage) {
  options.type = "screensaver";
  options.smallPreview = true;
  options.start = "data/b.txt";
  options.manifestOut = (dir / "manifests/m.json").string();
  fs::create_directories(dir / "manifests");
  ASSERT_EQ(Run(), 0) << err.str();
  // Moved together with what it names, the manifest still builds the same bytes.
  fs::rename(dir, dir.string() + "_moved");
  const fs::path moved = dir.string() + "_moved";
  std::ostringstream buildOut, buildErr;
  ASSERT_EQ(packer::Build({(moved / "manifests/m.json").string(), (moved / "stub.exe").string(),
                           (moved / "again.exe").string(), ""},
                          buildOut, buildErr),
            0)
      << buildErr.str();
  EXPECT_EQ(ReadBytes(moved / "again.exe"), ReadBytes(moved / "out.exe"));
  Package package(moved / "again.exe");
  EXPECT_EQ(Decoded(package.Item("ORVStart.orv")), AsBytes("b"));
  // The file that became the start project is not a content file as well; start.orv now is.
  EXPECT_EQ(package.List("FILEINFO", "FileCount", "ItemNameID"),
            (std::vector<std::string>{"\\channels\\readme.txt", "\\data\\a.txt",
                                      "\\data\\sub\\c.bin", "\\start.orv", "\\top.txt"}));
  fs::rename(moved, dir);
}

TEST(PackFolderNames, RefusesWhatTheLauncherRefuses) {
  const std::string longest = "\\" + std::string(258, 'x');
  struct Case {
    std::string name;
    const char* problem;  // "" when taken
  };
  const Case cases[] = {
      {"\\data\\scene.txt", ""},
      {longest, ""},
      {longest + "x", "is longer than 259 characters"},
      {"\\COM0.txt", ""},
      {"\\console.txt", ""},
      {"\\a\\..\\b.txt", "climbs out with \"..\""},
      {"\\c:x.txt", "holds ':' (a drive or a stream)"},
      {"\\data\\CON", "uses the Windows device name \"CON\""},
      {"\\nul.txt", "uses the Windows device name \"nul.txt\""},
      {"\\Lpt9.log", "uses the Windows device name \"Lpt9.log\""},
      {"\\a<b", "holds '<', which Windows file names cannot hold"},
      {"\\a>b", "holds '>', which Windows file names cannot hold"},
      {"\\a\"b", "holds '\"', which Windows file names cannot hold"},
      {"\\a|b", "holds '|', which Windows file names cannot hold"},
      {"\\a?b", "holds '?', which Windows file names cannot hold"},
      {"\\a*b", "holds '*', which Windows file names cannot hold"},
      {"\\dir.\\x.txt", "has a name ending in a dot or blank (\"dir.\")"},
      {"\\x.txt ", "has a name ending in a dot or blank (\"x.txt \")"},
      {"\\a\tb", "holds a control character"},
      {"\\caf\xc3\xa9.txt", "holds a character outside ASCII (names are 8-bit ANSI)"},
      {"\\\\server\\x", "has an empty folder or file name"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(packer::ProjectItemNameProblem(c.name), c.problem) << c.name;
}

TEST_F(PackFolder, RefusesProjectFilesTheLauncherCannotPlace) {
  WriteText(dir / "project/data/what?.txt", "x");
  WriteText(dir / "project/trail.", "x");
  WriteText(dir / "project/aux.dat", "x");
  WriteText(dir / "project/a\\b.txt", "x");    // one file on this system, a folder and a file there
  WriteText(dir / "project/data/A.txt", "x");  // data/a.txt on Windows
  WriteText(dir / "project/zenthra.dll", "x");
  WriteText(dir / "project/channels/Quillet.dll", "x");
  WriteText(dir / "project/Uninstall.nfo", "x");
  // The name problems are all reported at once; the places taken once the names are good.
  EXPECT_EQ(Run(), 1);
  for (const char* expected :
       {"refuse 4 project files", "\\data\\what?.txt: holds '?'", "\\trail.: has a name ending",
        "\\aux.dat: uses the Windows device name", "\\a\\b.txt: a file or folder name holds a"}) {
    EXPECT_NE(err.str().find(expected), std::string::npos) << expected << "\n" << err.str();
  }
  for (const char* name : {"data/what?.txt", "trail.", "aux.dat", "a\\b.txt"}) {
    fs::remove(dir / "project" / name);
  }
  EXPECT_EQ(Run(), 1);
  for (const char* expected :
       {"refuse 4 project files", "\\data\\a.txt: takes the place of \\data\\A.txt",
        "\\zenthra.dll: takes the place of the kit's Zenthra.dll",
        "\\channels\\Quillet.dll: takes the place of the kit's channels\\Quillet.dll",
        "\\Uninstall.nfo: takes the place of the installation's uninstall.nfo"}) {
    EXPECT_NE(err.str().find(expected), std::string::npos) << expected << "\n" << err.str();
  }
  EXPECT_FALSE(fs::exists(dir / "out.exe"));
}

TEST_F(PackFolder, NamesMissingKitFilesAndStartProject) {
  fs::remove(dir / "kit/Zenthra.dll");
  fs::remove(dir / "kit/channels/Dirrow.dll");
  fs::remove(dir / "kit/ORVSvr.scr");
  EXPECT_EQ(Run(), 1);
  EXPECT_NE(err.str().find("lacks Zenthra.dll, channels\\Dirrow.dll\n"), std::string::npos)
      << err.str();

  WriteText(dir / "kit/zenthra.DLL", "engine");  // found whatever the case
  WriteText(dir / "kit/Dirrow.dll", "channel");
  fs::rename(dir / "project/start.orv", dir / "project/main.orv");
  EXPECT_EQ(Run(), 1);
  EXPECT_NE(err.str().find("has no start.orv (name the start project with --start)"),
            std::string::npos)
      << err.str();
  options.start = "missing.orv";
  EXPECT_EQ(Run(), 1);
  EXPECT_NE(err.str().find("the start project missing.orv does not exist"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "out.exe"));

  // Without its player the screensaver package is still built, with a warning.
  options.start = "main.orv";
  options.type = "screensaver";
  ASSERT_EQ(Run(), 0) << err.str();
  EXPECT_NE(err.str().find("has no ORVSvr.scr"), std::string::npos) << err.str();
  Package package(dir / "out.exe");
  EXPECT_FALSE(package.Has("ORVSvr.scr"));
  EXPECT_EQ(Inflated(package.Item("Zenthra.dll")), AsBytes("engine"));
}

TEST_F(PackFolder, RefusesOptionsAndSettingsThatDoNotFit) {
  struct Case {
    const char* label;
    std::function<void(packer::PackFolderOptions&)> configure;
    int code;
    const char* message;
  };
  const Case cases[] = {
      {"UnknownType", [](auto& o) { o.type = "service"; }, 2, "--type must be run, folder"},
      {"ShortcutForRun",
       [](auto& o) {
         o.type = "run";
         o.shortcut = "\\x";
       },
       2, "--shortcut is not used by --type run (only by folder)"},
      {"InstallPathForPlugin",
       [](auto& o) {
         o.type = "plugin";
         o.installPath = "C:\\x";
       },
       2, "--install-path is not used by --type plugin"},
      {"QuitCgrForFolder", [](auto& o) { o.quitCgr = true; }, 2, "--quit-cgr is not used"},
      {"RunAfterForScreensaver",
       [](auto& o) {
         o.type = "screensaver";
         o.runAfterInstall = true;
       },
       2, "--run-after-install is not used by --type screensaver"},
      {"WinampVersionRange",
       [](auto& o) {
         o.type = "plugin";
         o.winampVersion = 256;
       },
       2, "--winamp-version must be 0..255"},
      // The name becomes "<name>.scr" in the system folder.
      {"NameNoFileName",
       [](auto& o) {
         o.type = "screensaver";
         o.name = "Sky?";
       },
       2, "the name \"Sky?\" holds '?'"},
      {"NameTooLong", [](auto& o) { o.name = std::string(259, 'n'); }, 2,
       "the name is longer than 258 characters"},
      {"OutputInProject", [](auto& o) { o.output = o.project + "/x.exe"; }, 1,
       "lies inside the project folder"},
      {"ManifestInProject", [](auto& o) { o.manifestOut = o.project + "/sub/m.json"; }, 1,
       "lies inside the project folder"},
      {"NoProject", [](auto& o) { o.project += "-gone"; }, 1, "-gone does not exist"},
  };
  const packer::PackFolderOptions base = options;
  for (const Case& c : cases) {
    options = base;
    c.configure(options);
    EXPECT_EQ(Run(), c.code) << c.label;
    EXPECT_NE(err.str().find(c.message), std::string::npos) << c.label << "\n" << err.str();
    EXPECT_FALSE(fs::exists(options.output)) << c.label;
  }
}

}  // namespace
