// Package writer: reference bytes, round trips through the real reader, damage the reader sees.
#include "package/PackageWriter.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "package/PackageFormat.h"
#include "package/PackageReader.h"
#include "platform/fake/FakePlatform.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes StandInImage() {
  Bytes image(512, 0);
  image[0] = 'M';
  image[1] = 'Z';
  return image;
}

Bytes ToBytes(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes ReadFixture(const std::string& name) {
  std::ifstream in(std::string(ORV_REFERENCE_FIXTURES) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes BuildOrFail(package::PackageWriter& writer, const Bytes& image = StandInImage()) {
  Bytes out;
  EXPECT_TRUE(writer.Build(image, &out)) << writer.Error();
  return out;
}

// The launcher's file as the reader sees it: the fake's module file.
struct ReaderOver {
  explicit ReaderOver(const Bytes& file) {
    fp.files.AddFile(fp.system.moduleFileName, file);
    reader = std::make_unique<PackageReader>(platform);
  }
  fake::FakePlatform fp;
  os::Platform platform = fp.Get();
  std::unique_ptr<PackageReader> reader;
};

TEST(PackageWriter, ReproducesTheReferenceSmallRunPackage) {
  std::string viewer;
  for (int i = 0; i < 50; ++i) viewer += "viewer bytes ";
  package::PackageWriter writer;
  ASSERT_TRUE(writer.AddNumber("APPDATA", "ProjectType", 1));
  ASSERT_TRUE(writer.AddFlag("APPDATA", "CheckDx8", 0));
  ASSERT_TRUE(writer.AddText("APPDATA", "InstallPath", "C:\\Games\\Demo"));
  ASSERT_TRUE(writer.AddList("CHANNELINFO", "ChannelCount", "ChannelItemNameID",
                             {"\\channels\\Extra.dll"}));
  ASSERT_TRUE(writer.AddList("FILEINFO", "FileCount", "ItemNameID",
                             {"\\data\\scene.txt", "data/sub/notes.txt"}));
  ASSERT_TRUE(writer.AddZlib("APPDATA", "OrvaneViewer.exe", ToBytes(viewer)));
  ASSERT_TRUE(writer.AddBytes("APPDATA", "data\\scene.txt", ToBytes("a scene\r\n")));
  ASSERT_TRUE(writer.AddBytes("APPDATA", "data/sub/notes.txt", {}));

  EXPECT_EQ(writer.HeaderLength(), 469u);
  const Bytes reference = ReadFixture("run-small.bin");
  ASSERT_FALSE(reference.empty());
  EXPECT_EQ(BuildOrFail(writer), reference);

  std::ostringstream streamed;
  ASSERT_TRUE(writer.Write(streamed, StandInImage()));
  EXPECT_EQ(ToBytes(streamed.str()), reference);
}

TEST(PackageWriter, EveryStoredFormReadsBackThroughTheReader) {
  const Bytes payload = ToBytes(std::string(3000, 'x') + "tail");
  const Bytes raw = {0x00, 0xFF, 0x10, 0x00};
  package::PackageWriter writer;
  ASSERT_TRUE(writer.AddNumber("appdata", "ProjectType", 0xA1B2C3D4u));
  ASSERT_TRUE(writer.AddFlag("APPDATA", "CheckDx8", 1));
  ASSERT_TRUE(writer.AddText("APPDATA", "ProjectName", "Demo Project"));
  ASSERT_TRUE(writer.AddZlib("APPDATA", "OrvaneViewer.exe", payload));
  ASSERT_TRUE(writer.AddBytes("APPDATA", "Blob", raw));
  ASSERT_TRUE(writer.AddList("CHANNELINFO", "ChannelDLLCount", "ChannelDLLItemNameID",
                             {"\\3rd\\a.dll", "\\3rd\\b.dll"}));
  ReaderOver r(BuildOrFail(writer));
  PackageReader& reader = *r.reader;
  ASSERT_EQ(reader.Entries().Count(), 8);
  EXPECT_EQ(reader.PackageOffset(), 512u);
  EXPECT_EQ(reader.HeaderLength(), writer.HeaderLength());
  EXPECT_STREQ(static_cast<const PackageEntry*>(reader.Entries().Get(0))->category, "APPDATA");
  EXPECT_STREQ(static_cast<const PackageEntry*>(reader.Entries().Get(0))->name, "PROJECTTYPE");

  uint8_t number[4];
  ASSERT_TRUE(reader.ReadItem("ProjectType", number, 4, nullptr));
  EXPECT_EQ(Bytes(number, number + 4), (Bytes{0xD4, 0xC3, 0xB2, 0xA1}));
  uint8_t flag = 0;
  ASSERT_TRUE(reader.ReadItem("CheckDx8", &flag, 1, nullptr));
  EXPECT_EQ(flag, 1);
  char text[259] = {};
  ASSERT_TRUE(reader.ReadItem("ProjectName", text, sizeof(text), nullptr));
  EXPECT_STREQ(text, "Demo Project");

  ASSERT_TRUE(reader.ReadItem("OrvaneViewer.exe", nullptr, 0, nullptr));
  const uint32_t size = reader.Size();
  ASSERT_GT(size, 4u);
  const uint8_t* stored = reader.Data();
  uLongf inflatedLength = uint32_t(stored[size - 4]) | uint32_t(stored[size - 3]) << 8 |
                          uint32_t(stored[size - 2]) << 16 | uint32_t(stored[size - 1]) << 24;
  ASSERT_EQ(inflatedLength, payload.size());
  Bytes inflated(inflatedLength);
  ASSERT_EQ(uncompress(inflated.data(), &inflatedLength, stored, size - 4), Z_OK);
  EXPECT_EQ(inflated, payload);

  ASSERT_TRUE(reader.ReadItem("Blob", nullptr, 0, nullptr));
  EXPECT_EQ(Bytes(reader.Data(), reader.Data() + reader.Size()), raw);

  uint8_t count[4];
  ASSERT_TRUE(reader.ReadItem("ChannelDLLCount", count, 4, "CHANNELINFO"));
  EXPECT_EQ(count[0], 2);
  char listed[399] = {};
  ASSERT_TRUE(reader.ReadItem("ChannelDLLItemNameID1", listed, sizeof(listed), "CHANNELINFO"));
  EXPECT_STREQ(listed, "\\3rd\\b.dll");
  EXPECT_TRUE(r.fp.ui.boxes.empty());
}

// Damage each setter can make, and what the launcher's reader makes of it.
struct DamageCase {
  const char* label;
  std::function<void(package::PackageWriter&)> damage;
  bool found;        // the reader finds the package (no "Data header not found!")
  bool projectType;  // the 4-byte read of "ProjectType" succeeds
  std::vector<fake::Box> boxes;
};

class PackageWriterDamage : public testing::TestWithParam<DamageCase> {};

TEST_P(PackageWriterDamage, ReaderSeesIt) {
  const DamageCase& c = GetParam();
  package::PackageWriter writer;
  ASSERT_TRUE(writer.AddNumber("APPDATA", "ProjectType", 2));
  ASSERT_TRUE(writer.AddText("APPDATA", "ProjectName", "Demo"));
  c.damage(writer);
  ReaderOver r(BuildOrFail(writer));
  uint8_t value[4] = {};
  EXPECT_EQ(r.reader->Entries().Count() > 0, c.found);
  EXPECT_EQ(r.reader->ReadItem("ProjectType", value, 4, nullptr), c.projectType);
  if (c.projectType) {
    EXPECT_EQ(value[0], 2);
  }
  EXPECT_EQ(r.fp.ui.boxes, c.boxes);
}

const fake::Box kCrcBox{"Crc error corrupt file", "PROJECTTYPE", os::kMbOk};

INSTANTIATE_TEST_SUITE_P(
    Cases, PackageWriterDamage,
    testing::Values(
        DamageCase{"None", [](package::PackageWriter&) {}, true, true, {}},
        DamageCase{"WrongCrc",
                   [](package::PackageWriter& w) { w.OverrideCrc(0, 0x12345678); },
                   true,
                   false,
                   {kCrcBox}},
        DamageCase{"FlippedByte",
                   [](package::PackageWriter& w) { w.FlipByte(0, 3); },
                   true,
                   false,
                   {kCrcBox}},
        DamageCase{"FlipInAnotherItem",
                   [](package::PackageWriter& w) { w.FlipByte(1, 0); },
                   true,
                   true,
                   {}},
        DamageCase{"LowerCaseMarker",
                   [](package::PackageWriter& w) { w.SetLowerCaseMarker(true); },
                   true,
                   true,
                   {}},
        // Appended bytes spoil the trailing offset; the marker search still finds the package.
        DamageCase{"AppendedBytes",
                   [](package::PackageWriter& w) {
                     w.AppendAfterPackage(Bytes{0xDE, 0xAD, 0xBE, 0xEF, 0x01});
                   },
                   true,
                   true,
                   {}},
        DamageCase{"WrongOffset",
                   [](package::PackageWriter& w) { w.OverridePackageOffset(100); },
                   true,
                   true,
                   {}},
        // The search is case sensitive: a lower-case marker is found at the offset only.
        DamageCase{"WrongOffsetAndLowerCaseMarker",
                   [](package::PackageWriter& w) {
                     w.OverridePackageOffset(100);
                     w.SetLowerCaseMarker(true);
                   },
                   false,
                   false,
                   {fake::Box{"Data header not found!", "", os::kMbOk}}}),
    [](const testing::TestParamInfo<DamageCase>& info) { return info.param.label; });

TEST(PackageWriter, LowerCaseMarkerAndOffsetAreWrittenAsAsked) {
  package::PackageWriter writer;
  ASSERT_TRUE(writer.AddNumber("APPDATA", "ProjectType", 3));
  writer.SetLowerCaseMarker(true);
  writer.OverridePackageOffset(0x01020304);
  writer.AppendAfterPackage(Bytes{0xAA});
  const Bytes out = BuildOrFail(writer);
  char marker[package::kMarkerLength + 1];
  package::JoinMarker(marker);
  const std::string written(out.begin() + 512, out.begin() + 512 + package::kMarkerLength);
  std::string lower = marker;
  for (char& ch : lower) ch = char(std::tolower(uint8_t(ch)));
  EXPECT_EQ(written, lower);
  EXPECT_NE(written, std::string(marker));
  EXPECT_EQ(Bytes(out.end() - 5, out.end()), (Bytes{0x04, 0x03, 0x02, 0x01, 0xAA}));
}

TEST(PackageWriter, RefusesWhatTheIndexCannotHold) {
  package::PackageWriter writer;
  EXPECT_TRUE(writer.AddNumber("APPDATA", std::string(259, 'n'), 1));
  EXPECT_FALSE(writer.AddNumber("APPDATA", std::string(260, 'n'), 1));
  EXPECT_FALSE(writer.AddNumber("", "ProjectType", 1));
  EXPECT_FALSE(writer.AddNumber("APPDATA", "", 1));
  EXPECT_FALSE(writer.AddNumber("APPDATA", std::string("a\0b", 3), 1));
  EXPECT_FALSE(writer.AddText("APPDATA", "ProjectName", std::string("a\0b", 3)));
  EXPECT_FALSE(writer.Error().empty());
  // A list with one bad name adds nothing, not even its count.
  EXPECT_FALSE(writer.AddList("FILEINFO", "FileCount", "ItemNameID", {"ok", std::string(1, '\0')}));
  EXPECT_EQ(writer.Count(), 1u);
  EXPECT_FALSE(writer.FlipByte(0, 4));
  EXPECT_FALSE(writer.FlipByte(1, 0));
  EXPECT_FALSE(writer.OverrideCrc(1, 0));
}

TEST(PackageWriter, WritesLauncherFileFollowedByPackage) {
  const std::string dir = testing::TempDir();
  const std::string launcher = dir + "/writer_launcher.exe";
  const std::string output = dir + "/writer_output.exe";
  {
    std::ofstream out(launcher, std::ios::binary);
    const Bytes image = StandInImage();
    out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
  }
  package::PackageWriter writer;
  ASSERT_TRUE(writer.AddNumber("APPDATA", "ProjectType", 1));
  writer.FlipByte(0, 0);
  ASSERT_TRUE(writer.WriteExecutableFile(launcher, output)) << writer.Error();
  std::ifstream in(output, std::ios::binary);
  const Bytes written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(written, BuildOrFail(writer));

  EXPECT_FALSE(writer.WriteExecutableFile(dir + "/no_such_launcher.exe", output));
  EXPECT_FALSE(writer.Error().empty());
}

}  // namespace
