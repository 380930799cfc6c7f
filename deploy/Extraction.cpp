// Item extraction: package items become files under the work folder.
#include <zlib.h>

#include <cstring>
#include <memory>
#include <new>

#include "deploy/DeployJob.h"
#include "deploy/EngineInterface.h"

namespace {

// The fixed runtime files, in the order they are extracted; all but the start project are
// stored in the zlib form.
struct RuntimeFile {
  const char* name;
  bool decode;
};
constexpr RuntimeFile kRuntimeFiles[] = {
    {"Zenthra.dll", true},
    {"channels\\Quillet.dll", true},
    {"channels\\Dirrow.dll", true},
    {"channels\\Lodera.dll", true},
    {"channels\\5C18E7A2-9B4D-4E61-B3F8-0D27C6A94E15.dll", true},
    {"channels\\A7F29D03-6E1B-4C85-92A4-E8B53D07F6C1.dll", true},
    {"channels\\19E4B6C8-D273-4A5F-8E01-C6A9F2B47D38.dll", true},
    {"channels\\E82C07B5-31F9-4D6A-A5C3-7B14E96F02D8.dll", true},
    {"3rd\\msvcr71.dll", true},
    {"ORVStart.orv", false},
};

char FoldAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices in any folder, with any extension.
bool IsDeviceName(const std::string& component) {
  std::string base = component.substr(0, component.find('.'));
  for (char& c : base) c = FoldAscii(c);
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

// An item name is a relative path that must stay inside the work folder: folders separated by
// '\' or '/', at most one leading backslash, no "..", no drive or stream colon, no device names,
// no characters Windows refuses, no component that Windows would silently trim.
bool IsSafeItemName(const char* name) {
  std::string rest = name;
  if (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
  if (rest.empty()) return false;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = start;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::string component = rest.substr(start, end - start);
    if (component.empty() || component == "." || component == "..") return false;
    if (component.back() == '.' || component.back() == ' ') return false;
    for (char c : component) {
      if (static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"|?*", c) != nullptr) return false;
    }
    if (IsDeviceName(component)) return false;
    start = end + 1;
  }
  return true;
}

uint32_t LoadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Deflate never expands data by more than 1032:1; a trailer claiming more is damage.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kInflateSlack = 64;

}  // namespace

void DeployJob::CreateFoldersOnTheWay(const std::string& target) {
  std::string prefix;
  prefix.reserve(target.size());
  for (size_t i = 0; i < target.size() && i < kMaxWorkPath + 1; ++i) {
    const char c = target[i] == '/' ? '\\' : target[i];
    prefix.push_back(c);
    if (c != '\\') continue;
    std::string key = prefix;
    for (char& k : key) k = static_cast<char>(FoldAscii(k));
    // Each folder is tried once per job: a second try could only fail as "already exists".
    if (!_knownFolders.insert(key).second) continue;
    if (_platform.files.CreateDir(prefix)) RecordPath(createdDirs, prefix);
  }
}

bool DeployJob::WriteWholeFile(const std::string& path, const uint8_t* data, uint32_t count) {
  auto file = _platform.files.Create(path);
  if (file == nullptr) return false;
  uint32_t written = 0;
  file->Write(data, count, &written);
  file.reset();
  if (written == count) return true;
  // A short write (a full disk) leaves no partial file behind.
  _platform.files.Delete(path);
  return false;
}

bool DeployJob::ExtractItem(const char* name, bool decode) {
  if (name == nullptr) return false;
  const std::string target = std::string(workDir) + "\\" + name;
  if (!IsSafeItemName(name) || target.size() > kMaxWorkPath) {
    Message(name, "Could not find resource", os::kMbOk);
    return false;
  }
  CreateFoldersOnTheWay(target);
  if (!LoadItem(name, nullptr, 0, nullptr)) {
    Message(name, "Could not find resource", os::kMbOk);
    return false;
  }

  const uint8_t* bytes = itemData;
  uint32_t count = itemSize;
  std::unique_ptr<uint8_t[]> inflated;
  if (decode && fileLoader != nullptr) {
    fileLoader->SetSource(itemData, itemSize, 1);
    itemData = nullptr;
    if (fileLoader->HasTag("TMKF", 0) && channelFactory != nullptr &&
        channelFactory->containerDecoder != nullptr) {
      channelFactory->containerDecoder->DecodeContainer(fileLoader);
    }
    count = fileLoader->OutputSize();
    bytes = fileLoader->OutputData();
  } else if (decode) {
    const uint32_t stored = itemSize;
    const uint32_t claimed = stored >= 4 ? LoadU32(itemData + stored - 4) : 0;
    const bool plausible =
        stored >= 4 && claimed <= (uint64_t(stored) - 4) * kMaxInflateRatio + kInflateSlack;
    if (plausible) inflated.reset(new (std::nothrow) uint8_t[claimed > 0 ? claimed : 1]);
    uLongf produced = claimed;
    if (inflated == nullptr ||
        uncompress(inflated.get(), &produced, itemData, stored - 4) != Z_OK) {
      Message("Error decompress", "Error", os::kMbOk);
      return false;
    }
    bytes = inflated.get();
    count = static_cast<uint32_t>(produced);
    itemData = bytes;
    itemSize = count;
  }

  const bool written = WriteWholeFile(target, bytes, count);
  if (inflated != nullptr) itemData = nullptr, itemSize = 0;
  if (!written) return false;
  RecordPath(createdFiles, target);
  return true;
}

bool DeployJob::ExtractRuntimeFiles() {
  for (const RuntimeFile& file : kRuntimeFiles) {
    if (ExtractItem(file.name, file.decode)) continue;
    Message(
        "There was an error while trying to copy one of the installation files.\n"
        "Please make sure no applications are running that might be locking some files.",
        "Installation Error", os::kMbIconError);
    return false;
  }
  return true;
}
