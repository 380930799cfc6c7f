// Fuzz target: the input is the program's own file. It goes through what a launcher does with a
// package it did not write: finding it, reading the index, a lookup of every entry with and
// without a buffer (CRC-32 checks), extraction of every entry into the fake file system (zlib
// streams decoded, the rest written as stored), then run mode's engine start and the extraction
// of its channel and content lists. Whole runs through LauncherApp are left to the host tests:
// they cost a second and third index read per input for no code the steps here miss.
//
// Beyond the sanitizers, one invariant is checked: extraction writes nothing outside the work
// folder, whatever names the package holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "deploy/DeployJob.h"
#include "deploy/EngineInterface.h"
#include "package/PackageEntry.h"
#include "package/PackageReader.h"
#include "platform/fake/FakePlatform.h"
#include "tests/unit/support/StubEngine.h"

namespace {

// Bounds the work per input: an index of thousands of tiny entries would otherwise make a few
// inputs dominate the campaign's time without reaching anything new.
constexpr int32_t kMaxEntriesVisited = 64;

const PackageEntry& EntryAt(const PackageReader& reader, int32_t i) {
  return *static_cast<const PackageEntry*>(reader.Entries().Get(i));
}

// Touches the first and last byte of a block the reader handed out, so that ASan sees a block
// shorter than Size() claims.
void Touch(const uint8_t* data, uint32_t size) {
  if (size == 0) return;
  volatile uint8_t sink = data[0];
  sink = data[size - 1];
  (void)sink;
}

void LookUpEveryEntry(PackageReader& reader) {
  uint8_t buffer[400];
  for (int32_t i = 0; i < reader.Entries().Count() && i < kMaxEntriesVisited; ++i) {
    const PackageEntry& entry = EntryAt(reader, i);
    reader.ReadItem(entry.name, buffer, sizeof(buffer), entry.category);
    reader.ReadItem(entry.name, buffer, 4, entry.category);
    if (reader.ReadItem(entry.name, nullptr, 0, entry.category)) {
      Touch(reader.Data(), reader.Size());
    }
  }
  uint32_t value = 0;
  reader.ReadItem("ProjectType", &value, sizeof(value), nullptr);
}

std::string Folded(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// A zlib stream's first byte names method 8 (deflate) in its low four bits.
bool LooksLikeZlib(PackageReader& reader, const PackageEntry& entry) {
  return entry.size > 0 && reader.ReadItem(entry.name, nullptr, 0, entry.category) &&
         (reader.Data()[0] & 0x0F) == 8;
}

void ExtractEveryEntry(fake::FakePlatform& fp, DeployJob& job) {
  if (!job.MakeWorkDir()) return;
  const std::vector<std::string> before = fp.files.AllPaths();
  const std::string inside = Folded(std::string(job.workDir) + "\\");

  PackageReader& reader = *job.reader;
  for (int32_t i = 0; i < reader.Entries().Count() && i < kMaxEntriesVisited; ++i) {
    const PackageEntry& entry = EntryAt(reader, i);
    job.ExtractItem(entry.name, LooksLikeZlib(reader, entry));
  }
  if (job.StartEngine() && job.channelFactory != nullptr) {
    job.fileLoader = static_cast<FileLoaderChannel*>(
        job.channelFactory->CreateChannel(kFileLoaderClassId, 0, 0));
    if (job.fileLoader != nullptr && job.ExtractChannels()) job.ExtractContentFiles();
  }

  for (const std::string& path : fp.files.AllPaths()) {
    if (Folded(path).rfind(inside, 0) == 0) continue;
    bool existed = false;
    for (const std::string& old : before) existed = existed || old == path;
    if (!existed) std::abort();  // a package item escaped the work folder
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fake::FakePlatform fp;
  os::Platform platform = fp.Get();
  fp.files.AddDir(fp.system.tempPath);
  fp.files.AddFile(fp.system.moduleFileName, std::vector<uint8_t>(data, data + size));
  stub::Install(fp);

  DeployJob job(platform);
  if (job.reader == nullptr) return 0;
  LookUpEveryEntry(*job.reader);
  ExtractEveryEntry(fp, job);
  return 0;
}
