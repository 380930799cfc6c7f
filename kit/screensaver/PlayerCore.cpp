// Finding and reading an installation from one of its player programs.
#include "kit/screensaver/PlayerCore.h"

#include <cstdlib>

#include "deploy/EngineInterface.h"

namespace player {

namespace {

// The installer writes the folder in a 260-byte buffer.
constexpr uint32_t kMaxFolderBytes = 260;
// Start projects are small text containers.
constexpr uint64_t kMaxProjectBytes = 1u << 20;

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

const chunkfile::Chunk* Find(const std::vector<chunkfile::Chunk>& chunks, const char* tag) {
  for (const chunkfile::Chunk& c : chunks) {
    if (c.tag == std::string(tag, chunkfile::kTagSize)) return &c;
  }
  return nullptr;
}

int OptionByte(const chunkfile::Chunk* chunk, bool* ok) {
  if (chunk == nullptr) return -1;
  if (!chunk->sized || chunk->data.size() != 1) *ok = false;
  return chunk->data.empty() ? -1 : chunk->data[0];
}

bool ReadAll(os::Files& files, const std::string& path, std::vector<uint8_t>* bytes) {
  auto file = files.OpenRead(path);
  uint64_t size = 0;
  if (file == nullptr || !file->Size(&size) || size > kMaxProjectBytes) return false;
  bytes->resize(static_cast<size_t>(size));
  uint32_t got = 0;
  return size == 0 || (file->Read(bytes->data(), static_cast<uint32_t>(size), &got) && got == size);
}

std::string Decode(os::Modules& modules, const std::string& folder,
                   const std::vector<uint8_t>& stored, std::string* how) {
  os::Module engine = modules.Load(folder + "\\Zenthra.dll");
  if (engine == nullptr) {
    *how = "engine library not loadable";
    return {};
  }
  auto getInstance = reinterpret_cast<GetEngineControlInstanceFn>(
      modules.Symbol(engine, kGetEngineControlInstanceName));
  EngineControl* control = getInstance != nullptr ? getInstance() : nullptr;
  std::string text;
  *how = "engine did not start";
  if (control != nullptr && control->Initialize(nullptr, "OrvanePlayer", nullptr)) {
    ChannelFactory* factory = control->GetChannelFactory();
    auto* loader =
        static_cast<FileLoaderChannel*>(factory->CreateChannel(kFileLoaderClassId, 0, 0));
    if (loader != nullptr) {
      loader->SetSource(stored.data(), static_cast<uint32_t>(stored.size()), 1);
      if (loader->HasTag("TMKF", 0) && factory->containerDecoder != nullptr) {
        factory->containerDecoder->DecodeContainer(loader);
      }
      text.assign(reinterpret_cast<const char*>(loader->OutputData()), loader->OutputSize());
      loader->Release(1);
    }
    *how = text.empty() ? "the file loader gave nothing" : "decoded by the engine's file loader";
  }
  if (control != nullptr) control->Release(1);
  modules.Free(engine);
  return text;
}

void ParseLines(const std::string& text, Project* project) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    if (eq != std::string::npos) {
      const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
      if (key == "name") project->name = value;
      if (key == "report") project->report = value;
      if (key == "seconds") project->seconds = std::atoi(value.c_str());
    }
    start = end + 1;
  }
}

}  // namespace

bool ParseRecord(const std::vector<chunkfile::Chunk>& chunks, Record* record) {
  const chunkfile::Chunk* path = Find(chunks, "SCFP");
  const chunkfile::Chunk* timer = Find(chunks, "SCTI");
  if (path == nullptr || !path->sized || timer == nullptr || !timer->U32(&record->timer)) {
    return false;
  }
  record->hasTimer = true;
  record->startPath = path->Text();
  bool ok = !record->startPath.empty();
  record->quitByte = OptionByte(Find(chunks, "SCQC"), &ok);
  record->previewByte = OptionByte(Find(chunks, "SCSP"), &ok);
  return ok;
}

std::string ProjectNameOf(const std::string& modulePath, const Naming& naming) {
  const std::string name = BaseName(modulePath);
  const std::string prefix = naming.prefix, extension = naming.extension;
  if (SameIgnoringCase(name, naming.original) || name.size() <= prefix.size() + extension.size() ||
      !SameIgnoringCase(name.substr(0, prefix.size()), prefix) ||
      !SameIgnoringCase(name.substr(name.size() - extension.size()), extension)) {
    return {};
  }
  return name.substr(prefix.size(), name.size() - prefix.size() - extension.size());
}

Installation FindInstallation(os::Files& files, os::Registry& registry,
                              const std::string& modulePath, const Naming& naming) {
  Installation found;
  found.projectName = ProjectNameOf(modulePath, naming);
  os::RegValue value;
  if (!found.projectName.empty() &&
      registry.Read(os::RegRoot::LocalMachine, kViewersKeyPrefix + found.projectName, "DisplayName",
                    kMaxFolderBytes, &value)) {
    found.folder = value.data.substr(0, value.data.find('\0'));
    found.foundBy = "registry";
  }
  const std::string ownFolder = FolderOf(modulePath);
  if (found.folder.empty() && files.Query(ownFolder + "\\" + naming.recordName).exists) {
    found.folder = ownFolder;
    found.foundBy = "own folder";
  }
  if (found.folder.empty()) return found;

  found.recordPath = found.folder + "\\" + naming.recordName;
  std::vector<chunkfile::Chunk> chunks;
  found.recordRead =
      chunkfile::Read(files, found.recordPath, &chunks) && ParseRecord(chunks, &found.record);
  return found;
}

Project LoadProject(os::Files& files, os::Modules& modules, const std::string& folder,
                    const std::string& startPath) {
  Project project;
  std::vector<uint8_t> stored;
  if (startPath.empty() || !ReadAll(files, startPath, &stored)) {
    project.how = "start project not readable";
    return project;
  }
  const std::string text = Decode(modules, folder, stored, &project.how);
  project.decoded = !text.empty();
  ParseLines(text, &project);
  return project;
}

std::string Describe(const Installation& installation, const Project& project) {
  const Record& r = installation.record;
  auto number = [](int value) { return value < 0 ? std::string("none") : std::to_string(value); };
  return "project=" + installation.projectName +
         "\nfound=" + (installation.foundBy.empty() ? std::string("no") : installation.foundBy) +
         "\nfolder=" + installation.folder + "\nrecord=" + installation.recordPath +
         "\nrecordread=" + (installation.recordRead ? "yes" : "no") + "\nstart=" + r.startPath +
         "\ntimer=" + (r.hasTimer ? std::to_string(r.timer) : "none") +
         "\nquitcgr=" + number(r.quitByte) + "\nsmallpreview=" + number(r.previewByte) +
         "\ndecoded=" + (project.decoded ? "yes" : "no") + "\nhow=" + project.how +
         "\nname=" + project.name + "\n";
}

bool WriteText(os::Files& files, const std::string& path, const std::string& text) {
  auto file = files.Create(path);
  uint32_t written = 0;
  return file != nullptr &&
         file->Write(text.data(), static_cast<uint32_t>(text.size()), &written) &&
         written == text.size();
}

}  // namespace player
