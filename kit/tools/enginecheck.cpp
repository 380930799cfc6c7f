// enginecheck: loads the built kit DLLs and drives the engine through its export, as the
// launcher does. Usage: enginecheck <folder holding Zenthra.dll and the channel stand-ins>.
// Prints OK and exits with 0 when everything answered as it should.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "deploy/EngineInterface.h"
#include "kit/engine/ChunkFile.h"
#include "kit/engine/TmkfContainer.h"
#include "platform/win32/Win32Platform.h"

namespace {

int gFailures = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::printf("FAILED: %s\n", what);
    ++gFailures;
  }
}

class Library {
 public:
  explicit Library(const std::string& path) : _module(LoadLibraryA(path.c_str())) {}
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  ~Library() {
    if (_module) FreeLibrary(_module);
  }
  HMODULE Get() const { return _module; }
  template <typename Fn>
  Fn Symbol(const char* name) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(_module, name)));
  }

 private:
  HMODULE _module;
};

void CheckChannels(const std::string& folder) {
  const char* names[] = {"Quillet",
                         "Dirrow",
                         "Lodera",
                         "5C18E7A2-9B4D-4E61-B3F8-0D27C6A94E15",
                         "A7F29D03-6E1B-4C85-92A4-E8B53D07F6C1",
                         "19E4B6C8-D273-4A5F-8E01-C6A9F2B47D38",
                         "E82C07B5-31F9-4D6A-A5C3-7B14E96F02D8",
                         "msvcr71"};
  for (const char* name : names) {
    Library library(folder + "\\" + name + ".dll");
    if (!library.Get()) {
      std::printf("FAILED: %s.dll does not load\n", name);
      ++gFailures;
      continue;
    }
    auto info = library.Symbol<const char*(__cdecl*)()>("ChannelInfo");
    if (info == nullptr || std::strcmp(info(), name) != 0) {
      std::printf("FAILED: %s.dll does not name itself through ChannelInfo\n", name);
      ++gFailures;
    }
  }
}

void CheckLoader(ChannelFactory* factory) {
  auto* loader = static_cast<FileLoaderChannel*>(factory->CreateChannel(kFileLoaderClassId, 0, 0));
  Check(loader != nullptr, "file loader created");
  if (!loader) return;
  const std::string text(5000, 'k');
  const std::vector<uint8_t> container =
      tmkf::Encode({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  loader->SetSource(container.data(), static_cast<uint32_t>(container.size()), 1);
  Check(loader->HasTag("TMKF", 0) == 1, "HasTag TMKF");
  factory->containerDecoder->DecodeContainer(loader);
  const uint32_t size = loader->OutputSize();
  Check(size == text.size() && std::memcmp(loader->OutputData(), text.data(), size) == 0,
        "decoded bytes");
  std::vector<uint8_t> damaged = container;
  damaged.back() ^= 0x55;
  loader->SetSource(damaged.data(), static_cast<uint32_t>(damaged.size()), 1);
  factory->containerDecoder->DecodeContainer(loader);
  Check(loader->OutputSize() == 0, "damaged container gives nothing");
  loader->Release(1);
}

// Writes a record into the temporary folder, reads it back and lists that folder.
void CheckSaverAndLister(ChannelFactory* factory) {
  char temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof temp, temp);
  Check(length > 0 && length < sizeof temp, "temporary folder");
  std::string folder(temp, length);
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  const std::string path = folder + "\\enginecheck.nfo";
  auto* saver = static_cast<FileSaverChannel*>(factory->CreateChannel(kFileSaverClassId, 0, 0));
  Check(saver != nullptr, "file saver created");
  if (!saver) return;
  Check(saver->Open(path.c_str(), 0) == 1, "saver opens");
  const int32_t count = 1;
  char field[260] = {};
  std::strncpy(field, "C:\\target\\file.txt", 259);
  saver->BeginChunk("UNFC");
  saver->WriteChunkSize(4);
  saver->WriteData(&count, 4);
  saver->BeginChunk("UNFN");
  saver->WriteChunkSize(259);
  saver->WriteData(field, 259);
  saver->BeginChunk("UNSK");
  saver->Close();
  saver->Release(1);

  win32::Win32Files files;
  std::vector<chunkfile::Chunk> chunks;
  Check(chunkfile::Read(files, path, &chunks), "record reads back");
  Check(chunks.size() == 3 && chunks[1].Text() == field && !chunks[2].sized, "record chunks");

  auto* lister =
      static_cast<DirectoryListChannel*>(factory->CreateChannel(kDirectoryListerClassId, 0, 0));
  Check(lister != nullptr, "directory lister created");
  if (lister) {
    lister->SetFilter("*.*");
    lister->Scan((folder + "\\*.*").c_str());
    bool sawRecord = false, sawDot = false;
    for (int32_t i = 0; i < lister->NumFiles(); ++i) {
      sawRecord |= lstrcmpiA(lister->FileAt(i), "enginecheck.nfo") == 0;
    }
    for (int32_t i = 0; i < lister->NumFolders(); ++i) {
      sawDot |= std::strcmp(lister->FolderAt(i), "..") == 0;
    }
    Check(sawRecord && sawDot, "lister finds the record and \"..\"");
    lister->Release(1);
  }
  DeleteFileA(path.c_str());
}

void CheckEngine(const std::string& folder) {
  Library library(folder + "\\Zenthra.dll");
  Check(library.Get() != nullptr, "Zenthra.dll loads");
  if (!library.Get()) return;
  auto get = library.Symbol<GetEngineControlInstanceFn>(kGetEngineControlInstanceName);
  Check(get != nullptr, "GetEngineControlInstance exported");
  if (!get) return;
  EngineControl* control = get();
  Check(control != nullptr, "control");
  if (!control) return;
  control->SetWorkDir(folder.c_str());
  Check(control->Initialize(GetModuleHandleA(nullptr), "OrvaneExe Window", nullptr) == 1,
        "Initialize");
  ChannelFactory* factory = control->GetChannelFactory();
  Check(factory != nullptr && factory->containerDecoder != nullptr, "factory and decoder");
  if (factory) {
    const Guid unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    Check(factory->CreateChannel(unknown, 0, 0) == nullptr, "unknown class id refused");
    CheckLoader(factory);
    CheckSaverAndLister(factory);
  }
  control->Release(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: enginecheck <kit bin folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  CheckChannels(folder);
  // The launcher loads the engine a second time for its clean-up; both loads must work.
  CheckEngine(folder);
  CheckEngine(folder);
  if (gFailures > 0) return 1;
  std::printf("OK\n");
  return 0;
}
