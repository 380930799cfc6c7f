// Extraction of single items through the deployment job on the fake platform: inflating a
// zlib-form library, and writing a small content file as stored.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench/micro/Packages.h"
#include "deploy/DeployJob.h"
#include "package/PackageWriter.h"

namespace bench {
namespace {

constexpr char kWorkDir[] = "C:\\Temp\\Orvane0";

std::vector<uint8_t> LibraryFile(size_t librarySize) {
  package::PackageWriter writer;
  writer.AddNumber("APPDATA", "ProjectType", 1);
  writer.AddZlib("APPDATA", "Zenthra.dll", BinaryPayload(librarySize));
  writer.AddBytes("APPDATA", "\\data\\scene.txt", BinaryPayload(3000));
  std::vector<uint8_t> out;
  writer.Build(std::vector<uint8_t>(4096, 0), &out);
  return out;
}

struct Job {
  explicit Job(const std::vector<uint8_t>& file) {
    InstallAsProgram(fake, file);
    fake.files.AddDir(kWorkDir);
    job = std::make_unique<DeployJob>(platform);
    std::strcpy(job->workDir, kWorkDir);
  }
  fake::FakePlatform fake;
  os::Platform platform = fake.Get();
  std::unique_ptr<DeployJob> job;
};

// Read, CRC-32, inflate at the trailer's size, write: what the launcher does for each runtime
// library before the engine is up.
void BM_InflateLibraryItem(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  Job run(LibraryFile(size));
  for (auto _ : state) {
    if (!run.job->ExtractItem("Zenthra.dll", true)) {
      state.SkipWithError("extraction failed");
      return;
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
}
BENCHMARK(BM_InflateLibraryItem)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMillisecond);

void BM_ExtractStoredContentFile(benchmark::State& state) {
  Job run(LibraryFile(1 << 16));
  for (auto _ : state) {
    if (!run.job->ExtractItem("\\data\\scene.txt", false)) {
      state.SkipWithError("extraction failed");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExtractStoredContentFile);

}  // namespace
}  // namespace bench
