#include "package/PackageReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "package/PackageFormat.h"
#include "platform/fake/FakePlatform.h"
#include "tests/unit/support/TestPackage.h"

namespace {

using testpkg::BuildFile;
using testpkg::Bytes;
using testpkg::Item;
using testpkg::Marker;
using testpkg::Number;
using testpkg::SetTrailer;
using testpkg::Text;

Bytes LoadFixture(const std::string& name) {
  std::ifstream in(std::string(ORV_REFERENCE_FIXTURES) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

class ReaderTest : public ::testing::Test {
 protected:
  void Install(Bytes file) { fp.files.AddFile(fp.system.moduleFileName, std::move(file)); }
  std::unique_ptr<PackageReader> Open() { return std::make_unique<PackageReader>(platform); }
  uint32_t ReadNumber(PackageReader& r, const char* name, const char* category = nullptr) {
    uint32_t v = 0xEEEEEEEE;
    EXPECT_TRUE(r.ReadItem(name, &v, 4, category)) << name;
    return v;
  }
  fake::FakePlatform fp;
  os::Platform platform = fp.Get();
};

const std::vector<Item> kSmall = {
    {"APPDATA", "PROJECTTYPE", Number(1)},
    {"FILEINFO", "FILECOUNT", Number(2)},
    {"APPDATA", "INSTALLPATH", Text("C:\\Games\\Demo")},
    {"APPDATA", "DATA\\SCENE.TXT", {'a', ' ', 's', 'c', 'e', 'n', 'e', '\r', '\n'}},
};

TEST_F(ReaderTest, ReferencePackageReadsAsWritten) {
  Install(LoadFixture("run-small.bin"));
  auto r = Open();
  EXPECT_TRUE(fp.ui.boxes.empty());
  EXPECT_EQ(r->Entries().Count(), 11);
  EXPECT_EQ(r->PackageOffset(), 512u);
  EXPECT_EQ(r->HeaderLength(), 469u);
  EXPECT_EQ(ReadNumber(*r, "ProjectType"), 1u);
  EXPECT_EQ(ReadNumber(*r, "channelcount", "channelinfo"), 1u);
  char path[399] = {};
  ASSERT_TRUE(r->ReadItem("ItemNameID1", path, sizeof(path), "FILEINFO"));
  EXPECT_STREQ(path, "data/sub/notes.txt");

  ASSERT_TRUE(r->ReadItem("data\\scene.txt", nullptr, 0, nullptr));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(r->Data()), r->Size()), "a scene\r\n");
  const auto entry = [&](int i) { return static_cast<const PackageEntry*>(r->Entries().Get(i)); };
  EXPECT_EQ(entry(0)->offset, 981u);
  EXPECT_EQ(entry(9)->offset, entry(8)->offset + entry(8)->size);
  // An empty item with crc 0 reads, and so does a read into a buffer of it.
  EXPECT_TRUE(r->ReadItem("DATA/SUB/NOTES.TXT", nullptr, 0, nullptr));
  EXPECT_EQ(r->Size(), 0u);
  uint8_t one = 0;
  EXPECT_TRUE(r->ReadItem("DATA/SUB/NOTES.TXT", &one, 1, nullptr));
  EXPECT_TRUE(fp.ui.boxes.empty());
}

TEST_F(ReaderTest, FirstEntryInIndexOrderWinsAndOtherCategoriesCountTowardOffsets) {
  Install(LoadFixture("duplicates.bin"));
  auto r = Open();
  EXPECT_EQ(ReadNumber(*r, "ProjectType"), 5u);
  EXPECT_EQ(ReadNumber(*r, "PROJECTTYPE", "fileinfo"), 7u);
  const auto* first = static_cast<const PackageEntry*>(r->Entries().Get(0));
  const auto* second = static_cast<const PackageEntry*>(r->Entries().Get(1));
  EXPECT_EQ(second->offset, first->offset + 4);
}

TEST_F(ReaderTest, LowerCaseMarkerAcceptedAtTheTrailingOffset) {
  Install(LoadFixture("type3-lowercase-marker.bin"));
  auto r = Open();
  EXPECT_EQ(ReadNumber(*r, "ProjectType"), 3u);
  EXPECT_TRUE(fp.ui.boxes.empty());
}

TEST_F(ReaderTest, LowerCaseMarkerIsNotFoundByTheSearch) {
  Bytes file = LoadFixture("type3-lowercase-marker.bin");
  SetTrailer(file, 3);
  Install(file);
  auto r = Open();
  EXPECT_EQ(r->Entries().Count(), 0);
  uint32_t v;
  EXPECT_FALSE(r->ReadItem("ProjectType", &v, 4, nullptr));
  ASSERT_EQ(fp.ui.boxes.size(), 1u);
  EXPECT_EQ(fp.ui.boxes[0], (fake::Box{"Data header not found!", "", os::kMbOk}));
}

// The search reads 20 blocks of 9999 bytes and tries positions 0..9962 of each.
TEST_F(ReaderTest, MarkerSearchPositions) {
  struct Case {
    size_t markerAt;
    bool found;
  } cases[] = {{0, true},      {9962, true},        {9963, false},        {9999, true},
               {102400, true}, {199980 - 37, true}, {199980 - 36, false}, {199980, false}};
  for (const Case& c : cases) {
    fake::FakePlatform local;
    os::Platform p = local.Get();
    Bytes file = BuildFile(kSmall, c.markerAt);
    // The image holds a character 'M' at 0; a marker at 0 replaces it.
    SetTrailer(file, 5);  // points into the image: only the search can find the package
    local.files.AddFile(local.system.moduleFileName, file);
    PackageReader r(p);
    EXPECT_EQ(r.Entries().Count(), c.found ? 4 : 0) << c.markerAt;
    if (c.found) {
      EXPECT_EQ(r.PackageOffset(), c.markerAt);
      uint32_t v = 0;
      EXPECT_TRUE(r.ReadItem("ProjectType", &v, 4, nullptr));
      EXPECT_EQ(v, 1u);
      EXPECT_TRUE(local.ui.boxes.empty());
    } else {
      ASSERT_EQ(local.ui.boxes.size(), 1u) << c.markerAt;
      EXPECT_EQ(local.ui.boxes[0].text, "Data header not found!");
      EXPECT_EQ(local.ui.boxes[0].caption, "");  // the image's zeros at the trailing offset
    }
  }
}

TEST_F(ReaderTest, NotFoundShowsTheTextAtTheTrailingOffsetAsCaption) {
  Bytes file = BuildFile(kSmall);
  file[512 + 35] = 'X';  // no marker anywhere
  std::memcpy(file.data() + 16, "HELLO", 6);
  SetTrailer(file, 16);
  Install(file);
  auto r = Open();
  ASSERT_EQ(fp.ui.boxes.size(), 1u);
  EXPECT_EQ(fp.ui.boxes[0], (fake::Box{"Data header not found!", "HELLO", os::kMbOk}));
}

TEST_F(ReaderTest, MissingProgramFileGivesEmptyIndexAndEmptyCaption) {
  auto r = Open();
  EXPECT_EQ(r->Entries().Count(), 0);
  ASSERT_EQ(fp.ui.boxes.size(), 1u);
  EXPECT_EQ(fp.ui.boxes[0], (fake::Box{"Data header not found!", "", os::kMbOk}));
  uint32_t v;
  EXPECT_FALSE(r->ReadItem("ProjectType", &v, 4, nullptr));
  EXPECT_EQ(fp.ui.boxes.size(), 1u);
}

TEST_F(ReaderTest, ProgramFileIsTheModuleFileWhateverTheArguments) {
  Install(BuildFile(kSmall));
  auto r = Open();
  EXPECT_EQ(ReadNumber(*r, "projecttype"), 1u);
}

TEST_F(ReaderTest, BufferReadsChecksumAndSizeRules) {
  std::vector<Item> items = kSmall;
  items.push_back({"APPDATA", "TEXT51", Text(std::string(50, 'x'))});
  items.push_back({"APPDATA", "TEXT300", Text(std::string(299, 'y'))});
  items.push_back({"APPDATA", "PROJECTNAME", Text("Demo"), true});
  items.push_back({"APPDATA", "EMPTYBAD", {}, true});
  Install(BuildFile(items));
  auto r = Open();

  char buffer[399];
  std::memset(buffer, 0x55, sizeof(buffer));
  EXPECT_TRUE(r->ReadItem("Text51", buffer, 399, nullptr));
  EXPECT_EQ(std::string(buffer), std::string(50, 'x'));
  // Past the item come the bytes that follow it in the file: the next item's.
  EXPECT_EQ(buffer[51], 'y');

  EXPECT_FALSE(r->ReadItem("Text300", buffer, 259, nullptr));
  EXPECT_FALSE(r->ReadItem("ProjectName", buffer, 259, nullptr));
  EXPECT_FALSE(r->ReadItem("EmptyBad", buffer, 4, nullptr));
  EXPECT_FALSE(r->ReadItem("Missing", buffer, 4, nullptr));
  EXPECT_FALSE(r->ReadItem("ProjectType", buffer, 4, "FILEINFO"));
  const std::vector<fake::Box> expected = {
      {"Crc error corrupt file", "TEXT300", os::kMbOk},
      {"Crc error corrupt file", "PROJECTNAME", os::kMbOk},
      {"Crc error corrupt file", "EMPTYBAD", os::kMbOk},
  };
  EXPECT_EQ(fp.ui.boxes, expected);
}

TEST_F(ReaderTest, ReadsWithoutBufferAreCheckedAndReplaceTheBlock) {
  std::vector<Item> items = kSmall;
  items.push_back({"APPDATA", "BROKEN.DLL", {1, 2, 3, 4, 5}, true});
  Install(BuildFile(items));
  auto r = Open();
  EXPECT_EQ(r->Data(), nullptr);
  EXPECT_EQ(r->Size(), 0u);
  ASSERT_TRUE(r->ReadItem("InstallPath", nullptr, 0, nullptr));
  EXPECT_STREQ(reinterpret_cast<char*>(r->Data()), "C:\\Games\\Demo");
  ASSERT_TRUE(r->ReadItem("data\\scene.txt", nullptr, 0, nullptr));
  EXPECT_EQ(r->Size(), 9u);
  EXPECT_EQ(std::memcmp(r->Data(), "a scene\r\n", 9), 0);

  // Not found: the last block stays.
  EXPECT_FALSE(r->ReadItem("nothing", nullptr, 0, nullptr));
  EXPECT_EQ(r->Size(), 9u);
  // A damaged item is never handed out.
  EXPECT_FALSE(r->ReadItem("broken.dll", nullptr, 0, nullptr));
  EXPECT_EQ(r->Data(), nullptr);
  ASSERT_EQ(fp.ui.boxes.size(), 1u);
  EXPECT_EQ(fp.ui.boxes[0], (fake::Box{"Crc error corrupt file", "BROKEN.DLL", os::kMbOk}));
}

TEST_F(ReaderTest, ProgramFileIsClosedWithTheReader) {
  Install(BuildFile(kSmall));
  {
    auto r = Open();
    EXPECT_EQ(fp.files.OpenHandles(), 1);
  }
  EXPECT_EQ(fp.files.OpenHandles(), 0);
}

// A damaged index keeps the whole entries read so far; nothing is read past the file and no
// item is located from a header whose length field is lost.
TEST_F(ReaderTest, MalformedIndexStopsCleanly) {
  const Bytes good = BuildFile(kSmall);
  const size_t p = 512;
  const size_t firstEntry = p + 40;
  struct Case {
    const char* what;
    size_t offset;
    uint32_t value;
    int entries;
  } cases[] = {
      {"category length 0", firstEntry, 0, 0},        {"category length 261", firstEntry, 261, 0},
      {"count huge", p + 36, 0x7FFFFFFF, 4},          {"count negative", p + 36, 0xFFFFFFFF, 0},
      {"name length 4096", firstEntry + 12, 4096, 0},
  };
  for (const Case& c : cases) {
    fake::FakePlatform local;
    os::Platform pl = local.Get();
    Bytes file = good;
    for (int i = 0; i < 4; ++i) file[c.offset + i] = static_cast<uint8_t>(c.value >> (8 * i));
    local.files.AddFile(local.system.moduleFileName, file);
    PackageReader r(pl);
    EXPECT_EQ(r.Entries().Count(), c.entries) << c.what;
    uint32_t v = 0;
    // A count that does not match the entries loses the header length: nothing is located.
    EXPECT_FALSE(r.ReadItem("ProjectType", &v, 4, nullptr)) << c.what;
    EXPECT_TRUE(local.ui.boxes.empty()) << c.what;
  }

  // A text without its NUL ends the index.
  Bytes file = good;
  file[firstEntry + 4 + 7] = 'X';  // "APPDATA\0" -> "APPDATAX"
  fake::FakePlatform local;
  os::Platform pl = local.Get();
  local.files.AddFile(local.system.moduleFileName, file);
  PackageReader r(pl);
  EXPECT_EQ(r.Entries().Count(), 0);
}

TEST_F(ReaderTest, ItemRunningPastTheFileIsNotFound) {
  std::vector<Item> items = kSmall;
  Bytes file = BuildFile(items);
  // Enlarge the last entry's size field far past the end of the file.
  const size_t sizeField = 512 + 40 + (4 + 8 + 4 + 12 + 8) + (4 + 9 + 4 + 10 + 8) +
                           (4 + 8 + 4 + 12 + 8) + (4 + 8 + 4 + 15);
  for (int i = 0; i < 4; ++i) file[sizeField + i] = static_cast<uint8_t>(0xFFFFFF00u >> (8 * i));
  Install(file);
  auto r = Open();
  EXPECT_EQ(r->Entries().Count(), 4);
  EXPECT_FALSE(r->ReadItem("data\\scene.txt", nullptr, 0, nullptr));
  EXPECT_EQ(ReadNumber(*r, "ProjectType"), 1u);
  EXPECT_TRUE(fp.ui.boxes.empty());
}

TEST_F(ReaderTest, ShortFilesNeverCrash) {
  const Bytes good = BuildFile(kSmall, 16);
  for (size_t length = 0; length < good.size(); ++length) {
    fake::FakePlatform local;
    os::Platform pl = local.Get();
    local.files.AddFile(local.system.moduleFileName, Bytes(good.begin(), good.begin() + length));
    PackageReader r(pl);
    uint32_t v = 0;
    r.ReadItem("ProjectType", &v, 4, nullptr);
    r.ReadItem("data\\scene.txt", nullptr, 0, nullptr);
  }
}

}  // namespace
