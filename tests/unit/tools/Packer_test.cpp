// The packer's commands driven directly: build from manifests, verify, list, extract.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "package/PackageFormat.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "platform/fake/FakePlatform.h"
#include "tools/packer/Commands.h"
#include "tools/packer/TmkfSupport.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void WriteText(const fs::path& path, const std::string& text) {
  WriteBytes(path, Bytes(text.begin(), text.end()));
}

Bytes NoisyBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  // Half noise, half repeats: compressible like a program, but not trivially.
  for (size_t i = 0; i < size; ++i) bytes[i] = (i / 64) % 2 ? uint8_t(i) : uint8_t(random());
  return bytes;
}

void PutU32At(Bytes* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = uint8_t(value >> (8 * i));
}

// A zlib form from parts, so that each part can be wrong on its own.
Bytes ZlibForm(const Bytes& data, int64_t lengthDelta = 0, size_t cut = 0, Bytes garbage = {}) {
  uLongf packed = compressBound(uLong(data.size()));
  Bytes form(packed);
  compress2(form.data(), &packed, data.data(), uLong(data.size()), 9);
  form.resize(packed - cut);
  form.insert(form.end(), garbage.begin(), garbage.end());
  form.resize(form.size() + 4);
  PutU32At(&form, form.size() - 4, uint32_t(int64_t(data.size()) + lengthDelta));
  return form;
}

class Packer : public testing::Test {
 protected:
  void SetUp() override {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) c = c == '/' ? '_' : c;
    dir = fs::path(testing::TempDir()) / ("packer_" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    Bytes image(512, 0);
    image[0] = 'M';
    image[1] = 'Z';
    WriteBytes(dir / "stub.exe", image);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Builds output.exe from the manifest text; the command's exit code.
  int BuildFrom(const std::string& manifest, const std::string& output = "out.exe") {
    WriteText(dir / "m.json", manifest);
    packer::BuildOptions options{(dir / "m.json").string(), (dir / "stub.exe").string(),
                                 (dir / output).string(), ""};
    out.str("");
    err.str("");
    return packer::Build(options, out, err);
  }
  int Verify(const fs::path& package) {
    out.str("");
    err.str("");
    return packer::Verify(package.string(), out, err);
  }
  int Extract(const fs::path& package, const fs::path& to, bool raw = false) {
    out.str("");
    err.str("");
    return packer::Extract({package.string(), to.string(), raw}, out, err);
  }
  fs::path WritePackage(package::PackageWriter& writer, const std::string& name = "w.exe") {
    Bytes file;
    EXPECT_TRUE(writer.Build(ReadBytes(dir / "stub.exe"), &file)) << writer.Error();
    WriteBytes(dir / name, file);
    return dir / name;
  }

  fs::path dir;
  std::ostringstream out, err;
};

constexpr char kFullManifest[] = R"({
  "items": [
    {"name": "ProjectType", "number": 1},
    {"name": "CheckDx8", "flag": true},
    {"name": "InstallPath", "text": "C:\\Games\\Demo"},
    {"name": "OrvaneViewer.exe", "file": "bin/viewer.exe", "form": "zlib"},
    {"name": "ORVStart.orv", "file": "project/start.orv", "form": "raw"},
    {"name": "Blob", "hex": "00ff 10"},
    {"category": "FILEINFO", "list": "ItemNameID", "count": "FileCount",
     "names": ["\\data\\scene.txt", "data/sub/notes.txt"]},
    {"name": "\\data\\scene.txt", "file": "data/scene.txt"},
    {"name": "data/sub/notes.txt", "file": "data/sub/notes.txt", "form": "zlib"},
    {"name": "3rd\\empty.dll", "file": "data/empty.bin"}
  ]
})";

void WriteFullManifestFiles(const fs::path& dir) {
  WriteBytes(dir / "bin/viewer.exe", NoisyBytes(200000, 1));
  WriteBytes(dir / "project/start.orv", NoisyBytes(777, 2));
  WriteText(dir / "data/scene.txt", "a scene\r\n");
  WriteBytes(dir / "data/sub/notes.txt", NoisyBytes(5000, 3));
  WriteBytes(dir / "data/empty.bin", {});
}

TEST_F(Packer, BuiltPackageVerifiesReadsAndExtractsByteForByte) {
  WriteFullManifestFiles(dir);
  ASSERT_EQ(BuildFrom(kFullManifest), 0) << err.str();
  ASSERT_EQ(Verify(dir / "out.exe"), 0) << out.str();
  EXPECT_EQ(out.str(), "ok: 12 items\n");

  // The launcher's reader takes it as it is.
  fake::FakePlatform fp;
  fp.files.AddFile(fp.system.moduleFileName, ReadBytes(dir / "out.exe"));
  os::Platform platform = fp.Get();
  PackageReader reader(platform);
  uint8_t flag = 0;
  ASSERT_TRUE(reader.ReadItem("checkdx8", &flag, 1, nullptr));
  EXPECT_EQ(flag, 1);
  ASSERT_TRUE(reader.ReadItem("Blob", nullptr, 0, nullptr));
  EXPECT_EQ(Bytes(reader.Data(), reader.Data() + reader.Size()), (Bytes{0x00, 0xFF, 0x10}));

  ASSERT_EQ(Extract(dir / "out.exe", dir / "x"), 0) << err.str();
  EXPECT_EQ(ReadBytes(dir / "x/ORVANEVIEWER.EXE"), ReadBytes(dir / "bin/viewer.exe"));
  EXPECT_EQ(ReadBytes(dir / "x/ORVSTART.ORV"), ReadBytes(dir / "project/start.orv"));
  EXPECT_EQ(ReadBytes(dir / "x/DATA/SCENE.TXT"), ReadBytes(dir / "data/scene.txt"));
  EXPECT_EQ(ReadBytes(dir / "x/DATA/SUB/NOTES.TXT"), ReadBytes(dir / "data/sub/notes.txt"));
  EXPECT_TRUE(fs::is_regular_file(dir / "x/3RD/EMPTY.DLL"));
  EXPECT_EQ(fs::file_size(dir / "x/3RD/EMPTY.DLL"), 0u);
  // Settings and lists stay in the package.
  EXPECT_FALSE(fs::exists(dir / "x/PROJECTTYPE"));
  EXPECT_FALSE(fs::exists(dir / "x/BLOB"));

  // --raw keeps the stored zlib form, which the reader's block holds too.
  ASSERT_EQ(Extract(dir / "out.exe", dir / "raw", true), 0) << err.str();
  ASSERT_TRUE(reader.ReadItem("OrvaneViewer.exe", nullptr, 0, nullptr));
  EXPECT_EQ(ReadBytes(dir / "raw/ORVANEVIEWER.EXE"),
            Bytes(reader.Data(), reader.Data() + reader.Size()));
}

TEST_F(Packer, VerifyCatchesAFlippedByteInAnyItem) {
  package::PackageWriter base;
  ASSERT_TRUE(base.AddNumber("APPDATA", "ProjectType", 1));
  ASSERT_TRUE(base.AddFlag("APPDATA", "CheckDx8", 0));
  ASSERT_TRUE(base.AddText("APPDATA", "InstallPath", "C:\\Games\\Demo"));
  ASSERT_TRUE(base.AddZlib("APPDATA", "OrvaneViewer.exe", NoisyBytes(3000, 4)));
  ASSERT_TRUE(base.AddBytes("APPDATA", "ORVStart.orv", NoisyBytes(300, 5)));
  ASSERT_TRUE(base.AddList("FILEINFO", "FileCount", "ItemNameID", {"\\a.txt", "\\b.txt"}));
  ASSERT_EQ(Verify(WritePackage(base)), 0) << out.str();

  for (size_t item = 0; item < base.Count(); ++item) {
    const uint32_t size = uint32_t(base.Item(item).bytes.size());
    for (uint32_t byte : {0u, size / 2, size - 1}) {
      package::PackageWriter damaged = base;
      ASSERT_TRUE(damaged.FlipByte(item, byte));
      EXPECT_EQ(Verify(WritePackage(damaged)), 1) << "item " << item << " byte " << byte;
      EXPECT_NE(out.str().find("item " + std::to_string(item) + " " + base.Item(item).category +
                               "/" + base.Item(item).name + ": crc mismatch"),
                std::string::npos)
          << out.str();
    }
  }
}

// A zlib form with a right CRC but a wrong inside: only inflating it shows the fault.
struct ZlibCase {
  const char* label;
  int64_t lengthDelta;
  size_t cut;
  Bytes garbage;
  const char* expected;
};

class PackerZlibForm : public Packer, public testing::WithParamInterface<ZlibCase> {};

TEST_P(PackerZlibForm, VerifyAndExtractRejectIt) {
  const ZlibCase& c = GetParam();
  const Bytes data = NoisyBytes(4000, 6);
  package::PackageWriter writer;
  ASSERT_TRUE(
      writer.AddBytes("APPDATA", "Runtime.dll", ZlibForm(data, c.lengthDelta, c.cut, c.garbage)));
  // The same bytes outside "APPDATA" are not file items and are left alone.
  ASSERT_TRUE(
      writer.AddBytes("FILEINFO", "Other", ZlibForm(data, c.lengthDelta, c.cut, c.garbage)));
  const fs::path package = WritePackage(writer);
  ASSERT_EQ(Verify(package), 1);
  EXPECT_EQ(out.str(), "item 0 APPDATA/RUNTIME.DLL: zlib form: " + std::string(c.expected) + "\n");
  EXPECT_EQ(Extract(package, dir / "x"), 1);
  EXPECT_FALSE(fs::exists(dir / "x/RUNTIME.DLL"));
  EXPECT_EQ(Extract(package, dir / "raw", true), 0);
  EXPECT_TRUE(fs::exists(dir / "raw/RUNTIME.DLL"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackerZlibForm,
    testing::Values(
        ZlibCase{
            "LengthOneShort", -1, 0, {}, "length field says 3999 bytes, the stream gives more"},
        ZlibCase{"LengthOneLong", 1, 0, {}, "length field says 4001 bytes, the stream gives 4000"},
        ZlibCase{"CutShort", 0, 5, {}, "zlib stream is cut short"},
        ZlibCase{"GarbageAfterStream",
                 0,
                 0,
                 {1, 2, 3},
                 "3 bytes between the stream's end and its length field"}),
    [](const testing::TestParamInfo<ZlibCase>& info) { return info.param.label; });

TEST_F(Packer, VerifyReportsLayoutFaults) {
  package::PackageWriter writer;
  ASSERT_TRUE(writer.AddNumber("APPDATA", "ProjectType", 1));
  ASSERT_TRUE(writer.AddText("APPDATA", "ProjectName", "Demo"));

  package::PackageWriter appended = writer;
  appended.AppendAfterPackage(Bytes{1, 2, 3, 4, 5});
  EXPECT_EQ(Verify(WritePackage(appended)), 1);
  EXPECT_NE(out.str().find("only the marker search finds it at 512"), std::string::npos)
      << out.str();

  package::PackageWriter lost = writer;
  lost.OverridePackageOffset(7);
  lost.SetLowerCaseMarker(true);
  EXPECT_EQ(Verify(WritePackage(lost)), 1);
  EXPECT_NE(out.str().find("marker search finds none"), std::string::npos) << out.str();

  // Hand-made faults in the index: a wrong HL, a size running past the file, a cut index.
  Bytes file;
  ASSERT_TRUE(writer.Build(ReadBytes(dir / "stub.exe"), &file));
  const size_t hlAt = 512 + writer.HeaderLength() - 4;
  Bytes badHl = file;
  PutU32At(&badHl, hlAt, writer.HeaderLength() + 1);
  WriteBytes(dir / "hl.exe", badHl);
  EXPECT_EQ(Verify(dir / "hl.exe"), 1);
  EXPECT_NE(out.str().find("header length is stored as"), std::string::npos) << out.str();

  Bytes badSize = file;
  PutU32At(&badSize, hlAt - 8, 1000);  // the last entry's size
  WriteBytes(dir / "size.exe", badSize);
  EXPECT_EQ(Verify(dir / "size.exe"), 1);
  EXPECT_NE(out.str().find("item 1 APPDATA/PROJECTNAME: runs past the end of the file"),
            std::string::npos)
      << out.str();

  Bytes gap = file;
  gap.insert(gap.end() - 4, {9, 9, 9});
  WriteBytes(dir / "gap.exe", gap);
  EXPECT_EQ(Verify(dir / "gap.exe"), 1);
  EXPECT_NE(out.str().find("items end at"), std::string::npos) << out.str();

  Bytes badCount = file;
  PutU32At(&badCount, 512 + package::kMarkerLength, 1000);
  WriteBytes(dir / "count.exe", badCount);
  EXPECT_EQ(Verify(dir / "count.exe"), 1);
  EXPECT_NE(out.str().find("index: entry 2:"), std::string::npos) << out.str();
}

TEST_F(Packer, VerifyAcceptsTheReferencePackagesWithWarnings) {
  const fs::path fixtures = ORV_REFERENCE_FIXTURES;
  EXPECT_EQ(Verify(fixtures / "run-small.bin"), 0);
  EXPECT_EQ(out.str(), "ok: 11 items\n");
  EXPECT_EQ(Verify(fixtures / "type3-lowercase-marker.bin"), 0);
  EXPECT_NE(out.str().find("warning: the marker at 512 is not in upper case"), std::string::npos);
  EXPECT_EQ(Verify(fixtures / "duplicates.bin"), 0);
  EXPECT_NE(out.str().find("warning: item 2 APPDATA/PROJECTTYPE repeats"), std::string::npos);
}

TEST_F(Packer, ListShowsEveryEntryWithItsForm) {
  const fs::path fixture = fs::path(ORV_REFERENCE_FIXTURES) / "run-small.bin";
  ASSERT_EQ(packer::List(fixture.string(), out, err), 0) << err.str();
  const std::string text = out.str();
  EXPECT_NE(text.find("package offset 512, found through the trailing offset"), std::string::npos);
  EXPECT_NE(text.find("header length 469"), std::string::npos);
  for (const char* expected : {"0  APPDATA      PROJECTTYPE", "99F8B879  number  1",
                               "D202EF8D  flag    0", "text    \"C:\\Games\\Demo\"",
                               "ORVANEVIEWER.EXE                         32  62E8156D  zlib",
                               "DATA/SUB/NOTES.TXT                        0  00000000  raw"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }
}

TEST_F(Packer, ManifestDamageAndOverridesReachTheFile) {
  ASSERT_EQ(BuildFrom(R"({"items": [
      {"name": "ProjectType", "number": 1, "crc": "0x0BADF00D"},
      {"name": "ProjectName", "text": "Demo", "flip_byte": 2},
      {"category": "channelinfo", "name": "ChannelCount", "number": 0}],
    "damage": {"append_hex": "deadbeef"}})"),
            0)
      << err.str();
  ASSERT_EQ(Verify(dir / "out.exe"), 1) << err.str();
  const std::string text = out.str();
  EXPECT_NE(text.find("only the marker search finds it"), std::string::npos);
  EXPECT_NE(text.find("item 0 APPDATA/PROJECTTYPE: crc mismatch (stored 0BADF00D"),
            std::string::npos);
  EXPECT_NE(text.find("item 1 APPDATA/PROJECTNAME: crc mismatch"), std::string::npos);
  EXPECT_EQ(text.find("item 2"), std::string::npos) << text;
  const Bytes file = ReadBytes(dir / "out.exe");
  EXPECT_EQ(Bytes(file.end() - 4, file.end()), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));

  ASSERT_EQ(BuildFrom(R"({"items": [{"name": "ProjectType", "number": 3}],
    "damage": {"lower_case_marker": true, "package_offset": 512}})"),
            0)
      << err.str();
  ASSERT_EQ(Verify(dir / "out.exe"), 0) << out.str();
  EXPECT_NE(out.str().find("warning: the marker at 512 is not in upper case"), std::string::npos);
  EXPECT_EQ(ReadBytes(dir / "out.exe"),
            ReadBytes(fs::path(ORV_REFERENCE_FIXTURES) / "type3-lowercase-marker.bin"));
}

struct ManifestError {
  const char* label;
  std::string manifest;
  const char* expected;  // part of the error message
};

class PackerManifestError : public Packer, public testing::WithParamInterface<ManifestError> {};

TEST_P(PackerManifestError, BuildFailsAndSaysWhy) {
  WriteText(dir / "present.bin", "x");
  EXPECT_EQ(BuildFrom(GetParam().manifest), 1);
  EXPECT_NE(err.str().find(GetParam().expected), std::string::npos) << err.str();
  EXPECT_FALSE(fs::exists(dir / "out.exe"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackerManifestError,
    testing::Values(
        ManifestError{"NotJson", "{\"items\": [", "parse error"},
        ManifestError{"NoItems", "{}", "needs an \"items\" array"},
        ManifestError{"UnknownTopKey", R"({"items": [], "itmes": []})", "unknown key \"itmes\""},
        ManifestError{"UnknownItemKey", R"({"items": [{"name": "A", "numbr": 1, "flag": 0}]})",
                      "item 0 (A): unknown key \"numbr\""},
        ManifestError{"TwoContents", R"({"items": [{"name": "A", "number": 1, "text": "x"}]})",
                      "needs exactly one of"},
        ManifestError{"NoContent", R"({"items": [{"name": "A"}]})", "needs exactly one of"},
        ManifestError{"NoName", R"({"items": [{"number": 1}]})", "needs \"name\""},
        ManifestError{"NegativeNumber", R"({"items": [{"name": "A", "number": -1}]})",
                      "\"number\" must be"},
        ManifestError{"NumberTooLarge", R"({"items": [{"name": "A", "number": 4294967296}]})",
                      "\"number\" must be"},
        ManifestError{"FlagTooLarge", R"({"items": [{"name": "A", "flag": 256}]})",
                      "\"flag\" must be"},
        ManifestError{"OddHex", R"({"items": [{"name": "A", "hex": "abc"}]})", "\"hex\" must be"},
        ManifestError{"BadForm",
                      R"({"items": [{"name": "A", "file": "present.bin", "form": "lzma"}]})",
                      "\"form\" must be"},
        ManifestError{"FormWithoutFile",
                      R"({"items": [{"name": "A", "text": "x", "form": "zlib"}]})",
                      "\"form\" goes with \"file\""},
        ManifestError{"MissingFile", R"({"items": [{"name": "A", "file": "absent.bin"}]})",
                      "cannot read"},
        ManifestError{"FlipOutside", R"({"items": [{"name": "A", "number": 1, "flip_byte": 4}]})",
                      "has no byte 4"},
        ManifestError{
            "ListWithCrc",
            R"({"items": [{"list": "ItemNameID", "count": "FileCount", "names": [], "crc": 1}]})",
            "unknown key \"crc\""},
        ManifestError{"ListNamesNotStrings",
                      R"({"items": [{"list": "ItemNameID", "count": "FileCount", "names": [1]}]})",
                      "\"names\" must be an array of strings"},
        ManifestError{"NameTooLong",
                      R"({"items": [{"name": ")" + std::string(260, 'A') + R"(", "number": 1}]})",
                      "longer than 259 characters"},
        ManifestError{"UnknownDamageKey", R"({"items": [], "damage": {"offset": 1}})",
                      "damage: unknown key \"offset\""}),
    [](const testing::TestParamInfo<ManifestError>& info) { return info.param.label; });

TEST_F(Packer, TmkfFormIsEncodedOrClearlyRefused) {
  WriteText(dir / "start.orv", "project start file");
  const int result =
      BuildFrom(R"({"items": [{"name": "ORVStart.orv", "file": "start.orv", "form": "tmkf"}]})");
  if (!packer::TmkfAvailable()) {
    EXPECT_EQ(result, 1);
    EXPECT_NE(err.str().find("not supported yet"), std::string::npos) << err.str();
    return;
  }
  ASSERT_EQ(result, 0) << err.str();
  ASSERT_EQ(Verify(dir / "out.exe"), 0) << out.str();
  ASSERT_EQ(Extract(dir / "out.exe", dir / "x"), 0) << err.str();
  EXPECT_EQ(ReadBytes(dir / "x/ORVSTART.ORV"), ReadBytes(dir / "start.orv"));
  const Bytes file = ReadBytes(dir / "out.exe");
  EXPECT_NE(std::string(file.begin(), file.end()).find("TMKF"), std::string::npos);

  // A container whose announced size lies, stored with a CRC-32 that matches the lie.
  Bytes container;
  std::string why;
  ASSERT_TRUE(packer::TmkfEncode(ReadBytes(dir / "start.orv"), &container, &why)) << why;
  container[8] ^= 1;
  package::PackageWriter writer;
  ASSERT_TRUE(writer.AddBytes("APPDATA", "ORVStart.orv", container));
  const fs::path damaged = WritePackage(writer);
  EXPECT_EQ(Verify(damaged), 1);
  EXPECT_NE(out.str().find("item 0 APPDATA/ORVSTART.ORV: tmkf container: damaged"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(Extract(damaged, dir / "bad"), 1);
  EXPECT_FALSE(fs::exists(dir / "bad/ORVSTART.ORV"));
}

TEST_F(Packer, BuildRefusesToOverwriteItsLauncher) {
  WriteText(dir / "m.json", R"({"items": []})");
  const Bytes before = ReadBytes(dir / "stub.exe");
  EXPECT_EQ(packer::Build({(dir / "m.json").string(), (dir / "stub.exe").string(),
                           (dir / "stub.exe").string(), ""},
                          out, err),
            1);
  EXPECT_EQ(ReadBytes(dir / "stub.exe"), before);
}

TEST_F(Packer, BaseDirReplacesTheManifestFolder) {
  WriteText(dir / "elsewhere/data.txt", "from base dir");
  WriteText(dir / "m.json", R"({"items": [{"name": "data.txt", "file": "data.txt"}]})");
  ASSERT_EQ(packer::Build({(dir / "m.json").string(), (dir / "stub.exe").string(),
                           (dir / "out.exe").string(), (dir / "elsewhere").string()},
                          out, err),
            0)
      << err.str();
  ASSERT_EQ(Extract(dir / "out.exe", dir / "x"), 0);
  EXPECT_EQ(ReadBytes(dir / "x/DATA.TXT"), ReadBytes(dir / "elsewhere/data.txt"));
}

TEST(PackerItemPath, KeepsNamesInsideTheOutputFolder) {
  struct Case {
    const char* name;
    const char* path;  // generic form; null when refused
  };
  for (const Case& c : std::vector<Case>{{"DATA\\SCENE.TXT", "DATA/SCENE.TXT"},
                                         {"\\data\\scene.txt", "data/scene.txt"},
                                         {"/data/scene.txt", "data/scene.txt"},
                                         {"a//b\\.\\c.txt", "a/b/c.txt"},
                                         {"ORVStart.orv", "ORVStart.orv"},
                                         {"..\\evil.txt", nullptr},
                                         {"a/../../evil.txt", nullptr},
                                         {"a\\..", nullptr},
                                         {"C:\\evil.txt", nullptr},
                                         {"C:evil.txt", nullptr},
                                         {"file.txt:stream", nullptr},
                                         {"\\\\server\\share\\evil.txt", nullptr},
                                         {"//server/share/evil.txt", nullptr},
                                         {"dir\\", nullptr},
                                         {"\\", nullptr},
                                         {"a\\...\\b.txt", nullptr},
                                         {"a\\name.\\b.txt", nullptr},
                                         {"aux.txt", nullptr},
                                         {"dir\\COM1", nullptr},
                                         {"tab\there.txt", nullptr}}) {
    fs::path path;
    std::string why;
    const bool ok = packer::ItemRelativePath(c.name, &path, &why);
    EXPECT_EQ(ok, c.path != nullptr) << c.name << ": " << why;
    if (ok && c.path != nullptr) {
      EXPECT_EQ(path.generic_string(), c.path) << c.name;
    }
  }
}

TEST_F(Packer, ExtractSkipsEscapingAndRepeatedNamesButWritesTheRest) {
  package::PackageWriter writer;
  ASSERT_TRUE(writer.AddBytes("APPDATA", "..\\evil.txt", Bytes{1}));
  ASSERT_TRUE(writer.AddBytes("APPDATA", "C:\\evil.txt", Bytes{2}));
  ASSERT_TRUE(writer.AddBytes("APPDATA", "data\\good.txt", Bytes{3}));
  ASSERT_TRUE(writer.AddBytes("APPDATA", "DATA/GOOD.TXT", Bytes{4}));
  ASSERT_TRUE(writer.AddBytes("APPDATA", "bad.crc", Bytes{5}));
  writer.OverrideCrc(4, 0);
  const fs::path package = WritePackage(writer);
  EXPECT_EQ(Extract(package, dir / "x" / "y"), 1);
  EXPECT_NE(err.str().find("item 0 APPDATA/..\\EVIL.TXT: climbs out"), std::string::npos)
      << err.str();
  EXPECT_NE(err.str().find("item 3 APPDATA/DATA/GOOD.TXT: repeats"), std::string::npos);
  EXPECT_NE(err.str().find("item 4 APPDATA/BAD.CRC: crc mismatch"), std::string::npos);
  EXPECT_EQ(ReadBytes(dir / "x/y/DATA/GOOD.TXT"), Bytes{3});
  EXPECT_FALSE(fs::exists(dir / "x/EVIL.TXT"));
  EXPECT_FALSE(fs::exists(dir / "x/y/BAD.CRC"));
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir / "x")) {
    files += entry.is_regular_file() ? 1 : 0;
  }
  EXPECT_EQ(files, 1u);
}

}  // namespace
