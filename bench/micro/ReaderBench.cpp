// The reader: opening a 10,000-entry package, looking items up, and the CRC-32 it checks.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>

#include "bench/micro/Packages.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"

namespace bench {

std::string ContentName(int index) {
  char name[64];
  std::snprintf(name, sizeof(name), "\\data\\d%02d\\f%05d.txt", index % 50, index);
  return name;
}

const std::vector<uint8_t>& TenThousandEntryFile() {
  static const std::vector<uint8_t> file = [] {
    constexpr int kFiles = 10000;
    package::PackageWriter writer;
    writer.AddNumber("APPDATA", "ProjectType", 1);
    writer.AddFlag("APPDATA", "CheckDx8", 0);
    std::vector<std::string> names;
    for (int i = 0; i < kFiles; ++i) names.push_back(ContentName(i));
    writer.AddList("FILEINFO", "FileCount", "ItemNameID", names);
    for (int i = 0; i < kFiles; ++i) {
      std::vector<uint8_t> body(200 + i % 300, static_cast<uint8_t>('a' + i % 26));
      writer.AddBytes("APPDATA", names[i], body);
    }
    std::vector<uint8_t> out;
    const std::vector<uint8_t> image(4096, 0);
    writer.Build(image, &out);
    return out;
  }();
  return file;
}

std::vector<uint8_t> BinaryPayload(size_t size) {
  std::ifstream in("/proc/self/exe", std::ios::binary);
  const std::vector<uint8_t> code((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  std::vector<uint8_t> out;
  out.reserve(size);
  while (out.size() < size && !code.empty()) {
    out.insert(out.end(), code.begin(),
               code.begin() + static_cast<long>(std::min(code.size(), size - out.size())));
  }
  return out;
}

void InstallAsProgram(fake::FakePlatform& fake, const std::vector<uint8_t>& file) {
  fake.files.AddFile(fake.system.moduleFileName, file);
}

namespace {

// Opening: the index read and parsed, the lookup built.
void BM_OpenTenThousandEntries(benchmark::State& state) {
  fake::FakePlatform fake;
  InstallAsProgram(fake, TenThousandEntryFile());
  os::Platform platform = fake.Get();
  for (auto _ : state) {
    PackageReader reader(platform);
    benchmark::DoNotOptimize(reader.Entries().Count());
  }
  state.counters["entries"] = 20003;
}
BENCHMARK(BM_OpenTenThousandEntries)->Unit(benchmark::kMillisecond);

// 10,000 lookups of the list names, each read into the caller's buffer as the launcher does.
void BM_TenThousandListReads(benchmark::State& state) {
  fake::FakePlatform fake;
  InstallAsProgram(fake, TenThousandEntryFile());
  os::Platform platform = fake.Get();
  PackageReader reader(platform);
  std::vector<std::string> keys;
  for (int i = 0; i < 10000; ++i) keys.push_back("ItemNameID" + std::to_string(i));
  char name[400];
  for (auto _ : state) {
    for (const std::string& key : keys) {
      benchmark::DoNotOptimize(reader.ReadItem(key.c_str(), name, sizeof(name) - 1, "FILEINFO"));
    }
  }
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_TenThousandListReads)->Unit(benchmark::kMillisecond);

// The same names looked up in the APPDATA items, whole items into the reader's block.
void BM_TenThousandItemReads(benchmark::State& state) {
  fake::FakePlatform fake;
  InstallAsProgram(fake, TenThousandEntryFile());
  os::Platform platform = fake.Get();
  PackageReader reader(platform);
  std::vector<std::string> keys;
  for (int i = 0; i < 10000; ++i) keys.push_back(ContentName(i));
  for (auto _ : state) {
    for (const std::string& key : keys) {
      benchmark::DoNotOptimize(reader.ReadItem(key.c_str(), nullptr, 0, nullptr));
    }
  }
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_TenThousandItemReads)->Unit(benchmark::kMillisecond);

// The reference: one table step per byte.
uint32_t BytewiseCrc(const uint32_t* table, const uint8_t* p, size_t n) {
  uint32_t c = ~0u;
  while (n-- > 0) c = table[(c ^ *p++) & 0xFF] ^ (c >> 8);
  return ~c;
}

void BM_Crc32Sliced(benchmark::State& state) {
  const std::vector<uint8_t> data = BinaryPayload(static_cast<size_t>(state.range(0)));
  Crc32 crc;
  crc.BuildTable();
  for (auto _ : state) benchmark::DoNotOptimize(crc.Compute(data.data(), data.size()));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.size()));
}
BENCHMARK(BM_Crc32Sliced)->Arg(4096)->Arg(4 << 20);

void BM_Crc32Bytewise(benchmark::State& state) {
  const std::vector<uint8_t> data = BinaryPayload(static_cast<size_t>(state.range(0)));
  Crc32 crc;
  crc.BuildTable();
  if (BytewiseCrc(crc.table, data.data(), data.size()) != crc.Compute(data.data(), data.size())) {
    state.SkipWithError("sliced and byte-wise CRC-32 differ");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(BytewiseCrc(crc.table, data.data(), data.size()));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.size()));
}
BENCHMARK(BM_Crc32Bytewise)->Arg(4096)->Arg(4 << 20);

}  // namespace
}  // namespace bench
