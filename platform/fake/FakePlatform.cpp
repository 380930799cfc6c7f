// The simulated Windows of the host tests.
#include "platform/fake/FakePlatform.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace fake {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

// --- Faults -----------------------------------------------------------------------------------

void Faults::FailNth(const std::string& op, int n, uint32_t code, Mode mode) {
  _rules.push_back(Rule{op, n, code, mode});
}

uint32_t Faults::Check(const std::string& op) {
  const int call = ++_calls[op];
  for (Rule& rule : _rules) {
    if (rule.op != op) continue;
    if (call == rule.n || (rule.mode == Persistent && call > rule.n)) {
      rule.fired = true;
      return rule.code;
    }
  }
  return 0;
}

int Faults::Calls(const std::string& op) const {
  auto it = _calls.find(op);
  return it == _calls.end() ? 0 : it->second;
}

bool Faults::AllFired() const {
  return std::all_of(_rules.begin(), _rules.end(), [](const Rule& r) { return r.fired; });
}

// --- Files ------------------------------------------------------------------------------------

class FakeFile final : public os::File {
 public:
  FakeFile(FakeFiles& files, std::string key, bool writer)
      : _files(files), _key(std::move(key)), _writer(writer) {
    auto& node = _files._nodes.at(_key);
    _data = node.data;
    (writer ? node.writers : node.readers)++;
    ++_files._openHandles;
  }
  ~FakeFile() override {
    auto it = _files._nodes.find(_key);
    if (it != _files._nodes.end() && it->second.data == _data) {
      (_writer ? it->second.writers : it->second.readers)--;
    }
    --_files._openHandles;
  }

  bool Read(void* buffer, uint32_t count, uint32_t* got) override {
    *got = 0;
    if (uint32_t code = _files._faults.Check("File::Read")) return _files.Fail(code);
    if (_writer) return _files.Fail(os::kErrAccessDenied);
    if (_position < _data->size()) {
      *got = static_cast<uint32_t>(std::min<uint64_t>(count, _data->size() - _position));
      std::memcpy(buffer, _data->data() + _position, *got);
      _position += *got;
    }
    return true;
  }

  bool Write(const void* data, uint32_t count, uint32_t* written) override {
    *written = 0;
    if (uint32_t code = _files._faults.Check("File::Write")) return _files.Fail(code);
    if (!_writer) return _files.Fail(os::kErrAccessDenied);
    uint32_t n = count;
    const uint64_t end = _position + count;
    const uint64_t growth = end > _data->size() ? end - _data->size() : 0;
    if (growth > _files._freeSpace) n = static_cast<uint32_t>(count - (growth - _files._freeSpace));
    if (_position + n > _data->size()) {
      _files._freeSpace -= _position + n - _data->size();
      _data->resize(_position + n);
    }
    if (n > 0) std::memcpy(_data->data() + _position, data, n);
    _position += n;
    *written = n;
    return n == count || _files.Fail(os::kErrDiskFull);
  }

  bool Seek(uint64_t offset) override {
    if (uint32_t code = _files._faults.Check("File::Seek")) return _files.Fail(code);
    _position = offset;
    return true;
  }

  bool Size(uint64_t* size) override {
    *size = _data->size();
    return true;
  }

 private:
  FakeFiles& _files;
  std::string _key;
  bool _writer;
  std::shared_ptr<std::vector<uint8_t>> _data;
  uint64_t _position = 0;
};

FakeFiles::FakeFiles(FakeSystem& system, Faults& faults) : _system(system), _faults(faults) {
  AddDir("C:\\");
}

bool FakeFiles::Fail(uint32_t code) {
  _system.SetLastError(code);
  return false;
}

std::string FakeFiles::Key(const std::string& display) {
  return Lower(display);
}

std::string FakeFiles::Parent(const std::string& display) {
  const size_t slash = display.find_last_of('\\');
  if (slash == std::string::npos || slash <= 2) return display.substr(0, 2) + "\\";
  return display.substr(0, slash);
}

// Builds the absolute form: "C:\a\b" (a drive root keeps its backslash: "C:\"). Names with
// characters Windows refuses make the path invalid. Junctions on the way are followed, the last
// component only when followLast is set (deleting a link removes the link, not its target).
bool FakeFiles::Normalize(const std::string& path, std::string* display, bool followLast) {
  std::string p = path;
  std::replace(p.begin(), p.end(), '/', '\\');
  if (p.empty() || StartsWith(p, "\\\\")) return false;
  std::string root;
  std::string rest;
  if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
    root = Upper(p.substr(0, 1)) + ":";
    rest = p.substr(2);
    if (rest.empty() || rest[0] != '\\')
      rest = (_cwd.size() > 2 ? _cwd.substr(2) : "") + "\\" + rest;
  } else if (p[0] == '\\') {
    root = _cwd.substr(0, 2);
    rest = p;
  } else {
    root = _cwd.substr(0, 2);
    rest = (_cwd.size() > 2 ? _cwd.substr(2) : "") + "\\" + p;
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find('\\', start);
    if (end == std::string::npos) end = rest.size();
    std::string part = rest.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    if (part.find_first_of("<>:\"|?*") != std::string::npos) return false;
    for (char c : part) {
      if (static_cast<unsigned char>(c) < 32) return false;
    }
    // Windows drops trailing dots and blanks of a name.
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    if (part.empty()) return false;
    parts.push_back(part);
  }
  std::string out = root;
  for (size_t i = 0; i < parts.size(); ++i) {
    out += "\\" + parts[i];
    if (i + 1 == parts.size() && !followLast) break;
    auto it = _nodes.find(Key(out));
    if (it != _nodes.end() && !it->second.junctionTarget.empty()) {
      out = _nodes.at(it->second.junctionTarget).path;
    }
  }
  if (parts.empty()) out += "\\";
  *display = out;
  return true;
}

bool FakeFiles::ParentIsFolder(const std::string& display) {
  auto it = _nodes.find(Key(Parent(display)));
  return it != _nodes.end() && it->second.directory;
}

bool FakeFiles::IsLocked(const std::string& key) const {
  return std::find(_locked.begin(), _locked.end(), key) != _locked.end();
}

bool FakeFiles::IsReadOnlyFolder(const std::string& parentKey) const {
  return std::find(_readOnly.begin(), _readOnly.end(), parentKey) != _readOnly.end();
}

std::unique_ptr<os::File> FakeFiles::OpenRead(const std::string& path) {
  std::string display;
  if (uint32_t code = _faults.Check("Files::OpenRead")) return Fail(code), nullptr;
  if (!Normalize(path, &display)) return Fail(os::kErrInvalidName), nullptr;
  auto it = _nodes.find(Key(display));
  if (it == _nodes.end()) {
    return Fail(ParentIsFolder(display) ? os::kErrFileNotFound : os::kErrPathNotFound), nullptr;
  }
  if (it->second.directory) return Fail(os::kErrAccessDenied), nullptr;
  if (it->second.writers > 0 || IsLocked(it->first)) return Fail(os::kErrSharingViolation), nullptr;
  return std::make_unique<FakeFile>(*this, it->first, false);
}

std::unique_ptr<os::File> FakeFiles::Create(const std::string& path) {
  std::string display;
  if (uint32_t code = _faults.Check("Files::Create")) return Fail(code), nullptr;
  if (!Normalize(path, &display)) return Fail(os::kErrInvalidName), nullptr;
  if (!ParentIsFolder(display)) return Fail(os::kErrPathNotFound), nullptr;
  const std::string key = Key(display);
  if (IsReadOnlyFolder(Key(Parent(display)))) return Fail(os::kErrAccessDenied), nullptr;
  auto it = _nodes.find(key);
  if (it != _nodes.end()) {
    Node& node = it->second;
    if (node.directory) return Fail(os::kErrAccessDenied), nullptr;
    if (node.readers > 0 || node.writers > 0 || IsLocked(key)) {
      return Fail(os::kErrSharingViolation), nullptr;
    }
    _freeSpace += node.data->size();
    node.data->clear();
  } else {
    Node node;
    node.path = display;
    _nodes.emplace(key, std::move(node));
  }
  _system.events.push_back("create " + display);
  return std::make_unique<FakeFile>(*this, key, true);
}

bool FakeFiles::Delete(const std::string& path) {
  std::string display;
  if (uint32_t code = _faults.Check("Files::Delete")) return Fail(code);
  if (!Normalize(path, &display, false)) return Fail(os::kErrInvalidName);
  auto it = _nodes.find(Key(display));
  if (it == _nodes.end()) return Fail(os::kErrFileNotFound);
  if (it->second.directory) return Fail(os::kErrAccessDenied);
  if (IsReadOnlyFolder(Key(Parent(display)))) return Fail(os::kErrAccessDenied);
  if (it->second.readers > 0 || it->second.writers > 0 || IsLocked(it->first)) {
    return Fail(os::kErrSharingViolation);
  }
  _freeSpace += it->second.data->size();
  _system.events.push_back("delete " + it->second.path);
  _nodes.erase(it);
  return true;
}

bool FakeFiles::Copy(const std::string& from, const std::string& to, bool failIfExists) {
  if (uint32_t code = _faults.Check("Files::Copy")) return Fail(code);
  std::string source, target;
  if (!Normalize(from, &source) || !Normalize(to, &target)) return Fail(os::kErrInvalidName);
  auto it = _nodes.find(Key(source));
  if (it == _nodes.end()) return Fail(os::kErrFileNotFound);
  if (it->second.directory) return Fail(os::kErrAccessDenied);
  if (it->second.writers > 0 || IsLocked(it->first)) return Fail(os::kErrSharingViolation);
  if (failIfExists && _nodes.count(Key(target)) > 0) return Fail(os::kErrFileExists);
  const std::vector<uint8_t> bytes = *it->second.data;
  auto file = Create(to);
  if (file == nullptr) return false;
  uint32_t written = 0;
  return file->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
}

bool FakeFiles::CreateDir(const std::string& path) {
  std::string display;
  if (uint32_t code = _faults.Check("Files::CreateDir")) return Fail(code);
  if (!Normalize(path, &display)) return Fail(os::kErrInvalidName);
  const std::string key = Key(display);
  if (_nodes.count(key) > 0) return Fail(os::kErrAlreadyExists);
  if (!ParentIsFolder(display)) return Fail(os::kErrPathNotFound);
  if (IsReadOnlyFolder(Key(Parent(display)))) return Fail(os::kErrAccessDenied);
  Node node;
  node.path = display;
  node.directory = true;
  _nodes.emplace(key, std::move(node));
  _system.events.push_back("mkdir " + display);
  return true;
}

bool FakeFiles::RemoveDir(const std::string& path) {
  std::string display;
  if (uint32_t code = _faults.Check("Files::RemoveDir")) return Fail(code);
  if (!Normalize(path, &display, false)) return Fail(os::kErrInvalidName);
  const std::string key = Key(display);
  auto it = _nodes.find(key);
  if (it == _nodes.end()) return Fail(os::kErrFileNotFound);
  if (!it->second.directory) return Fail(os::kErrInvalidName);
  if (IsReadOnlyFolder(Key(Parent(display)))) return Fail(os::kErrAccessDenied);
  if (it->second.junctionTarget.empty()) {
    const std::string prefix = key + "\\";
    auto next = _nodes.upper_bound(key);
    if (next != _nodes.end() && StartsWith(next->first, prefix)) return Fail(os::kErrDirNotEmpty);
  }
  if (display.size() <= 3) return Fail(os::kErrAccessDenied);  // a drive root
  // Windows keeps the current folder of a process open: it cannot be removed.
  if (Key(_cwd) == key) return Fail(os::kErrSharingViolation);
  _system.events.push_back("rmdir " + it->second.path);
  _nodes.erase(it);
  return true;
}

os::PathInfo FakeFiles::Query(const std::string& path) {
  os::PathInfo info;
  std::string display;
  if (_faults.Check("Files::Query") != 0 || !Normalize(path, &display, false)) {
    Fail(os::kErrFileNotFound);
    return info;
  }
  auto it = _nodes.find(Key(display));
  if (it == _nodes.end()) {
    Fail(ParentIsFolder(display) ? os::kErrFileNotFound : os::kErrPathNotFound);
    return info;
  }
  info.exists = true;
  info.directory = it->second.directory;
  info.reparsePoint = !it->second.junctionTarget.empty();
  return info;
}

bool FakeFiles::List(const std::string& pattern, std::vector<os::FoundItem>* items) {
  items->clear();
  if (uint32_t code = _faults.Check("Files::List")) return Fail(code);
  std::string folderPath = pattern;
  std::replace(folderPath.begin(), folderPath.end(), '/', '\\');
  const size_t slash = folderPath.find_last_of('\\');
  if (slash == std::string::npos) return Fail(os::kErrPathNotFound);
  const std::string wildcard = folderPath.substr(slash + 1);
  if (wildcard != "*" && wildcard != "*.*") return Fail(os::kErrInvalidName);
  folderPath.resize(slash);
  if (folderPath.size() == 2 && folderPath[1] == ':') folderPath += "\\";
  std::string display;
  if (!Normalize(folderPath, &display)) return Fail(os::kErrInvalidName);
  const std::string key = Key(display);
  auto it = _nodes.find(key);
  if (it == _nodes.end() || !it->second.directory) return Fail(os::kErrPathNotFound);
  if (display.size() > 3) {
    items->push_back({".", true});
    items->push_back({"..", true});
  }
  const std::string prefix = display.size() <= 3 ? key : key + "\\";
  for (auto n = _nodes.upper_bound(key); n != _nodes.end() && StartsWith(n->first, prefix); ++n) {
    if (n->first.find('\\', prefix.size()) != std::string::npos) continue;
    const std::string& shown = n->second.path;
    items->push_back({shown.substr(shown.find_last_of('\\') + 1), n->second.directory});
  }
  return true;
}

bool FakeFiles::SetCurrentDir(const std::string& path) {
  std::string display;
  if (uint32_t code = _faults.Check("Files::SetCurrentDir")) return Fail(code);
  if (!Normalize(path, &display)) return Fail(os::kErrInvalidName);
  auto it = _nodes.find(Key(display));
  if (it == _nodes.end() || !it->second.directory) return Fail(os::kErrFileNotFound);
  _cwd = it->second.path;
  if (_cwd.size() == 3) _cwd.resize(2);
  return true;
}

void FakeFiles::AddDir(const std::string& path) {
  std::string display;
  if (!Normalize(path, &display)) return;
  std::string walk;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = display.find('\\', pos + 1);
    walk = display.substr(0, pos == std::string::npos ? display.size() : pos);
    if (walk.size() == 2) walk += "\\";
    if (_nodes.count(Key(walk)) == 0) {
      Node node;
      node.path = walk;
      node.directory = true;
      _nodes.emplace(Key(walk), std::move(node));
    }
  }
}

void FakeFiles::AddFile(const std::string& path, const std::string& content) {
  AddFile(path, std::vector<uint8_t>(content.begin(), content.end()));
}

void FakeFiles::AddFile(const std::string& path, std::vector<uint8_t> content) {
  std::string display;
  if (!Normalize(path, &display)) return;
  AddDir(Parent(display));
  Node node;
  node.path = display;
  *node.data = std::move(content);
  _nodes[Key(display)] = std::move(node);
}

void FakeFiles::AddJunction(const std::string& path, const std::string& target) {
  std::string display, targetDisplay;
  if (!Normalize(path, &display, false) || !Normalize(target, &targetDisplay)) return;
  AddDir(targetDisplay);
  AddDir(Parent(display));
  Node node;
  node.path = display;
  node.directory = true;
  node.junctionTarget = Key(targetDisplay);
  _nodes[Key(display)] = std::move(node);
}

bool FakeFiles::Exists(const std::string& path) {
  return Query(path).exists;
}

bool FakeFiles::IsDir(const std::string& path) {
  return Query(path).directory;
}

std::string FakeFiles::Content(const std::string& path) {
  std::string display;
  if (!Normalize(path, &display)) return {};
  auto it = _nodes.find(Key(display));
  if (it == _nodes.end()) return {};
  return std::string(it->second.data->begin(), it->second.data->end());
}

std::vector<std::string> FakeFiles::AllPaths() {
  std::vector<std::string> out;
  for (const auto& [key, node] : _nodes) {
    out.push_back(node.directory && node.path.back() != '\\' ? node.path + "\\" : node.path);
  }
  return out;
}

void FakeFiles::Lock(const std::string& path) {
  std::string display;
  if (Normalize(path, &display)) _locked.push_back(Key(display));
}

void FakeFiles::MakeReadOnly(const std::string& folder) {
  std::string display;
  if (Normalize(folder, &display)) {
    if (display.size() > 3 && display.back() == '\\') display.pop_back();
    _readOnly.push_back(Key(display));
  }
}

// --- System -----------------------------------------------------------------------------------

void FakeSystem::Sleep(uint32_t milliseconds) {
  sleptMilliseconds += milliseconds;
  if (onSleep) onSleep(milliseconds);
}

bool FakeSystem::TempPath(std::string* path) {
  if (uint32_t code = _faults.Check("System::TempPath")) return SetLastError(code), false;
  *path = tempPath;
  return true;
}

bool FakeSystem::SystemDir(std::string* path) {
  if (uint32_t code = _faults.Check("System::SystemDir")) return SetLastError(code), false;
  *path = systemDir;
  return true;
}

bool FakeSystem::GetEnv(const std::string& name, std::string* value) {
  auto it = env.find(Upper(name));
  if (it == env.end()) return SetLastError(203), false;  // ERROR_ENVVAR_NOT_FOUND
  *value = it->second;
  return true;
}

bool FakeSystem::SetEnv(const std::string& name, const std::string& value) {
  if (uint32_t code = _faults.Check("System::SetEnv")) return SetLastError(code), false;
  env[Upper(name)] = value;
  return true;
}

// --- Registry ---------------------------------------------------------------------------------

class FakeRegKey final : public os::RegKey {
 public:
  FakeRegKey(FakeRegistry& registry, std::string name)
      : _registry(registry), _name(std::move(name)) {}
  bool SetString(const std::string& name, const std::string& value) override {
    if (uint32_t code = _registry._faults.Check("RegKey::SetString")) {
      _registry._system.SetLastError(code);
      return false;
    }
    _registry.keys[_name].values[Lower(name)] = os::RegValue{os::kRegSz, value + '\0'};
    return true;
  }

 private:
  FakeRegistry& _registry;
  std::string _name;
};

std::string FakeRegistry::KeyName(os::RegRoot root, const std::string& key) {
  std::string path = Lower(key);
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return std::to_string(static_cast<int>(root)) + ":" + path;
}

bool FakeRegistry::Read(os::RegRoot root, const std::string& key, const char* valueName,
                        uint32_t maxBytes, os::RegValue* value) {
  if (uint32_t code = _faults.Check("Registry::Read")) return _system.SetLastError(code), false;
  auto k = keys.find(KeyName(root, key));
  if (k == keys.end()) return _system.SetLastError(os::kErrFileNotFound), false;
  auto v = k->second.values.find(Lower(valueName == nullptr ? "" : valueName));
  if (v == k->second.values.end()) return _system.SetLastError(os::kErrFileNotFound), false;
  if (v->second.data.size() > maxBytes) return _system.SetLastError(234), false;  // MORE_DATA
  *value = v->second;
  return true;
}

std::unique_ptr<os::RegKey> FakeRegistry::Create(os::RegRoot root, const std::string& key) {
  if (uint32_t code = _faults.Check("Registry::Create")) return _system.SetLastError(code), nullptr;
  if (_readOnly[static_cast<int>(root)]) return _system.SetLastError(os::kErrAccessDenied), nullptr;
  const std::string name = KeyName(root, key);
  keys[name];
  return std::make_unique<FakeRegKey>(*this, name);
}

void FakeRegistry::Set(os::RegRoot root, const std::string& key, const std::string& name,
                       uint32_t type, const std::string& data) {
  keys[KeyName(root, key)].values[Lower(name)] = os::RegValue{type, data};
}

bool FakeRegistry::HasKey(os::RegRoot root, const std::string& key) const {
  return keys.count(KeyName(root, key)) > 0;
}

bool FakeRegistry::Get(os::RegRoot root, const std::string& key, const std::string& name,
                       os::RegValue* value) const {
  auto k = keys.find(KeyName(root, key));
  if (k == keys.end()) return false;
  auto v = k->second.values.find(Lower(name));
  if (v == k->second.values.end()) return false;
  *value = v->second;
  return true;
}

// --- Modules ----------------------------------------------------------------------------------

os::Module FakeModules::Load(const std::string& path) {
  journal.push_back("load " + path);
  if (uint32_t code = _faults.Check("Modules::Load")) return _system.SetLastError(code), nullptr;
  const os::PathInfo info = _files.Query(path);
  if (!info.exists || info.directory) return _system.SetLastError(126), nullptr;  // MOD_NOT_FOUND
  std::string name = path;
  std::replace(name.begin(), name.end(), '/', '\\');
  name = Lower(name.substr(name.find_last_of('\\') + 1));
  auto it = _libraries.find(name);
  if (it == _libraries.end()) return _system.SetLastError(193), nullptr;  // BAD_EXE_FORMAT
  ++_loaded;
  _system.events.push_back("load " + path);
  return &it->second;
}

void* FakeModules::Symbol(os::Module module, const char* name) {
  if (module == nullptr) return nullptr;
  auto* library = static_cast<Library*>(module);
  auto it = library->exports.find(name);
  if (it == library->exports.end()) return _system.SetLastError(127), nullptr;  // PROC_NOT_FOUND
  return it->second;
}

bool FakeModules::Free(os::Module module) {
  journal.push_back("free");
  if (module == nullptr) return false;
  --_loaded;
  _system.events.push_back("free");
  return true;
}

void FakeModules::Register(const std::string& fileName, std::map<std::string, void*> exports) {
  _libraries[Lower(fileName)].exports = std::move(exports);
}

// --- Processes --------------------------------------------------------------------------------

namespace {

class FakeProcess final : public os::Process {
 public:
  FakeProcess(FakeProcesses& owner, int polls, uint32_t exitCode)
      : _owner(owner), _polls(polls), _exitCode(exitCode) {}
  bool ExitCode(uint32_t* code) override {
    if (_polls-- > 0) {
      *code = os::kStillActive;
      return true;
    }
    if (!_ended && _owner.onExit) _owner.onExit();
    _ended = true;
    *code = _exitCode;
    return true;
  }

 private:
  FakeProcesses& _owner;
  int _polls;
  uint32_t _exitCode;
  bool _ended = false;
};

}  // namespace

std::unique_ptr<os::Process> FakeProcesses::Start(const std::string& application,
                                                  const std::string& commandLine) {
  StartedProcess process{application, commandLine, _files.CurrentDir(), ""};
  _system.GetEnv("PATH", &process.path);
  started.push_back(process);
  if (uint32_t code = _faults.Check("Processes::Start")) return _system.SetLastError(code), nullptr;
  // The program file must exist: by its path, or relative to the current folder.
  std::string program = application;
  if (program.empty()) program = commandLine.substr(0, commandLine.find(' '));
  if (!_files.Exists(program)) return _system.SetLastError(os::kErrFileNotFound), nullptr;
  if (onStart && !onStart(process)) return _system.SetLastError(os::kErrAccessDenied), nullptr;
  _system.events.push_back("start " + (application.empty() ? commandLine : application));
  return std::make_unique<FakeProcess>(*this, runningPolls, exitCode);
}

// --- Shell ------------------------------------------------------------------------------------

bool FakeShell::ProgramsFolder(os::Window, std::string* path) {
  if (programsFolderFails) return false;
  _files.AddDir(programsFolder);
  *path = programsFolder;
  return true;
}

int32_t FakeShell::CreateLink(const os::ShellLink& link, const std::string& linkPath) {
  constexpr int32_t kFail = static_cast<int32_t>(0x80004005);  // E_FAIL
  if (linksFail) return kFail;
  auto file = _files.Create(linkPath);
  if (file == nullptr) return kFail;
  const std::string content = "LNK\n" + link.target + "\n" + link.arguments + "\n" +
                              link.workingDir + "\n" + link.description + "\n";
  uint32_t written = 0;
  file->Write(content.data(), static_cast<uint32_t>(content.size()), &written);
  links[linkPath] = link;
  return 0;
}

// --- Ui ---------------------------------------------------------------------------------------

int FakeUi::ShowMessage(const std::string& text, const std::string& caption, uint32_t style) {
  boxes.push_back(Box{text, caption, style});
  if (!_answers.empty()) {
    const int answer = _answers.front();
    _answers.pop_front();
    return answer;
  }
  return (style & 0x0F) == os::kMbYesNo ? os::kIdNo : os::kIdOk;
}

// --- Dialogs ----------------------------------------------------------------------------------

namespace {

FakeWindow* AsWindow(os::Window w) {
  return static_cast<FakeWindow*>(w);
}

std::string Hex(const void* p) {
  char text[32];
  std::snprintf(text, sizeof(text), "%p", p);
  return text;
}

// The controls of each dialog resource, by identifier, with their resource texts.
std::vector<std::pair<int, std::string>> ControlsOf(const std::string& resource) {
  if (resource == "IDD_ISNTALLDIALOG") {
    return {{1, "Install"}, {1000, ""}, {1001, "Browse..."}, {1002, "Cancel"}};
  }
  if (resource == "IDD_PROGRESSBAR") return {{1003, "Progress1"}};
  return {};
}

std::string CaptionOf(const std::string& resource) {
  if (resource == "IDD_ISNTALLDIALOG") return "Installation Options";
  if (resource == "IDD_PROGRESSBAR") return "Installing...";
  return resource;
}

}  // namespace

FakeWindow* FakeDialogs::Make(const char* resource, os::DialogHandler* handler) {
  windows.push_back(std::make_unique<FakeWindow>());
  FakeWindow* dialog = windows.back().get();
  dialog->resource = resource;
  dialog->text = CaptionOf(resource);
  dialog->handler = handler;
  for (const auto& [id, text] : ControlsOf(resource)) {
    windows.push_back(std::make_unique<FakeWindow>());
    FakeWindow* control = windows.back().get();
    control->id = id;
    control->text = text;
    control->parent = dialog;
    dialog->items[id] = control;
  }
  return dialog;
}

intptr_t FakeDialogs::RunModal(os::Instance, const char* resource, os::Window owner,
                               os::DialogHandler* handler) {
  journal.push_back(std::string("modal ") + resource + " owner=" + Hex(owner));
  if (failCreate) return -1;
  FakeWindow* dialog = Make(resource, handler);
  if (handler != nullptr) {
    handler->OnMessage(dialog, os::kWmInitDialog, 0, reinterpret_cast<intptr_t>(handler));
  }
  while (!dialog->ended) {
    if (script.empty()) {
      journal.push_back("script ran out");
      CloseBox()(*this, *dialog);
      if (!dialog->ended) EndDialog(dialog, 0);
      break;
    }
    Action action = std::move(script.front());
    script.pop_front();
    action(*this, *dialog);
  }
  dialog->destroyed = true;
  journal.push_back("ended " + std::to_string(dialog->result));
  return dialog->result;
}

os::Window FakeDialogs::CreateModeless(os::Instance, const char* resource, os::Window owner,
                                       os::DialogHandler* handler) {
  journal.push_back(std::string("create ") + resource + " owner=" + Hex(owner));
  if (failCreate) return nullptr;
  FakeWindow* dialog = Make(resource, handler);
  if (handler != nullptr) {
    handler->OnMessage(dialog, os::kWmInitDialog, 0, reinterpret_cast<intptr_t>(handler));
  }
  return dialog;
}

bool FakeDialogs::EndDialog(os::Window dialog, intptr_t result) {
  FakeWindow* w = AsWindow(dialog);
  if (w == nullptr || w->destroyed) return false;
  w->ended = true;
  w->result = result;
  return true;
}

bool FakeDialogs::DestroyWindow(os::Window window) {
  FakeWindow* w = AsWindow(window);
  journal.push_back("destroy");
  if (w == nullptr || w->destroyed) return false;
  if (w->handler != nullptr) w->handler->OnMessage(w, os::kWmDestroy, 0, 0);
  w->destroyed = true;
  return true;
}

bool FakeDialogs::SetText(os::Window window, const std::string& text) {
  FakeWindow* w = AsWindow(window);
  if (w == nullptr || w->destroyed) return false;
  w->text = text;
  if (!w->resource.empty()) journal.push_back("caption " + text);
  return true;
}

std::string FakeDialogs::Text(os::Window window, int maxChars) {
  FakeWindow* w = AsWindow(window);
  if (w == nullptr || maxChars <= 0) return {};
  return w->text.substr(0, static_cast<size_t>(maxChars));
}

os::Window FakeDialogs::Item(os::Window dialog, int id) {
  FakeWindow* w = AsWindow(dialog);
  if (w == nullptr) return nullptr;
  auto it = w->items.find(id);
  return it == w->items.end() ? nullptr : it->second;
}

intptr_t FakeDialogs::Send(os::Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  FakeWindow* w = AsWindow(window);
  if (w == nullptr || w->destroyed) return 0;
  switch (message) {
    case os::kWmSetText:
      w->text = reinterpret_cast<const char*>(lParam);
      // An edit box tells its dialog that its text changed.
      if (w->id == 1000 && w->parent != nullptr && w->parent->handler != nullptr) {
        w->parent->handler->OnMessage(w->parent, os::kWmCommand,
                                      (uintptr_t(os::kEnChange) << 16) | 1000u,
                                      reinterpret_cast<intptr_t>(w));
      }
      return 1;
    case os::kPbmSetRange:
      w->rangeLow = static_cast<int>(lParam & 0xFFFF);
      w->rangeHigh = static_cast<int>((lParam >> 16) & 0xFFFF);
      journal.push_back("range " + std::to_string(w->rangeLow) + ".." +
                        std::to_string(w->rangeHigh));
      return 0;
    case os::kPbmSetPos: {
      const int old = w->position;
      w->position = static_cast<int>(static_cast<intptr_t>(wParam));
      journal.push_back("pos " + std::to_string(w->position));
      return old;
    }
    default:
      return 0;
  }
}

bool FakeDialogs::Update(os::Window window) {
  FakeWindow* w = AsWindow(window);
  if (w == nullptr || w->destroyed) return false;
  ++w->updates;
  return true;
}

bool FakeDialogs::BrowseForFolder(os::Window owner, const std::string& title, uint32_t flags,
                                  std::string* path) {
  journal.push_back("browse \"" + title + "\" flags=" + std::to_string(flags) +
                    " owner=" + Hex(owner));
  if (browseAnswers.empty()) return false;
  auto [chosen, folder] = browseAnswers.front();
  browseAnswers.pop_front();
  if (chosen) *path = folder;
  return chosen;
}

FakeDialogs::Action FakeDialogs::Type(int id, const std::string& text) {
  return [id, text](FakeDialogs& d, FakeWindow& dialog) {
    d.Send(d.Item(&dialog, id), os::kWmSetText, 0, reinterpret_cast<intptr_t>(text.c_str()));
  };
}

FakeDialogs::Action FakeDialogs::Press(int id) {
  return [id](FakeDialogs& d, FakeWindow& dialog) {
    d.journal.push_back("press " + std::to_string(id));
    if (dialog.handler != nullptr) {
      dialog.handler->OnMessage(&dialog, os::kWmCommand, static_cast<uintptr_t>(id),
                                reinterpret_cast<intptr_t>(d.Item(&dialog, id)));
    }
  };
}

FakeDialogs::Action FakeDialogs::CloseBox() {
  return [](FakeDialogs& d, FakeWindow& dialog) {
    d.journal.push_back("close box");
    if (dialog.handler != nullptr) {
      dialog.handler->OnMessage(&dialog, os::kWmSysCommand, os::kScClose, 0);
    }
  };
}

FakeDialogs::Action FakeDialogs::Key(int command) {
  return [command](FakeDialogs& d, FakeWindow& dialog) {
    d.journal.push_back("key " + std::to_string(command));
    if (dialog.handler != nullptr) {
      dialog.handler->OnMessage(&dialog, os::kWmCommand, static_cast<uintptr_t>(command), 0);
    }
  };
}

}  // namespace fake
