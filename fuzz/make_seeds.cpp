// Writes the fuzzer's seed corpus: small packages of every mode and stored form, written by the
// package writer, plus the damaged shapes the reader must survive. Usage: package_fuzz_seeds DIR
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "package/PackageWriter.h"

namespace {

using package::PackageWriter;

const char* const kRuntimeNames[] = {
    "Zenthra.dll",
    "channels\\Quillet.dll",
    "channels\\Dirrow.dll",
    "channels\\Lodera.dll",
    "channels\\5C18E7A2-9B4D-4E61-B3F8-0D27C6A94E15.dll",
    "channels\\A7F29D03-6E1B-4C85-92A4-E8B53D07F6C1.dll",
    "channels\\19E4B6C8-D273-4A5F-8E01-C6A9F2B47D38.dll",
    "channels\\E82C07B5-31F9-4D6A-A5C3-7B14E96F02D8.dll",
    "3rd\\msvcr71.dll",
};

std::vector<uint8_t> Bytes(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<uint8_t> Image(size_t size) {
  std::vector<uint8_t> image(size, 0);
  if (size >= 2) image[0] = 'M', image[1] = 'Z';
  return image;
}

// A complete package of the given type, with content lists naming the given files.
void AddProject(PackageWriter& w, uint32_t type, const std::vector<std::string>& files) {
  w.AddNumber("APPDATA", "ProjectType", type);
  w.AddFlag("APPDATA", "CheckDx8", 0);
  w.AddFlag("APPDATA", "RunAfterInstall", 0);
  w.AddText("APPDATA", "InstallPath", "C:\\Games\\Demo");
  w.AddText("APPDATA", "ShortCutName", "Demo");
  w.AddText("APPDATA", "ProjectName", "Demo");
  w.AddText("APPDATA", "StartupDirectory", "C:\\Games");
  w.AddFlag("APPDATA", "WinampVersion", 2);
  w.AddFlag("APPDATA", "DoQuitCgr", 1);
  w.AddFlag("APPDATA", "DoSmallPreview", 0);
  w.AddZlib("APPDATA", "OrvaneViewer.exe", Bytes("viewer"));
  for (const char* name : kRuntimeNames)
    w.AddZlib("APPDATA", name, Bytes(std::string("lib ") + name));
  w.AddBytes("APPDATA", "ORVStart.orv", Bytes("TMKFstart"));
  w.AddZlib("APPDATA", "ORVUnInst.exe", Bytes("uninstaller"));
  w.AddZlib("APPDATA", "ORVSvr.scr", Bytes("screensaver"));
  w.AddZlib("APPDATA", "WinAmp.dll", Bytes("plug-in"));
  w.AddList("CHANNELINFO", "ChannelCount", "ChannelItemNameID", {"\\channels\\Sky.dll"});
  w.AddList("CHANNELINFO", "ChannelDLLCount", "ChannelDLLItemNameID", {"\\3rd\\d3dx9_25.dll"});
  w.AddList("FILEINFO", "FileCount", "ItemNameID", files);
  w.AddBytes("APPDATA", "\\channels\\Sky.dll", Bytes("TMKFsky"));
  w.AddBytes("APPDATA", "\\3rd\\d3dx9_25.dll", Bytes("TMKFd3dx"));
  for (const std::string& name : files) w.AddBytes("APPDATA", name, Bytes("content " + name));
}

const std::vector<std::string> kFiles = {"\\data\\scene.txt", "data/sub/notes.txt"};

struct Seed {
  const char* name;
  size_t imageBytes;
  std::function<void(PackageWriter&)> fill;
};

const std::vector<Seed>& Seeds() {
  static const std::vector<Seed> seeds = {
      {"run", 16, [](PackageWriter& w) { AddProject(w, 1, kFiles); }},
      {"install", 16, [](PackageWriter& w) { AddProject(w, 2, kFiles); }},
      {"screensaver", 16, [](PackageWriter& w) { AddProject(w, 5, kFiles); }},
      {"plugin", 16, [](PackageWriter& w) { AddProject(w, 6, kFiles); }},
      {"empty", 16, [](PackageWriter&) {}},
      {"type-only", 16, [](PackageWriter& w) { w.AddNumber("APPDATA", "ProjectType", 1); }},
      {"lower-case-marker", 16,
       [](PackageWriter& w) {
         w.SetLowerCaseMarker(true);
         w.AddNumber("APPDATA", "ProjectType", 3);
       }},
      {"found-by-search", 600,
       [](PackageWriter& w) {
         AddProject(w, 1, kFiles);
         w.OverridePackageOffset(2);
       }},
      {"bytes-after-package", 16,
       [](PackageWriter& w) {
         AddProject(w, 1, kFiles);
         w.AppendAfterPackage(Bytes("trailing junk"));
       }},
      {"near-block-edge", 9960,
       [](PackageWriter& w) {
         w.AddNumber("APPDATA", "ProjectType", 1);
         w.OverridePackageOffset(0xFFFFFFFF);
       }},
      {"damaged", 16,
       [](PackageWriter& w) {
         AddProject(w, 1, kFiles);
         w.OverrideCrc(0, 0x12345678);
         w.FlipByte(11, 3);
       }},
      {"hostile-names", 16,
       [](PackageWriter& w) {
         const std::vector<std::string> names = {
             "..\\..\\evil.dll", "C:\\x",         "\\\\srv\\sh\\x", "file:ads",
             "CON.txt",          "sub\\COM1.dll", "dot.",           "a/../../b"};
         AddProject(w, 1, names);
       }},
  };
  return seeds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  for (const Seed& seed : Seeds()) {
    PackageWriter writer;
    seed.fill(writer);
    std::vector<uint8_t> file;
    if (!writer.Build(Image(seed.imageBytes), &file)) {
      std::fprintf(stderr, "%s: %s\n", seed.name, writer.Error().c_str());
      return 1;
    }
    const std::string path = std::string(argv[1]) + "/" + seed.name + ".bin";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
