// Uninstaller core: the record's reader and the removal.
#include "kit/uninstaller/UninstallCore.h"

#include <cctype>
#include <cstring>

namespace uninst {

namespace {

constexpr size_t kFieldBytes = 259;
// Registry values the uninstaller compares are short paths; a longer one is not ours.
constexpr uint32_t kMaxValueBytes = 2048;

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// Lower case, '\' for '/', no repeated or trailing separators: two spellings of one path
// compare equal.
std::string Canonical(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (IsSeparator(c)) {
      if (!out.empty() && out.back() == '\\') continue;
      c = '\\';
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
    out.push_back(c);
  }
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

bool CountOf(const chunkfile::Chunk& chunk, const char* tag, uint32_t* count) {
  // The writers count in 32-bit signed numbers: a negative count is damage.
  return chunk.tag == tag && chunk.sized && chunk.U32(count) && *count <= 0x7FFFFFFFu;
}

// One 259-byte path field; a field without a NUL may hold a cut path and is set aside.
bool ReadPath(const chunkfile::Chunk& chunk, const char* tag, std::vector<std::string>* paths,
              int* cut) {
  if (chunk.tag != tag || !chunk.sized || chunk.data.size() != kFieldBytes) return false;
  if (std::memchr(chunk.data.data(), 0, chunk.data.size()) == nullptr) {
    ++*cut;
    return true;
  }
  paths->push_back(chunk.Text());
  return true;
}

bool ReadPaths(const std::vector<chunkfile::Chunk>& chunks, size_t* at, const char* countTag,
               const char* pathTag, std::vector<std::string>* paths, int* cut) {
  uint32_t count = 0;
  if (*at >= chunks.size() || !CountOf(chunks[*at], countTag, &count)) return false;
  ++*at;
  if (count > chunks.size() - *at) return false;
  for (uint32_t i = 0; i < count; ++i, ++*at) {
    if (!ReadPath(chunks[*at], pathTag, paths, cut)) return false;
  }
  return true;
}

bool ValueIs(os::Registry& registry, const std::string& key, const char* name,
             const std::string& expected) {
  os::RegValue value;
  if (!registry.Read(os::RegRoot::LocalMachine, key, name, kMaxValueBytes, &value)) return false;
  if (value.type != os::kRegSz && value.type != os::kRegExpandSz) return false;
  std::string text(value.data.c_str(), strnlen(value.data.c_str(), value.data.size()));
  // The command may be quoted or, as older installers wrote it, bare.
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    text = text.substr(1, text.size() - 2);
  }
  return Canonical(text) == Canonical(expected);
}

bool Acceptable(os::Files& files, const std::string& path) {
  return IsPlainAbsolutePath(path) && !CrossesReparsePoint(files, path);
}

}  // namespace

bool ParseRecord(const std::vector<chunkfile::Chunk>& chunks, Record* record) {
  *record = Record{};
  size_t at = 0;
  if (!ReadPaths(chunks, &at, "UNFC", "UNFN", &record->files, &record->cutEntries)) return false;
  if (!ReadPaths(chunks, &at, "UNDC", "UNDN", &record->folders, &record->cutEntries)) {
    return false;
  }
  if (at >= chunks.size()) return false;
  const chunkfile::Chunk& name = chunks[at++];
  if (name.tag != "UNPN" || !name.sized || name.data.size() != kFieldBytes) return false;
  record->projectName = name.Text();
  if (record->projectName.empty() || record->projectName.find('\\') != std::string::npos) {
    return false;
  }
  if (at < chunks.size() && chunks[at].tag == "UNSK" && !chunks[at].sized) ++at;
  return at == chunks.size();
}

bool IsPlainAbsolutePath(const std::string& path) {
  if (path.size() < 4 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' ||
      !IsSeparator(path[2])) {
    return false;
  }
  size_t start = 3;
  bool hasName = false;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::string part = path.substr(start, end - start);
    if (!part.empty()) {
      if (part.back() == '.' || part.back() == ' ') return false;  // also "." and ".."
      for (char c : part) {
        if (static_cast<unsigned char>(c) < 32 || std::strchr(":*?\"<>|", c) != nullptr) {
          return false;
        }
      }
      hasName = true;
    }
    start = end + 1;
  }
  return hasName;  // a drive root is never removed
}

bool CrossesReparsePoint(os::Files& files, const std::string& path) {
  for (size_t i = 3; i <= path.size(); ++i) {
    if (i < path.size() && !IsSeparator(path[i])) continue;
    if (IsSeparator(path[i - 1])) continue;  // a repeated separator adds no folder
    if (files.Query(path.substr(0, i)).reparsePoint) return true;
  }
  return false;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

Outcome RemoveInstallation(os::Files& files, os::Registry& registry, KeyRemover& keys,
                           const std::string& installFolder, const Record& record,
                           const std::string& keepFile) {
  Outcome outcome;
  outcome.left = record.cutEntries;
  const std::string keep = Canonical(keepFile);
  for (const std::string& file : record.files) {
    if (!keep.empty() && Canonical(file) == keep) {
      ++outcome.left;
    } else if (!Acceptable(files, file)) {
      ++outcome.left;
    } else if (files.Delete(file)) {
      ++outcome.filesRemoved;
    } else if (files.Query(file).exists) {
      ++outcome.left;
    }
  }

  // The keys go only while they still describe this folder: a later installation of the same
  // project elsewhere owns them otherwise.
  const std::string uninstallKey = kUninstallKeyPrefix + record.projectName;
  if (ValueIs(registry, uninstallKey, "UninstallString", installFolder + "\\" + kProgramName)) {
    outcome.uninstallKeyRemoved = keys.DeleteKey(uninstallKey);
  }
  const std::string viewersKey = kViewersKeyPrefix + record.projectName;
  if (ValueIs(registry, viewersKey, "DisplayName", installFolder)) {
    outcome.viewersKeyRemoved = keys.DeleteKey(viewersKey);
  }

  files.Delete(installFolder + "\\" + kRecordName);
  // Record order lists every folder before its parent; a folder still holding anything stays.
  for (const std::string& folder : record.folders) {
    if (!Acceptable(files, folder)) {
      ++outcome.left;
    } else if (files.RemoveDir(folder)) {
      ++outcome.foldersRemoved;
    } else if (files.Query(folder).exists) {
      ++outcome.left;
    }
  }
  return outcome;
}

}  // namespace uninst
