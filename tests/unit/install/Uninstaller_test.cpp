#include <gtest/gtest.h>

// The uninstaller's core is a kit library; the build links it to the tests when it builds it.
#if defined(ORV_HAVE_UNINSTALLER_CORE)

#include "kit/uninstaller/UninstallCore.h"

#include "kit/engine/Engine.h"
#include "tests/unit/deploy/JobFixture.h"
#include "tests/unit/install/InstallPackage.h"

namespace {

using chunkfile::Chunk;

const std::string kFolder = "C:\\Games\\Demo";
const std::string kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvaneDemo";
const std::string kViewersKey = "SOFTWARE\\Tillmark\\Orvane Viewers\\3.00.000\\Demo";
constexpr auto kHklm = os::RegRoot::LocalMachine;

// Key deletion on the fake registry, as RegDeleteKeyA would do it (no subkeys handled).
class FakeKeyRemover final : public uninst::KeyRemover {
 public:
  explicit FakeKeyRemover(fake::FakeRegistry& registry) : _registry(registry) {}
  bool DeleteKey(const std::string& key) override {
    deleted.push_back(key);
    std::string name = "0:";
    for (char c : key)
      name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    return _registry.keys.erase(name) > 0;
  }
  std::vector<std::string> deleted;

 private:
  fake::FakeRegistry& _registry;
};

Chunk Count(const char* tag, uint32_t n) {
  return {tag, true, {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)}};
}
Chunk Field(const char* tag, const std::string& text) {
  Chunk c{tag, true, std::vector<uint8_t>(text.begin(), text.end())};
  c.data.resize(259, 0);
  return c;
}
std::vector<Chunk> Chunks(const std::vector<std::string>& files,
                          const std::vector<std::string>& folders,
                          const std::string& name = "Demo") {
  std::vector<Chunk> out = {Count("UNFC", static_cast<uint32_t>(files.size()))};
  for (const auto& f : files) out.push_back(Field("UNFN", f));
  out.push_back(Count("UNDC", static_cast<uint32_t>(folders.size())));
  for (const auto& d : folders) out.push_back(Field("UNDN", d));
  out.push_back(Field("UNPN", name));
  return out;
}

TEST(UninstallRecordReader, TakesWhatTheInstallersWrite) {
  uninst::Record r;
  ASSERT_TRUE(uninst::ParseRecord(Chunks({"C:\\a.txt", "C:\\b.txt"}, {"C:\\d\\"}), &r));
  EXPECT_EQ(r.files, (std::vector<std::string>{"C:\\a.txt", "C:\\b.txt"}));
  EXPECT_EQ(r.folders, std::vector<std::string>{"C:\\d\\"});
  EXPECT_EQ(r.projectName, "Demo");
  auto withMarker = Chunks({}, {});
  withMarker.push_back({"UNSK", false, {}});
  EXPECT_TRUE(uninst::ParseRecord(withMarker, &r));
  // A full field may be a cut path: counted, never listed.
  ASSERT_TRUE(uninst::ParseRecord(Chunks({std::string(259, 'x')}, {}), &r));
  EXPECT_TRUE(r.files.empty());
  EXPECT_EQ(r.cutEntries, 1);
}

TEST(UninstallRecordReader, RefusesDamage) {
  const auto good = Chunks({"C:\\a.txt"}, {"C:\\d\\"});
  auto edit = [&](auto change) {
    auto c = good;
    change(c);
    return c;
  };
  const struct {
    const char* what;
    std::vector<Chunk> chunks;
  } cases[] = {
      {"empty", {}},
      {"file count too high", edit([](auto& c) { c[0] = Count("UNFC", 2); })},
      {"file count too low", edit([](auto& c) { c[0] = Count("UNFC", 0); })},
      {"negative count", edit([](auto& c) { c[2] = Count("UNDC", 0xFFFFFFFF); })},
      {"huge count", edit([](auto& c) { c[0] = Count("UNFC", 0x7FFFFFFF); })},
      {"lists swapped", edit([](auto& c) { std::swap(c[1], c[3]); })},
      {"short field", edit([](auto& c) { c[1].data.resize(100); })},
      {"no name", edit([](auto& c) { c.pop_back(); })},
      {"empty name", Chunks({}, {}, "")},
      {"name with a backslash", Chunks({}, {}, "..\\Other")},
      {"sized end marker", edit([](auto& c) {
         c.push_back({"UNSK", true, {}});
       })},
      {"chunk after the end", edit([](auto& c) { c.push_back(Field("UNFN", "C:\\x")); })},
      {"count without data", edit([](auto& c) { c[0].sized = false; })},
  };
  for (const auto& c : cases) {
    uninst::Record r;
    EXPECT_FALSE(uninst::ParseRecord(c.chunks, &r)) << c.what;
  }
}

TEST(UninstallPaths, OnlyPlainAbsolutePathsAreTouched) {
  for (const char* ok : {"C:\\Games\\Demo\\a.dll", "c:/games/x.txt", "C:\\Games\\Demo\\\\data\\",
                         "C:\\Games\\Demo\\data/sub/notes.txt", "D:\\.hidden\\x"}) {
    EXPECT_TRUE(uninst::IsPlainAbsolutePath(ok)) << ok;
  }
  for (const char* bad :
       {"C:\\Games\\..\\Windows\\x.dll", "C:\\Games\\.\\x", "C:\\a\\...\\x", "..\\x", "x\\y",
        "\\Games\\x", "\\\\server\\share\\x", "\\\\?\\C:\\x", "C:\\", "C:\\\\", "C:x", "",
        "C:\\a\\b:stream", "C:\\a\\*", "C:\\a\\b. ", "C:\\a\\b."}) {
    EXPECT_FALSE(uninst::IsPlainAbsolutePath(bad)) << bad;
  }
}

class UninstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fp.files.AddFile(kFolder + "\\a.dll", "a");
    fp.files.AddFile(kFolder + "\\ORVUnInst.exe", "u");
    fp.files.AddFile(kFolder + "\\uninstall.nfo", "record");
    fp.files.AddFile(kFolder + "\\data\\b.txt", "b");
    fp.registry.SetString(kHklm, kUninstallKey, "DisplayName", "Demo");
    fp.registry.SetString(kHklm, kUninstallKey, "UninstallString",
                          "\"" + kFolder + "\\ORVUnInst.exe\"");
  }
  uninst::Outcome Remove(const std::vector<std::string>& files,
                         const std::vector<std::string>& folders, const std::string& keep = "") {
    uninst::Record r;
    EXPECT_TRUE(uninst::ParseRecord(Chunks(files, folders), &r));
    return uninst::RemoveInstallation(fp.files, fp.registry, keys, kFolder, r, keep);
  }
  fake::FakePlatform fp;
  FakeKeyRemover keys{fp.registry};
};

TEST_F(UninstallTest, RemovesTheListedFilesFoldersKeysAndTheRecord) {
  const auto out =
      Remove({kFolder + "\\a.dll", kFolder + "\\ORVUnInst.exe", kFolder + "\\data\\b.txt"},
             {kFolder + "\\\\data\\", kFolder + "\\", "C:\\Games\\"});
  EXPECT_EQ(fp.files.AllPaths(), std::vector<std::string>{"C:\\"});
  EXPECT_FALSE(fp.registry.HasKey(kHklm, kUninstallKey));
  EXPECT_EQ(out.filesRemoved, 3);
  EXPECT_EQ(out.foldersRemoved, 3);
  EXPECT_EQ(out.left, 0);
  EXPECT_EQ(keys.deleted, std::vector<std::string>{kUninstallKey});  // no viewers key here
}

TEST_F(UninstallTest, WhatTheUserAddedStaysAndSoDoItsFolders) {
  fp.files.AddFile(kFolder + "\\data\\mine.sav", "user");
  const auto out = Remove({kFolder + "\\data\\b.txt", kFolder + "\\a.dll"},
                          {kFolder + "\\data\\", kFolder + "\\"});
  EXPECT_EQ(fp.files.Content(kFolder + "\\data\\mine.sav"), "user");
  EXPECT_FALSE(fp.files.Exists(kFolder + "\\uninstall.nfo"));
  EXPECT_EQ(out.left, 2);
}

TEST_F(UninstallTest, NeverGoesThroughAJunctionOrUpward) {
  fp.files.AddFile("C:\\Important\\keep.txt", "keep");
  fp.files.AddDir("C:\\Important\\empty");
  fp.files.AddJunction(kFolder + "\\link", "C:\\Important");
  const auto out = Remove({kFolder + "\\link\\keep.txt", kFolder + "\\..\\..\\Important\\keep.txt"},
                          {kFolder + "\\link\\empty\\", kFolder + "\\link\\",
                           kFolder + "\\..\\..\\Important\\empty\\"});
  EXPECT_EQ(fp.files.Content("C:\\Important\\keep.txt"), "keep");
  EXPECT_TRUE(fp.files.IsDir("C:\\Important\\empty"));
  EXPECT_TRUE(fp.files.Exists(kFolder + "\\link"));
  EXPECT_EQ(out.left, 5);
}

TEST_F(UninstallTest, ACutEntryIsNeverActedOn) {
  // The writer cut a longer path to 259 characters; a file of the cut name is someone else's.
  const std::string cut = kFolder + "\\" + std::string(259 - kFolder.size() - 1, 'n');
  fp.files.AddFile(cut, "other");
  const auto out = Remove({cut}, {});
  EXPECT_EQ(fp.files.Content(cut), "other");
  EXPECT_EQ(out.left, 1);
}

TEST_F(UninstallTest, TheRunningProgramIsKeptWhenAsked) {
  Remove({kFolder + "\\ORVUnInst.exe"}, {kFolder + "\\"}, "c:/games/demo/orvuninst.exe");
  EXPECT_TRUE(fp.files.Exists(kFolder + "\\ORVUnInst.exe"));
}

TEST_F(UninstallTest, KeysGoOnlyWhileTheyNameThisFolder) {
  const struct {
    const char* what;
    std::string command;
    bool removed;
  } cases[] = {
      {"quoted", "\"" + kFolder + "\\ORVUnInst.exe\"", true},
      {"bare, other case and slashes", "c:/games/demo//orvuninst.exe", true},
      {"another installation", "\"D:\\Elsewhere\\ORVUnInst.exe\"", false},
      {"another program", "\"" + kFolder + "\\other.exe\"", false},
  };
  for (const auto& c : cases) {
    fp.registry.SetString(kHklm, kUninstallKey, "UninstallString", c.command);
    fp.registry.SetString(kHklm, kViewersKey, "DisplayName", c.removed ? kFolder : "D:\\Elsewhere");
    Remove({}, {});
    EXPECT_EQ(!fp.registry.HasKey(kHklm, kUninstallKey), c.removed) << c.what;
    EXPECT_EQ(!fp.registry.HasKey(kHklm, kViewersKey), c.removed) << c.what;
  }
}

// The whole way: the launcher installs with the kit's engine writing the record, and the
// uninstaller takes everything away again.
TEST(UninstallRoundTrip, LeavesTheDiskAndRegistryAsBefore) {
  fake::FakePlatform fp;
  os::Platform platform = fp.Get();
  fp.files.AddDir("C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs");
  fp.registry.SetString(kHklm, "SOFTWARE\\Microsoft\\DirectX", "Version", "4.09.00.0904");
  instpkg::Options o;
  o.run.channels = {};
  o.run.channelDlls = {};
  fp.files.AddFile(fp.system.moduleFileName, testpkg::BuildFile(instpkg::Items(o)));
  const std::vector<std::string> before = fp.files.AllPaths();
  const size_t keysBefore = fp.registry.keys.size();

  kit::engine::Reset();
  kit::engine::UsePlatform(&platform);
  fp.modules.Register("zenthra.dll",
                      {{kGetEngineControlInstanceName,
                        reinterpret_cast<void*>(&kit::engine::GetEngineControlInstance)}});
  fp.dialogs.script.push_back(fake::FakeDialogs::Press(1));
  {
    DeployJob job(platform);
    ASSERT_TRUE(job.InstallMode());
  }
  kit::engine::UsePlatform(nullptr);
  ASSERT_TRUE(fp.registry.HasKey(kHklm, kUninstallKey));

  std::vector<Chunk> chunks;
  uninst::Record record;
  ASSERT_TRUE(chunkfile::Read(fp.files, kFolder + "\\uninstall.nfo", &chunks));
  ASSERT_TRUE(uninst::ParseRecord(chunks, &record));
  FakeKeyRemover keys(fp.registry);
  const auto out = uninst::RemoveInstallation(fp.files, fp.registry, keys, kFolder, record, "");
  EXPECT_EQ(out.left, 0);
  EXPECT_EQ(fp.files.AllPaths(), before);
  EXPECT_EQ(fp.registry.keys.size(), keysBefore);
}

}  // namespace

#else

TEST(Uninstaller, CoreNotInThisBuild) {
  GTEST_SKIP() << "kit/uninstaller is not part of this build";
}

#endif
