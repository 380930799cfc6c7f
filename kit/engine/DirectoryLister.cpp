// The kit engine's directory lister: one folder's matches, split into files and folders.
#include "kit/engine/EngineObjects.h"

namespace kit::engine {

namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// '*' and '?' against a name, ignoring ASCII case. "*.*" matches every name, with a dot or
// without, as it does for FindFirstFileA.
bool Matches(const std::string& filter, const std::string& name) {
  if (filter.empty() || filter == "*" || filter == "*.*") return true;
  size_t f = 0, n = 0, starF = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (f < filter.size() && (filter[f] == '?' || LowerAscii(filter[f]) == LowerAscii(name[n]))) {
      ++f, ++n;
    } else if (f < filter.size() && filter[f] == '*') {
      starF = f++, starN = n;
    } else if (starF != std::string::npos) {
      f = starF + 1, n = ++starN;
    } else {
      return false;
    }
  }
  while (f < filter.size() && filter[f] == '*') ++f;
  return f == filter.size();
}

const char* At(const std::vector<std::string>& names, int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= names.size()) return nullptr;
  return names[static_cast<size_t>(index)].c_str();
}

}  // namespace

void ENGINE_CALL DirectoryLister::Release(int) {
  Note("Release DirectoryListChannel");
  delete this;
}

int32_t ENGINE_CALL DirectoryLister::NumFiles() {
  Note("NumFiles");
  return static_cast<int32_t>(_files.size());
}

int32_t ENGINE_CALL DirectoryLister::NumFolders() {
  Note("NumFolders");
  return static_cast<int32_t>(_folders.size());
}

void ENGINE_CALL DirectoryLister::Scan(const char* pattern) {
  Note("Scan " + Arg(pattern));
  _files.clear();
  _folders.clear();
  os::Files* files = Files();
  std::vector<os::FoundItem> items;
  // A folder that cannot be searched lists as empty.
  if (pattern == nullptr || files == nullptr || !files->List(pattern, &items)) return;
  for (os::FoundItem& item : items) {
    if (item.directory) {
      _folders.push_back(std::move(item.name));
    } else if (Matches(_filter, item.name)) {
      _files.push_back(std::move(item.name));
    }
  }
}

void ENGINE_CALL DirectoryLister::SetFilter(const char* filter) {
  Note("SetFilter " + Arg(filter));
  _filter = filter ? filter : "";
}

const char* ENGINE_CALL DirectoryLister::FileAt(int32_t index) {
  Note("FileAt " + std::to_string(index));
  return At(_files, index);
}

const char* ENGINE_CALL DirectoryLister::FolderAt(int32_t index) {
  Note("FolderAt " + std::to_string(index));
  return At(_folders, index);
}

}  // namespace kit::engine
